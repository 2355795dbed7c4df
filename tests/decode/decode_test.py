#!/usr/bin/python3
"""lib\\bass.dll's decoders, through tamber-decode.exe under Wine, against the
Linux tools' decodes of tests/fixtures/decode (reference_decode.py): every
fixture whole and after seeks, with the figures printed per fixture.

Kinds of match:
  exact    equal integers at the file's bit depth, lengths equal, seeks exact;
  aligned  lossy: no offset, the difference within a limit, seeks exact;
  near     lossy: offset and seek error within one codec frame (slack).
The difference is the energy of (decode - reference) over the reference's,
in dB, after the best lag within the search window.

usage: decode_test.py --tool tamber-decode.exe --emulator wine64-exec --work DIR [--plugins DIR]
"""
import argparse
import json
import os
import subprocess
import sys
from dataclasses import dataclass

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.normpath(os.path.join(HERE, '..', 'fixtures', 'decode'))
sys.path.insert(0, FIXTURES)
import reference_decode  # noqa: E402


@dataclass
class Row:
    file: str
    kind: str                # exact | aligned | near
    bits: int = 16           # exact: the integer scale
    limit_db: float = 0.0    # lossy: the whole decode's difference
    seek_limit_db: float = 0.0
    slack: int = 0           # near: frames of offset and seek error allowed
    plugins: bool = False    # decoded by a codec plug-in (--plugins)


# The limits and their reasons are those of tests/bass_decoders (the same
# decoders are built into the library): Vorbis meets oggdec's 16-bit output,
# Opus restarts 80 ms early after a seek and converges for another 100 ms,
# the MP3s meet ffmpeg's decoder. Media Foundation under Wine decodes AAC and
# WMA through GStreamer's libav elements, the reference through ffmpeg: the
# same decoders, with their own ideas of the priming to drop.
ROWS = [
    Row('signal.wav', 'exact'),
    Row('signal.flac', 'exact'),
    Row('hires_24_96.flac', 'exact', bits=24),
    Row('mono_8.flac', 'exact', bits=8),
    Row('signal.ogg', 'aligned', limit_db=-75, seek_limit_db=-75),
    Row('signal.opus', 'aligned', limit_db=-100, seek_limit_db=-17),
    Row('signal_48k.opus', 'aligned', limit_db=-100, seek_limit_db=-17),
    Row('signal_cbr.mp3', 'near', limit_db=-100, seek_limit_db=-100, slack=1152),
    Row('signal_vbr.mp3', 'near', limit_db=-100, seek_limit_db=-100, slack=1152),
    Row('signal_vbr_noxing.mp3', 'near', limit_db=-100, seek_limit_db=-100, slack=1152),
    Row('signal_aac.m4a', 'near', limit_db=-60, seek_limit_db=-30, slack=1024),
    Row('signal_alac.m4a', 'exact'),
    Row('signal.wma', 'near', limit_db=-60, seek_limit_db=-30, slack=2048),
    # Plug-in formats: a row each, decoded with --plugins. A file is named
    # from tests/fixtures/decode; one elsewhere by a relative path. Its
    # reference comes from reference_decode.py: ffmpeg for APE (no branch
    # needed); modules need one there (openmpt123). For example:
    # Row('signal.ape', 'exact', plugins=True),
    # Row('../audio/codecs/mac-399.ape', 'exact', plugins=True),
    # Row('../audio/codecs/tune.xm', 'aligned', limit_db=..., seek_limit_db=..., plugins=True),
]

SEARCH_FRAMES = 4096   # the stretch the lag is found on
COMPARE_FRAMES = 8192  # frames compared after a seek: a frame's offset either side leaves half
EXACT_WINDOW = 64      # lag window where no offset is expected
SOURCE = Row('signal.wav', 'exact')  # what the 44.1 kHz fixtures were encoded from
SOURCE_RATE = 44100
SOURCE_WINDOW = 4096   # encoder delays and the frames some decoders keep or drop
SILENCE = 1e-3         # a lossy decode's padding, where the reference has zeros


