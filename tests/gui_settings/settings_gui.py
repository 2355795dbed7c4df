#!/usr/bin/python3
"""GUI tests of the settings page and the navigation: the real tamber.exe
under Wine in the X display given by DISPLAY, driven with xdotool and checked
with screenshots and settings.ini. Builds on the harness of tests/gui
(tamber_gui.py: Wine prefix per case, program start, screenshots).

Under Wine no system backdrop shows: the window is the light colour 243 and
the desktop accent is black, so the pill and the backdrop disc are black.

Usage: settings_gui.py CASE --exe tamber.exe --emulator wine64-exec --artifacts DIR
Cases: pages, backdrop.
"""
import ctypes
import ctypes.util
import os
import re
import sys
import time
from pathlib import Path

from PIL import ImageGrab

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "gui"))
import tamber_gui as gui  # noqa: E402
from tamber_gui import check, run  # noqa: E402

# Layout of a default window (P = 250, N = 48): x is the right edge of the
# settings list, where the card's content is measured from.
X = 314
NAV_HOME = (24, 56)
NAV_SETTINGS = (24, 100)
APPEARANCE_ITEM = (150, 100)
ABOUT_ITEM = (150, 144)
BACKGROUND_ENTRY = (500, 167)
BACK_BUTTON = (X + 63, 64)
MICA_OPTION = (X + 65, 153)      # the hit regions lie 5 DIPs right and down of the discs
ACRYLIC_OPTION = (X + 65, 129)
MICA_DISC_RING = (X + 52, 148)   # accent ring of the filled disc, left of the white centre
ACRYLIC_DISC_RING = (X + 52, 124)
DISC_CENTRE_DX = 8               # from the ring sample to the white centre


