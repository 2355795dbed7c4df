#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on the files' contents and names.

usage: make_zip.py OUT.zip STAGE_DIR EPOCH

Entries are sorted, every entry carries the time EPOCH (the commit's, so a
rebuild of the same commit gives the same archive) and fixed attributes.
"""
import os
import sys
import time
import zipfile


def main():
    out, stage, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
    # zip times are local DOS times without a zone; take the epoch as UTC.
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # not before 1980
    entries = []
    for folder, dirs, files in os.walk(stage):
        rel = os.path.relpath(folder, os.path.dirname(os.path.normpath(stage)))
        entries.append((rel.replace(os.sep, "/") + "/", None))
        entries += [((rel + "/" + f).replace(os.sep, "/"), os.path.join(folder, f)) for f in files]
    entries.sort()
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w") as archive:
        for name, path in entries:
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 0  # MS-DOS attributes: what Windows' own unpacker expects
            if path is None:
                info.external_attr = 0x10  # directory
                archive.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = 0x20  # archive bit
                with open(path, "rb") as f:
                    archive.writestr(info, f.read(), compresslevel=9)
    os.replace(tmp, out)


if __name__ == "__main__":
    main()
