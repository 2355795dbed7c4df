#!/usr/bin/python3
"""Sameness of partial frames: the real tamber.exe under Wine with
TAMBER_FRAME_PATH=check, driven into states by partial frames (only what
changed redrawn into the retained frame), each state frozen (F12), shot,
drawn again whole (F11) and shot again. The two shots must agree pixel for
pixel within 1 level per channel; where they do not, both and a map of the
differing pixels are saved under the artifacts. A stale area or a missing
element of a partial frame shows as a difference.

Each state is also drawn whole with its lyric lines laid out and drawn as
text (F9) rather than from the lines' bitmaps. Bitmaps hold grayscale text
where the frame may draw ClearType, so glyph edges may differ a little: at
least 99.5 % of the pixels within 2 levels, none beyond 16.

Usage: frames_gui.py sameness --exe tamber.exe --emulator wine-exec --artifacts DIR [--fixtures DIR]
"""
import re
import sys
import time
from pathlib import Path

from PIL import ImageChops

sys.path.insert(0, str(Path(__file__).resolve().parent))
import home_gui  # noqa: E402
from home_gui import N, key, start_home, finish  # noqa: E402
import tamber_gui as gui  # noqa: E402
from tamber_gui import check, run  # noqa: E402

TOLERANCE = 1  # levels per channel
TEXT_CLOSE = 2  # levels: cached lines against lines drawn as text
TEXT_CLOSE_SHARE = 0.995
TEXT_FAR = 16


class Checker:
    def __init__(self, program, win):
        self.program = program
        self.win = win
        self.differing = []

    def count(self, pattern):
        return len(re.findall(pattern, self.program.trace()))

    def key_and_wait(self, name, pattern, timeout=10):
        seen = self.count(pattern)
        run(["xdotool", "windowfocus", "--sync", self.program.window], check_rc=False)
        key(name)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.count(pattern) > seen:
                return
            time.sleep(0.05)
        raise gui.Failure(f"no '{pattern}' in the trace within {timeout} s of {name}")

    def client(self, image):
        w = self.win
        return image.crop((w.cx, w.cy, w.cx + w.cw, w.cy + w.ch))

    def same(self, label):
        """Freezes the state the partial frames drew, shoots it, has it
        drawn whole, shoots again and compares."""
        self.key_and_wait("F12", r"frame check: frozen")
        time.sleep(0.4)  # the last partial frame on screen
        partial = self.client(self.win.grab())
        self.key_and_wait("F11", r"whole frame \d+")
        time.sleep(0.4)
        whole = self.client(self.win.grab())
        self.key_and_wait("F9", r"direct frame \d+")
        time.sleep(0.4)
        direct = self.client(self.win.grab())
        self.key_and_wait("F12", r"frame check: running")
        self.close_to_text(label, partial, direct)
        diff = ImageChops.difference(partial, whole)
        mask = diff.point(lambda v: 255 if v > TOLERANCE else 0).convert("L")
        box = mask.getbbox()
        if box is None:
            print(f"  {label}: same")
            return
        pixels = sum(1 for v in mask.getdata() if v)
        folder = Path(self.program.artifacts)
        partial.save(folder / f"{label}-partial.png")
        whole.save(folder / f"{label}-whole.png")
        mask.save(folder / f"{label}-differing.png")
        self.differing.append(f"{label}: {pixels} pixels in {box}")
        print(f"  {label}: {pixels} pixels differ in {box}")

    def close_to_text(self, label, cached, direct):
        """The frame with line bitmaps against the one drawn as text."""
        diff = ImageChops.difference(cached, direct).convert("RGB")
        worst = [max(p) for p in diff.getdata()]
        close = sum(1 for v in worst if v <= TEXT_CLOSE) / len(worst)
        far = sum(1 for v in worst if v > TEXT_FAR)
        print(f"  {label}: cached lines against text: {100 * close:.3f} % within {TEXT_CLOSE}, "
              f"{far} beyond {TEXT_FAR}, worst {max(worst)}")
        if close >= TEXT_CLOSE_SHARE and far == 0:
            return
        folder = Path(self.program.artifacts)
        cached.save(folder / f"{label}-cached.png")
        direct.save(folder / f"{label}-direct.png")
        diff.point(lambda v: 255 if v > TEXT_CLOSE else 0).convert("L").save(folder / f"{label}-text-differing.png")
        self.differing.append(f"{label}: cached lines {100 * close:.3f} % within {TEXT_CLOSE}, {far} beyond {TEXT_FAR}")

    def settled_size(self, sizes_before, timeout):
        """Waits for a frame at a new size and for the size to stay put: a
        window manager may pass the window through more than one size, and
        shots of two sizes differ wherever the layout moved."""
        deadline = time.monotonic() + timeout
        last, since = None, time.monotonic()
        while time.monotonic() < deadline:
            traced = re.findall(r"frame \d+ at (\d+x\d+)", self.program.trace())
            now = (len(traced), self.program.geometry()[2:])
            if now != last:
                last, since = now, time.monotonic()
            elif len(traced) > sizes_before and time.monotonic() - since >= 1.0:
                return
            time.sleep(0.1)
        raise gui.Failure(f"the window's size did not settle within {timeout} s")

    def lyric_area_changes(self, timeout):
        """Waits for the lyrics to move, then freezes at once: a scroll is
        150 ms, so the freeze lands in it or just after it."""
        w = self.win
        area = (w.cx + N + 216 + 16, w.cy + 120, w.cx + w.cw - w.p - 40, w.cy + w.ch - 120)
        before = w.grab().crop(area)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            now = w.grab().crop(area)
            if ImageChops.difference(before, now).getbbox():
                return
            time.sleep(0.02)
        raise gui.Failure(f"the lyrics did not move within {timeout} s")


