#!/usr/bin/python3
"""Figures of what is heard, through the sound rig's own PulseAudio server:
click-to-sound latency at play and at resume, SetVolume-to-ear latency, the
gaps in long plays (idle, and under load with a stalling decoder), and the
CPU of one playing stream per format (% of one core, sound-probe.exe under
Wine). Medians of several runs; figures, not tests.

Usage: sound_bench.py --bin build/win64/bin --emulator wine64-exec --work DIR
                      --audio build/bench-audio [--before OTHER_BIN]
                      [--runs 5] [--seconds 20] [--idle-seconds 600] [--load-seconds 600]
--before: the bin folder of another build (its sound-probe.exe, lib\\bass.dll
and testplugins\\cod_testtone.dll), measured beside this one in the same run,
turn about, for a before-and-after.
The long runs of the player (100 pause/resume cycles) are
tests/sound/sound_test.py with --cycles 100.
"""
import argparse
import math
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "sound"))
import rig  # noqa: E402

GAP_DB = 20  # a 10-ms window this far below the playing level is heard as a gap


def win(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Tree:
    def __init__(self, name, bin_dir):
        self.name = name
        self.probe = str(Path(bin_dir) / "sound-probe.exe")
        self.plugin = Path(bin_dir) / "testplugins" / "cod_testtone.dll"


def record(server, sink, run):
    recorder = rig.Recorder(server, sink)
    recorder.wait_ready()
    try:
        events = run()
    finally:
        rec = recorder.stop()
    return events, rec


def latencies(server, env, args, tree, tone):
    """Medians of: click-to-sound at play and at resume, and a volume change
    from 0.5 to 0.1 heard (the first window below the old level) and done
    (the first window within 1 dB of the new one)."""
    play, resume, began, done = [], [], [], []
    full = 20 * math.log10(0.25 / 2 ** 0.5)
    quiet = full - 20 * math.log10(5)
    for _ in range(args.runs):
        events, rec = record(server, "bench", lambda: rig.run_probe(
            args.emulator, tree.probe,
            ["init -1", "open " + win(tone), "volume 0.5", "play", "wait 1000", "volume 0.1", "wait 1000", "pause",
             "wait 500", "volume 0.5", "play", "wait 700", "free"], env, str(args.work), "latency")[0])
        at = {}
        for e in events:
            at.setdefault(e["cmd"], []).append(e["t"])
        levels = rec.levels()

        def first(after, below):
            return next((rec.time_of(i * rig.WINDOW) - after for i, lvl in enumerate(levels)
                         if rec.time_of(i * rig.WINDOW) >= after and lvl < below), None)
        onset = rec.sound_after(at["play"][0], full - 20)
        back = rec.sound_after(at["play"][1], full - 40)
        if onset:
            play.append(onset - at["play"][0])
        if back:
            resume.append(back - at["play"][1])
        for into, below in ((began, full - 0.25), (done, quiet + 1)):
            heard = first(at["volume"][1], below)
            if heard is not None:
                into.append(heard)
    for label, values in (("click-to-sound at play", play), ("click-to-sound at resume", resume),
                          ("SetVolume 0.5 to 0.1, heard", began), ("SetVolume 0.5 to 0.1, at its level", done)):
        print("  %-38s median %4.0f ms (%s)" % (label + ":", statistics.median(values) if values else float("nan"),
                                                 [round(x) for x in values]))


def gaps(server, env, args, tree, seconds, load):
    """Plays a 440-Hz tone for seconds (under load: with both cores busy and a
    decoder that stalls 300 ms every second) and counts the gaps heard: runs
    of 10-ms windows GAP_DB or more below the playing level."""
    flags = 0x1 | (0x4 if load else 0)
    tone = args.work / ("gaps-%s.ttone" % ("load" if load else "idle"))
    tone.write_bytes(b"TTONE\0\0\0" + np.array([44100, 2, 44100 * (seconds + 30), flags], "<u4").tobytes())
    busy = [subprocess.Popen(["nice", "-n", "10", sys.executable, "-c", "while True: pass"])
            for _ in range(2 if load else 0)]
    try:
        events, rec = record(server, "bench", lambda: rig.run_probe(
            args.emulator, tree.probe,
            ["init -1", "plugin " + win(tree.plugin), "open " + win(tone), "volume 0.5", "play",
             "wait %d" % (seconds * 1000), "underruns", "free"], env, str(args.work), "gaps", timeout=seconds + 600)[0])
    finally:
        for b in busy:
            b.kill()
    play = [e for e in events if e["cmd"] == "play"][0]["t"]
    end = [e for e in events if e["cmd"] == "underruns"][0]
    full = 20 * math.log10(0.5 / 2 ** 0.5)
    start = rec.sound_after(play, full - GAP_DB)
    if start is None:
        print("  %-6s %s: no sound" % (tree.name, "load" if load else "idle"))
        return
    lo, hi = rec.index_at(start + 100) // rig.WINDOW, rec.index_at(end["t"] - 100) // rig.WINDOW
    quiet = rec.levels()[lo:hi] < full - GAP_DB
    drops = [d for d in server.dropouts() if rec.time_of(lo * rig.WINDOW) <= d[0] <= rec.time_of(hi * rig.WINDOW)]
    # A gap the server reported (a dropout within 150 ms of it) is Wine's or
    # the server's lateness; one it did not is the library's queue running dry.
    starts = [rec.time_of((lo + k) * rig.WINDOW) for k in np.nonzero(quiet & ~np.r_[False, quiet[:-1]])[0]]
    reported = sum(1 for t in starts if any(a - 150 <= t <= max(b, a + 150) + 60 for a, b in drops))
    print("  %-6s %s, %d s: %d gap(s), %d of them at a server dropout; %d of %d 10-ms windows silent (%.3f %%); "
          "%d server dropout(s); library underruns %d"
          % (tree.name, "under load" if load else "idle", seconds, len(starts), reported, int(np.count_nonzero(quiet)),
             len(quiet), 100.0 * np.count_nonzero(quiet) / max(1, len(quiet)), len(drops), end["underruns"]))


def cpu_per_format(server, env, args, tree):
    for fmt in ("wav", "mp3", "flac", "ogg", "m4a", "wma"):
        path = args.audio / ("music." + fmt)
        if not path.exists():
            print("  %-5s no file (scripts/bench makes build/bench-audio)" % fmt)
            continue
        script = args.work / "cpu.txt"
        script.write_text("init -1\nopen %s\nplay\nwait %d\nfree\n" % (win(path), args.seconds * 1000))
        started = time.time()
        proc = subprocess.Popen([args.emulator, tree.probe, str(script)], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        _, _, usage = os.wait4(proc.pid, 0)
        wall = time.time() - started
        cpu = usage.ru_utime + usage.ru_stime
        print("  %-5s %5.1f %% of a core (%.1f s of CPU over %.1f s, Wine's start included)" % (fmt, 100 * cpu / wall,
                                                                                              cpu, wall))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--before")
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--work", type=Path, required=True)
    parser.add_argument("--audio", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--idle-seconds", type=int, default=600)
    parser.add_argument("--load-seconds", type=int, default=600)
    args = parser.parse_args()
    args.work = args.work.resolve()
    args.work.mkdir(parents=True, exist_ok=True)
    trees = [Tree("this", args.bin)] + ([Tree("before", args.before)] if args.before else [])
    server = rig.PulseServer(args.work / "pulse")
    try:
        server.add_sink("bench")
        server.set_default("bench")
        env = server.wine_env(os.environ)
        tone = args.work / "tone.wav"
        rig.write_wav(tone, rig.tone(30), rig.RATE)
        for tree in trees:
            print("latencies, %s build:" % tree.name)
            latencies(server, env, args, tree, tone)
        # Turn about, so that a noisy stretch of the machine's falls on both.
        print("gaps heard (%d dB or more below the playing level):" % GAP_DB)
        for load, seconds in ((False, args.idle_seconds), (True, args.load_seconds)):
            for tree in trees:
                gaps(server, env, args, tree, seconds, load)
        print("CPU of one playing stream, %s build:" % trees[0].name)
        cpu_per_format(server, env, args, trees[0])
    finally:
        server.close()


if __name__ == "__main__":
    main()
