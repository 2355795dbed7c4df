#!/usr/bin/python3
"""Writes chained_bad_link.ogg: tone.ogg followed by a second link whose
first page claims a stream that is not Vorbis. Opening it takes the chained
stream's bisection down the path where the later link's headers fail (the
one that leaks in libvorbisfile 1.3.7; see fuzz/lsan.supp). This script is
itself read as one more input by the fuzzer; that does no harm."""
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent


def crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else r << 1
        table.append(r & 0xFFFFFFFF)
    return table


TABLE = crc_table()


def ogg_crc(data):
    c = 0
    for b in data:
        c = ((c << 8) & 0xFFFFFFFF) ^ TABLE[((c >> 24) & 0xFF) ^ b]
    return c


def page(serial, sequence, payload, flags, granule=0):
    lacing = [255] * (len(payload) // 255) + [len(payload) % 255]
    header = b"OggS" + bytes([0, flags]) + struct.pack("<qIII", granule, serial, sequence, 0)
    raw = header + bytes([len(lacing)]) + bytes(lacing) + payload
    return raw[:22] + struct.pack("<I", ogg_crc(raw)) + raw[26:]


first = (HERE / "tone.ogg").read_bytes()
second = page(0x1234ABCD, 0, b"\x01vorbiX" + bytes(40), flags=2) + \
    page(0x1234ABCD, 1, b"garbage" * 10, flags=4, granule=1000)
(HERE / "chained_bad_link.ogg").write_bytes(first + second)