class Decoder:
    def __init__(self, args):
        self.args = args
        os.makedirs(args.work, exist_ok=True)

    @staticmethod
    def win(path):
        return 'Z:' + os.path.abspath(path).replace('/', '\\')

    def decode(self, row, seeks=(), frames=None):
        """(info, samples) from the tool; info None when it refused the file.
        With seeks, one decoder seeks to each in turn and info['reads'] says
        how many frames each gave (None for a refused seek)."""
        out = os.path.join(self.args.work, os.path.basename(row.file) + '.f32')
        cmd = [self.args.emulator, self.args.tool, self.win(os.path.join(FIXTURES, row.file)), self.win(out)]
        for at in seeks:
            cmd += ['--seek', str(at)]
        if frames is not None:
            cmd += ['--frames', str(frames)]
        if row.plugins and self.args.plugins:
            cmd += ['--plugins', self.win(self.args.plugins)]
        run = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
        lines = [ln for ln in run.stdout.decode(errors='replace').splitlines() if ln.startswith('{')]
        info = json.loads(lines[-1]) if lines else {}
        if 'rate' not in info or run.returncode not in (0, 1):
            # The exit code tells a refusal (1) from a crash, even one after the output.
            return None, 'exit code %#x, output %s, errors %r' % (
                run.returncode & 0xFFFFFFFF, info, run.stderr.decode(errors='replace')[-300:])
        samples = np.fromfile(out, '<f4').reshape(-1, info['channels'])
        return info, samples


def reference(row, work):
    out = os.path.join(work, os.path.basename(row.file) + '.ref.f32')
    import contextlib
    import io
    text = io.StringIO()
    old = sys.argv
    sys.argv = ['reference_decode.py', os.path.join(FIXTURES, row.file), out]
    try:
        with contextlib.redirect_stdout(text):
            reference_decode.main()
    finally:
        sys.argv = old
    info = json.loads(text.getvalue())
    return info, np.fromfile(out, '<f4').reshape(-1, info['channels'])


def diff_db(decoded, ref, at, lag, count=None):
    """decoded frame i against reference frame at + i - lag."""
    n = len(decoded) if count is None else min(count, len(decoded))
    i0 = max(0, lag - at)
    i1 = min(n, len(ref) - at + lag)
    if i1 <= i0:
        return None, 0
    d = decoded[i0:i1].astype(np.float64)
    r = ref[at + i0 - lag:at + i1 - lag].astype(np.float64)
    e = np.sum(r * r)
    if e <= 0:
        return None, 0
    diff = np.sum((d - r) ** 2)
    return (-300.0 if diff == 0 else 10 * np.log10(diff / e)), i1 - i0


def align(decoded, ref, at, window, center=0):
    """(lag, dB, frames compared) of the best lag in center +- window; lag
    None when no lag overlaps enough of the reference to tell."""
    # Long enough that every lag in the window overlaps SEARCH_FRAMES.
    search = min(len(decoded), SEARCH_FRAMES + window + abs(center))
    best, best_db = None, None
    for lag in range(center - window, center + window + 1):
        db, n = diff_db(decoded, ref, at, lag, search)
        if db is None or n < min(search, SEARCH_FRAMES) // 2:
            continue
        if best_db is None or db < best_db:
            best, best_db = lag, db
    if best is None:
        return None, 0.0, 0
    db, n = diff_db(decoded, ref, at, best)
    return best, (db if db is not None else 0.0), n


def mismatches(decoded, ref, at, bits):
    scale = 2.0 ** (bits - 1)
    n = min(len(decoded), len(ref) - at)
    a = np.rint(decoded[:n].astype(np.float64) * scale)
    b = np.rint(ref[at:at + n].astype(np.float64) * scale)
    bad = np.flatnonzero(np.any(a != b, axis=1))
    extra = max(0, len(decoded) - n) * decoded.shape[1]
    return int(np.count_nonzero(a != b)) + extra, (int(bad[0]) if len(bad) else None)


