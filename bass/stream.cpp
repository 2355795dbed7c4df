#include "bass/stream.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "bass/bass_api.h"

namespace {

constexpr uint32_t BufferMs = 50;
constexpr uint32_t ClockLeadMs = 200;        // how far the clock's decoding runs ahead
constexpr uint32_t DecodeBurstMs = 500;      // audio decoded in one go when the ahead buffer runs low
// Above what a service turn takes (four device buffers or the clock's lead):
// the next burst is decoded while this much is still waiting.
constexpr uint32_t RefillBelowMs = 300;
constexpr ULONGLONG DeviceStallLimitMs = 1000;  // a device that plays nothing for this long is dropped

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Stands in for a decoder that could not be made after the headers were
// accepted: the stream plays silence of the length it announced, then ends.
class SilenceDecoder final : public Decoder {
public:
    explicit SilenceDecoder(uint64_t lengthBytes) : LengthBytes(lengthBytes) {}
    uint32_t Read(uint8_t* buffer, uint32_t bytes) override {
        uint32_t got = static_cast<uint32_t>(std::min<uint64_t>(bytes, LengthBytes - Pos));
        std::memset(buffer, 0, got);
        Pos += got;
        return got;
    }
    bool Seek(uint64_t positionBytes) override {
        if (positionBytes > LengthBytes) return false;
        Pos = positionBytes;
        return true;
    }

private:
    uint64_t LengthBytes;
    uint64_t Pos = 0;
};

}  // namespace

Stream::Stream(DecoderInfo info, DecoderOpener openLater, bool useDevice)
    : Source(std::move(info.Source)), OpenLater(std::move(openLater)), SampleRate(info.SampleRate), Channels(info.Channels),
      BlockBytes(info.Channels * 2), BytesPerSecond(uint64_t{info.SampleRate} * info.Channels * 2),
      LengthBytes(info.LengthBytes), WantDevice(useDevice) {
    QueryPerformanceFrequency(&ClockFrequency);
}

Stream::~Stream() { Close(); }

void Stream::Close() {
    std::unique_lock<std::mutex> lock(Lock);
    CloseDeviceLocked();
    Source.reset();
    Closed = true;
    // No decoder may outlive the free: a program that frees its stream and
    // exits would otherwise leave a Media Foundation reader to a thread that
    // process exit kills, which brings Wine's GStreamer back end down. Bounded,
    // so that a decoder stuck in a read cannot hang the caller.
    BurstDone.wait_for(lock, std::chrono::seconds(5), [this] { return !Decoding; });
}

