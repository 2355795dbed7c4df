#include "bass/stream.h"

#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "bass/bass_api.h"

namespace {

constexpr uint32_t AheadMs = 2000;         // decoded ahead: a decoder may stall this long unheard
constexpr uint32_t DecodeChunkMs = 200;    // decoded in one go
constexpr uint32_t HistoryMs = 1000;       // kept behind the next frame out, for a pause to give back
// Kept queued at the device: what a volume change waits behind, and what
// rides out a late turn. A run starts with more, while its threads settle.
constexpr uint32_t LeadMs = 25;
constexpr uint32_t FirstLeadMs = 50;
constexpr uint32_t StartSilenceMs = 10;
constexpr uint32_t TurnTimeoutMs = 20;     // a turn even when the device does not signal
constexpr uint32_t ClockTurnMs = 10;
constexpr uint32_t DrainExtraMs = 20;      // past the queue and the server's latency
constexpr uint64_t StallLimitMs = 1000;    // a device whose position stands still this long is dropped
constexpr ULONGLONG DeviceRetryMs = 1000;  // without a device, how often one is looked for
// How often the default device is asked for when the system does not say it
// changed (Wine never says); each answer costs every stream a moment of sound
// under Wine, so not often.
constexpr ULONGLONG DefaultCheckMs = 5000;
constexpr ULONGLONG StalledRetryMs = 5000;  // a device that stood still is tried again after this
constexpr auto CloseWait = std::chrono::seconds(5);

std::atomic<uint32_t> gUnderruns{0};
// Whether the latest look, by any stream, found no device: a new stream then
// starts on the clock at once and looks for one as it plays.
std::atomic<bool> gNoDeviceSeen{false};
std::mutex gDefaultLock;
std::wstring gDefaultId;     // the watcher's latest answer
bool gDefaultKnown = false;  // no watcher (no BASS_Init): devices are not compared

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

uint32_t FramesIn(uint32_t ms, uint32_t rate) { return static_cast<uint32_t>(uint64_t{rate} * ms / 1000); }

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

// COM for the thread's life: Media Foundation and WASAPI are used from it.
class ComThread {
public:
    ComThread() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~ComThread() { CoUninitialize(); }
};

}  // namespace

Stream::Stream(DecoderInfo info, DecoderOpener openLater, OutputBackend* output)
    : SampleRate(info.SampleRate), Channels(info.Channels), ChannelMask(info.ChannelMask),
      HighResolution(info.HighResolution), LengthFrames(info.Frames), Source(std::move(info.Source)),
      OpenLater(std::move(openLater)), Output(output), Ramp(info.SampleRate), Stall(StallLimitMs),
      DeviceMissing(gNoDeviceSeen.load()) {
    QueryPerformanceFrequency(&ClockFrequency);
}

Stream::~Stream() { Close(); }

uint32_t Stream::Underruns() { return gUnderruns.load(); }