def check(row, dec, work):
    """Failures (texts) and the figures line of one fixture."""
    fails = []
    ref_info, ref = reference(row, work)
    info, got = dec.decode(row)
    if info is None:
        return ['the library refused the file: %s' % got], 'refused'
    if (info['rate'], info['channels']) != (ref_info['rate'], ref_info['channels']):
        fails.append('format %s/%s, reference %s/%s' % (info['rate'], info['channels'], ref_info['rate'],
                                                         ref_info['channels']))
        return fails, 'format differs'
    length_off = info['frames'] - len(ref)
    # Media Foundation's decoders end where they see fit, within a frame of
    # what the container says (the stream then ends where they do).
    if abs(len(got) - info['frames']) > (row.slack if row.kind == 'near' else 0):
        fails.append('decoded %d frames, states %d' % (len(got), info['frames']))
    if row.kind == 'near':
        if abs(length_off) > row.slack:
            fails.append('length %d, reference %d' % (info['frames'], len(ref)))
    elif length_off != 0:
        fails.append('length %d, reference %d' % (info['frames'], len(ref)))
    window = EXACT_WINDOW if row.kind != 'near' else SOURCE_WINDOW
    if row.kind == 'exact':
        bad, first = mismatches(got, ref, 0, row.bits)
        if bad:
            fails.append('%d samples differ, first at frame %s' % (bad, first))
        whole = 'bit-exact' if not bad else '%d samples differ' % bad
        start_lag = 0
    else:
        start_lag, db, n = align(got, ref, 0, window)
        if start_lag is None:
            return fails + ['no lag within %d matches the reference' % window], 'unaligned'

        whole = 'lag %d, difference %.1f dB (limit %.0f)' % (start_lag, db, row.limit_db)
        if db > row.limit_db:
            fails.append('difference %.1f dB, limit %.0f' % (db, row.limit_db))
        if row.kind == 'aligned' and start_lag != 0:
            fails.append('lag %d' % start_lag)

    # Where the decode sits against the signal that was encoded: the
    # references' decoders keep or drop frames of their own (ffmpeg's WMA
    # starts a frame early), so a lossy decode's offset is the source's.
    offset = start_lag
    if row.file != SOURCE.file and info['rate'] == SOURCE_RATE:
        _, src = reference(SOURCE, work)
        offset, db, _ = align(got, src, 0, SOURCE_WINDOW)
        offset = offset if offset is not None else start_lag
        whole += '; against the source: lag %d, %.1f dB' % (offset, db)
    if row.kind == 'near' and abs(offset) > row.slack:
        fails.append('offset %d beyond %d' % (offset, row.slack))

    frames = info['frames']
    rate = info['rate']
    points = [frames // 2, 0, max(0, frames - 100), rate // 2, 12345, frames]
    errors = []
    sinfo, parts = dec.decode(row, seeks=points, frames=COMPARE_FRAMES)
    if sinfo is None:
        fails.append('the library refused the file for seeking: %s' % parts)
        return fails, 'refused when reopened'
    offsets = np.cumsum([0] + [n or 0 for n in sinfo['reads']])
    for k, at in enumerate(points):
        if sinfo['reads'][k] is None:
            fails.append('seek to %d refused' % at)
            errors.append('refused')
            continue
        part = parts[offsets[k]:offsets[k + 1]]
        want = min(COMPARE_FRAMES, frames - at)
        if row.kind == 'near' and frames - at <= row.slack:
            want = len(part)  # within a frame of a stated end the decoder may not reach
        if len(part) != want:
            fails.append('seek to %d: %d frames read, %d expected' % (at, len(part), want))
        if at >= frames or len(part) == 0:
            errors.append('end:%d' % len(part))
            continue
        if not np.any(ref[at:at + len(part)]):
            # The codec's padding past the signal: no place to tell apart.
            if np.any(np.abs(part) > SILENCE):
                fails.append('seek to %d: sound where the reference is silent' % at)
            errors.append('silent')
            continue
        if row.kind == 'exact':
            bad, first = mismatches(part, ref, at, row.bits)
            if bad:
                fails.append('seek to %d: %d samples differ, first at %s' % (at, bad, first))
                # How far off it landed, for the figures.
                lag, db, _ = align(part, ref, at, EXACT_WINDOW)
                errors.append('%s (%.0f dB)' % (lag, db))
            else:
                errors.append('0')
            continue
        # Around where the whole decode sits against the reference.
        lag, db, _ = align(part, ref, at, max(EXACT_WINDOW, 2 * row.slack), center=start_lag)
        if lag is None:
            errors.append('n/a')
            continue
        error = lag - start_lag
        errors.append('%d (%.0f dB)' % (error, db))
        if row.kind == 'aligned' and (error != 0 or db > row.seek_limit_db):
            fails.append('seek to %d: off by %d, %.1f dB' % (at, error, db))
        if row.kind == 'near' and abs(error) > row.slack:
            fails.append('seek to %d: off by %d, beyond %d' % (at, error, row.slack))
    figures = 'length %d (reference %d, %+d); %s; seek errors at %s: %s' % (
        frames, len(ref), length_off, whole, ', '.join(str(p) for p in points), ' '.join(errors))
    return fails, figures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--tool', required=True)
    parser.add_argument('--emulator', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--plugins')
    parser.add_argument('--only', help='one fixture file')
    args = parser.parse_args()
    dec = Decoder(args)
    failed = 0
    ran = 0
    for row in ROWS:
        if args.only and row.file != args.only:
            continue
        if row.plugins and not args.plugins:
            print('[ skipped ] %s: needs --plugins' % row.file)
            continue
        ran += 1
        fails, figures = check(row, dec, args.work)
        print('[ %s ] %s: %s' % ('FAILED ' if fails else '  ok   ', row.file, figures))
        for f in fails:
            print('              ' + f)
        failed += bool(fails)
        sys.stdout.flush()
    print('%d of %d fixtures failed' % (failed, ran))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
