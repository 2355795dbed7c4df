#!/usr/bin/python3
"""Figures of what is heard, through the sound rig's own PulseAudio server:
click-to-sound latency at play and at resume, SetVolume-to-ear latency, and
the CPU of one playing stream per format (% of one core, sound-probe.exe under
Wine). Medians of several runs; figures, not tests.

Usage: sound_bench.py --probe sound-probe.exe --emulator wine64-exec --work DIR
                      --audio build/bench-audio [--runs 5] [--seconds 20]
The long runs (100 pause/resume cycles, ten minutes under load) are
tests/sound/sound_test.py with --cycles 100 --load-seconds 600 --strict-gaps.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "sound"))
import rig  # noqa: E402


def win(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--work", type=Path, required=True)
    parser.add_argument("--audio", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=int, default=20)
    args = parser.parse_args()
    args.work.mkdir(parents=True, exist_ok=True)
    server = rig.PulseServer(args.work / "pulse")
    try:
        server.add_sink("bench")
        server.set_default("bench")
        env = server.wine_env(os.environ)
        tone = args.work / "tone.wav"
        rig.write_wav(tone, rig.tone(30), rig.RATE)
        play, resume, volume = [], [], []
        for run in range(args.runs):
            recorder = rig.Recorder(server, "bench")
            recorder.wait_ready()
            events, _ = rig.run_probe(args.emulator, args.probe,
                                      ["init -1", "open " + win(tone), "volume 0.5", "play", "wait 1000", "volume 0.1",
                                       "wait 1000", "pause", "wait 500", "volume 0.5", "play", "wait 700", "free"],
                                      env, str(args.work), "latency")
            rec = recorder.stop()
            at = {}
            for e in events:
                at.setdefault(e["cmd"], []).append(e["t"])
            full = 20 * __import__("math").log10(0.25 / 2 ** 0.5)
            onset = rec.sound_after(at["play"][0], full - 20)
            back = rec.sound_after(at["play"][1], full - 40)
            levels = rec.levels()
            change = next((rec.time_of(i * rig.WINDOW) for i, lvl in enumerate(levels)
                           if rec.time_of(i * rig.WINDOW) >= at["volume"][1] and lvl < full - 13), None)
            if onset:
                play.append(onset - at["play"][0])
            if back:
                resume.append(back - at["play"][1])
            if change:
                volume.append(change - at["volume"][1])
        print("click-to-sound at play:    median %.0f ms (%s)" % (statistics.median(play), [round(x) for x in play]))
        print("click-to-sound at resume:  median %.0f ms (%s)" % (statistics.median(resume), [round(x) for x in resume]))
        print("SetVolume to ear:          median %.0f ms (%s)" % (statistics.median(volume), [round(x) for x in volume]))

        for fmt in ("wav", "mp3", "flac", "ogg", "m4a", "wma"):
            path = args.audio / ("music." + fmt)
            if not path.exists():
                print("%-5s no file (scripts/bench makes build/bench-audio)" % fmt)
                continue
            script = args.work / "cpu.txt"
            script.write_text("init -1\nopen %s\nplay\nwait %d\nfree\n" % (win(path), args.seconds * 1000))
            started = time.time()
            proc = subprocess.Popen([args.emulator, args.probe, str(script)], env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            _, _, usage = os.wait4(proc.pid, 0)
            wall = time.time() - started
            cpu = usage.ru_utime + usage.ru_stime
            print("%-5s %5.1f %% of a core (%.1f s of CPU over %.1f s, Wine's start included)" % (fmt, 100 * cpu / wall,
                                                                                                cpu, wall))
    finally:
        server.close()


if __name__ == "__main__":
    main()
