#!/usr/bin/python3
"""CPU of tamber.exe while it plays a track with a 300-line lyric on screen,
and the frames it draws playing and paused: the real program under Wine in
the X display given by DISPLAY, on the harness of the GUI tests (tests/gui,
tests/gui_home). The track is opened through the real open-file dialog.

Frames come from the program's debugger output: a frame that shows a change
of the playing state traces "tamber: T ms N frames, playing" (or "not
playing"), so the frames between two clicks on the play button are exact.
The same line carries the pixels the repaint requests named as changed, the
pixels redrawn and the pixels copied to the screen so far.

Each frame path the program knows (TAMBER_FRAME_PATH) is measured in turn in
one run: "whole" (every frame whole, as before frames were retained), "copy"
(partial redraws, the whole retained frame copied to a discarded swap chain)
"direct" (partial frames whose lyric lines and background are drawn anew
each frame, as before they were cached) and "partial" (the default: partial
redraws from line bitmaps and the composed background, and where no system
backdrop shows, as under Wine, a swap chain that keeps its pixels and
presents only the dirty rectangles).
A pause that is resumed at once counts what the two clicks draw themselves
(hover, press, release); the paused stretch is given with and without it.

Usage: cpu_while_playing.py --exe tamber.exe [--artifacts DIR] [--seconds 60]
         [--paused-seconds 20] [--lyric-lines 300] [--line-seconds 2]
         [--track-seconds S] [--base-prefix PREFIX] [--paths whole,copy,direct,partial]
Prints figures; fails only when the run itself does.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

TESTS = Path(__file__).resolve().parents[2] / "tests"
sys.path.insert(0, str(TESTS / "gui"))
sys.path.insert(0, str(TESTS / "gui_home"))
import tamber_gui as gui  # noqa: E402
import home_gui  # noqa: E402
from tamber_gui import check, run  # noqa: E402

CPU_GOAL_PERCENT = 10.0
MARKER = re.compile(r"tamber: (\d+) ms (\d+) frames, (playing|not playing)")
PIXELS = re.compile(r"tamber: \d+ ms \d+ frames, (?:playing|not playing), pixels (\d+) changed (\d+) drawn (\d+) copied")
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """User + system time of a process, from /proc."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def prefix_server(prefix_path):
    """The wineserver of this prefix only: it works in a folder
    server-DEV-INODE named after the prefix folder."""
    st = os.stat(prefix_path)
    folder = f"/server-{st.st_dev:x}-{st.st_ino:x}"
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if (entry / "comm").read_text().startswith("wineserver") and os.readlink(entry / "cwd").endswith(folder):
                return int(entry.name)
        except OSError:
            continue
    return None


def make_track(folder, seconds, line_count, line_seconds):
    """A sine tone long enough for the run, and its lyric beside it."""
    track = folder / "bench.mp3"
    run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", f"sine=frequency=440:sample_rate=44100:duration={seconds}",
         "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", "-metadata", "title=Bench Song",
         "-metadata", "artist=Tamber", str(track)], timeout=300)
    if line_count == 0:
        return track
    lines = ["\ufeff[ti:Bench Song]"]
    for i in range(line_count):
        t = round(i * line_seconds * 100)  # hundredths
        lines.append(f"[{t // 6000:02d}:{t // 100 % 60:02d}.{t % 100:02d}]Line {i + 1} of {line_count}, "
                     f"long enough to fill the lyrics area")
    (folder / "bench.lrc").write_text("\r\n".join(lines) + "\r\n", encoding="utf-8")
    return track


class Run:
    """One program with its track playing: clicks on the play button and the
    frame counts the program traces for them."""

    def __init__(self, program, win):
        self.program = program
        self.win = win

    def markers(self):
        return [(int(ms), int(frames), state) for ms, frames, state in MARKER.findall(self.program.trace())]

    def toggle(self, state, timeout=30):
        """Clicks play/pause and returns (ms, frames) of the frame showing state."""
        seen = len(self.markers())
        self.win.click(self.win.play_button(), settle=0.1)
        self.win.away()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            fresh = self.markers()[seen:]
            if fresh:
                ms, frames, got = fresh[-1]
                check(got == state, f"the click gave '{got}', expected '{state}'")
                return ms, frames
            time.sleep(0.1)
        raise gui.Failure(f"no frame showed '{state}' within {timeout} s of the click")