def case_sameness(prefix, args):
    prefix.env["TAMBER_FRAME_PATH"] = "check"
    program, win = start_home(prefix, args, "sameness", 1000, 650)
    checker = Checker(program, win)
    fixtures = home_gui.fixtures(args)
    try:
        win.open_file(fixtures / "green.mp3", settle=0.5)  # a lyric line every 6 s
        checker.lyric_area_changes(timeout=10)
        checker.same("lyric-mid-scroll")

        win.move(win.row(1))
        checker.same("row-hovered")
        win.away()
        checker.same("row-left")

        win.click(win.volume_button(), settle=0.04)
        checker.same("popup-opening")
        win.click((N + 30, win.ch - 120), settle=0.5)  # closes it

        track = (N + 64, win.cw - 64 - win.p)
        win.click((track[0] + (track[1] - track[0]) * 3 // 4, win.ch - 60), settle=1.0)
        win.away()
        checker.same("seek")

        time.sleep(30)
        checker.same("playing-30s")

        win.open_file(fixtures / "blue.mp3", settle=0.5)  # its cover is the .jpg beside it
        checker.same("new-track-cover")

        win.click((24, 100), settle=0.8)  # the settings button
        checker.same("settings-page")
        win.click((24, 56), settle=0.8)  # home
        win.away()
        checker.same("home-again")

        sizes = checker.count(r"frame \d+ at \d+x\d+")
        x, y, w, h = program.geometry()
        run(["xdotool", "windowsize", program.window, str(w - 120), str(h - 70)])
        checker.settled_size(sizes, timeout=10)
        time.sleep(0.5)  # the panel's width may glide
        checker.same("resized")
        check(not checker.differing, "partial frames differ from whole ones: " + "; ".join(checker.differing))
    finally:
        finish(program)


CASES = {"sameness": case_sameness}


if __name__ == "__main__":
    extra = list(sys.argv[1:])
    fixtures_arg = None
    if "--fixtures" in extra:
        i = extra.index("--fixtures")
        fixtures_arg = extra[i + 1]
        del extra[i:i + 2]
    sys.argv[1:] = extra

    def run_case(prefix, args):
        args.fixtures = fixtures_arg
        return case_sameness(prefix, args)

    sys.exit(gui.main({"sameness": run_case}))
