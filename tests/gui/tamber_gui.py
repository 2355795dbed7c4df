#!/usr/bin/python3
"""GUI tests of tamber.exe: the real program under Wine in the X display given
by DISPLAY, driven with xdotool, checked with screenshots and settings.ini.

Each case works in its own Wine prefix: a hard-linked copy of the test build's
prefix in which the files Wine rewrites in place (registry, .ini) are real
copies, with the X11 driver drawing the window frame itself so that the X
window is the whole Windows window. Screenshots and logs are kept in
the artifacts folder.

Usage: tamber_gui.py CASE --exe tamber.exe --emulator wine64-exec --artifacts DIR
Cases: first_start, move_resize, restore, backdrop_versions, figures.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

from PIL import Image

LIGHT = (243, 243, 243)


def is_veiled(pixel):
    """White 0.5 over the blurred built-in cover (a light grey disc) or over
    LIGHT where no blur shows: a light grey, never the window colour's
    flat white nor a dark pixel."""
    return all(228 <= c <= 252 for c in pixel) and max(pixel) - min(pixel) <= 6
SETTINGS_RELATIVE = Path("AppData/Local/Tamber/Settings/settings.ini")
REPO = Path(__file__).resolve().parents[2]
BASE_PREFIX = {"x86_64": REPO / "build/wineprefix64", "i686": REPO / "build/wineprefix"}
WINE = {"x86_64": "/usr/lib/wine/wine64", "i686": "/usr/lib/wine/wine"}
WINESERVER = "/usr/lib/wine/wineserver"
# Hard-coded exit code of a failed by-name binding (platform/win32/dll_binding.h).
BIND_FAILURE_EXIT = 0xB1D


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(cmd, env=None, timeout=120, check_rc=True):
    result = subprocess.run(cmd, env=env, timeout=timeout, capture_output=True, text=True, errors="replace")
    if check_rc and result.returncode != 0:
        raise Failure(f"{' '.join(map(str, cmd))} failed ({result.returncode}): {result.stderr.strip()[-500:]}")
    return result.stdout


def exe_machine(exe):
    data = Path(exe).read_bytes()[:4096]
    pe = int.from_bytes(data[0x3C:0x40], "little")
    machine = int.from_bytes(data[pe + 4:pe + 6], "little")
    return "x86_64" if machine == 0x8664 else "i686"


class Prefix:
    """A Wine prefix of one test case."""

    def __init__(self, exe, emulator, folder):
        self.machine = exe_machine(exe)
        self.wine = WINE[self.machine]
        self.path = Path(folder) / "prefix"
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(self.path),
            "WINEARCH": "win64" if self.machine == "x86_64" else "win32",
            "WINEDEBUG": "-all,+debugstr",  # OutputDebugStringA lines: the program's start-up trace
            "LC_ALL": "zh_CN.UTF-8",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        base = BASE_PREFIX[self.machine]
        if not (base / "system.reg").exists():
            # A clean clone: let the test emulator create the shared prefix first.
            run([emulator, "wineboot", "--init"], timeout=300)
            run([WINESERVER, "-w"], env={**os.environ, "WINEPREFIX": str(base)}, timeout=300, check_rc=False)
        if self.path.exists():
            self.stop_server()
            shutil.rmtree(self.path)
        run(["cp", "-al", str(base), str(self.path)])
        # The files Wine rewrites in place (the registry, the .ini files) get
        # copies of their own: writing through a hard link would change the
        # shared prefix.
        for pattern in ("*.reg", "drive_c/windows/*.ini"):
            for path in self.path.glob(pattern):
                data = path.read_bytes()
                path.unlink()
                path.write_bytes(data)
                check(path.stat().st_nlink == 1, f"{path} still shares its data with the base prefix")
        self.reg_add(r"HKCU\Software\Wine\X11 Driver", "Decorated", "N")

    def reg_add(self, key, name, value):
        run([self.wine, "reg", "add", key, "/v", name, "/d", value, "/f"], env=self.env)

    def set_windows_version(self, version, build=None):
        """A version winecfg knows; a build number given on top of it is
        written where ntdll reads it when no per-user version overrides it
        (this Wine's winecfg knows no Windows 11)."""
        run([self.wine, "winecfg", "-v", version], env=self.env)
        if build:
            run([self.wine, "reg", "delete", r"HKCU\Software\Wine", "/v", "Version", "/f"], env=self.env,
                check_rc=False)
            key = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"
            self.reg_add(key, "CurrentBuild", str(build))
            self.reg_add(key, "CurrentBuildNumber", str(build))
        run([WINESERVER, "-w"], env=self.env, check_rc=False)

    def settings_path(self):
        users = self.path / "drive_c/users"
        user = os.environ.get("USER") or "root"
        return users / user / SETTINGS_RELATIVE

    def clear_settings(self):
        folder = self.settings_path().parent.parent  # ...\Tamber
        if folder.exists():
            shutil.rmtree(folder)

    def write_settings(self, values):
        path = self.settings_path()
        path.parent.mkdir(parents=True, exist_ok=True)
        lines = ["[Window]"] + [f"{k}={v}" for k, v in values.items()]
        path.write_text("\r\n".join(lines) + "\r\n")

    def read_settings(self):
        path = self.settings_path()
        check(path.exists(), f"{path} was not written")
        values = {}
        for line in path.read_text(errors="replace").splitlines():
            if "=" in line:
                key, value = line.split("=", 1)
                values[key.strip()] = value.strip()
        return values

    def stop_server(self):
        run([WINESERVER, "-k"], env=self.env, check_rc=False)
        run([WINESERVER, "-w"], env=self.env, check_rc=False)


class Program:
    """One run of tamber.exe."""

    def __init__(self, prefix, exe, artifacts, name, cwd=None):
        self.prefix = prefix
        self.artifacts = Path(artifacts)
        self.name = name
        self.log_path = self.artifacts / f"{name}.log"
        self.log = open(self.log_path, "w")
        self.started = time.monotonic()
        exe = Path(exe).resolve()
        self.process = subprocess.Popen([prefix.wine, str(exe)], env=prefix.env, cwd=str(cwd or exe.parent),
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.window = None
        self.first_frame_seconds = None

    def trace(self):
        return self.log_path.read_text(errors="replace")

    def wait_for_window(self, timeout=90):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise Failure(f"{self.name}: the program ended (code {self.process.returncode}) before its window "
                              f"was drawn; log: {self.trace()[-800:]}")
            text = self.trace()
            if "first frame" in text and self.first_frame_seconds is None:
                self.first_frame_seconds = time.monotonic() - self.started
            if "opening animation done" in text:
                found = subprocess.run(["xdotool", "search", "--name", "^Tamber$"], capture_output=True, text=True)
                ids = found.stdout.split()
                if ids:
                    self.window = ids[-1]
                    time.sleep(0.5)  # the last frame of the animation on screen
                    return
            time.sleep(0.1)
        raise Failure(f"{self.name}: no drawn window within {timeout} s; log: {self.trace()[-800:]}")

    def client_origin(self):
        match = re.findall(r"first frame, client (-?\d+),(-?\d+) (\d+)x(\d+)", self.trace())
        check(match, "no client origin in the trace")
        return tuple(int(v) for v in match[-1])

    def geometry(self):
        out = run(["xdotool", "getwindowgeometry", "--shell", self.window])
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def screenshot(self, label):
        path = self.artifacts / f"{self.name}-{label}.png"
        run(["import", "-window", "root", str(path)])
        return Image.open(path).convert("RGB")

    def drag(self, x0, y0, x1, y1, steps=12):
        run(["xdotool", "mousemove", str(x0), str(y0)])
        time.sleep(0.2)
        run(["xdotool", "mousedown", "1"])
        time.sleep(0.3)
        for i in range(1, steps + 1):
            x = x0 + (x1 - x0) * i // steps
            y = y0 + (y1 - y0) * i // steps
            run(["xdotool", "mousemove", str(x), str(y)])
            time.sleep(0.05)
        time.sleep(0.2)
        run(["xdotool", "mouseup", "1"])
        time.sleep(0.8)

    def close(self, timeout=30):
        run(["xdotool", "mousemove", "600", "1000"])  # off the window: no drag in progress
        run(["xdotool", "windowfocus", "--sync", self.window], check_rc=False)
        time.sleep(0.3)
        run(["xdotool", "key", "--window", self.window, "alt+F4"], check_rc=False)
        try:
            code = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise Failure(f"{self.name}: the window did not close on Alt+F4")
        self.log.close()
        check(code != BIND_FAILURE_EXIT, f"{self.name}: a DLL function could not be bound: {self.trace()[-600:]}")
        return code

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.close()


def is_light(pixel, tolerance=3):
    return all(abs(c - l) <= tolerance for c, l in zip(pixel, LIGHT))


def is_black(pixel):
    return max(pixel) < 30


def start(prefix, args, name):
    program = Program(prefix, args.exe, args.artifacts, name)
    try:
        program.wait_for_window()
    except Exception:
        program.kill()
        raise
    return program


# --- cases -------------------------------------------------------------------

def case_first_start(prefix, args):
    prefix.clear_settings()
    program = start(prefix, args, "first-start")
    try:
        check("backdrop 2, build 7601" in program.trace() or re.search(r"backdrop 2, build \d+", program.trace()),
              "no settings file must give backdrop 2")
        cx, cy, cw, ch = program.client_origin()
        wx, wy, ww, wh = program.geometry()
        print(f"window {wx},{wy} {ww}x{wh}; client {cx},{cy} {cw}x{ch}")
        check((ww, wh) == (772, 500), f"default size must be 772 x 500, got {ww} x {wh}")
        check(cy == wy, f"no caption: the client area starts at the window's top ({cy} vs {wy})")
        image = program.screenshot("opened")
        # The caption band and the body show the light window colour (no
        # system caption); the home page veils it with white 0.5 left of the
        # song-list panel (P = 250).
        for x, y in [(700, 30), (cw - 5, ch - 5)]:
            pixel = image.getpixel((cx + x, cy + y))
            check(is_light(pixel), f"client ({x}, {y}) should be RGB{LIGHT}, is {pixel}")
        for x, y in [(100, 2), (400, 15), (300, 200), (60, 300)]:
            pixel = image.getpixel((cx + x, cy + y))
            check(is_veiled(pixel), f"client ({x}, {y}) should be veiled, is {pixel}")
        # The navigation pill: black (the accent under Wine) at x 4..8, y 44..68.
        for x, y in [(5, 46), (6, 56), (7, 66), (5, 67), (7, 45)]:
            pixel = image.getpixel((cx + x, cy + y))
            check(is_black(pixel), f"pill pixel ({x}, {y}) should be black, is {pixel}")
        for x, y in [(3, 56), (9, 56), (6, 42), (6, 70)]:
            pixel = image.getpixel((cx + x, cy + y))
            check(not is_black(pixel), f"({x}, {y}) lies outside the pill but is {pixel}")
        # The current page's button square (4, 36)-(44, 76) in black 0.1 over the veil.
        pixel = image.getpixel((cx + 12, cy + 40))
        check(all(abs(c - 222) <= 8 for c in pixel), f"home button square should be ~222, is {pixel}")
    finally:
        code = program.close()
    values = prefix.read_settings()
    print("settings.ini:", values)
    check(values.get("Width") == "772" and values.get("Height") == "500", f"closing wrote {values}")
    check(values.get("Position") == "0", f"Position should be 0, is {values.get('Position')}")
    check(values.get("Left") == str(wx) and values.get("Top") == str(wy), f"Left/Top should be {wx}/{wy}: {values}")
    check("Backdrop" not in values, "the backdrop is written only when the user picks one")
    check(code == 0, f"exit code {code}")


def case_move_resize(prefix, args):
    prefix.write_settings({"Width": 800, "Height": 520, "Position": 0, "Left": 100, "Top": 80})
    program = start(prefix, args, "move-resize")
    try:
        x, y, w, h = program.geometry()
        check((x, y, w, h) == (100, 80, 800, 520), f"restored geometry is {x},{y} {w}x{h}")
        # Caption band: 8 < y < 8 + 28 below the top edge.
        program.drag(x + 300, y + 20, x + 360, y + 60)
        x2, y2, w2, h2 = program.geometry()
        check((x2, y2, w2, h2) == (x + 60, y + 40, w, h), f"caption drag moved to {x2},{y2} {w2}x{h2}")
        # Bottom-right corner grows both ways.
        program.drag(x2 + w2 - 3, y2 + h2 - 3, x2 + w2 + 77, y2 + h2 + 37)
        x3, y3, w3, h3 = program.geometry()
        check((x3, y3, w3, h3) == (x2, y2, w2 + 80, h2 + 40), f"corner drag gave {x3},{y3} {w3}x{h3}")
        # Left edge: the left side moves, the right side stays.
        program.drag(x3 + 3, y3 + 200, x3 + 33, y3 + 200)
        x4, y4, w4, h4 = program.geometry()
        check((x4, y4, w4, h4) == (x3 + 30, y3, w3 - 30, h3), f"left edge drag gave {x4},{y4} {w4}x{h4}")
        # Top edge (y < 8) resizes rather than moves.
        program.drag(x4 + 300, y4 + 3, x4 + 300, y4 + 23)
        x5, y5, w5, h5 = program.geometry()
        check((x5, y5, w5, h5) == (x4, y4 + 20, w4, h4 - 20), f"top edge drag gave {x5},{y5} {w5}x{h5}")
        # Below the minimum: 626 x 367.
        program.drag(x5 + w5 - 3, y5 + h5 - 3, x5 + 100, y5 + 100)
        x6, y6, w6, h6 = program.geometry()
        check((w6, h6) == (626, 367), f"minimum size should be 626 x 367, is {w6} x {h6}")
        program.screenshot("resized")
        # The client area well below the caption is not a drag handle.
        program.drag(x6 + 300, y6 + 200, x6 + 350, y6 + 250)
        x7, y7, _, _ = program.geometry()
        check((x7, y7) == (x6, y6), f"dragging the client area moved the window to {x7},{y7}")
    finally:
        program.close()
    values = prefix.read_settings()
    print("settings.ini:", values)
    expected = {"Width": "626", "Height": "367", "Position": "0", "Left": str(x6), "Top": str(y6)}
    check(all(values.get(k) == v for k, v in expected.items()), f"closing wrote {values}, expected {expected}")


def case_restore(prefix, args):
    prefix.write_settings({"Width": 900, "Height": 600, "Position": 0, "Left": 150, "Top": 120})
    program = start(prefix, args, "restore-explicit")
    try:
        geometry = program.geometry()
        check(geometry == (150, 120, 900, 600), f"restored geometry is {geometry}")
    finally:
        program.close()
    values = prefix.read_settings()
    check(values.get("Width") == "900" and values.get("Left") == "150", f"rewritten as {values}")

    # Double click on the caption band maximises. Without a window manager the
    # X window keeps its size, so the Windows side is checked through what the
    # program writes at closing (IsZoomed and the window rectangle).
    program = start(prefix, args, "restore-maximise")
    try:
        x, y, w, h = program.geometry()
        run(["xdotool", "mousemove", str(x + 300), str(y + 20)])
        time.sleep(0.3)
        for _ in range(2):
            run(["xdotool", "click", "1"])
            time.sleep(0.3)
        time.sleep(1.5)
        program.screenshot("maximised")
    finally:
        program.close()
    maximised = prefix.read_settings()
    print("after maximised close:", maximised)
    check(maximised.get("Position") == "3", f"closing maximised should write Position 3: {maximised}")
    check(int(maximised.get("Width", 0)) > 900 and int(maximised.get("Height", 0)) > 600,
          f"closing maximised should write the maximised size: {maximised}")

    program = start(prefix, args, "restore-maximised-start")
    program.close()
    again = prefix.read_settings()
    print("after the next start:", again)
    check(again == maximised, f"the next start should open maximised: wrote {again}")

    # A position on no monitor is not applied: the window opens on screen.
    prefix.write_settings({"Width": 700, "Height": 450, "Position": 0, "Left": 9000, "Top": 7000})
    program = start(prefix, args, "restore-offscreen")
    try:
        x, y, w, h = program.geometry()
        check((w, h) == (700, 450), f"size should still be applied: {w}x{h}")
        check(0 <= x < 1280 and 0 <= y < 1024, f"the window opened off-screen at {x},{y}")
    finally:
        program.close()


def case_backdrop_versions(prefix, args):
    # Name, winecfg version, build written on top, build the program must see.
    # 7601 and 19045 apply no backdrop, 22000 the accent policy of user32,
    # 22621 the DWM system backdrop: each range binds only its own function.
    versions = [
        ("win7", "win7", None, 7601),
        ("win10", "win10", 19045, 19045),
        ("win11-21h2", "win10", 22000, 22000),
        ("win11-22h2", "win10", 22621, 22621),
    ]
    for name, version, build, expected_build in versions:
        prefix.set_windows_version(version, build)
        prefix.clear_settings()
        program = start(prefix, args, f"backdrop-{name}")
        try:
            match = re.search(r"backdrop (\d+), build (\d+)", program.trace())
            check(match, "no backdrop line in the trace")
            print(f"{name}: backdrop {match.group(1)}, build {match.group(2)}")
            check(match.group(1) == "2", f"{name}: backdrop {match.group(1)}")
            check(int(match.group(2)) == expected_build, f"{name}: build {match.group(2)}, expected {expected_build}")
            program.screenshot("opened")
            time.sleep(1)
            check(program.process.poll() is None, f"{name}: the program ended: {program.trace()[-600:]}")
        finally:
            code = program.close()
        check(code == 0, f"{name}: exit code {code}")


def case_devices(prefix, args):
    """Where no hardware device can be made the program starts and draws on
    WARP; where no device at all, it says so in a message box and ends."""
    prefix.clear_settings()
    prefix.env["TAMBER_REFUSE_DEVICE"] = "hardware"
    program = start(prefix, args, "warp")
    try:
        check("graphics device: WARP" in program.trace(), f"no WARP device in the trace: {program.trace()[-600:]}")
        cx, cy, cw, ch = program.client_origin()
        image = program.screenshot("drawn")
        for x, y in [(700, 30), (cw - 5, ch - 5)]:
            pixel = image.getpixel((cx + x, cy + y))
            check(is_light(pixel), f"on WARP, client ({x}, {y}) should be RGB{LIGHT}, is {pixel}")
        pixel = image.getpixel((cx + 300, cy + 200))
        check(is_veiled(pixel), f"on WARP, the veil should show, is {pixel}")
    finally:
        code = program.close()
    check(code == 0, f"exit code {code} on WARP")

    prefix.env["TAMBER_REFUSE_DEVICE"] = "all"
    program = Program(prefix, args.exe, args.artifacts, "no-device")
    try:
        box = None
        deadline = time.monotonic() + 90
        while time.monotonic() < deadline and not box:
            check(program.process.poll() is None, f"the program ended without a word: {program.trace()[-600:]}")
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^(错误|Error)$"],
                                   capture_output=True, text=True).stdout.split()
            box = found[-1] if found else None
            time.sleep(0.2)
        check(box is not None, "no message box within 90 s")
        check("no graphics device" in program.trace(), f"trace: {program.trace()[-600:]}")
        program.screenshot("message")
        run(["xdotool", "windowfocus", "--sync", box], check_rc=False)
        run(["xdotool", "key", "--window", box, "Return"], check_rc=False)
        code = program.process.wait(timeout=30)
        check(code != 0, "without a device the program must end with a failure code")
    finally:
        program.kill()


def case_figures(prefix, args):
    """Not a pass/fail case: start time and idle CPU, for the notes."""
    prefix.clear_settings()
    program = start(prefix, args, "figures")
    try:
        match = re.search(r"tamber: (\d+) ms first frame", program.trace())
        print(f"first frame: {match.group(1) if match else '?'} ms after process creation (program's clock); "
              f"{program.first_frame_seconds:.2f} s after launch (harness clock)")
        pid = program.process.pid
        ticks = os.sysconf("SC_CLK_TCK")

        def cpu_seconds(p):
            fields = Path(f"/proc/{p}/stat").read_text().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / ticks

        server = run(["pgrep", "-n", "-f", "wineserver"], check_rc=False).strip()
        before = cpu_seconds(pid)
        server_before = cpu_seconds(server) if server else 0
        idle_seconds = 30
        time.sleep(idle_seconds)
        used = cpu_seconds(pid) - before
        server_used = (cpu_seconds(server) - server_before) if server else 0
        print(f"idle {idle_seconds} s: program {used:.2f} s CPU = {100 * used / idle_seconds:.2f} %, "
              f"wineserver {100 * server_used / idle_seconds:.2f} %")
    finally:
        program.close()


CASES = {
    "first_start": case_first_start,
    "move_resize": case_move_resize,
    "restore": case_restore,
    "backdrop_versions": case_backdrop_versions,
    "devices": case_devices,
    "figures": case_figures,
}


def main(cases=None):
    """Runs one case of cases (default: this file's) named on the command line."""
    cases = cases or CASES
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(cases))
    parser.add_argument("--exe", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        print("GUI tests need an X display: run them through scripts/test, or start Xvfb and set DISPLAY",
              file=sys.stderr)
        return 1
    for tool in ("xdotool", "import"):
        if not shutil.which(tool):
            print(f"GUI tests need {tool} (Debian packages xdotool, imagemagick)", file=sys.stderr)
            return 1
    folder = Path(args.artifacts).resolve() / args.case
    folder.mkdir(parents=True, exist_ok=True)
    args.artifacts = str(folder)
    prefix = None
    try:
        # A fresh prefix copy per case: a clean settings folder every run.
        prefix = Prefix(args.exe, args.emulator, folder)
        cases[args.case](prefix, args)
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        if prefix:
            prefix.stop_server()
            # Keep the logs and screenshots, not the prefix copy.
            shutil.rmtree(prefix.path, ignore_errors=True)
    print(f"{args.case}: passed (artifacts in {folder})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