class ColumnGrabber:
    """Reads one pixel column of the root window straight from the X server:
    a few hundred microseconds, fast enough to follow a 150-ms animation."""

    def __init__(self):
        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.c_void_p
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XGetPixel.restype = ctypes.c_ulong
        x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x11 = x11
        self.display = x11.XOpenDisplay(os.environ["DISPLAY"].encode())
        check(self.display, "cannot open the X display")
        self.root = x11.XDefaultRootWindow(self.display)

    def column(self, x, y0, y1):
        """(r, g, b) of the pixels (x, y0) .. (x, y1 - 1)."""
        all_planes, z_pixmap = 0xFFFFFFFF, 2
        image = self.x11.XGetImage(self.display, self.root, x, y0, 1, y1 - y0, all_planes, z_pixmap)
        check(image, "XGetImage failed")
        pixels = []
        for i in range(y1 - y0):
            v = self.x11.XGetPixel(image, 0, i)
            pixels.append(((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF))
        self.x11.XDestroyImage(image)
        return pixels

    def close(self):
        self.x11.XCloseDisplay(self.display)


def near(pixel, value, tolerance=6):
    return all(abs(c - value) <= tolerance for c in pixel)


class Window:
    """Pointer and pixels in client DIPs (scale 1 under Xvfb)."""

    def __init__(self, program):
        self.program = program
        self.cx, self.cy, self.cw, self.ch = program.client_origin()
        self.image = None

    def move(self, point):
        run(["xdotool", "mousemove", str(self.cx + point[0]), str(self.cy + point[1])])
        time.sleep(0.15)

    def click(self, point, settle=0.8):
        self.move(point)
        run(["xdotool", "click", "1"])
        time.sleep(settle)

    def grab(self):
        return ImageGrab.grab(xdisplay=os.environ["DISPLAY"]).convert("RGB")

    def shot(self, label):
        """Screenshot kept as an artifact, cropped to the client area."""
        full = self.program.screenshot(label)
        self.image = full
        crop = full.crop((self.cx, self.cy, self.cx + self.cw, self.cy + self.ch))
        crop.save(Path(self.program.artifacts) / f"{self.program.name}-{label}-client.png")
        return full

    def pixel(self, point, image=None):
        return (image or self.image).getpixel((self.cx + point[0], self.cy + point[1]))

    def dark_in(self, box, image=None, threshold=120):
        """Number of dark pixels (text, icons) in the client box."""
        image = image or self.image
        count = 0
        for y in range(box[1], box[3]):
            for x in range(box[0], box[2]):
                if max(image.getpixel((self.cx + x, self.cy + y))) < threshold:
                    count += 1
        return count


def check_overview(win, label):
    image = win.shot(label)
    check(win.dark_in((64, 16, 120, 48)) > 20, f"{label}: no page title drawn")
    # Selection mark of the appearance item: black 0.1 over the light window.
    pixel = win.pixel((300, 115))
    check(near(pixel, 219), f"{label}: appearance item should carry the selection mark (~219), is {pixel}")
    # The card: white 0.7 over the window colour.
    pixel = win.pixel((win.cw - 60, win.ch - 60))
    check(near(pixel, 251, 3), f"{label}: card colour should be ~251, is {pixel}")
    # The theme entry: white 0.5 over the card, outlined.
    pixel = win.pixel((win.cw - 70, 120))
    check(near(pixel, 253, 3), f"{label}: theme entry should be ~253, is {pixel}")
    check(win.dark_in((X + 80, 96, X + 140, 141)) > 10, f"{label}: no entry text '主题'")
    return image


def check_disc(win, label, kind):
    filled, empty = (MICA_DISC_RING, ACRYLIC_DISC_RING) if kind == 2 else (ACRYLIC_DISC_RING, MICA_DISC_RING)
    ring = win.pixel(filled)
    centre = win.pixel((filled[0] + DISC_CENTRE_DX, filled[1]))
    other = win.pixel(empty)
    check(gui.is_black(ring), f"{label}: the disc of backdrop {kind} should be filled with the accent, is {ring}")
    check(near(centre, 255, 3), f"{label}: its centre should be white, is {centre}")
    check(not gui.is_black(other), f"{label}: the other disc should be empty, is {other}")


def check_pill_order(trace):
    """The order of the pill's motion, from the program's own trace of the
    ends it drew: on a busy machine the screen shows its frames too late to
    tell which end moved first."""
    start = trace.rfind("nav lead starts")
    check(start >= 0, "no start of the pill's motion in the trace")
    events = re.findall(r"nav (trail starts|pill (\d+)\.\.(\d+))", trace[start:])
    before_trail = []
    drawn = []
    trail_started = False
    for event, top, bottom in events:
        if event == "trail starts":
            trail_started = True
            continue
        drawn.append((int(top), int(bottom)))
        if not trail_started:
            before_trail.append(drawn[-1])
    print("pill drawn (top, bottom):", drawn, "of which before the trail end started:", len(before_trail))
    check(trail_started, "the trail end never started")
    check(all(top == 44 and bottom > 68 for top, bottom in before_trail),
          f"first only the bottom end should move: {before_trail}")
    check(any(top == 44 and bottom >= 80 for top, bottom in drawn),
          f"the pill should stretch from the home end toward the settings button: {drawn}")


def open_settings_and_watch_pill(win):
    """Clicks the settings square and follows the pill in column x = 6: the
    lead (bottom) end moves first, the trail (top) end 50 ms later."""
    grabber = ColumnGrabber()
    top_y, bottom_y = 20, 140

    def pill():
        column = grabber.column(win.cx + 6, win.cy + top_y, win.cy + bottom_y)
        rows = [top_y + i for i, p in enumerate(column) if gui.is_black(p)]
        return (rows[0], rows[-1] + 1) if rows else None

    win.move(NAV_SETTINGS)
    run(["xdotool", "click", "1"])
    samples = []
    # Until the pill has rested at the settings end for half a second (a loaded
    # machine draws the animation's frames late), at most 10 s.
    deadline = time.monotonic() + 10
    rested_since = None
    while time.monotonic() < deadline:
        sample = pill()
        if sample and (not samples or samples[-1] != sample):
            samples.append(sample)
            rested_since = time.monotonic() if sample == (88, 112) else None
        if rested_since and time.monotonic() - rested_since > 0.5:
            break
        time.sleep(0.002)
    grabber.close()
    print("pill (top, bottom) as it changed:", samples)
    check(samples, "the pill vanished")
    moving = [s for s in samples if s not in ((44, 68), (88, 112))]
    check(moving, f"no frame of the pill in motion was seen: {samples}")
    check_pill_order(win.program.trace())
    check(samples[-1] == (88, 112), f"the pill should come to rest at y 88..112, is {samples[-1]}")
    # Its two ends run on timers of their own: on a loaded machine a frame can
    # show one end a step ahead of the other, so the length may dip a little.
    for top, bottom in samples:
        check(top >= 44 and bottom <= 112 and bottom - top >= 20, f"the pill left its track: {top}..{bottom}")
    time.sleep(0.5)
    image = win.grab()
    win.image = image


def case_pages(prefix, args):
    prefix.clear_settings()
    program = gui.start(prefix, args, "pages")
    try:
        win = Window(program)
        open_settings_and_watch_pill(win)
        check_overview(win, "overview")
        win.shot("overview")

        # Background view through the entry.
        win.click(BACKGROUND_ENTRY)
        win.move((600, 300))
        win.shot("background")
        check(win.dark_in((X + 48, 80, X + 140, 112)) > 20, "background view: no '背景材料'")
        check(win.dark_in((X + 48, 49, X + 78, 79)) > 5, "background view: no back arrow")
        check_disc(win, "background view, no settings file", 2)

        # Leave and come back: the same section and view.
        win.click(NAV_HOME)
        win.move((600, 300))
        win.shot("home-again")
        # The song list's heading "歌曲列表" (P = 250) shows only at home.
        check(win.dark_in((win.cw - 218, 84, win.cw - 130, 108)) > 30, "the home page should show its song list")
        win.click(NAV_SETTINGS, settle=1.2)
        win.move((600, 300))
        win.shot("background-again")
        check_disc(win, "background view after re-entering", 2)

        # Back button to the overview.
        win.click(BACK_BUTTON)
        win.move((600, 300))
        check_overview(win, "overview-after-back")

        # About: logo and name.
        win.click(ABOUT_ITEM)
        win.move((600, 300))
        win.shot("about")
        logo = [win.pixel((x, y)) for x in range(X + 48, X + 80, 4) for y in range(88, 120, 4)]
        check(len(set(logo)) > 4, f"about: no logo in its square ({len(set(logo))} colours)")
        check(win.dark_in((X + 96, 88, X + 200, 104)) > 30, "about: no product name")
        check(win.dark_in((X + 96, 104, X + 200, 120)) > 10, "about: no version line")
        check(win.dark_in((X + 48, 136, X + 200, 176)) > 40, "about: no credit lines")
        check(near(win.pixel((300, 160)), 219), f"about item should be selected, is {win.pixel((300, 160))}")

        # Leave and re-enter from the about section: still the about card.
        win.click(NAV_HOME)
        win.click(NAV_SETTINGS, settle=1.2)
        win.move((600, 300))
        win.shot("about-again")
        check(win.dark_in((X + 96, 88, X + 200, 104)) > 30, "about after re-entering: no product name")

        # A press dragged off the appearance item and released elsewhere
        # stays pressed: hovered again, the item is drawn in black 0.2.
        program.drag(win.cx + 290, win.cy + 100, win.cx + 600, win.cy + 300)
        win.move((290, 100))
        win.shot("dragged-off")
        pixel = win.pixel((300, 115))
        check(near(pixel, 194), f"appearance item should be drawn pressed (~194), is {pixel}")
        check(win.dark_in((X + 96, 88, X + 200, 104)) > 30, "the release elsewhere must not change the section")
        # The next button-down clears it.
        win.click((600, 300))
        win.move((290, 100))
        win.shot("after-next-press")
        pixel = win.pixel((300, 115))
        check(near(pixel, 219), f"after the next press the item should only be hovered (~219), is {pixel}")
    finally:
        code = program.close()
    check(code == 0, f"exit code {code}")
    check("Backdrop" not in prefix.read_settings(), "no backdrop was picked, none may be written")


def case_backdrop(prefix, args):
    prefix.clear_settings()
    program = gui.start(prefix, args, "backdrop")
    try:
        win = Window(program)
        win.click(NAV_SETTINGS, settle=1.2)
        win.click(BACKGROUND_ENTRY)
        # Mica is already the kind in use: it is written all the same.
        win.click(MICA_OPTION)
        values = prefix.read_settings()
        check(values.get("Backdrop") == "2", f"after Mica settings.ini holds {values}")
        win.move((600, 300))
        win.shot("mica")
        check_disc(win, "after Mica", 2)

        win.click(ACRYLIC_OPTION)
        values = prefix.read_settings()
        check(values.get("Backdrop") == "3", f"after Acrylic settings.ini holds {values}")
        win.move((600, 300))
        win.shot("acrylic")
        check_disc(win, "after Acrylic", 3)
        check("Width" not in values, "a backdrop choice writes only its own key")
    finally:
        code = program.close()
    check(code == 0, f"exit code {code}")

    program = gui.start(prefix, args, "backdrop-restart")
    try:
        check("backdrop 3," in program.trace(), f"the next start should read backdrop 3: {program.trace()[-400:]}")
        win = Window(program)
        win.click(NAV_SETTINGS, settle=1.2)
        win.click(BACKGROUND_ENTRY)
        win.move((600, 300))
        win.shot("restarted")
        check_disc(win, "after the restart", 3)
        win.click(MICA_OPTION)
        check(prefix.read_settings().get("Backdrop") == "2", "Mica after the restart was not written")
    finally:
        program.close()


CASES = {"pages": case_pages, "backdrop": case_backdrop}


if __name__ == "__main__":
    sys.exit(gui.main(CASES))
