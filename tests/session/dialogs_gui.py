#!/usr/bin/python3
"""The real open-file and folder dialogs of the song list under the X display
in DISPLAY, driven with xdotool through tamber-session's openfile and
openfolder commands: a path typed into the open-file dialog and Enter add and
play that file (a name with characters outside code page 936, in a folder
named the same way: the dialog hands it back whole); the folder dialog (no edit box: its flags are 0) cancelled
with Escape scans nothing and its thread ends.

Usage: dialogs_gui.py --exe tamber-session.exe --emulator wine-exec --fixtures DIR --work DIR
"""
import argparse
import json
import subprocess
import sys
import time
from pathlib import Path

OPEN_TITLE = "选择打开的文件"


def win(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def xdotool(*args, timeout=60):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=timeout).stdout.split()


def focus(window, x_fraction, y_fraction):
    """Without a window manager only a real click gives a Wine window the
    keyboard: click a spot of the dialog where no control reacts to it."""
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], capture_output=True,
                              text=True).stdout
    values = dict(line.split("=", 1) for line in geometry.split())
    x = int(values["X"]) + int(int(values["WIDTH"]) * x_fraction)
    y = int(values["Y"]) + int(int(values["HEIGHT"]) * y_fraction)
    xdotool("mousemove", str(x), str(y), "click", "1")
    time.sleep(0.5)


def wait_for_window(name=None, timeout=60, exclude=()):
    deadline = time.time() + timeout
    while time.time() < deadline:
        found = [w for w in xdotool("search", "--onlyvisible", "--name", name or ".") if w not in exclude]
        if found:
            return found[-1]
        time.sleep(0.3)
    raise SystemExit(f"FAIL: no window {name!r} appeared")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--exe", "--emulator", "--fixtures", "--work"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    work = Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    track = Path(args.fixtures) / "unicode" / "Motörhead ø" / "Björk - Jóga ø.mp3"
    script = work / "dialogs.txt"
    # The script posts on while a dialog runs: its modal loop dispatches the
    # waits' successors, so each step waits long enough for the driver below.
    script.write_text("\n".join(["openfile", "wait 16000", "state", "openfolder", "wait 6000", "waitscan", "state"])
                      + "\n", encoding="utf-8")
    before = set(xdotool("search", "--onlyvisible", "--name", "."))
    session = subprocess.Popen([args.emulator, args.exe, win(script)], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    dialog = wait_for_window(OPEN_TITLE)
    time.sleep(1.0)
    focus(dialog, 0.03, 0.80)  # beside the file name label; the name box keeps the focus
    xdotool("type", "--delay", "40", win(track))
    xdotool("key", "Return")
    # The folder dialog: the first new visible window that is not an IME's.
    time.sleep(2.5)
    folder = None
    deadline = time.time() + 30
    while folder is None and time.time() < deadline:
        for w in xdotool("search", "--onlyvisible", "--name", "."):
            name = " ".join(subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                                           text=True).stdout.split())
            if w not in before and name and "IME" not in name and name != OPEN_TITLE:
                folder = w
        time.sleep(0.3)
    if folder is None:
        session.kill()
        raise SystemExit("FAIL: the folder dialog did not appear")
    time.sleep(1.0)
    focus(folder, 0.5, 0.2)  # the dialog's title text, above the tree
    xdotool("key", "Escape")
    out, _ = session.communicate(timeout=120)
    states = [json.loads(line) for line in out.decode("utf-8").splitlines() if line.startswith("{")]
    failures = []
    if len(states) != 2:
        failures.append(f"expected 2 state lines, got {len(states)}")
    else:
        opened, cancelled = states
        if [row["Path"] for row in opened["Rows"]] != [win(track)]:
            failures.append(f"open-file dialog: rows {opened['Rows']}")
        # The 3-s track has played to its end within the 16-s wait: stopped there.
        ended = opened["PositionSeconds"] >= opened["TrackLengthSeconds"]
        if (opened["CurrentIndex"], opened["IsPlaying"], opened["Title"], opened["LiveStreams"]) != \
                (1, 0 if ended else 1, "Jóga (Ørsted mix)", 1):
            failures.append(f"open-file dialog: state {opened}")
        if len(cancelled["Rows"]) != 1:
            failures.append(f"cancelled folder dialog added rows: {cancelled['Rows']}")
    if session.returncode != 0:
        failures.append(f"tamber-session ended with {session.returncode}")
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        sys.exit(1)
    print("dialogs: open-file typed path added and played; folder dialog cancelled, nothing scanned")


if __name__ == "__main__":
    main()
