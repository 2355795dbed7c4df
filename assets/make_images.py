#!/usr/bin/python3
# Draws the pictures built into the program: the five icons and the built-in
# cover. Run with Debian's python3 (python3-pil); it rewrites images/*.png.
# Shapes are drawn four times larger and reduced, for smooth edges.
import math
import os

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "images")
SUPER = 4
BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)


def canvas(size):
    img = Image.new("RGBA", (size * SUPER, size * SUPER), (0, 0, 0, 0))
    return img, ImageDraw.Draw(img)


def save(img, size, name):
    small = img.resize((size, size), Image.LANCZOS)
    small.save(os.path.join(OUT, name), format="PNG", optimize=False)


def polyline(draw, points, width, fill):
    # Joined thick segments with round joints and caps.
    s = [(x * SUPER, y * SUPER) for x, y in points]
    w = width * SUPER
    draw.line(s, fill=fill, width=int(w), joint="curve")
    r = w / 2
    for x, y in s:
        draw.ellipse((x - r, y - r, x + r, y + r), fill=fill)


def settings_gear():
    size = 180
    img, draw = canvas(size)
    cx = cy = size / 2
    teeth = 8
    outer, inner = 72, 56
    points = []
    for i in range(teeth):
        base = 2 * math.pi * i / teeth
        half = math.pi / teeth
        for angle, radius in ((base - half * 0.55, inner), (base - half * 0.35, outer),
                              (base + half * 0.35, outer), (base + half * 0.55, inner)):
            points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    points.append(points[0])
    polyline(draw, points, 9, BLACK)
    r = 22 * SUPER
    w = int(9 * SUPER)
    draw.ellipse((cx * SUPER - r, cy * SUPER - r, cx * SUPER + r, cy * SUPER + r), outline=BLACK, width=w)
    save(img, size, "settings.png")


def home_house():
    size = 180
    img, draw = canvas(size)
    roof = [(22, 86), (90, 24), (158, 86)]
    polyline(draw, roof, 10, BLACK)
    body = [(40, 74), (40, 156), (140, 156), (140, 74)]
    polyline(draw, body, 10, BLACK)
    door = [(76, 156), (76, 114), (104, 114), (104, 156)]
    polyline(draw, door, 9, BLACK)
    save(img, size, "home.png")


def tamber_logo():
    size = 48
    img, draw = canvas(size)
    s = SUPER
    draw.rounded_rectangle((2 * s, 2 * s, 46 * s, 46 * s), radius=10 * s, fill=(32, 120, 230, 255))
    draw.polygon([(18 * s, 13 * s), (18 * s, 35 * s), (36 * s, 24 * s)], fill=WHITE)
    save(img, size, "tamber_logo.png")


def chevron(name, pointing_left):
    size = 125
    img, draw = canvas(size)
    if pointing_left:
        points = [(76, 30), (44, 62.5), (76, 95)]
    else:
        points = [(49, 30), (81, 62.5), (49, 95)]
    polyline(draw, points, 11, BLACK)
    save(img, size, name)


def default_cover():
    size = 1068
    img, draw = canvas(size)
    s = SUPER
    draw.rounded_rectangle((0, 0, size * s - 1, size * s - 1), radius=96 * s, fill=(228, 228, 231, 255))
    c = size / 2 * s
    for radius, width in ((300, 22), (70, 18)):
        r = radius * s
        draw.ellipse((c - r, c - r, c + r, c + r), outline=(150, 150, 156, 255), width=width * s)
    save(img, size, "default_cover.png")


def main():
    os.makedirs(OUT, exist_ok=True)
    settings_gear()
    home_house()
    tamber_logo()
    chevron("arrow_left.png", True)
    chevron("arrow_right.png", False)
    default_cover()


if __name__ == "__main__":
    main()
