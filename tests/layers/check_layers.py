#!/usr/bin/env python3
"""The folders of the tree form a stack: a folder includes only itself and the
folders below it. usage: check_layers.py ROOT   (exit 1 and a line per include
that reaches up or sideways)."""
import pathlib
import re
import sys

# Lowest first; folders on one line are peers and include none of each other.
STACK = [
    ["platform"],
    ["metadata", "lrc"],      # the format readers
    ["bass", "lyrisk"],       # the audio library and the lyrics library
    ["codecs"],               # the codec plug-ins, over the audio library's API
    ["lyrics"],               # the player's lyric lines, loading and timing
    ["playback"],
    ["graphics", "assets"],
    ["ui"],
    ["app"],
]
RANK = {folder: rank for rank, peers in enumerate(STACK) for folder in peers}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]*"', re.MULTILINE)
SOURCES = {".h", ".hpp", ".c", ".cc", ".cpp", ".inc"}


def violations(root):
    for folder, rank in RANK.items():
        base = root / folder
        if not base.is_dir():
            yield f"{folder}/: missing (the stack in tests/layers names it)"
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix not in SOURCES or not path.is_file():
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for match in INCLUDE.finditer(text):
                target = match.group(1)
                if target == folder or target not in RANK:
                    continue
                if RANK[target] >= rank:
                    line = text.count("\n", 0, match.start()) + 1
                    where = "above" if RANK[target] > rank else "beside"
                    yield f"{path.relative_to(root)}:{line}: includes {target}/, {where} {folder}/"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(violations(root))
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) break the stack: " + " < ".join("/".join(p) for p in STACK))
        return 1
    print("the include stack holds: " + " < ".join("/".join(p) for p in STACK))
    return 0


if __name__ == "__main__":
    sys.exit(main())
