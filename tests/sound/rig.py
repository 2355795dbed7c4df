"""The sound rig: a PulseAudio server of the tests' own with null sinks, Wine's
PulseAudio driver pointed at it, and the sinks' monitors recorded with parec
and measured with numpy. What the tests hear is what a user would."""

import json
import os
import re
import shutil
import signal
import subprocess
import threading
import time
import wave

import numpy as np

RATE = 48000  # the sinks' rate: the server resamples whatever plays to it
WINDOW = RATE // 100  # 10-ms windows
KEEPER = "rig-keeper"  # the stream of silence that keeps a sink's clock running
# The server's word for a playing stream it found empty: its client did not
# write in time, and the sink played silence in its place.
UNDERRUN = re.compile(r"^\(\s*([0-9.]+)\|.*(?:Implicit underrun of|Underrun on) '(.*)'")
UNDERRUN_END = re.compile(r"^\(\s*([0-9.]+)\|.*rewind due to end of underrun")
PACTL_FREED = re.compile(r'^\(\s*([0-9.]+)\|.*client\.c: Freed \d+ "pactl"')


class PulseServer:
    """pulseaudio with no system instance, no D-Bus and no configuration but
    the modules loaded here; its socket lives under the work folder."""

    def __init__(self, work):
        self.work = os.path.abspath(work)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.socket = os.path.join(self.work, "native")
        client_conf = os.path.join(self.work, "client.conf")
        with open(client_conf, "w") as f:
            f.write("autospawn = no\n")
        self.env = dict(os.environ, HOME=self.work, XDG_RUNTIME_DIR=self.work, XDG_CONFIG_HOME=self.work,
                        PULSE_RUNTIME_PATH=self.work, PULSE_STATE_PATH=self.work,
                        PULSE_SERVER="unix:" + self.socket, PULSE_CLIENTCONFIG=client_conf)
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.log = open(os.path.join(self.work, "pulseaudio.log"), "w")
        self.process = subprocess.Popen(
            # Debug level for the underruns it reports (see dropouts()).
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "--disallow-exit", "--disable-shm=yes", "--log-target=stderr", "--log-level=debug", "--log-time=1",
             "-L", "module-native-protocol-unix socket=%s auth-anonymous=1" % self.socket],
            env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        for _ in range(100):
            if self.process.poll() is not None:
                raise RuntimeError("pulseaudio ended at start; see %s" % self.log.name)
            if os.path.exists(self.socket) and self.pactl("info", check=False).returncode == 0:
                self._date_log()
                return
            time.sleep(0.1)
        raise RuntimeError("pulseaudio did not answer within 10 s")

    def _date_log(self):
        """The wall time of the log's time 0, from a client whose visit is timed here."""
        before = time.time() * 1000.0
        self.pactl("info")
        after = time.time() * 1000.0
        freed = [float(m.group(1)) for m in map(PACTL_FREED.match, self._log_lines()) if m]
        self.log_origin_ms = (before + after) / 2 - freed[-1] * 1000.0

    def _log_lines(self):
        with open(self.log.name, encoding="utf-8", errors="replace") as f:
            return f.readlines()

    def dropouts(self):
        """Spans (wall ms) in which the server found a playing stream empty and
        played silence in its place: its client (Wine's driver, which keeps the
        server only 25 ms ahead) was starved by the machine. A span ends when
        the sink next reports an underrun's end (any stream's: an end taken
        too early leaves a gap unexplained, never hides one)."""
        spans, open_at = [], None
        for line in self._log_lines():
            m = UNDERRUN.match(line)
            if m and m.group(2) != KEEPER:
                if open_at is None:
                    open_at = float(m.group(1))
                continue
            m = UNDERRUN_END.match(line)
            if m and open_at is not None:
                spans.append((open_at, float(m.group(1))))
                open_at = None
        if open_at is not None:
            spans.append((open_at, open_at + 0.3))
        return [(self.log_origin_ms + a * 1000.0, self.log_origin_ms + b * 1000.0) for a, b in spans]

    def pactl(self, *args, check=True):
        # Untranslated: its listings are parsed.
        return subprocess.run(["pactl"] + list(args), env=dict(self.env, LC_ALL="C"), capture_output=True, text=True,
                              check=check)

    def add_sink(self, name):
        """A null sink; returns its module index (for unloading it)."""
        out = self.pactl("load-module", "module-null-sink", "sink_name=" + name, "rate=%d" % RATE,
                         "sink_properties=device.description=" + name)
        return int(out.stdout.strip())

    def remove_module(self, index):
        self.pactl("unload-module", str(index))

    def set_default(self, sink):
        self.pactl("set-default-sink", sink)

    def sink_inputs(self):
        """Each playing stream's sample format and channel map, as pactl words them."""
        out = self.pactl("list", "sink-inputs").stdout
        found = []
        for block in out.split("Sink Input #")[1:]:
            spec = {}
            for line in block.splitlines():
                line = line.strip()
                for key, name in (("Sample Spec", "format"), ("Channel Map", "channels")):
                    if line.startswith(key) and ":" in line:
                        spec[name] = line.split(":", 1)[1].strip()
            found.append(spec)
        return found

    def wine_env(self, base):
        """base with Wine's PulseAudio driver on and pointed at this server."""
        env = dict(base)
        env.update({k: self.env[k] for k in ("PULSE_SERVER", "PULSE_CLIENTCONFIG")})
        env["TAMBER_WINEDLLOVERRIDES"] = "mscoree,mshtml=,winealsa.drv="
        return env

    def close(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
        self.log.close()


class Recorder:
    """Records a sink's monitor as float stereo at RATE. Each block's arrival
    time dates the samples: the earliest (time - samples / RATE) over all
    blocks is the wall time of sample 0 (a block is never early)."""

    def __init__(self, server, sink):
        # A null sink with nothing playing renders nothing, and its monitor
        # gives no samples: silence played all along keeps its clock running.
        self.keeper = subprocess.Popen(
            ["pacat", "--playback", "--raw", "--format=s16le", "--rate=%d" % RATE, "--channels=2",
             "--latency-msec=10", "--device=" + sink, "--stream-name=" + KEEPER], env=server.env, stdin=open("/dev/zero", "rb"),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.process = subprocess.Popen(
            ["parec", "--device=%s.monitor" % sink, "--format=float32le", "--rate=%d" % RATE, "--channels=2",
             "--latency-msec=5", "--raw"], env=server.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.blocks = []
        self.samples = 0
        self.arrivals = []
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def wait_ready(self, timeout=10.0):
        """Until samples flow: a new recording starts a second or two late."""
        end = time.time() + timeout
        while self.samples < RATE // 4:
            if time.time() > end:
                raise RuntimeError("parec recorded nothing within %.0f s" % timeout)
            time.sleep(0.05)

    def _read(self):
        pipe = self.process.stdout
        while True:
            block = pipe.read1(65536) if hasattr(pipe, "read1") else os.read(pipe.fileno(), 65536)
            if not block:
                return
            now = time.time() * 1000.0
            self.blocks.append(block)
            self.samples += len(block) // 8
            self.arrivals.append((now, self.samples))

    def stop(self):
        """The recording: (wall time in ms of sample 0, mono float samples)."""
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(5)
        self.keeper.kill()
        self.keeper.wait(5)
        self.thread.join(5)
        data = np.frombuffer(b"".join(self.blocks), dtype=np.float32)
        data = data[: len(data) // 2 * 2].reshape(-1, 2)
        return Recording(self._start(), data)

    def _start(self):
        """Wall time of sample 0. A block never arrives before its last sample
        was made, so sample 0 lies at most at (arrival - samples / RATE) for
        every block; the first second of a recording comes in a burst and is
        left out of the estimate."""
        if not self.arrivals:
            return 0.0
        first = self.arrivals[0][0]
        steady = [(t, n) for t, n in self.arrivals if t > first + 1000.0] or self.arrivals
        return min(t - n * 1000.0 / RATE for t, n in steady)


class Recording:
    def __init__(self, start_ms, stereo):
        self.start_ms = start_ms
        self.stereo = stereo
        self.mono = stereo[:, 0] if len(stereo) else np.zeros(0, dtype=np.float32)

    def index_at(self, wall_ms):
        return int(round((wall_ms - self.start_ms) * RATE / 1000.0))

    def time_of(self, index):
        return self.start_ms + index * 1000.0 / RATE

    def levels(self):
        """RMS of each 10-ms window, in dB of full scale (-120 for silence)."""
        n = len(self.mono) // WINDOW
        w = self.mono[: n * WINDOW].reshape(n, WINDOW).astype(np.float64)
        rms = np.sqrt(np.mean(w * w, axis=1))
        return 20 * np.log10(np.maximum(rms, 1e-6))

    def clicks(self, limit=0.02):
        """Sample indices where the second difference jumps beyond what any
        tone the tests play has (a 440 Hz sine at full scale reaches 0.0033):
        a step between neighbouring samples far beyond the signal's slope."""
        x = self.mono.astype(np.float64)
        if len(x) < 3:
            return []
        d2 = np.abs(x[2:] - 2 * x[1:-1] + x[:-2])
        return list(np.nonzero(d2 > limit)[0] + 1)

    def silence_beside(self, index, reach=4):
        """The run of exact zeros (start, end) that a click at index borders,
        as a server that has nothing to play leaves, or None."""
        x = self.mono
        near = [i for i in range(max(0, index - reach), min(len(x), index + reach + 1)) if x[i] == 0.0]
        if not near:
            return None
        start = end = near[0]
        while start > 0 and x[start - 1] == 0.0:
            start -= 1
        while end + 1 < len(x) and x[end + 1] == 0.0:
            end += 1
        return start, end + 1

    def sound_after(self, wall_ms, level_db=-40.0):
        """Wall time of the first 10-ms window at or after wall_ms louder than level_db."""
        levels = self.levels()
        first = max(0, self.index_at(wall_ms) // WINDOW)
        for i in range(first, len(levels)):
            if levels[i] > level_db:
                return self.time_of(i * WINDOW)
        return None

    def dominant_frequency(self, start, length):
        seg = self.mono[start:start + length].astype(np.float64)
        if len(seg) < length:
            return 0.0
        spectrum = np.abs(np.fft.rfft(seg * np.hanning(len(seg))))
        return float(np.argmax(spectrum) * RATE / len(seg))


def write_wav(path, samples, rate, sample_width=2, float_samples=False):
    """samples: float array (frames, channels) in -1..1."""
    samples = np.asarray(samples, dtype=np.float64)
    if samples.ndim == 1:
        samples = samples[:, None]
    channels = samples.shape[1]
    if float_samples:
        data = samples.astype("<f4").tobytes()
        fmt_tag, bits = 3, 32
    elif sample_width == 3:
        ints = np.clip(np.round(samples * 8388607), -8388608, 8388607).astype("<i4")
        data = np.frombuffer(ints.tobytes(), dtype=np.uint8).reshape(-1, 4)[:, :3].tobytes()
        fmt_tag, bits = 1, 24
    else:
        data = np.clip(np.round(samples * 32767), -32768, 32767).astype("<i2").tobytes()
        fmt_tag, bits = 1, 16
    block = channels * bits // 8
    if channels > 2:
        # WAVE_FORMAT_EXTENSIBLE with the default layout of the count.
        masks = {3: 0x7, 4: 0x33, 5: 0x37, 6: 0x3F, 8: 0x63F}
        fmt = (np.array([0xFFFE, channels], "<u2").tobytes() + np.array([rate, rate * block], "<u4").tobytes()
               + np.array([block, bits, 22, bits], "<u2").tobytes() + np.array([masks[channels]], "<u4").tobytes()
               + np.array([fmt_tag], "<u2").tobytes()
               + bytes([0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71]))
    else:
        fmt = (np.array([fmt_tag, channels], "<u2").tobytes() + np.array([rate, rate * block], "<u4").tobytes()
               + np.array([block, bits], "<u2").tobytes())
    with open(path, "wb") as f:
        f.write(b"RIFF" + np.array([4 + 8 + len(fmt) + 8 + len(data)], "<u4").tobytes() + b"WAVE")
        f.write(b"fmt " + np.array([len(fmt)], "<u4").tobytes() + fmt)
        f.write(b"data" + np.array([len(data)], "<u4").tobytes() + data)


def tone(seconds, rate=RATE, freq=440.0, level=0.5, channels=2):
    t = np.arange(int(seconds * rate)) / rate
    mono = level * np.sin(2 * np.pi * freq * t)
    return np.repeat(mono[:, None], channels, axis=1)


def stepped_tone(seconds, rate=RATE, level=0.5):
    """A frequency that steps every second (300, 400, ... Hz, wrapping), with
    a continuous phase: the heard position can be read off the recording."""
    t = np.arange(int(seconds * rate)) / rate
    freq = 300.0 + 100.0 * (np.floor(t) % 10)
    phase = 2 * np.pi * np.cumsum(freq) / rate
    mono = level * np.sin(phase)
    return np.stack([mono, mono], axis=1)


def run_probe(emulator, probe, script_lines, env, work, name, timeout=120):
    script = os.path.join(work, name + ".txt")
    with open(script, "w", encoding="utf-8") as f:
        f.write("\n".join(script_lines) + "\n")
    out = subprocess.run([emulator, probe, script], env=env, capture_output=True, text=True, timeout=timeout)
    events = [json.loads(line) for line in out.stdout.splitlines() if line.startswith("{")]
    with open(os.path.join(work, name + ".events.json"), "w") as f:  # beside a kept recording
        json.dump(events, f)
    return events, out
