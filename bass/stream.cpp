#include "bass/stream.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

#include "bass/audio_thread_os.h"
#include "bass/bass_codes.h"

namespace {

constexpr uint32_t AheadMs = 2000;         // decoded ahead: a decoder may stall this long unheard
constexpr uint32_t DecodeChunkMs = 200;    // decoded in one go
constexpr uint32_t HistoryMs = 1000;       // kept behind the next frame out, for a pause to give back
// Kept queued at the device: a turn may come this late unheard (under Wine,
// a queue that runs short is topped up with silence before the audio). The
// volume does not wait behind it, since the mixer applies it, and a run's end
// drops it.
constexpr uint32_t QueueMs = 150;
// A run starts its device once this much audio is queued, or all there is.
constexpr uint32_t FillMs = 100;
constexpr uint32_t StartSilenceMs = 10;
constexpr uint32_t TurnTimeoutMs = 10;     // a turn even when the device does not signal
// Until it starts, a device signals nothing: the run looks for its first
// audio this often rather than a whole turn later.
constexpr uint32_t StartTurnMs = 2;
constexpr uint32_t ClockTurnMs = 10;
constexpr uint32_t DrainExtraMs = 20;      // past the glide and the mixer's latency
constexpr uint64_t StallLimitMs = 1000;    // a device whose position stands still this long is dropped
constexpr uint64_t DeviceRetryMs = 1000;   // without a device, how often one is looked for
// How often the default device is asked for when the system does not say it
// changed (Wine never says); each answer costs every stream a moment of sound
// under Wine, so not often.
constexpr uint64_t DefaultCheckMs = 5000;
constexpr uint64_t StalledRetryMs = 5000;  // a device that stood still is tried again after this
// A free waits this long for the decoder to let go (a program that frees its
// stream and exits would otherwise leave a Media Foundation reader to a
// thread that process exit kills, which brings Wine's GStreamer back end
// down); a decoder that takes longer is left to the reaper.
constexpr auto CloseWait = std::chrono::milliseconds(30);
// A free of a playing stream waits for its fade to be heard (a program that
// frees and exits would otherwise cut the sound mid-wave, with a click);
// the mixer's glide from full volume (the player fades before it frees, so
// its frees wait far less) and the drain take under this.
constexpr auto CloseFadeWait = std::chrono::milliseconds(800);
constexpr auto DecodePollMs = std::chrono::milliseconds(20);  // the decode thread looks for room this often

std::atomic<uint32_t> gUnderruns{0};
std::atomic<uint32_t> gLongestLockWaitUs{0};
// Whether the latest look, by any stream, found no device: a new stream then
// starts on the clock at once and looks for one as it plays.
std::atomic<bool> gNoDeviceSeen{false};
std::mutex gDefaultLock;
std::wstring gDefaultId;     // the watcher's latest answer
bool gDefaultKnown = false;  // no watcher (no BASS_Init): devices are not compared

uint32_t FramesIn(uint32_t ms, uint32_t rate) { return static_cast<uint32_t>(uint64_t{rate} * ms / 1000); }

// What the mixer's volume takes; a gain above unity is applied to the samples.
float MixerGain(float volume) { return std::min(volume, 1.0f); }
float SampleGain(float volume) { return std::max(volume, 1.0f); }

// Stands in for a decoder that could not be made after the headers were
// accepted: the stream plays silence of the length it announced, then ends.
class SilenceDecoder final : public Decoder {
public:
    SilenceDecoder(uint64_t frames, uint32_t channels) : Frames(frames), Channels(channels) {}
    uint32_t Read(float* samples, uint32_t frames) override {
        uint32_t got = static_cast<uint32_t>(std::min<uint64_t>(frames, Frames - Pos));
        std::fill(samples, samples + size_t{got} * Channels, 0.0f);
        Pos += got;
        return got;
    }
    bool Seek(uint64_t frame) override {
        if (frame > Frames) return false;
        Pos = frame;
        return true;
    }

private:
    uint64_t Frames;
    uint32_t Channels;
    uint64_t Pos = 0;
};

// Joins the threads of closed streams, whatever they wait for.
class Reaper {
public:
    static void Take(std::thread thread) {
        static Reaper* reaper = new Reaper;  // lives to process exit, with its thread
        std::lock_guard<std::mutex> lock(reaper->Lock);
        reaper->Threads.push_back(std::move(thread));
        reaper->Wake.notify_one();
    }

private:
    Reaper() {
        std::thread([this] {
            std::unique_lock<std::mutex> lock(Lock);
            for (;;) {
                Wake.wait(lock, [this] { return !Threads.empty(); });
                std::thread thread = std::move(Threads.front());
                Threads.erase(Threads.begin());
                lock.unlock();
                thread.join();
                lock.lock();
            }
        }).detach();
    }
    std::mutex Lock;
    std::condition_variable Wake;
    std::vector<std::thread> Threads;
};

// The ring holds what is decoded ahead and what a resume may give back.
std::shared_ptr<AudioRing> MakeRing(uint32_t channels, uint32_t sampleRate) {
    return std::make_shared<AudioRing>(channels, FramesIn(AheadMs + HistoryMs + DecodeChunkMs, sampleRate));
}

}  // namespace

