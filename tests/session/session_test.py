#!/usr/bin/python3
"""tamber-session under Wine: the playback layer with the real DLLs, driven by
scripts, checked through the JSON state lines it prints.

Usage: session_test.py --exe tamber-session.exe --emulator wine-exec
                       --fixtures tests/fixtures --work DIR [unittest args]
Timing checks use wide margins: the machine is shared and Wine is slow to start.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import unittest
from pathlib import Path

ARGS = None
DEFAULT_COVER_BYTES = None  # the built-in cover, read from the first state


def win(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Session:
    """One run of tamber-session; on_state may act between state lines."""

    def __init__(self, lines, on_state=None, timeout=120):
        script = ARGS.work / f"script-{os.getpid()}-{id(self)}.txt"
        script.write_text("\n".join(lines) + "\n", encoding="utf-8")
        process = subprocess.Popen([ARGS.emulator, ARGS.exe, win(script)], stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL)
        self.states = []
        with process.stdout:
            for raw in process.stdout:
                line = raw.decode("utf-8").strip()
                if line.startswith("{"):
                    self.states.append(json.loads(line))
                    if on_state:
                        on_state(len(self.states), self.states[-1])
        self.returncode = process.wait(timeout=timeout)
        script.unlink()


def fixture(name):
    return ARGS.fixtures / "playback" / name


TONE_MP3 = None  # 10 s, from the audio fixtures


class SessionCase(unittest.TestCase):
    def run_script(self, lines, states, on_state=None):
        run = Session(lines, on_state)
        self.assertEqual(run.returncode, 0)
        self.assertEqual(len(run.states), states, "one JSON line per state command")
        return run.states

    def folder(self, name):
        path = ARGS.work / name
        shutil.rmtree(path, ignore_errors=True)
        path.mkdir(parents=True)
        return path

    def assertPlayingAlone(self, state, index):
        self.assertEqual(state["CurrentIndex"], index)
        self.assertEqual(state["IsPlaying"], 1)
        self.assertEqual(state["LiveStreams"], 1, "exactly one stream left in lib\\bass.dll")


class AddFile(SessionCase):
    def test_tags_cover_and_lyrics_of_three_files_in_turn(self):
        states = self.run_script([
            "state",
            f"add {win(fixture('tagged.mp3'))}", "wait 700", "state",
            f"add {win(fixture('titled.flac'))}", "wait 700", "state",
            f"add {win(fixture('plain.ogg'))}", "wait 700", "state", "wait 400", "state",
            f"add {win(fixture('tagged.mp3'))}", "wait 700", "state",
        ], 6)
        before, tagged, flac, ogg, later, again = states
        self.assertEqual((before["CurrentIndex"], before["CoverSource"], before["Rows"]), (0, "default", []))
        default_cover = before["CoverBytes"]

        self.assertEqual((tagged["Title"], tagged["Artist"], tagged["Album"]), ("Tagged Song", "Tamber Test", "Fixtures"))
        self.assertEqual(tagged["CoverSource"], "tag")
        self.assertGreater(tagged["CoverBytes"], 0)
        self.assertNotEqual(tagged["CoverBytes"], default_cover)
        self.assertEqual((tagged["TrackLengthSeconds"], tagged["LengthText"]), (3, "0:03"))
        lyrics = tagged["Lyrics"]
        self.assertEqual([round(line["Time"], 2) for line in lyrics], [0.5, 1.0, 2.0])
        self.assertEqual([round(line["Duration"], 2) for line in lyrics], [0.5, 1.0, -1.0])
        self.assertEqual((lyrics[0]["FirstText"], lyrics[0]["SecondText"]), ("第一行", ""))
        self.assertEqual(sorted([lyrics[1]["FirstText"], lyrics[1]["SecondText"]]), ["Two", "Two b"])
        self.assertEqual((lyrics[2]["FirstText"], lyrics[2]["SecondText"]), ("", "Last"))  # the last line
        self.assertEqual(tagged["Rows"], [{"Title": "Tagged Song", "Artist": "Tamber Test", "DurationText": "0:03",
                                           "Path": win(fixture("tagged.mp3"))}])
        self.assertPlayingAlone(tagged, 1)

        self.assertEqual((flac["Title"], flac["Artist"], flac["CoverSource"]), ("Flac Title", "Flac Artist", "jpg"))
        self.assertEqual(flac["CoverBytes"], fixture("Flac Title.jpg").stat().st_size)
        self.assertEqual(flac["Lyrics"], [])
        self.assertPlayingAlone(flac, 2)

        self.assertEqual((ogg["Title"], ogg["Artist"], ogg["Album"]), ("plain", "", ""))
        self.assertEqual((ogg["CoverSource"], ogg["CoverBytes"]), ("default", default_cover))
        self.assertPlayingAlone(ogg, 3)  # three drops: the third plays
        self.assertGreater(later["PositionSeconds"], ogg["PositionSeconds"] + 0.2)

        self.assertEqual(len(again["Rows"]), 4, "the same file twice gives two rows")
        self.assertEqual(again["Rows"][0], again["Rows"][3])
        self.assertPlayingAlone(again, 4)


class Drops(SessionCase):
    def test_a_drop_returns_at_once_and_adds_its_files_in_order(self):
        """The drag source waits only for the paths to be copied: the fades and
        tag reads of the files come after Drop has returned."""
        names = [fixture(n) for n in ("tagged.mp3", "titled.flac", "plain.ogg")]
        dropped = [win(names[i % 3]) for i in range(100)]
        # A pause right after it is a later user action: the drop's other files
        # are then only added, not loaded one by one (300 ms of fade each).
        # The script's commands are posted one after another: the pause waits
        # until the posted drop is being added.
        states = self.run_script([f"drop {'|'.join(dropped)}", "state", "wait 400", "toggle", "wait 3000", "state"], 2)
        at_once, added = states
        self.assertLess(at_once["LastDropMs"], 50.0, "Drop held its source")
        self.assertEqual([row["Path"] for row in added["Rows"]], dropped)
        self.assertLessEqual(added["LiveStreams"], 1, "no stream outlives its track")


class Control(SessionCase):
    def test_pause_fades_out_first_and_resume_continues(self):
        states = self.run_script([
            f"add {TONE_MP3}", "wait 800",
            "toggle", "state",          # lands inside the fade-out: not yet paused
            "wait 600", "state",
            "wait 1000", "toggle", "wait 1400", "state",
        ], 3)
        fading, paused, resumed = states
        self.assertEqual(fading["IsPlaying"], 1)
        self.assertEqual(paused["IsPlaying"], 0)
        self.assertEqual(resumed["IsPlaying"], 1)
        # Paused for 1 s: the position moved by the fade-out and the 1.4 s
        # after resuming only (about 1.8 s), not by the 3 s of the whole run.
        moved = resumed["PositionSeconds"] - paused["PositionSeconds"]
        self.assertGreater(moved, 1.2)
        self.assertLess(moved, 2.5)
        self.assertEqual(resumed["LiveStreams"], 1)

    def test_next_and_previous_wrap(self):
        lines = []
        for name in ("tagged.mp3", "titled.flac", "plain.ogg"):
            lines += [f"add {win(fixture(name))}", "wait 500"]
        for step in ("next", "prev", "prev", "next", "next"):
            lines += [step, "wait 500", "state"]
        states = self.run_script(lines, 5)
        self.assertEqual([s["CurrentIndex"] for s in states], [1, 3, 2, 3, 1])
        self.assertEqual([s["Title"] for s in states], ["Tagged Song", "plain", "Flac Title", "plain", "Tagged Song"])
        for state in states:
            self.assertPlayingAlone(state, state["CurrentIndex"])

    def test_seek_volume_and_the_end_of_a_track(self):
        states = self.run_script([
            f"add {TONE_MP3}", "wait 600", "seek 0.5", "wait 500", "state",
            "volume 250", "state", "volume -4", "state", "volume 30",
            f"add {win(fixture('short.wav'))}", "wait 2600", "state", "toggle", "wait 300", "state",
        ], 5)
        seeked, loud, quiet, ended, again = states
        self.assertGreater(seeked["PositionSeconds"], 5.0)
        self.assertLess(seeked["PositionSeconds"], 6.0)
        self.assertEqual((loud["Volume"], quiet["Volume"]), (100, 0))
        # No automatic advance: stopped, the play bar at the very end; play starts it over.
        self.assertEqual(ended["IsPlaying"], 0)
        self.assertEqual((ended["TrackLengthSeconds"], ended["PositionText"], ended["LengthText"]), (1, "0:01", "0:01"))
        self.assertAlmostEqual(ended["PositionSeconds"], 1.5, delta=0.15)
        self.assertEqual((ended["CurrentIndex"], ended["Volume"]), (2, 30))
        self.assertEqual(again["IsPlaying"], 1)
        self.assertLess(again["PositionSeconds"], 0.6)


class LatestActionWins(SessionCase):
    def test_actions_inside_a_fade_out(self):
        states = self.run_script([
            f"add {win(fixture('tagged.mp3'))}", "wait 500",
            f"add {win(fixture('plain.ogg'))}", "wait 500",
            "play 1", "play 2", "wait 1000", "state",      # a second double click
            "play 2", "prev", "wait 1000", "state",        # previous during the load
            "play 2", "toggle", "wait 1000", "state",      # pause during the load
            "play 2", "play 1", "play 2", "wait 1500", "state", "wait 400", "state",
        ], 5)
        second, previous, toggled, third, later = states
        self.assertPlayingAlone(second, 2)
        self.assertEqual(second["Title"], "plain")
        self.assertPlayingAlone(previous, 1)
        self.assertEqual(previous["Title"], "Tagged Song")
        self.assertEqual((toggled["CurrentIndex"], toggled["IsPlaying"], toggled["LiveStreams"]), (1, 0, 1))
        self.assertPlayingAlone(third, 2)
        self.assertGreater(later["PositionSeconds"], third["PositionSeconds"] + 0.2, "the winner really plays")


class ScanFolder(SessionCase):
    def expected_rows(self, folder):
        # The order the system enumerates the folder in, as Wine's own "dir"
        # lists it (unsorted: the same FindFirstFile walk).
        listing = subprocess.run([ARGS.emulator, "cmd", "/c", "dir", "/b", "/a-d", win(folder)],
                                 capture_output=True, check=True).stdout.decode("gbk")
        names = [n for n in listing.splitlines() if n and "." in n
                 and n.rsplit(".", 1)[-1].lower() in ("mp3", "m4a", "flac", "mp4", "wma", "ogg", "wav", "xm", "ape")]
        return [win(folder / n) for n in names]

    def test_accepted_extensions_in_enumeration_order(self):
        folder = self.folder("scan")
        for name, source in (("A.MP3", "tagged.mp3"), ("b.mp3", "tagged.mp3"), ("c.flac", "titled.flac"),
                             ("d.ogg", "plain.ogg"), ("e.m4a", None), ("f.wav", "short.wav"), ("g.Ogg", "plain.ogg"),
                             ("h.txt", "short.wav")):
            if source:
                shutil.copy(fixture(source), folder / name)
            else:
                shutil.copy(ARGS.fixtures / "audio" / "tone.m4a", folder / name)
        (folder / "sub.mp3").mkdir()
        states = self.run_script([f"scan {win(folder)}", "waitscan", "state", "next", "wait 600", "state"], 2)
        scanned, played = states
        self.assertEqual([row["Path"] for row in scanned["Rows"]], self.expected_rows(folder))
        self.assertEqual(len(scanned["Rows"]), 7)
        by_name = {row["Path"].rsplit("\\", 1)[1]: row for row in scanned["Rows"]}
        self.assertEqual(by_name["c.flac"], {"Title": "Flac Title", "Artist": "Flac Artist", "DurationText": "0:02",
                                            "Path": win(folder / "c.flac")})
        self.assertEqual(by_name["d.ogg"]["Title"], "d")
        # Nothing loaded or played by the scan, and its measuring streams are gone.
        self.assertEqual((scanned["CurrentIndex"], scanned["IsPlaying"], scanned["LiveStreams"]), (0, 0, 0))
        self.assertPlayingAlone(played, 1)  # next with nothing loaded takes entry 1

    def test_three_hundred_files_while_the_window_works(self):
        folder = self.folder("scan300")
        for i in range(300):
            os.link(fixture("plain.ogg" if i % 2 else "tagged.mp3"), folder / f"track{i:03}.{'ogg' if i % 2 else 'mp3'}")
        wav = win(fixture("short.wav"))  # no GStreamer set-up shortly before the end
        states = self.run_script([
            f"scan {win(folder)}", "wait 50", f"add {wav}", "wait 600", "state",
            "waitscan", "state",
        ], 2)
        during, done = states
        self.assertEqual(during["IsPlaying"], 1, "the add ran while the scan went on")
        rows = done["Rows"]
        self.assertEqual(len(rows), 301)
        added = rows[during["CurrentIndex"] - 1]
        self.assertEqual(added["Path"], wav)
        scanned = [row["Path"] for row in rows if row["Path"] != wav]
        self.assertEqual(scanned, self.expected_rows(folder), "scan order, whatever came in between")
        # The short track has played to its end by now: stopped there, still the only stream.
        self.assertEqual((done["CurrentIndex"], done["LiveStreams"]), (during["CurrentIndex"], 1))


class Closing(SessionCase):
    def test_closing_inside_a_scan_and_inside_a_fade(self):
        folder = self.folder("scan-closing")
        for i in range(200):
            os.link(fixture("tagged.mp3"), folder / f"t{i:03}.mp3")
        # Neither run may hang (Session's timeout) or crash (its exit code).
        # WAV only: Wine's GStreamer can crash a process that ends while it
        # still sets itself up, which is no fault of the player.
        wav = win(fixture("short.wav"))
        self.run_script([f"scan {win(folder)}", "wait 30", "quit"], 0)
        self.run_script([f"add {wav}", "wait 500", f"add {wav}", "quit"], 0)


class BadInput(SessionCase):
    def test_missing_empty_refused_and_vanishing_files(self):
        folder = self.folder("bad")
        shutil.copy(fixture("plain.ogg"), ARGS.work / "refused.ogg")
        (ARGS.work / "refused.lrc").write_bytes(b"")  # lyrisk gives -1 for an empty file
        shutil.copy(fixture("tagged.mp3"), folder / "vanishing.mp3")
        vanishing = folder / "vanishing.mp3"

        def remove_after_first(count, state):
            if count == 1:
                vanishing.unlink()

        states = self.run_script([
            f"scan {win(folder)}", "waitscan", "state", "wait 1500",
            "play 1", "wait 600", "state",
            f"add {win(folder / 'missing.mp3')}", "wait 600", "state",
            f"add {win(fixture('empty.mp3'))}", "wait 600", "state",
            "add", "add  ", f"scan {win(folder / 'no such folder')}", "waitscan", "state",
            f"add {win(ARGS.work / 'refused.ogg')}", "wait 600", "state",
        ], 6, on_state=remove_after_first)
        scanned, vanished, missing, empty, blank, refused = states
        self.assertEqual([row["Title"] for row in scanned["Rows"]], ["Tagged Song"])
        self.assertEqual((vanished["CurrentIndex"], vanished["LiveStreams"], vanished["TrackLengthSeconds"]), (1, 0, 0))
        self.assertEqual(vanished["Title"], "vanishing")
        for state, title in ((missing, "missing"), (empty, "empty")):
            self.assertEqual(state["Title"], title)
            self.assertEqual(state["Rows"][-1]["DurationText"], "0:00")
            self.assertEqual((state["LiveStreams"], state["IsPlaying"], state["CoverSource"]), (0, 1, "default"))
        self.assertEqual(len(blank["Rows"]), 3, "blank paths and a missing folder add nothing")
        self.assertEqual((refused["Title"], refused["Lyrics"], refused["LiveStreams"]), ("refused", [], 1))

    def test_wide_characters_and_long_paths(self):
        folder = self.folder("长路径")
        for i in range(6):
            folder = folder / f"文件夹{i}-{'x' * 40}"
        folder.mkdir(parents=True)
        self.assertGreater(len(win(folder)), 260)
        shutil.copy(fixture("tagged.mp3"), folder / "中文歌.mp3")
        shutil.copy(fixture("tagged.lrc"), folder / "中文歌.lrc")
        shutil.copy(fixture("titled.flac"), folder / "歌.flac")
        shutil.copy(fixture("Flac Title.jpg"), folder / "Flac Title.jpg")
        states = self.run_script([
            f"add {win(folder / '中文歌.mp3')}", "wait 700", "state",
            f"add {win(folder / '歌.flac')}", "wait 700", "state",
            f"scan {win(folder)}", "waitscan", "state",
        ], 3)
        song, flac, scanned = states
        self.assertEqual((song["Title"], song["CoverSource"], len(song["Lyrics"])), ("Tagged Song", "tag", 3))
        self.assertEqual((song["TrackLengthSeconds"], song["LiveStreams"]), (3, 1))
        self.assertEqual((flac["Title"], flac["CoverSource"]), ("Flac Title", "jpg"))
        self.assertEqual(sorted(row["Path"] for row in scanned["Rows"][2:]),
                         sorted([win(folder / "中文歌.mp3"), win(folder / "歌.flac")]))
        self.assertEqual(sorted(row["DurationText"] for row in scanned["Rows"][2:]), ["0:02", "0:03"])


# Names and tags with characters outside code page 936: the fixtures of
# tests/fixtures/unicode, each with a lyric file and a cover named after its title.
UNICODE_TRACKS = [
    # folder, file, title, artist, album, seconds, lyric texts
    ("Motörhead ø", "Björk - Jóga ø.mp3", "Jóga (Ørsted mix)", "Björk", "Ñandú ß ♠", 3, ["Straße ö ♠", "한국어 ñ"]),
    ("한국어 ♠", "한국어 노래 ♠.flac", "노래 ♠ Niño", "가수 ß", "앨범 ø", 2, ["노래 ♠", "Øre ß"]),
    ("Niño ß", "Niño ñ ß.ogg", "Señor ß ø", "Øystein ñ", "Ælbum ♠", 4, ["Señor ♠ 노래"]),
]


class UnicodeNames(SessionCase):
    """Run under both Wine locales (zh_CN: 936, en_US: 1252) by CTest."""

    def track(self, folder, name):
        return ARGS.fixtures / "unicode" / folder / name

    def assertTrackShown(self, state, folder, name, title, artist, album, seconds, lyrics):
        self.assertEqual((state["Title"], state["Artist"], state["Album"]), (title, artist, album))
        self.assertEqual((state["TrackLengthSeconds"], state["LiveStreams"]), (seconds, 1), "a real stream")
        self.assertEqual(state["CoverSource"], "jpg")
        self.assertEqual(state["CoverBytes"], self.track(folder, title + ".jpg").stat().st_size)
        texts = [t for line in state["Lyrics"] for t in (line["FirstText"], line["SecondText"]) if t]
        self.assertEqual(sorted(texts), sorted(lyrics))
        self.assertEqual(state["Rows"][state["CurrentIndex"] - 1],
                         {"Title": title, "Artist": artist, "DurationText": f"0:{seconds:02}",
                          "Path": win(self.track(folder, name))})

    def test_added_dropped_and_scanned(self):
        lines = []
        for verb in ("add", "drop"):
            for folder, name, *_ in UNICODE_TRACKS:
                lines += [f"{verb} {win(self.track(folder, name))}", "wait 700", "state"]
        for folder, *_ in UNICODE_TRACKS:
            lines += [f"scan {win(ARGS.fixtures / 'unicode' / folder)}", "waitscan"]
        lines += ["state", "play 7", "wait 700", "state"]
        states = self.run_script(lines, 2 * len(UNICODE_TRACKS) + 2)
        for i, state in enumerate(states[:2 * len(UNICODE_TRACKS)]):
            with self.subTest(way=("add", "drop")[i // 3], track=UNICODE_TRACKS[i % 3][1]):
                self.assertTrackShown(state, *UNICODE_TRACKS[i % 3])
                self.assertPlayingAlone(state, i + 1)
        scanned, played = states[-2:]
        self.assertEqual(scanned["Rows"][6:], [
            {"Title": title, "Artist": artist, "DurationText": f"0:{seconds:02}", "Path": win(self.track(folder, name))}
            for folder, name, title, artist, _, seconds, _ in UNICODE_TRACKS])
        self.assertTrackShown(played, *UNICODE_TRACKS[0])
        self.assertPlayingAlone(played, 7)


def main():
    global ARGS, TONE_MP3
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--fixtures", required=True, type=Path)
    parser.add_argument("--work", required=True, type=Path)
    ARGS, rest = parser.parse_known_args()
    ARGS.work.mkdir(parents=True, exist_ok=True)
    TONE_MP3 = win(ARGS.fixtures / "audio" / "tone.mp3")
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