bool Stream::OpenDeviceLocked() {
    if (Wave) return true;
    if (!WantDevice) return false;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(Channels);
    format.nSamplesPerSec = SampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(BlockBytes);
    format.nAvgBytesPerSec = static_cast<DWORD>(BytesPerSecond);
    if (waveOutOpen(&Wave, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        Wave = nullptr;
        WantDevice = false;  // this format or device does not work: the clock takes over
        return false;
    }
    uint32_t bufferBytes = std::max<uint32_t>(BlockBytes, static_cast<uint32_t>(BytesPerSecond * BufferMs / 1000 / BlockBytes * BlockBytes));
    for (size_t i = 0; i < BufferCount; ++i) {
        Buffers[i].assign(bufferBytes, 0);
        Headers[i] = WAVEHDR{};
        Headers[i].lpData = reinterpret_cast<LPSTR>(Buffers[i].data());
        Headers[i].dwBufferLength = bufferBytes;
        waveOutPrepareHeader(Wave, &Headers[i], sizeof(WAVEHDR));
        Headers[i].dwFlags |= WHDR_DONE;  // free for the first fill
    }
    LastDevicePos = 0;
    DeviceStuckSinceMs = 0;
    return true;
}

void Stream::CloseDeviceLocked() {
    if (!Wave) return;
    waveOutReset(Wave);
    for (WAVEHDR& header : Headers) waveOutUnprepareHeader(Wave, &header, sizeof(WAVEHDR));
    waveOutClose(Wave);
    Wave = nullptr;
}

uint64_t Stream::RunBytesLocked() {
    if (Wave) {
        MMTIME time{};
        time.wType = TIME_BYTES;
        if (waveOutGetPosition(Wave, &time, sizeof time) != MMSYSERR_NOERROR) return LastDevicePos;
        // A driver may answer in another unit than asked.
        switch (time.wType) {
        case TIME_BYTES: return time.u.cb - time.u.cb % BlockBytes;
        case TIME_SAMPLES: return uint64_t{time.u.sample} * BlockBytes;
        case TIME_MS: return uint64_t{time.u.ms} * SampleRate / 1000 * BlockBytes;
        default: return LastDevicePos;
        }
    }
    LONGLONG ticks = ClockRunTicks + (PlayState == State::Playing ? Now() - ClockResumedAt : 0);
    if (ClockFrequency.QuadPart <= 0) return 0;
    double seconds = static_cast<double>(ticks) / static_cast<double>(ClockFrequency.QuadPart);
    return static_cast<uint64_t>(seconds * SampleRate) * BlockBytes;
}

uint64_t Stream::PositionLocked() {
    if (PlayState == State::Stopped) return PlayBase;
    uint64_t position = PlayBase + RunBytesLocked();
    uint64_t limit = SourceEnded ? EndPos : LengthBytes;
    return std::min(position, limit);
}

void Stream::RebaseLocked(uint64_t positionBytes) {
    if (Wave) {
        waveOutReset(Wave);  // returns every buffer and sets the device's count to 0
        if (PlayState == State::Paused) waveOutPause(Wave);
    }
    LastDevicePos = 0;
    DeviceStuckSinceMs = 0;
    ClockRunTicks = 0;
    ClockResumedAt = Now();
    PlayBase = positionBytes;
    DecodePos = positionBytes;
    Ahead.clear();
    AheadPos = 0;
    SourceDrained = false;
    SourceEnded = positionBytes >= LengthBytes;
    EndPos = positionBytes;
    // The decoder seeks on the output thread before its next burst (a failed
    // seek drains it, which ends the stream here).
    ++Generation;
    SeekPending = true;
    SeekTarget = positionBytes;
}

uint32_t Stream::DecodeLocked(uint8_t* buffer, uint32_t bytes) {
    if (SourceEnded) return 0;
    // The media's duration is the length; decoders that give more stop there.
    uint64_t left = LengthBytes - std::min(DecodePos, LengthBytes);
    bytes = static_cast<uint32_t>(std::min<uint64_t>(bytes, left));
    bytes -= bytes % BlockBytes;
    uint32_t got = static_cast<uint32_t>(std::min<size_t>(bytes, Ahead.size() - AheadPos));
    if (got) std::memcpy(buffer, Ahead.data() + AheadPos, got);
    AheadPos += got;
    DecodePos += got;
    // Nothing decoded yet is an underrun, not the end: the next burst comes.
    if (got == 0 && (bytes == 0 || SourceDrained)) {
        SourceEnded = true;
        EndPos = DecodePos;
    }
    return got;
}

void Stream::FillAhead() {
    std::unique_ptr<Decoder> source;
    DecoderOpener open;
    uint64_t generation = 0, seekTarget = 0, lengthBytes = 0;
    bool seek = false;
    uint32_t burst = 0, blockBytes = 0, sampleRate = 0, channels = 0;
    {
        std::lock_guard<std::mutex> lock(Lock);
        if (Closed || PlayState != State::Playing || SourceDrained || SourceEnded) return;
        if (Ahead.size() - AheadPos >= BytesPerSecond * RefillBelowMs / 1000) return;
        source = std::move(Source);
        open = std::move(OpenLater);
        if (!source && !open) return;
        Decoding = true;
        generation = Generation;
        seek = SeekPending;
        seekTarget = SeekTarget;
        lengthBytes = LengthBytes;
        blockBytes = BlockBytes;
        sampleRate = SampleRate;
        channels = Channels;
        burst = static_cast<uint32_t>(std::max<uint64_t>(BlockBytes, BytesPerSecond * DecodeBurstMs / 1000 / BlockBytes * BlockBytes));
    }
    bool opened = false;
    if (!source) {
        DecoderInfo made = open();
        source = std::move(made.Source);
        opened = true;
        if (!source) {
            source = std::make_unique<SilenceDecoder>(lengthBytes);
        } else if (made.SampleRate != sampleRate || made.Channels != channels) {
            // The headers told another format than the decoder gives (an AAC
            // file whose sample entry holds the core rate): positions follow
            // the decoder from here.
            std::unique_lock<std::mutex> lock(Lock);
            if (EndBurstLocked(lock, source)) return;
            AdoptFormatLocked(made.SampleRate, made.Channels);
            return;
        }
    }
    // A fresh decoder stands at the start already (and may hold what it read to check the file).
    bool ok = !seek || (opened && seekTarget == 0) || source->Seek(seekTarget);
    Filled.resize(burst);
    uint32_t got = ok ? source->Read(Filled.data(), burst) : 0;
    got = std::min(got, burst);
    got -= got % blockBytes;

    std::unique_lock<std::mutex> lock(Lock);
    if (EndBurstLocked(lock, source)) return;
    if (generation != Generation) return;  // decoded for a position no longer wanted
    if (seek) SeekPending = false;
    Ahead.erase(Ahead.begin(), Ahead.begin() + static_cast<std::ptrdiff_t>(AheadPos));
    AheadPos = 0;
    Ahead.insert(Ahead.end(), Filled.begin(), Filled.begin() + got);
    if (got == 0) SourceDrained = true;
}

bool Stream::EndBurstLocked(std::unique_lock<std::mutex>& lock, std::unique_ptr<Decoder>& source) {
    Decoding = false;
    if (!Closed) {
        Source = std::move(source);
        return false;
    }
    // Closed meanwhile: the decoder is destroyed here, without the lock (it
    // may wait on its own threads), before the waiting Close returns.
    lock.unlock();
    source.reset();
    lock.lock();
    BurstDone.notify_all();
    return true;
}

void Stream::AdoptFormatLocked(uint32_t sampleRate, uint32_t channels) {
    uint32_t blockBytes = channels * 2;
    auto convert = [&](uint64_t bytes) { return bytes / BlockBytes * sampleRate / SampleRate * blockBytes; };
    uint64_t position = convert(PositionLocked());
    bool hadDevice = Wave != nullptr;
    CloseDeviceLocked();
    LengthBytes = convert(LengthBytes);
    SampleRate = sampleRate;
    Channels = channels;
    BlockBytes = blockBytes;
    BytesPerSecond = uint64_t{sampleRate} * blockBytes;
    if (hadDevice) OpenDeviceLocked();
    RebaseLocked(position);
}

void Stream::FinishLocked() {
    uint64_t end = SourceEnded ? EndPos : LengthBytes;
    PlayState = State::Playing;  // so that RebaseLocked does not re-pause the device
    RebaseLocked(end);
    PlayState = State::Stopped;
    Ended = true;
}

void Stream::ServiceDeviceLocked() {
    bool anyQueued = false;
    for (size_t i = 0; i < BufferCount; ++i) {
        WAVEHDR& header = Headers[i];
        if (!(header.dwFlags & WHDR_DONE)) {
            anyQueued = true;
            continue;
        }
        uint32_t got = DecodeLocked(Buffers[i].data(), static_cast<uint32_t>(Buffers[i].size()));
        if (got == 0) continue;
        ApplyVolume(reinterpret_cast<int16_t*>(Buffers[i].data()), got / 2, Volume);
        header.dwBufferLength = got;
        header.dwFlags &= ~WHDR_DONE;
        if (waveOutWrite(Wave, &header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR) {
            anyQueued = true;
        } else {
            header.dwFlags |= WHDR_DONE;
        }
    }
    if (!anyQueued && SourceEnded) {
        FinishLocked();
        return;
    }
    // A driver that accepts buffers but never plays them would freeze the
    // position; hand the stream to the clock instead.
    uint64_t devicePos = RunBytesLocked();
    ULONGLONG nowMs = GetTickCount64();
    if (devicePos != LastDevicePos || !anyQueued) {
        LastDevicePos = devicePos;
        DeviceStuckSinceMs = nowMs;
    } else if (DeviceStuckSinceMs == 0) {
        DeviceStuckSinceMs = nowMs;
    } else if (nowMs - DeviceStuckSinceMs > DeviceStallLimitMs) {
        uint64_t position = PositionLocked();
        CloseDeviceLocked();
        WantDevice = false;
        RebaseLocked(position);
    }
}

void Stream::ServiceClockLocked() {
    uint64_t position = PositionLocked();
    uint64_t target = position + BytesPerSecond * ClockLeadMs / 1000;
    // Decoding in step with the clock finds the real end of the media.
    while (DecodePos < target && !SourceEnded) {
        uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(target - DecodePos, BytesPerSecond / 10));
        want = std::max(want - want % BlockBytes, BlockBytes);
        Scratch.resize(want);
        if (DecodeLocked(Scratch.data(), want) == 0) break;  // the rest after the next burst
    }
    if (SourceEnded && position >= EndPos) FinishLocked();
}

bool Stream::Service() {
    FillAhead();
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed || PlayState != State::Playing) return false;
    if (Wave) {
        ServiceDeviceLocked();
    } else {
        ServiceClockLocked();
    }
    return PlayState == State::Playing;
}