Stream::Stream(DecoderInfo info, DecoderOpener openLater, OutputBackend* output)
    : SampleRate(info.SampleRate), Channels(info.Channels), ChannelMask(info.ChannelMask),
      HighResolution(info.HighResolution), LengthFrames(info.Frames), Ring(MakeRing(info.Channels, info.SampleRate)),
      Source(std::move(info.Source)), OpenLater(std::move(openLater)),
      ClockFrequency(AudioClockFrequency()), Output(output), Ramp(info.SampleRate), Stall(StallLimitMs),
      DeviceMissing(gNoDeviceSeen.load()) {}

Stream::~Stream() { Close(); }

uint32_t Stream::Underruns() { return gUnderruns.load(); }
uint32_t Stream::LongestOutputLockWaitUs() { return gLongestLockWaitUs.load(); }

void Stream::WatchDefaultDevice(OutputBackend& output) {
    // Asking for the default device can take long enough (100 ms and more
    // under Wine) to starve a device if an output thread asked: one thread
    // asks for all, and streams read its answer.
    std::thread([&output] {
        ThreadCom com;
        for (;;) {
            std::wstring id = output.DefaultId();
            {
                std::lock_guard<std::mutex> lock(gDefaultLock);
                gDefaultId = id;
                gDefaultKnown = true;
            }
            gNoDeviceSeen = id.empty();
            output.WaitForDefaultChange(DefaultCheckMs);
        }
    }).detach();
}

bool Stream::DefaultDevice(std::wstring* id) {
    std::lock_guard<std::mutex> lock(gDefaultLock);
    *id = gDefaultId;
    return gDefaultKnown;
}

void Stream::Close() {
    std::unique_lock<std::mutex> lock(Lock);
    if (Closed) return;
    Closed = true;
    Wake.notify_all();
    {
        std::lock_guard<std::mutex> decodeLock(DecodeWaitLock);
        DecodeWake.notify_all();
    }
    if (!DecodeThread.joinable()) {
        std::unique_ptr<Decoder> source = std::move(Source);
        lock.unlock();
        return;
    }
    auto start = std::chrono::steady_clock::now();
    ThreadsDone.wait_until(lock, start + CloseWait, [this] { return DecodeDone; });
    ThreadsDone.wait_until(lock, start + CloseFadeWait, [this] { return OutputDone; });
    lock.unlock();
    // Each thread holds the stream alive until it ends.
    Reaper::Take(std::move(DecodeThread));
    Reaper::Take(std::move(OutputThread));
}

void Stream::StartThreadsLocked() {
    if (DecodeThread.joinable() || Closed) return;
    std::shared_ptr<Stream> self = shared_from_this();
    DecodeThread = std::thread([self] { self->DecodeLoop(); });
    OutputThread = std::thread([self] { self->OutputLoop(); });
}