def measure(prefix, args, track, path):
    prefix.env["TAMBER_FRAME_PATH"] = path
    program, win = home_gui.start_home(prefix, args, f"cpu-{path}", 1000, 650)
    pid = program.process.pid
    server = None
    try:
        win.open_file(track, settle=3.0)  # past the fade-in and the first layouts
        server = prefix_server(prefix.path)
        bench = Run(program, win)
        # A pause resumed at once: what the clicks draw by themselves. The
        # playing stretch starts with that resume (its fade-in included).
        _, clicks_from = bench.toggle("not playing")
        time.sleep(1.0)
        resume_ms, resume_frames = bench.toggle("playing")
        click_frames = resume_frames - clicks_from
        pixels_at_resume = PIXELS.findall(program.trace())[-1]

        start = time.monotonic()
        cpu_before = cpu_seconds(pid)
        server_before = cpu_seconds(server) if server else 0
        time.sleep(args.seconds)
        cpu_used = cpu_seconds(pid) - cpu_before
        server_used = (cpu_seconds(server) - server_before) if server else 0
        wall = time.monotonic() - start
        win.shot("playing")
        pause_ms, pause_frames = bench.toggle("not playing")
        playing_frames = pause_frames - resume_frames
        playing_ms = pause_ms - resume_ms
        pixels_at_pause = PIXELS.findall(program.trace())[-1]

        time.sleep(1.5)  # the fade-out is over
        paused_cpu_before = cpu_seconds(pid)
        paused_start = time.monotonic()
        time.sleep(args.paused_seconds)
        paused_cpu = cpu_seconds(pid) - paused_cpu_before
        paused_wall = time.monotonic() - paused_start
        _, end_frames = bench.toggle("playing")
        paused_frames = end_frames - pause_frames
    finally:
        program.close()

    cpu_percent = 100 * cpu_used / wall
    lyric = f"{args.lyric_lines} lyric lines (one every {args.line_seconds:g} s)" if args.lyric_lines else "no lyric"
    print(f"path '{path}': playing, {lyric}, {wall:.1f} s:")
    print(f"  tamber.exe   {cpu_used:6.2f} s CPU = {cpu_percent:5.2f} % of one core "
          f"(goal under {CPU_GOAL_PERCENT:g} %: {'met' if cpu_percent < CPU_GOAL_PERCENT else 'missed'})")
    if server:
        print(f"  wineserver   {server_used:6.2f} s CPU = {100 * server_used / wall:5.2f} %")
    print(f"  frames       {playing_frames} in {playing_ms / 1000:.1f} s between the clicks = "
          f"{1000 * playing_frames / playing_ms:.1f} per second, "
          f"{1000 * cpu_used / max(1, playing_frames * wall * 1000 / playing_ms):.0f} ms of CPU each")
    changed, drawn, copied = (int(b) - int(a) for a, b in zip(pixels_at_resume, pixels_at_pause))
    seconds = playing_ms / 1000
    print(f"  pixels/s     {changed / seconds / 1e6:.2f} M changed, {drawn / seconds / 1e6:.2f} M redrawn, "
          f"{copied / seconds / 1e6:.2f} M copied to the screen")
    print(f"paused, {paused_wall:.1f} s:")
    print(f"  tamber.exe   {paused_cpu:6.2f} s CPU = {100 * paused_cpu / paused_wall:5.2f} % of one core")
    print(f"  frames       {paused_frames} between the clicks, {click_frames} of them the clicks' own "
          f"(a pause resumed at once): {paused_frames - click_frames} while paused")
    return cpu_percent


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", required=True, help="tamber.exe of a Windows build (its dist/ layout)")
    parser.add_argument("--artifacts", help="logs and screenshots (default: a temporary folder)")
    parser.add_argument("--seconds", type=float, default=60, help="length of the playing stretch")
    parser.add_argument("--paused-seconds", type=float, default=20, help="length of the paused stretch")
    parser.add_argument("--lyric-lines", type=int, default=300, help="lines of the lyric (0: none)")
    parser.add_argument("--line-seconds", type=float, default=2, help="time between lyric lines")
    parser.add_argument("--track-seconds", type=float, help="length of the track (default: the lyric's, or more)")
    parser.add_argument("--base-prefix", help="Wine prefix copied for the run (default: the GUI tests' one)")
    parser.add_argument("--paths", default="whole,copy,direct,partial", help="frame paths to measure, in this order")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        print("cpu_while_playing: needs an X display (DISPLAY)", file=sys.stderr)
        return 1
    machine = gui.exe_machine(args.exe)
    if args.base_prefix:
        gui.BASE_PREFIX[machine] = Path(args.base_prefix).resolve()
    work = Path(tempfile.mkdtemp(prefix="tamber-bench-home-"))
    artifacts = Path(args.artifacts).resolve() if args.artifacts else work / "artifacts"
    artifacts.mkdir(parents=True, exist_ok=True)
    args.artifacts = str(artifacts)
    prefix = None
    try:
        # Long enough for the lyric, the opening, both stretches and the
        # clicks between. The length sets how often the bar moves a pixel.
        length = args.track_seconds or max(args.lyric_lines * args.line_seconds,
                                           args.seconds + args.paused_seconds + 60) + 10
        track = make_track(work, length, args.lyric_lines, args.line_seconds)
        prefix = gui.Prefix(args.exe, gui.WINE[machine], artifacts)
        figures = [(path, measure(prefix, args, track, path)) for path in args.paths.split(",")]
        print("CPU of tamber.exe while playing, by frame path: " +
              ", ".join(f"{path} {percent:.1f} %" for path, percent in figures))
    except (gui.Failure, subprocess.TimeoutExpired) as failure:
        print(f"cpu_while_playing: FAILED: {failure} (artifacts in {artifacts})", file=sys.stderr)
        return 1
    finally:
        if prefix:
            prefix.stop_server()
            shutil.rmtree(prefix.path, ignore_errors=True)
        for name in ("bench.mp3", "bench.lrc"):
            (work / name).unlink(missing_ok=True)
        if not args.artifacts.startswith(str(work)):
            shutil.rmtree(work, ignore_errors=True)
    print(f"(logs and screenshots in {artifacts})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
