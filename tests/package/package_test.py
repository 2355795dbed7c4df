#!/usr/bin/python3
"""The release zip as a user meets it: its contents, then the player started
from a fresh folder it was unpacked into, in a Wine prefix of its own, with the
current folder elsewhere and holding broken copies of the DLLs (the program
must take lib\\bass.dll and lyrisk.dll from beside itself, never from there).

Usage: package_test.py ZIP --emulator wine-exec --artifacts DIR
       package_test.py ZIP --contents-only   (where 32-bit code cannot run)
"""
import argparse
import os
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "gui"))
import tamber_gui as gui  # noqa: E402
from tamber_gui import check  # noqa: E402

# The decoder libraries linked statically into lib\bass.dll and the plug-ins:
# the Debian source package and a name its copyright file must mention.
DECODER_LIBRARIES = {"flac": "FLAC", "libogg": "Xiph", "libvorbis": "Xiph", "opus": "Opus",
                     "opusfile": "opusfile", "mpg123": "mpg123", "ffmpeg": "FFmpeg", "libxmp": "xmp"}
PLUGINS = ("Plugins/cod_ape.dll", "Plugins/cod_mod.dll")
SHIPPED = {"tamber.exe", "lyrisk.dll", "lib/", "lib/bass.dll", "Plugins/", "README.txt", "LICENSES/",
           "LICENSES/gcc-runtime.txt", "LICENSES/GPL-3.txt", "LICENSES/mingw-w64.txt",
           "LICENSES/ffmpeg-LGPL-2.1.txt", *PLUGINS,
           *(f"LICENSES/{package}.txt" for package in DECODER_LIBRARIES)}
FOLDER = "程序 Tamber"  # a GBK name with a space: paths as users have them


def check_contents(archive):
    names = archive.namelist()
    top = {n.split("/", 1)[0] for n in names}
    check(len(top) == 1, f"one top folder expected, found {sorted(top)}")
    root = top.pop()
    inside = {n[len(root) + 1:] for n in names if n != root + "/"}
    check(inside == SHIPPED, f"unexpected contents: extra {sorted(inside - SHIPPED)}, missing {sorted(SHIPPED - inside)}")
    readme = archive.read(f"{root}/README.txt").decode("utf-8-sig")
    check("lib\\bass.dll" in readme and "歌词" in readme, "README.txt must be the Chinese and English user readme")
    for dll in ("tamber.exe", "lyrisk.dll", "lib/bass.dll", *PLUGINS):
        check(archive.read(f"{root}/{dll}")[:2] == b"MZ", f"{dll} is no Windows binary")
    for package, name in DECODER_LIBRARIES.items():
        text = archive.read(f"{root}/LICENSES/{package}.txt").decode("utf-8", "replace")
        check("Copyright" in text and name.lower() in text.lower(),
              f"LICENSES/{package}.txt is not the copyright of {name}")
    lgpl = archive.read(f"{root}/LICENSES/ffmpeg-LGPL-2.1.txt").decode("utf-8", "replace")
    check("GNU LESSER GENERAL PUBLIC LICENSE" in lgpl and "Version 2.1" in lgpl,
          "LICENSES/ffmpeg-LGPL-2.1.txt is not the LGPL 2.1 that FFmpeg is under")
    return root


def run_unpacked(zip_path, args):
    with zipfile.ZipFile(zip_path) as archive:
        root = check_contents(archive)
        probe = Path(args.artifacts) / "probe"
        shutil.rmtree(probe, ignore_errors=True)
        archive.extract(f"{root}/tamber.exe", probe)
        prefix = gui.Prefix(probe / root / "tamber.exe", args.emulator, args.artifacts)
        try:
            target = prefix.path / "drive_c" / FOLDER
            archive.extractall(target)
        except Exception:
            prefix.stop_server()
            raise
    exe = target / root / "tamber.exe"
    decoy = prefix.path / "drive_c" / "users" / "decoy"
    (decoy / "lib").mkdir(parents=True, exist_ok=True)
    (decoy / "lib" / "bass.dll").write_bytes(b"not a library")
    (decoy / "lyrisk.dll").write_bytes(b"not a library")
    try:
        program = gui.Program(prefix, exe, args.artifacts, "package", cwd=decoy)
        try:
            program.wait_for_window()
            program.screenshot("opened")
        except Exception:
            program.kill()
            raise
        code = program.close()
        check(code == 0, f"exit code {code}: {program.trace()[-600:]}")
    finally:
        prefix.stop_server()
        shutil.rmtree(prefix.path, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("zip")
    parser.add_argument("--emulator")
    parser.add_argument("--artifacts")
    parser.add_argument("--contents-only", action="store_true")
    args = parser.parse_args()
    if args.contents_only:
        try:
            with zipfile.ZipFile(args.zip) as archive:
                check_contents(archive)
        except (gui.Failure, zipfile.BadZipFile) as failure:
            print(f"FAILED: {failure}", file=sys.stderr)
            return 1
        print(f"package: contents passed ({args.zip}; not started: no 32-bit code runs here)")
        return 0
    if not (args.emulator and args.artifacts):
        parser.error("--emulator and --artifacts are needed to start the player")
    if not os.environ.get("DISPLAY"):
        print("the package test needs an X display (scripts/test starts Xvfb)", file=sys.stderr)
        return 1
    args.artifacts = str(Path(args.artifacts).resolve())  # Wine wants an absolute prefix path
    Path(args.artifacts).mkdir(parents=True, exist_ok=True)
    try:
        run_unpacked(args.zip, args)
    except (gui.Failure, subprocess.TimeoutExpired, zipfile.BadZipFile) as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    print(f"package: passed ({args.zip} unpacked into C:\\{FOLDER}, started from another folder)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