uint64_t Stream::PositionLocked() const {
    if (PlayState != State::Playing || !RunActive || RestartRun) return HeldPosition;
    // The clock is read as it stands: its turns may wait behind a look for a device.
    uint64_t played = RunOnDevice ? RunHeard.load()
                                  : TicksToFrames(AudioClockTicks() - ClockStart, ClockFrequency, SampleRate);
    return std::min(RunBase + played, EndLocked());
}

// ---- Decoding ----

void Stream::NoteDrained(bool drained, uint64_t endFrame) {
    std::lock_guard<std::mutex> lock(Lock);
    SourceDrained = drained;
    EndFrame = endFrame;
}

void Stream::DecodeLoop() {
    ThreadCom com;
    RaiseThreadPriority(AudioThreadPriority::AboveNormal);
    std::unique_lock<std::mutex> lock(Lock);
    std::unique_ptr<Decoder> source = std::move(Source);
    DecoderOpener open = std::move(OpenLater);
    uint64_t lengthFrames = LengthFrames;
    uint32_t channels = Channels, sampleRate = SampleRate;
    lock.unlock();

    bool fresh = false;  // a decoder just made stands at the start already
    if (!source && open) {
        DecoderInfo made = open();
        source = std::move(made.Source);
        fresh = true;
        if (source && (made.SampleRate != sampleRate || made.Channels != channels) && made.SampleRate && made.Channels) {
            // The headers told another format than the decoder gives (an AAC
            // file whose sample entry holds the core rate): positions follow
            // the decoder from here.
            lock.lock();
            if (!Closed) AdoptFormatLocked(made.SampleRate, made.Channels);
            lengthFrames = LengthFrames;
            channels = Channels;
            sampleRate = SampleRate;
            lock.unlock();
        }
    }
    if (!source) source = std::make_unique<SilenceDecoder>(lengthFrames, channels);
    lock.lock();
    std::shared_ptr<AudioRing> ring = Ring;
    lock.unlock();

    uint32_t chunkFrames = std::max<uint32_t>(1, FramesIn(DecodeChunkMs, sampleRate));
    std::vector<float> chunk(size_t{chunkFrames} * channels);
    uint64_t at = 0;  // the decoder's next frame
    uint32_t pending = 0, offset = 0;  // decoded, not yet in the ring
    bool drained = false;
    while (!Closed) {
        uint64_t target;
        if (ring->TakeMove(&target)) {
            bool ok = target <= lengthFrames && ((fresh && target == 0 && at == 0) || source->Seek(target));
            fresh = false;
            at = target;
            pending = offset = 0;
            drained = !ok || target >= lengthFrames;
            ring->CompleteMove(target);
            if (drained) ring->MarkEnd();
            NoteDrained(drained, target);
            continue;
        }
        if (pending == 0 && !drained && ring->Free() >= chunkFrames) {
            // Decoded and copied without the lock: nothing waits on the decoder.
            uint32_t got = std::min(source->Read(chunk.data(), chunkFrames), chunkFrames);
            fresh = false;
            // The media's duration is the length; decoders that give more stop there.
            got = static_cast<uint32_t>(std::min<uint64_t>(got, lengthFrames - std::min(at, lengthFrames)));
            if (got == 0) {
                drained = true;
                ring->MarkEnd();
                NoteDrained(true, at);
                continue;
            }
            pending = got;
            offset = 0;
            at += got;
        }
        if (pending > 0) {
            uint32_t wrote = ring->Write(chunk.data() + size_t{offset} * channels, pending);
            pending -= wrote;
            offset += wrote;
            if (pending == 0) continue;
        }
        std::unique_lock<std::mutex> wait(DecodeWaitLock);
        DecodeWake.wait_for(wait, DecodePollMs, [&] { return Closed.load() || ring->MovePending(); });
    }
    // The decoder goes on this thread, before a waiting Close returns.
    source.reset();
    lock.lock();
    DecodeDone = true;
    ThreadsDone.notify_all();
}

