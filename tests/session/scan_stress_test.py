#!/usr/bin/python3
"""The folder scan under stress, through tamber-session under Wine: two scans
at once of 2,000 and 300 names (extensions in mixed letter case, empty files,
files another process holds open with no sharing, folders named like tracks,
files removed from the Linux side while the scan runs) while the window adds,
loads, plays, seeks and steps through tracks. Every row must be the file it names, each scan's
rows in the order the folder lists them, none lost and none twice.

Usage: scan_stress_test.py --exe tamber-session.exe --holder hold-files.exe
                           --emulator wine-exec --fixtures tests/fixtures --work DIR
"""
import argparse
import os
import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import session_test  # noqa: E402  (its Session runs the script)
from session_test import Session, fixture, win  # noqa: E402

ARGS = None
SCANNED = ("mp3", "flac", "ogg")
SOURCES = {"mp3": "tagged.mp3", "flac": "titled.flac", "ogg": "plain.ogg"}
# What each real file's row says: title (None: the name's stem) and duration.
ROW_OF = {"mp3": ("Tagged Song", "0:03"), "flac": ("Flac Title", "0:02"), "ogg": (None, "0:02")}


def fill_folder(folder, count, prefix):
    """count names: mostly hard links of the fixtures, a few of every kind of
    trouble. Returns the names to hold open (copies: Wine shares by inode)."""
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    held = []
    for i in range(count):
        ext = SCANNED[i % 3]
        kind = i % 50
        if kind in (7, 31):  # scanned in any letter case
            name = f"{prefix}u{i:04}.{(ext.upper(), ext.capitalize())[kind == 31]}"
            os.link(fixture(SOURCES[ext]), folder / name)
        elif kind == 19:  # not scanned: the extension is "txt"
            os.link(fixture(SOURCES[ext]), folder / f"{prefix}t{i:04}.{ext}.txt")
        elif kind == 13:  # 0 bytes
            (folder / f"{prefix}z{i:04}.{ext}").touch()
        elif kind == 29:  # held open by another process
            name = f"{prefix}h{i:04}.{ext}"
            shutil.copy(fixture(SOURCES[ext]), folder / name)
            held.append(name)
        elif kind == 41:  # a folder, not a file
            (folder / f"{prefix}d{i:04}.{ext}").mkdir()
        elif kind == 47:
            (folder / f"{prefix}n{i:04}").touch()  # no extension at all
        else:
            os.link(fixture(SOURCES[ext]), folder / f"{prefix}s{i:04}.{ext}")
    return held


def listings(*folders):
    """Each folder's files in the order the system enumerates them, as Wine's
    own "dir" walks them (the same FindFirstFile walk, unsorted)."""
    def walk(folder):
        out = subprocess.run([ARGS.emulator, "cmd", "/c", "dir", "/b", "/a-d", win(folder)],
                             capture_output=True, check=True).stdout.decode("gbk")
        return [n for n in out.splitlines() if n]
    return [walk(folder) for folder in folders]


def accepted(folder, names):
    return [win(folder / n) for n in names if "." in n and n.rsplit(".", 1)[1].lower() in SCANNED]


