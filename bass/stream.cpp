#include "bass/stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "bass/bass_api.h"

namespace {

constexpr uint32_t BufferMs = 50;
constexpr uint32_t ClockLeadMs = 200;        // how far the clock's decoding runs ahead
constexpr uint32_t DecodeBurstMs = 500;      // audio decoded in one go when the ahead buffer runs low
constexpr ULONGLONG DeviceStallLimitMs = 1000;  // a device that plays nothing for this long is dropped

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

Stream::Stream(DecoderInfo info, bool useDevice)
    : Source(std::move(info.Source)), SampleRate(info.SampleRate), Channels(info.Channels),
      BlockBytes(info.Channels * 2), BytesPerSecond(uint64_t{info.SampleRate} * info.Channels * 2),
      LengthBytes(info.LengthBytes), WantDevice(useDevice) {
    QueryPerformanceFrequency(&ClockFrequency);
}

Stream::~Stream() { Close(); }

void Stream::Close() {
    std::lock_guard<std::mutex> lock(Lock);
    CloseDeviceLocked();
    Source.reset();
    Closed = true;
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
    SourceEnded = !Source || !Source->Seek(positionBytes);
    EndPos = positionBytes;
    if (positionBytes >= LengthBytes) SourceEnded = true;
}

uint32_t Stream::DecodeLocked(uint8_t* buffer, uint32_t bytes) {
    if (SourceEnded) return 0;
    // The media's duration is the length; decoders that give more stop there.
    uint64_t left = LengthBytes - std::min(DecodePos, LengthBytes);
    bytes = static_cast<uint32_t>(std::min<uint64_t>(bytes, left));
    bytes -= bytes % BlockBytes;
    if (Ahead.size() - AheadPos < bytes) RefillAheadLocked();
    uint32_t got = static_cast<uint32_t>(std::min<size_t>(bytes, Ahead.size() - AheadPos));
    if (got) std::memcpy(buffer, Ahead.data() + AheadPos, got);
    AheadPos += got;
    DecodePos += got;
    if (got == 0) {
        SourceEnded = true;
        EndPos = DecodePos;
    }
    return got;
}

void Stream::RefillAheadLocked() {
    if (SourceDrained || !Source) return;
    Ahead.erase(Ahead.begin(), Ahead.begin() + static_cast<std::ptrdiff_t>(AheadPos));
    AheadPos = 0;
    size_t have = Ahead.size();
    size_t burst = std::max<size_t>(BlockBytes, BytesPerSecond * DecodeBurstMs / 1000 / BlockBytes * BlockBytes);
    if (have >= burst) return;
    Ahead.resize(burst);
    uint32_t got = Source->Read(Ahead.data() + have, static_cast<uint32_t>(burst - have));
    got -= got % BlockBytes;
    Ahead.resize(have + got);
    if (got == 0) SourceDrained = true;
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
        DecodeLocked(Scratch.data(), want);
    }
    if (SourceEnded && position >= EndPos) FinishLocked();
}

bool Stream::Service() {
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