void Stream::AdoptFormatLocked(uint32_t sampleRate, uint32_t channels) {
    auto convert = [&](uint64_t frames) { return frames * sampleRate / SampleRate; };
    HeldPosition = convert(PositionLocked());
    LengthFrames = convert(LengthFrames);
    SampleRate = sampleRate;
    Channels = channels;
    ChannelMask = 0;
    // A ring of the new format; the run starts again on it, from HeldPosition.
    Ring = MakeRing(channels, sampleRate);
    RestartRun = true;
}

// ---- Output ----

std::unique_lock<std::mutex> Stream::LockForOutput() const {
    uint64_t before = AudioClockTicks();
    std::unique_lock<std::mutex> lock(Lock);
    uint64_t us = (AudioClockTicks() - before) * 1000000 / ClockFrequency;
    uint32_t waited = static_cast<uint32_t>(std::min<uint64_t>(us, UINT32_MAX));
    uint32_t longest = gLongestLockWaitUs.load(std::memory_order_relaxed);
    while (waited > longest && !gLongestLockWaitUs.compare_exchange_weak(longest, waited)) {
    }
    return lock;
}

void Stream::OutputLoop() {
    ThreadCom com;
    RaiseThreadPriority(AudioThreadPriority::TimeCritical);
    void* task = JoinAudioTask();
    for (;;) {
        bool wanted, restart;
        {
            std::unique_lock<std::mutex> lock = LockForOutput();
            if (Closed) break;
            wanted = PlayState == State::Playing;
            restart = RestartRun;
            if (!RunActive && !wanted) {
                Wake.wait(lock);
                continue;
            }
        }
        if (RunActive && (!wanted || restart)) {
            EndRun(true);
            continue;
        }
        if (!RunActive) {
            StartRun();
            continue;
        }
        if (Device) {
            ServiceDevice();
            if (!Device || !RunActive) continue;
            PeriodSignalled = Device->WaitReady(DeviceStarted ? TurnTimeoutMs : StartTurnMs);
        } else {
            ServiceClock();
            AudioSleepMs(ClockTurnMs);
        }
    }
    if (RunActive) EndRun(true);  // a free fades out as a pause does
    Device.reset();
    LeaveAudioTask(task);
    std::lock_guard<std::mutex> lock(Lock);
    OutputDone = true;
    ThreadsDone.notify_all();
}

void Stream::TryDevice() {
    if (Device || !Output) return;
    // After a loss or a failed open the clock runs a while before the next try.
    uint64_t now = AudioTickMs();
    if (now < NextDeviceTryMs) return;
    NextDeviceTryMs = now + DeviceRetryMs;
    // A device that never moved is left alone a while, unless another
    // becomes the default: a busy machine can hold a sound server up too.
    std::wstring current;
    if (!StalledDevice.empty() && now < StalledUntilMs && (!DefaultDevice(&current) || current == StalledDevice)) return;
    std::unique_ptr<OutputDevice> device = Output->OpenDefault(RunFormat);
    DeviceMissing = !device;
    if (!device || Closed) return;
    StalledDevice.clear();
    Device = std::move(device);
    DeviceFor = RunFormat;
}

