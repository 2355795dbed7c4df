#!/usr/bin/python3
"""Writes cpu_blur_reference.bin: known pictures and their true Gaussian blur.

The blur is a separable convolution with a sampled Gaussian reaching four
deviations (normalised), in float64, rounded once at the end. Hard border:
the edge pixels repeat outward and the output keeps the input's size. Soft
border: outside is transparent and the output grows by ceil(3 deviations)
each side. Run again only when a case changes; the test reads the file.

File: "BLUR", u32 case count, then per case: 16-byte name (NUL-padded), u32
width, u32 height, u32 border (0 hard, 1 soft), f32 deviation, u32 output
width, u32 output height, the input pixels, the expected pixels (premultiplied
BGRA, rows packed), all little-endian.
"""
import math
import struct
import sys
from pathlib import Path

import numpy as np

HARD, SOFT = 0, 1


def premultiply(bgr, alpha):
    a = alpha.astype(np.float64) / 255.0
    out = np.empty(bgr.shape[:2] + (4,), np.uint8)
    out[..., :3] = np.rint(bgr * a[..., None]).astype(np.uint8)
    out[..., 3] = alpha
    return out


def checkerboard(width, height, cell):
    y, x = np.mgrid[0:height, 0:width]
    dark = ((x // cell + y // cell) % 2).astype(bool)
    bgr = np.where(dark[..., None], [10, 40, 200], [250, 90, 20]).astype(np.float64)
    return premultiply(bgr, np.full((height, width), 255, np.uint8))


def gradient(width, height):
    y, x = np.mgrid[0:height, 0:width].astype(np.float64)
    bgr = np.stack([255 * x / (width - 1), 255 * y / (height - 1), 255 - 255 * x / (width - 1)], axis=-1)
    alpha = np.rint(255 - 200 * y / (height - 1)).astype(np.uint8)
    return premultiply(bgr, alpha)


def bright_square(side, square):
    image = np.zeros((side, side, 4), np.uint8)
    first = (side - square) // 2
    image[first:first + square, first:first + square] = [230, 250, 255, 255]
    return image


def kernel(deviation):
    reach = int(math.ceil(4 * deviation))
    k = np.exp(-0.5 * (np.arange(-reach, reach + 1) / deviation) ** 2)
    return k / k.sum(), reach


def convolve_axis(image, k, reach, axis, mode):
    padded = np.pad(image, [(reach, reach) if a == axis else (0, 0) for a in range(3)], mode=mode)
    out = np.zeros_like(image)
    n = image.shape[axis]
    for i, weight in enumerate(k):
        out += weight * np.take(padded, np.arange(i, i + n), axis=axis)
    return out


def blur(image, deviation, border):
    pixels = image.astype(np.float64)
    if border == SOFT:
        margin = int(math.ceil(3 * deviation))
        pixels = np.pad(pixels, [(margin, margin), (margin, margin), (0, 0)])
    mode = "edge" if border == HARD else "constant"
    k, reach = kernel(deviation)
    pixels = convolve_axis(pixels, k, reach, 1, mode)
    pixels = convolve_axis(pixels, k, reach, 0, mode)
    out = np.clip(np.rint(pixels), 0, 255).astype(np.uint8)
    out[..., :3] = np.minimum(out[..., :3], out[..., 3:4])
    return out


CASES = [
    ("checker_hard", checkerboard(40, 30, 5), 3.0, HARD),
    ("checker_soft", checkerboard(40, 30, 5), 2.5, SOFT),
    ("gradient_hard", gradient(48, 32), 5.5, HARD),
    ("gradient_wide", gradient(48, 32), 12.0, HARD),
    ("square_soft", bright_square(24, 8), 4.0, SOFT),
]


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).with_name("cpu_blur_reference.bin"))
    data = bytearray(b"BLUR" + struct.pack("<I", len(CASES)))
    for name, image, deviation, border in CASES:
        expected = blur(image, deviation, border)
        data += name.encode().ljust(16, b"\0")
        data += struct.pack("<IIIfII", image.shape[1], image.shape[0], border, deviation, expected.shape[1],
                            expected.shape[0])
        data += image.tobytes() + expected.tobytes()
    out.write_bytes(bytes(data))


if __name__ == "__main__":
    main()
