#!/usr/bin/python3
"""Builds tamber.ico (16, 24, 32, 48 and 256 px) from the program's logo picture.

Run with the Debian python (python3-pil): /usr/bin/python3 app/make_icon.py
"""
from pathlib import Path

from PIL import Image

HERE = Path(__file__).resolve().parent
LOGO = HERE.parent / "assets" / "images" / "tamber_logo.png"

logo = Image.open(LOGO).convert("RGBA")
big = logo.resize((256, 256), Image.LANCZOS)
big.save(HERE / "tamber.ico", sizes=[(16, 16), (24, 24), (32, 32), (48, 48), (256, 256)])