class ScanStress(unittest.TestCase):
    def assertScanRows(self, rows, listed, vanished=frozenset()):
        paths = [row["Path"] for row in rows]
        self.assertEqual(len(paths), len(set(paths)), "a row twice")
        present = set(paths)
        self.assertEqual(paths, [p for p in listed if p in present], "rows out of enumeration order, or foreign")
        self.assertLessEqual(set(listed) - present, vanished, "rows lost")

    def assertRowsDescribeTheirFiles(self, rows, troubled):
        for row in rows:
            name = row["Path"].rsplit("\\", 1)[1]
            stem, ext = name.rsplit(".", 1)
            if name in troubled:  # empty or held: no tags, no length
                self.assertEqual((row["Title"], row["DurationText"]), (stem, "0:00"), name)
            else:
                title, duration = ROW_OF[ext.lower()]
                self.assertEqual((row["Title"], row["DurationText"]), (title or stem, duration), name)

    def test_two_scans_while_the_window_plays(self):
        big, small = ARGS.work / "stress-a", ARGS.work / "stress-b"
        held = fill_folder(big, 2000, "a") + fill_folder(small, 300, "b")
        for folder in (big, small):
            self.addCleanup(shutil.rmtree, folder, True)
        listed_big, listed_small = listings(big, small)
        self.assertEqual(len(listed_big), 2000 - 40)  # the folders are not listed
        expected_big, expected_small = accepted(big, listed_big), accepted(small, listed_small)
        # Removed while the scan runs: every 20th track of the last half of
        # the walk, which the scan is still to reach.
        half = len(expected_big) // 2
        vanishing = [p for p in expected_big[half::20] if "\\as" in p]
        self.assertGreater(len(vanishing), 30)

        holder = subprocess.Popen([ARGS.emulator, ARGS.holder] + [win((big if n[0] == "a" else small) / n)
                                                                  for n in held],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            self.assertEqual(holder.stdout.readline().decode().split(), ["held", str(len(held))])

            def remove_vanishing(count, state):
                if count == 1:
                    for path in vanishing:
                        (big / path.rsplit("\\", 1)[1]).unlink()

            tagged, plain = win(fixture("tagged.mp3")), win(fixture("plain.ogg"))
            started = time.monotonic()
            run = Session([
                f"scan {win(big)}", "state",
                f"add {tagged}", "wait 200", "seek 0.5",
                f"scan {win(small)}",
                "next", "wait 150", "prev", "toggle", "wait 250", "toggle",
                "play 3", "seek 0.3", "next", "next", "wait 150", "prev",
                f"add {plain}", "wait 300", "state",
                "waitscan", "state",
                f"add {tagged}", "wait 800", "state",
            ], on_state=remove_vanishing, timeout=240)
            seconds = time.monotonic() - started
        finally:
            holder.stdin.close()
            holder.wait(timeout=60)
            holder.stdout.close()
        if len(run.states) == 4:
            print(f"two scans of {len(expected_big) + len(expected_small)} tracks with the window at work: "
                  f"{seconds:.1f} s; {len(run.states[1]['Rows'])} rows in the list before waitscan; "
                  f"{sum(r['Path'] in vanishing for r in run.states[3]['Rows'])} of {len(vanishing)} removed "
                  f"files got a row", file=sys.stderr)

        self.assertEqual(run.returncode, 0)
        self.assertEqual(len(run.states), 4)
        _, _, scanned, final = run.states
        # The scans' measuring streams are gone; only the last add's remains.
        self.assertEqual(scanned["LiveStreams"], 1)
        self.assertEqual(scanned["Rows"][scanned["CurrentIndex"] - 1]["Path"], win(fixture("plain.ogg")))
        self.assertEqual(final["Rows"][:-1], scanned["Rows"], "rows never change once in the list")

        rows = final["Rows"]
        def under(folder):
            return [r for r in rows if r["Path"].startswith(win(folder) + "\\")]
        rows_big, rows_small = under(big), under(small)
        self.assertEqual([r["Path"] for r in rows if r["Path"] in (tagged, plain)], [tagged, plain, tagged],
                         "the window's own adds, in their order")
        self.assertEqual(len(rows), len(rows_big) + len(rows_small) + 3)
        self.assertScanRows(rows_big, expected_big, frozenset(vanishing))
        vanishing = set(vanishing)
        self.assertScanRows(rows_small, expected_small)
        # A removed file's row (if any) may have been read before or after it went.
        troubled = {n for n in listed_big + listed_small if n[1] in "zh"}
        self.assertRowsDescribeTheirFiles([r for r in rows_big + rows_small if r["Path"] not in vanishing], troubled)

        self.assertEqual((final["CurrentIndex"], final["Title"], final["IsPlaying"]), (len(rows), "Tagged Song", 1))
        self.assertEqual(final["LiveStreams"], 1, "every measuring and replaced stream freed")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--holder", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--fixtures", required=True, type=Path)
    parser.add_argument("--work", required=True, type=Path)
    ARGS, rest = parser.parse_known_args()
    ARGS.work.mkdir(parents=True, exist_ok=True)
    session_test.ARGS = ARGS
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