void Stream::StartRun() {
    uint64_t held;
    {
        std::unique_lock<std::mutex> lock = LockForOutput();
        RestartRun = false;
        held = HeldPosition;
        RunRing = Ring;
        RunFormat = SourceFormat{SampleRate, Channels, ChannelMask, HighResolution};
    }
    // A device opened for another format (the decoder corrected the headers)
    // goes, and one for this format opens at once: no loss or failure to
    // wait out on the clock, and the track's start would be silent.
    if (Device && (DeviceFor.SampleRate != RunFormat.SampleRate || DeviceFor.Channels != RunFormat.Channels)) {
        Device.reset();
        NextDeviceTryMs = 0;
    }
    // Where there was no device a moment ago the clock starts at once and
    // looks for one as it runs; otherwise the run waits for the device.
    if (!DeviceMissing) TryDevice();
    RunPlayed = 0;
    RunTaken = 0;
    RunPadFrames = 0;
    Starving = false;
    Ramp = VolumeRamp(RunFormat.SampleRate);
    Ramp.SetTarget(SampleGain(Volume.load()));
    Ramp.StartFromSilence();
    DeviceStarted = false;  // started once audio is queued
    // Nothing is heard yet: the mixer takes the volume at once, and the
    // samples rise from silence.
    Glide.Jump(MixerGain(Volume.load()));
    MixerSet = -1.0f;
    if (Device && !(Device->Reset() && SteerVolume(Glide.Current()))) DropDevice();
    Stall.Restart(AudioTickMs(), 0);
    RunHeard = 0;
    {
        std::unique_lock<std::mutex> lock = LockForOutput();
        if (Closed || PlayState != State::Playing || RestartRun) return;  // things moved while the device opened
        RunBase = held;
        RunOnDevice = Device != nullptr;
        ClockStart = AudioClockTicks();
        RunActive = true;
    }
    if (!RunRing->MoveTo(held)) {
        std::lock_guard<std::mutex> lock(DecodeWaitLock);
        DecodeWake.notify_all();
    }
}

void Stream::EndRun(bool fade) {
    if (Device && DeviceStarted && fade) {
        // The mixer's volume glides to silence, heard within a period or
        // two, while the queue is kept up (one that ran dry mid-glide would
        // cut the sound). Once the glide's last step has left the mixer,
        // what is still queued is dropped, so a resume plays nothing stale.
        auto turn = [this] {
            uint32_t queued = 0, capacity = 0;
            if (!Device->Queued(&queued) || !Device->Capacity(&capacity)) return false;
            uint32_t target = std::min(FramesIn(QueueMs, RunFormat.SampleRate), capacity);
            if (queued < target) {
                uint32_t want = target - queued;
                uint32_t audio = std::min(want, RunRing->Available());
                if (!Write(audio, Feed::Audio) || !Write(want - audio, Feed::Silence)) return false;
            }
            PeriodSignalled = Device->WaitReady(TurnTimeoutMs);
            return true;
        };
        bool ok = true;
        while (ok && Glide.Current() > 0.0f) ok = SteerVolume(0.0f) && turn();
        uint64_t lastStepHeardMs = VolumeGlide::StepUs / 1000 +  // the piece it lands in
                                   uint64_t{Device->LatencyFrames()} * 1000 / RunFormat.SampleRate;
        uint64_t until = AudioTickMs() + lastStepHeardMs + DrainExtraMs;
        while (ok && AudioTickMs() < until) ok = turn();
        if (!ok) DropDevice();
    }
    if (Device && !(Device->Stop() && Device->Reset())) DropDevice();
    DeviceStarted = false;
    std::unique_lock<std::mutex> lock = LockForOutput();
    RunActive = false;
    RunOnDevice = false;
}

void Stream::DropDevice() {
    Device.reset();
    DeviceStarted = false;
    NextDeviceTryMs = AudioTickMs() + DeviceRetryMs / 2;
}

void Stream::RestartFromHeard() {
    std::unique_lock<std::mutex> lock = LockForOutput();
    // A seek asked for meanwhile keeps its position.
    if (RestartRun) return;
    HeldPosition = PositionLocked();
    RestartRun = true;
}

void Stream::LoseDevice() {
    // The run goes on from what was heard, on another device or the clock.
    RestartFromHeard();
    DropDevice();
}

