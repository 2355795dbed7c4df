"""Runs trackinfo on a fixture and on a file made here, checks the JSON lines.

Usage: check_trackinfo.py TRACKINFO FIXTURE_DIR
"""
import hashlib
import json
import os
import struct
import subprocess
import sys
import tempfile

FIELDS = ["path", "result", "Artist", "Title", "Album", "Copyright", "Comment", "Track", "Encoder",
          "Genre", "Lyrics", "Year", "Url", "Composer", "SdkVersion", "BitRateText", "SampleRateText",
          "ChannelsText", "Performer", "Description", "DurationText", "Picture"]


def frame(frame_id, body):
    return frame_id + struct.pack(">I", len(body)) + b"\0\0" + body


def made_file(picture):
    # Title with characters JSON must escape; GBK artist; a picture of known bytes.
    frames = (frame(b"TIT2", b"\0" + b'say "hi"\\ \x01\ttab') +
              frame(b"TPE1", b"\0" + "歌手".encode("gbk")) +
              frame(b"APIC", b"\0image/png\0\x03\0" + picture))
    size = len(frames)
    syncsafe = bytes([size >> 21 & 0x7F, size >> 14 & 0x7F, size >> 7 & 0x7F, size & 0x7F])
    mpeg = b"\xff\xfb\x90\x64" + bytes(413)
    return b"ID3\x03\0\0" + syncsafe + frames + mpeg * 3


def main():
    tool, fixtures = sys.argv[1], sys.argv[2]
    picture = bytes(range(256)) * 3
    with tempfile.TemporaryDirectory() as work:
        made = os.path.join(work, "made.mp3")
        with open(made, "wb") as f:
            f.write(made_file(picture))
        fixture = os.path.join(fixtures, "mp3_v23_utf16.mp3")
        run = subprocess.run([tool, fixture, made, os.path.join(work, "missing.mp3")],
                             capture_output=True, check=True)
    lines = run.stdout.decode("utf-8").splitlines()
    assert len(lines) == 3, lines
    records = [json.loads(line) for line in lines]
    for record in records:
        assert list(record.keys()) == FIELDS, list(record.keys())
        assert list(record["Picture"].keys()) == ["bytes", "sha256"]

    fixture_record, made_record, missing_record = records
    assert fixture_record["path"] == fixture
    assert fixture_record["result"] == 1
    assert fixture_record["Title"] == "中文标题仿", fixture_record["Title"]
    assert fixture_record["Artist"] == "Artist 歌手"
    assert fixture_record["Comment"] == "评论"
    assert fixture_record["ChannelsText"] == "单声道"
    assert fixture_record["Encoder"] == "MPEG 2 Layer III"
    assert fixture_record["Picture"]["bytes"] > 0

    assert made_record["Title"] == 'say "hi"\\ \x01\ttab', repr(made_record["Title"])
    assert made_record["Artist"] == "歌手"
    assert made_record["ChannelsText"] == "立体声(Joint)"
    assert made_record["BitRateText"] == "128"
    assert made_record["Picture"] == {"bytes": len(picture), "sha256": hashlib.sha256(picture).hexdigest()}

    assert missing_record["Title"] == "" and missing_record["Picture"] == {"bytes": 0, "sha256": ""}
    print("trackinfo JSON ok")


if __name__ == "__main__":
    main()