void Stream::WatchDefaultDevice(OutputBackend& output) {
    // Asking for the default device can take long enough (100 ms and more
    // under Wine) to starve a device if an output thread asked: one thread
    // asks for all, and streams read its answer.
    std::thread([&output] {
        ComThread com;
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
    if (!DecodeThread.joinable()) {
        std::unique_ptr<Decoder> source = std::move(Source);
        lock.unlock();
        return;
    }
    // No decoder may outlive the free: a program that frees its stream and
    // exits would otherwise leave a Media Foundation reader to a thread that
    // process exit kills, which brings Wine's GStreamer back end down. Bounded,
    // so that a decoder stuck in a read cannot hang the caller.
    bool done = ThreadsDone.wait_for(lock, CloseWait, [this] { return DecodeDone && OutputDone; });
    lock.unlock();
    for (std::thread* thread : {&DecodeThread, &OutputThread}) {
        if (done) thread->join();
        else thread->detach();  // it holds the stream alive until it ends
    }
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
    uint64_t played = Device ? RunPlayed
                             : TicksToFrames(static_cast<uint64_t>(Now() - ClockStart),
                                             static_cast<uint64_t>(ClockFrequency.QuadPart), SampleRate);
    return std::min(RunBase + played, EndLocked());
}

void Stream::MoveRingLocked(uint64_t frame) {
    uint64_t frames = Ring.size() / Channels;
    if (frame >= RingStart && frame <= RingStart + frames && !SeekPending) {
        ReadAt = static_cast<size_t>(frame - RingStart);
        return;
    }
    Ring.clear();
    RingStart = frame;
    ReadAt = 0;
    SourceDrained = frame >= LengthFrames;
    EndFrame = frame;
    ++Generation;
    SeekPending = true;
    SeekTarget = frame;
    Wake.notify_all();
}

// ---- Decoding ----

bool Stream::DecodeNeededLocked() const {
    if (SourceDrained || (!Source && !OpenLater)) return false;
    return SeekPending || AvailableLocked() < FramesIn(AheadMs, SampleRate);
}

void Stream::DecodeLoop() {
    ComThread com;
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    std::vector<float> chunk;
    std::unique_lock<std::mutex> lock(Lock);
    for (;;) {
        Wake.wait(lock, [this] { return Closed || DecodeNeededLocked(); });
        if (Closed) break;
        std::unique_ptr<Decoder> source = std::move(Source);
        DecoderOpener open = std::move(OpenLater);
        uint64_t generation = Generation, seekTarget = SeekTarget, lengthFrames = LengthFrames;
        bool seek = SeekPending;
        uint32_t channels = Channels, sampleRate = SampleRate;
        lock.unlock();

        bool opened = false;
        if (!source) {
            DecoderInfo made = open();
            source = std::move(made.Source);
            opened = true;
            if (!source) {
                source = std::make_unique<SilenceDecoder>(lengthFrames, channels);
            } else if (made.SampleRate != sampleRate || made.Channels != channels) {
                // The headers told another format than the decoder gives (an AAC
                // file whose sample entry holds the core rate): positions follow
                // the decoder from here.
                lock.lock();
                Source = std::move(source);
                if (!Closed) AdoptFormatLocked(made.SampleRate, made.Channels);
                continue;
            }
        }
        // A fresh decoder stands at the start already.
        bool ok = !seek || (opened && seekTarget == 0) || source->Seek(seekTarget);
        uint32_t want = std::max<uint32_t>(1, FramesIn(DecodeChunkMs, sampleRate));
        chunk.resize(size_t{want} * channels);
        uint32_t got = ok ? std::min(source->Read(chunk.data(), want), want) : 0;

        lock.lock();
        Source = std::move(source);
        if (Closed) break;
        if (generation != Generation) continue;  // decoded for a position no longer wanted
        if (seek) SeekPending = false;
        uint64_t end = RingStart + Ring.size() / Channels;
        // The media's duration is the length; decoders that give more stop there.
        got = static_cast<uint32_t>(std::min<uint64_t>(got, LengthFrames - std::min(end, LengthFrames)));
        if (got == 0) {
            SourceDrained = true;
            EndFrame = end;
            continue;
        }
        // Frames long heard go, so that the ring stays a few seconds long.
        size_t history = FramesIn(HistoryMs, SampleRate);
        if (ReadAt > 2 * history) {
            size_t drop = ReadAt - history;
            Ring.erase(Ring.begin(), Ring.begin() + static_cast<std::ptrdiff_t>(drop * Channels));
            RingStart += drop;
            ReadAt -= drop;
        }
        Ring.insert(Ring.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(size_t{got} * Channels));
    }
    // The decoder goes on this thread, before a waiting Close returns.
    std::unique_ptr<Decoder> source = std::move(Source);
    lock.unlock();
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
    Ring.clear();
    RingStart = 0;
    ReadAt = 0;
    MoveRingLocked(HeldPosition);
    if (HeldPosition == 0) SeekPending = false;  // the new decoder stands there
    RestartRun = RunActive;  // the device must be opened for the new format
}

// ---- Output ----

void Stream::OutputLoop() {
    ComThread com;
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    std::unique_lock<std::mutex> lock(Lock);
    while (!Closed) {
        bool wanted = PlayState == State::Playing;
        if (RunActive && (!wanted || RestartRun)) {
            EndRunLocked(lock, true);
            continue;
        }
        if (!RunActive) {
            if (!wanted) {
                Wake.wait(lock);
                continue;
            }
            StartRunLocked(lock);
            continue;
        }
        if (Device) {
            ServiceDeviceLocked(lock);
            if (!Device || !RunActive) continue;
            HANDLE ready = Device->ReadyEvent();
            lock.unlock();
            WaitForSingleObject(ready, TurnTimeoutMs);
            lock.lock();
        } else {
            ServiceClockLocked(lock);
            Wake.wait_for(lock, std::chrono::milliseconds(ClockTurnMs));
        }
    }
    if (RunActive) EndRunLocked(lock, true);  // a free fades out as a pause does
    std::unique_ptr<OutputDevice> device = std::move(Device);
    lock.unlock();
    device.reset();
    lock.lock();
    OutputDone = true;
    ThreadsDone.notify_all();
}

void Stream::TryDeviceLocked(std::unique_lock<std::mutex>& lock) {
    if (Device || !Output) return;
    // After a loss or a failed open the clock runs a while before the next try.
    ULONGLONG now = GetTickCount64();
    if (now < NextDeviceTryMs) return;
    NextDeviceTryMs = now + DeviceRetryMs;
    SourceFormat format{SampleRate, Channels, ChannelMask, HighResolution};
    // A device that never moved is left alone a while, unless another
    // becomes the default: a busy machine can hold a sound server up too.
    std::wstring current;
    if (!StalledDevice.empty() && now < StalledUntilMs && (!DefaultDevice(&current) || current == StalledDevice)) return;
    lock.unlock();
    std::unique_ptr<OutputDevice> device = Output->OpenDefault(format);
    lock.lock();
    DeviceMissing = !device;
    if (!device || Closed) return;
    StalledDevice.clear();
    Device = std::move(device);
}

void Stream::StartRunLocked(std::unique_lock<std::mutex>& lock) {
    RestartRun = false;
    // Where there was no device a moment ago the clock starts at once and
    // looks for one as it runs; otherwise the run waits for the device.
    if (!DeviceMissing) TryDeviceLocked(lock);
    if (Closed || PlayState != State::Playing || RestartRun) return;  // things moved while the device opened
    MoveRingLocked(HeldPosition);
    RunBase = HeldPosition;
    RunPlayed = 0;
    RunTaken = 0;
    RunPadFrames = 0;
    Starving = false;
    Ramp = VolumeRamp(SampleRate);
    Ramp.SetTarget(Volume);
    Ramp.StartFromSilence();
    DeviceStarted = false;  // started by the first write, with audio queued
    if (Device && !Device->Reset()) DropDeviceLocked();
    Stall.Restart(GetTickCount64(), 0);
    ClockStart = Now();
    RunActive = true;
}

void Stream::EndRunLocked(std::unique_lock<std::mutex>& lock, bool fade) {
    if (Device && DeviceStarted && fade) {
        // A short fade from where the audio is, then silence until all that
        // was queued has been heard: a stopped device cuts what it holds.
        uint32_t queued = 0;
        bool ok = WriteLocked(Ramp.RampFrames(), Feed::FadeOut) && Device->Queued(&queued);
        uint64_t drainFrames = uint64_t{queued} + (ok ? Device->LatencyFrames() : 0);
        ULONGLONG until = GetTickCount64() + drainFrames * 1000 / SampleRate + DrainExtraMs;
        uint32_t lead = FramesIn(LeadMs, SampleRate);
        while (ok && GetTickCount64() < until) {
            if (queued < lead) ok = WriteLocked(lead - queued, Feed::Silence);
            HANDLE ready = Device->ReadyEvent();
            lock.unlock();
            WaitForSingleObject(ready, TurnTimeoutMs);
            lock.lock();
            ok = ok && Device && Device->Queued(&queued);
        }
        if (!ok) DropDeviceLocked();
    }
    if (Device && !(Device->Stop() && Device->Reset())) DropDeviceLocked();
    DeviceStarted = false;
    RunActive = false;
}

void Stream::DropDeviceLocked() {
    Device.reset();
    DeviceStarted = false;
    NextDeviceTryMs = GetTickCount64() + DeviceRetryMs / 2;
}

void Stream::LoseDeviceLocked() {
    // The run goes on from what was heard, on another device or the clock.
    HeldPosition = PositionLocked();
    DropDeviceLocked();
    RestartRun = true;
}

bool Stream::WriteLocked(uint32_t frames, Feed feed) {
    if (frames == 0) return true;
    const DeviceFormat& format = Device->Format();
    size_t take = feed == Feed::Silence ? 0 : std::min<size_t>(frames, AvailableLocked());
    if (feed == Feed::Audio) frames = static_cast<uint32_t>(take);
    if (frames == 0) return true;
    Work.assign(size_t{frames} * Channels, 0.0f);
    std::copy_n(Ring.begin() + static_cast<std::ptrdiff_t>(ReadAt * Channels), take * Channels, Work.begin());
    ReadAt += take;
    RunTaken += take;
    if (DecodeNeededLocked()) Wake.notify_all();  // the decode thread tops the ring up
    const std::vector<float>* out = &Work;
    if (format.Channels != Channels) {
        Mixed.resize(size_t{frames} * format.Channels);
        RemapChannels(Work.data(), frames, Channels, Mixed.data(), format.Channels);
        out = &Mixed;
    }
    float* samples = const_cast<float*>(out->data());
    // Silence leaves the ramp where it is: a rise spent on the silence that
    // opens a run would start the audio at full volume, with a click.
    if (feed == Feed::FadeOut) Ramp.FadeOut(samples, frames, format.Channels);
    else if (feed == Feed::Audio) Ramp.Apply(samples, frames, format.Channels);
    if (format.Float) return Device->Write(samples, frames);
    Pcm.resize(out->size());
    Dither.Convert(samples, Pcm.data(), Pcm.size());
    return Device->Write(Pcm.data(), frames);
}

void Stream::NoteStarvingLocked(bool starving) {
    if (starving && !Starving) gUnderruns.fetch_add(1);
    Starving = starving;
}

void Stream::ServiceDeviceLocked(std::unique_lock<std::mutex>& lock) {
    ULONGLONG nowMs = GetTickCount64();
    std::wstring current;
    if (DefaultDevice(&current)) {
        // Headphones plugged in, or the user chose another output: follow it.
        if (!current.empty() && current != Device->Id()) {
            HeldPosition = PositionLocked();
            RestartRun = true;
            EndRunLocked(lock, true);
            Device.reset();
            return;
        }
    }
    uint32_t queued = 0, capacity = 0;
    uint64_t played = 0;
    if (!Device->Queued(&queued) || !Device->Capacity(&capacity) || !Device->Played(&played)) {
        LoseDeviceLocked();
        return;
    }
    RunPlayed = std::min(played - std::min<uint64_t>(played, RunPadFrames), RunTaken);
    if (DeviceStarted && Stall.Stalled(nowMs, played, queued > 0)) {
        StalledDevice = Device->Id();
        StalledUntilMs = nowMs + StalledRetryMs;
        LoseDeviceLocked();
        return;
    }
    if (SourceDrained && AvailableLocked() == 0) {
        if (queued == 0 || RunPlayed >= RunTaken) FinishLocked();
        return;
    }
    uint32_t lead = std::min(FramesIn(DeviceStarted ? LeadMs : FirstLeadMs, SampleRate), capacity);
    if (queued >= lead) return;
    if (!DeviceStarted && RunPadFrames == 0) {
        // A run opens with a little silence: a device may lose the first
        // moments of a start (Wine's PulseAudio driver does), and losing
        // silence is not heard, where losing the start of the rise is a click.
        RunPadFrames = FramesIn(StartSilenceMs, SampleRate);
        if (!WriteLocked(RunPadFrames, Feed::Silence)) {
            LoseDeviceLocked();
            return;
        }
        queued += RunPadFrames;
        if (queued >= lead) lead = queued + FramesIn(LeadMs, SampleRate);
    }
    uint32_t want = lead - queued;
    // Short of audio before the end (and after the first), or a device that
    // ran dry since the last turn: heard as a gap.
    NoteStarvingLocked(RunTaken > 0 && !SourceDrained && (AvailableLocked() < want || (DeviceStarted && queued == 0)));
    if (!WriteLocked(want, Feed::Audio)) {
        LoseDeviceLocked();
        return;
    }
    if (!DeviceStarted && RunTaken > 0) {
        // Started with audio queued, so that its clock counts only audio.
        if (!Device->Start()) {
            LoseDeviceLocked();
            return;
        }
        DeviceStarted = true;
        Stall.Restart(nowMs, played);
    }
}

void Stream::ServiceClockLocked(std::unique_lock<std::mutex>& lock) {
    RunPlayed = TicksToFrames(static_cast<uint64_t>(Now() - ClockStart), static_cast<uint64_t>(ClockFrequency.QuadPart), SampleRate);
    // The ring is used up in step with the clock: the decoder's end is the end.
    size_t take = static_cast<size_t>(std::min<uint64_t>(RunPlayed - std::min(RunPlayed, RunTaken), AvailableLocked()));
    ReadAt += take;
    RunTaken += take;
    if (DecodeNeededLocked()) Wake.notify_all();
    if (SourceDrained && RunBase + RunPlayed >= EndLocked()) {
        FinishLocked();
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
    TryDeviceLocked(lock);
    if (Device && RunActive && !RestartRun && PlayState == State::Playing) {
        RunPlayed = TicksToFrames(static_cast<uint64_t>(Now() - ClockStart), static_cast<uint64_t>(ClockFrequency.QuadPart), SampleRate);
        HeldPosition = PositionLocked();
        RestartRun = true;
    }
}

void Stream::FinishLocked() {
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
        RestartRun = RunActive;
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
    RestartRun = RunActive;
    Ended = false;
    // The decoder moves now, while a playing run fades out.
    if (!RunActive) MoveRingLocked(frame);
    Wake.notify_all();
    return 0;
}

int Stream::SetVolume(float volume) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (!(volume >= 0.0f) || std::isinf(volume)) return BASS_ERROR_ILLPARAM;  // also NaN
    Volume = volume;
    Ramp.SetTarget(volume);
    return 0;
}

int Stream::GetVolume(float* volume) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    *volume = Volume;
    return 0;
}

int Stream::Active(DWORD* state) {
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