bool Stream::Write(uint32_t frames, Feed feed) {
    if (frames == 0) return true;
    const DeviceFormat& format = Device->Format();
    uint32_t channels = RunFormat.Channels;
    uint32_t take = feed == Feed::Silence ? 0 : std::min(frames, RunRing->Available());
    if (feed == Feed::Audio) frames = take;
    if (frames == 0) return true;
    Work.assign(size_t{frames} * channels, 0.0f);
    take = RunRing->Read(Work.data(), take);
    RunTaken += take;
    RunRing->Release(FramesIn(HistoryMs, RunFormat.SampleRate));
    const std::vector<float>* out = &Work;
    if (format.Channels != channels) {
        Mixed.resize(size_t{frames} * format.Channels);
        RemapChannels(Work.data(), frames, channels, Mixed.data(), format.Channels);
        out = &Mixed;
    }
    float* samples = const_cast<float*>(out->data());
    Ramp.SetTarget(SampleGain(Volume.load(std::memory_order_relaxed)));
    // Silence leaves the ramp where it is: a rise spent on the silence that
    // opens a run would start the audio at full volume, with a click.
    if (feed == Feed::Audio) Ramp.Apply(samples, frames, format.Channels);
    if (format.Float) return Device->Write(samples, frames);
    Pcm.resize(out->size());
    Dither.Convert(samples, Pcm.data(), Pcm.size());
    return Device->Write(Pcm.data(), frames);
}

uint64_t Stream::NowUs() const { return TicksToFrames(AudioClockTicks(), ClockFrequency, 1000000); }

bool Stream::SteerVolume(float target) {
    float gain = Glide.Next(target, NowUs(), std::exchange(PeriodSignalled, false));
    if (gain == MixerSet) return true;
    MixerSet = gain;
    return Device->SetVolume(gain);
}

void Stream::NoteStarving(bool starving) {
    if (starving && !Starving) gUnderruns.fetch_add(1);
    Starving = starving;
}

void Stream::ServiceDevice() {
    uint64_t nowMs = AudioTickMs();
    uint32_t rate = RunFormat.SampleRate;
    std::wstring current;
    if (DefaultDevice(&current)) {
        // Headphones plugged in, or the user chose another output: follow it.
        if (!current.empty() && current != Device->Id()) {
            RestartFromHeard();
            EndRun(true);
            Device.reset();
            return;
        }
    }
    uint32_t queued = 0, capacity = 0;
    uint64_t played = 0;
    if (!Device->Queued(&queued) || !Device->Capacity(&capacity) || !Device->Played(&played)) {
        LoseDevice();
        return;
    }
    RunPlayed = std::min(played - std::min<uint64_t>(played, RunPadFrames), RunTaken);
    RunHeard = RunPlayed;
    if (DeviceStarted && Stall.Stalled(nowMs, played, queued > 0)) {
        StalledDevice = Device->Id();
        StalledUntilMs = nowMs + StalledRetryMs;
        LoseDevice();
        return;
    }
    if (!SteerVolume(MixerGain(Volume.load(std::memory_order_relaxed)))) {
        LoseDevice();
        return;
    }
    if (RunRing->AtEnd()) {
        if (queued == 0 || RunPlayed >= RunTaken) Finish();
        return;
    }
    uint32_t target = std::min(FramesIn(QueueMs, rate), capacity);
    if (queued < target) {
        if (!DeviceStarted && RunPadFrames == 0) {
            // A run opens with a little silence: a device may lose the first
            // moments of a start (Wine's PulseAudio driver does), and losing
            // silence is not heard, where losing the start of the rise is a click.
            RunPadFrames = std::min(FramesIn(StartSilenceMs, rate), target - queued);
            if (!Write(RunPadFrames, Feed::Silence)) {
                LoseDevice();
                return;
            }
            queued += RunPadFrames;
        }
        uint32_t want = target - queued;
        // Short of audio before the end, or a device that ran dry since the
        // last turn: heard as a gap (before the device starts, nothing is).
        NoteStarving(DeviceStarted && !RunRing->SourceEnded() && (RunRing->Available() < want || queued == 0));
        if (!Write(want, Feed::Audio)) {
            LoseDevice();
            return;
        }
    }
    // Started with the queue filled, so that a slow first turn is not heard
    // and the clock counts only audio.
    if (!DeviceStarted && RunTaken > 0 && (RunTaken >= FramesIn(FillMs, rate) || RunRing->SourceEnded())) {
        if (!Device->Start()) {
            LoseDevice();
            return;
        }
        DeviceStarted = true;
        Stall.Restart(nowMs, played);
    }
}