int Stream::Play(bool restart) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (restart || Ended) {
        RebaseLocked(0);
        Ended = false;
    }
    if (PlayState == State::Playing) return 0;
    if (PlayState == State::Stopped && OpenDeviceLocked()) {
        RebaseLocked(PlayBase);
    }
    if (Wave) {
        waveOutRestart(Wave);
    } else {
        ClockResumedAt = Now();
    }
    PlayState = State::Playing;
    return 0;
}

int Stream::Pause() {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (PlayState == State::Paused) return BASS_ERROR_ALREADY;
    if (PlayState != State::Playing) return BASS_ERROR_NOPLAY;
    if (Wave) {
        waveOutPause(Wave);
    } else {
        ClockRunTicks += Now() - ClockResumedAt;
    }
    PlayState = State::Paused;
    return 0;
}

int Stream::Stop() {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (PlayState == State::Stopped) return 0;
    uint64_t position = PositionLocked();
    PlayState = State::Stopped;
    RebaseLocked(position);
    return 0;
}

int Stream::SetPosition(uint64_t positionBytes) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (positionBytes > LengthBytes) return BASS_ERROR_POSITION;
    RebaseLocked(positionBytes - positionBytes % BlockBytes);
    Ended = false;
    return 0;
}

int Stream::SetVolume(float volume) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (!(volume >= 0.0f) || std::isinf(volume)) return BASS_ERROR_ILLPARAM;  // also NaN
    Volume = volume;
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
    *positionBytes = PositionLocked();
    return 0;
}

int Stream::Length(uint64_t* lengthBytes) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    *lengthBytes = LengthBytes;
    return 0;
}

int Stream::BytesToSeconds(uint64_t bytes, double* seconds) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    *seconds = static_cast<double>(bytes) / static_cast<double>(BytesPerSecond);
    return 0;
}

int Stream::SecondsToBytes(double seconds, uint64_t* bytes) {
    std::lock_guard<std::mutex> lock(Lock);
    if (Closed) return BASS_ERROR_HANDLE;
    if (!(seconds >= 0.0) || seconds > 1e12) return BASS_ERROR_ILLPARAM;
    *bytes = static_cast<uint64_t>(seconds * SampleRate) * BlockBytes;
    return 0;
}