void Stream::ServiceClock() {
    uint32_t rate = RunFormat.SampleRate;
    RunPlayed = TicksToFrames(AudioClockTicks() - ClockStart, ClockFrequency, rate);
    // The ring is used up in step with the clock: the decoder's end is the end.
    uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(RunPlayed - std::min(RunPlayed, RunTaken), RunRing->Available()));
    RunTaken += RunRing->Read(nullptr, take);
    RunRing->Release(FramesIn(HistoryMs, rate));
    if (RunRing->AtEnd() && RunBase + RunPlayed >= RunRing->ReadFrame()) {
        Finish();
        return;
    }
    // A device may have appeared: the clock runs on while one is looked for,
    // and a run on it starts from where the clock got to. The watcher's news
    // of a new default is acted on at once.
    std::wstring current;
    if (DefaultDevice(&current) && current != ClockSawDefault) {
        ClockSawDefault = current;
        if (!current.empty()) NextDeviceTryMs = 0;
    }
    TryDevice();
    if (Device) RestartFromHeard();
}

void Stream::Finish() {
    std::unique_lock<std::mutex> lock = LockForOutput();
    if (RestartRun || PlayState != State::Playing) return;  // a seek or a pause came first
    HeldPosition = EndLocked();
    PlayState = State::Stopped;
    Ended = true;
}

// ---- The interface ----

int Stream::Play(bool restart) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (restart || Ended) {
        HeldPosition = 0;
        RestartRun = true;
        Ended = false;
    }
    if (PlayState != State::Playing) PlayState = State::Playing;
    StartThreadsLocked();
    Wake.notify_all();
    return 0;
}

int Stream::Pause() {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (PlayState == State::Paused) return BASS_ERROR_ALREADY;
    if (PlayState != State::Playing) return BASS_ERROR_NOPLAY;
    HeldPosition = PositionLocked();
    PlayState = State::Paused;
    Wake.notify_all();
    return 0;
}

int Stream::Stop() {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (PlayState == State::Stopped) return 0;
    HeldPosition = PositionLocked();
    PlayState = State::Stopped;
    Wake.notify_all();
    return 0;
}

int Stream::SetPosition(uint64_t positionBytes) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    uint64_t frame = positionBytes / FrameBytes();
    if (frame > LengthFrames) return BASS_ERROR_POSITION;
    HeldPosition = frame;
    RestartRun = true;
    Ended = false;
    Wake.notify_all();
    return 0;
}

int Stream::SetVolume(float volume) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (!(volume >= 0.0f) || std::isinf(volume)) return BASS_ERROR_ILLPARAM;  // also NaN
    Volume = volume;  // the output thread's ramp follows it
    return 0;
}

int Stream::GetVolume(float* volume) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    *volume = Volume;
    return 0;
}

int Stream::Active(uint32_t* state) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    *state = PlayState == State::Playing ? BASS_ACTIVE_PLAYING
           : PlayState == State::Paused  ? BASS_ACTIVE_PAUSED
                                         : BASS_ACTIVE_STOPPED;
    return 0;
}

int Stream::Position(uint64_t* positionBytes) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    *positionBytes = PositionLocked() * FrameBytes();
    return 0;
}

int Stream::Length(uint64_t* lengthBytes) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    // A decoder that ran dry before the headers' length (a system decoder's
    // own idea of the priming, a truncated file) has shown where the end is.
    *lengthBytes = EndLocked() * FrameBytes();
    return 0;
}

int Stream::BytesToSeconds(uint64_t bytes, double* seconds) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    *seconds = static_cast<double>(bytes / FrameBytes()) / SampleRate;
    return 0;
}

int Stream::SecondsToBytes(double seconds, uint64_t* bytes) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (!(seconds >= 0.0) || seconds > 1e12) return BASS_ERROR_ILLPARAM;
    *bytes = static_cast<uint64_t>(seconds * SampleRate) * FrameBytes();
    return 0;
}
