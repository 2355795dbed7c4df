// The stream's output logic over a scripted device: what a real server
// cannot show (writes that fail, a position that never moves, a device that
// refuses a layout), and what reaches the device at each step.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "bass/bass_api.h"
#include "bass/stream.h"

namespace {

constexpr uint32_t Rate = 48000;

class ToneDecoder final : public Decoder {
public:
    explicit ToneDecoder(uint32_t channels) : Channels(channels) {}
    uint32_t Read(float* samples, uint32_t frames) override {
        for (uint32_t f = 0; f < frames; ++f, ++Frame)
            for (uint32_t c = 0; c < Channels; ++c)
                samples[f * Channels + c] = 0.5f * static_cast<float>(std::sin(Frame * 2 * 3.14159265 * 440 / Rate));
        return frames;
    }
    bool Seek(uint64_t frame) override {
        Frame = frame;
        return true;
    }

private:
    uint32_t Channels;
    uint64_t Frame = 0;
};

enum class Behaviour { Plays, WritesFail, NeverMoves };

// What every device of a backend was given, for the test to read.
struct Log {
    std::mutex Lock;
    std::vector<float> Written;  // as float, in the device's channels
    std::vector<float> Gains;    // the mixer's volume, each time it was set
    std::vector<float> GainsAtStart, GainsAtStop;
    int Opens = 0;
    int Stops = 0;
};

class ScriptedDevice final : public OutputDevice {
public:
    ScriptedDevice(DeviceFormat format, Behaviour behaviour, Log* log) : Fmt(format), How(behaviour), Out(log) {
        Timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
        LARGE_INTEGER due{};
        due.QuadPart = -100000;
        SetWaitableTimer(Timer, &due, 10, nullptr, nullptr, FALSE);
    }
    ~ScriptedDevice() override { CloseHandle(Timer); }
    const DeviceFormat& Format() const override { return Fmt; }
    bool WaitReady(uint32_t timeoutMs) override { return WaitForSingleObject(Timer, timeoutMs) == WAIT_OBJECT_0; }
    std::wstring Id() const override { return L"scripted"; }
    bool Start() override {
        StartedAt = GetTickCount64();
        Running = true;
        std::lock_guard<std::mutex> lock(Out->Lock);
        Out->GainsAtStart.push_back(Gain);
        return true;
    }
    bool Stop() override {
        Base = PlayedNow();
        Running = false;
        std::lock_guard<std::mutex> lock(Out->Lock);
        ++Out->Stops;
        Out->GainsAtStop.push_back(Gain);
        return true;
    }
    bool Reset() override {
        Base = Written = 0;
        return true;
    }
    bool Queued(uint32_t* frames) override {
        *frames = static_cast<uint32_t>(Written - PlayedNow());
        return true;
    }
    bool Capacity(uint32_t* frames) override {
        *frames = Rate * 3 / 10;
        return true;
    }
    bool Write(const void* samples, uint32_t frames) override {
        if (How == Behaviour::WritesFail) return false;
        std::lock_guard<std::mutex> lock(Out->Lock);
        size_t n = size_t{frames} * Fmt.Channels;
        for (size_t i = 0; i < n; ++i)
            Out->Written.push_back(Fmt.Float ? static_cast<const float*>(samples)[i]
                                             : static_cast<const int16_t*>(samples)[i] / 32768.0f);
        Written += frames;
        return true;
    }
    bool Played(uint64_t* frames) override {
        *frames = PlayedNow();
        return true;
    }
    bool SetVolume(float gain) override {
        Gain = gain;
        std::lock_guard<std::mutex> lock(Out->Lock);
        Out->Gains.push_back(gain);
        return true;
    }
    uint32_t LatencyFrames() override { return 0; }

private:
    uint64_t PlayedNow() const {
        if (How == Behaviour::NeverMoves) return 0;
        uint64_t played = Base + (Running ? (GetTickCount64() - StartedAt) * Rate / 1000 : 0);
        return std::min(played, Written);
    }
    DeviceFormat Fmt;
    Behaviour How;
    Log* Out;
    HANDLE Timer;
    bool Running = false;
    float Gain = 1.0f;
    ULONGLONG StartedAt = 0;
    uint64_t Base = 0, Written = 0;
};

class ScriptedBackend final : public OutputBackend {
public:
    ScriptedBackend(Behaviour behaviour, uint32_t deviceChannels, bool isFloat)
        : How(behaviour), Channels(deviceChannels), Float(isFloat) {}
    std::unique_ptr<OutputDevice> OpenDefault(const SourceFormat& source) override {
        {
            std::lock_guard<std::mutex> lock(Written.Lock);
            ++Written.Opens;
        }
        return std::make_unique<ScriptedDevice>(DeviceFormat{source.SampleRate, std::min(Channels, source.Channels), Float},
                                                How, &Written);
    }
    std::wstring DefaultId() override { return L"scripted"; }
    Log Written;

private:
    Behaviour How;
    uint32_t Channels;
    bool Float;
};

std::shared_ptr<Stream> MakeStream(OutputBackend* backend, uint32_t channels, uint64_t frames = Rate * 30) {
    DecoderInfo info;
    info.Source = std::make_unique<ToneDecoder>(channels);
    info.SampleRate = Rate;
    info.Channels = channels;
    info.Frames = frames;
    return std::make_shared<Stream>(std::move(info), nullptr, backend);
}

// Close returns before the output thread's fade ends; the backend must outlive it.
void CloseAndWait(std::shared_ptr<Stream>& stream) {
    stream->Close();
    while (stream.use_count() > 1) Sleep(5);
}

double Seconds(Stream& stream) {
    uint64_t bytes = 0;
    stream.Position(&bytes);
    return static_cast<double>(bytes) / (Rate * 2 * 2);
}

TEST(StreamOutput, DevicesThatFailOrNeverMoveLeaveTheStreamOnARealTimeClock) {
    for (Behaviour behaviour : {Behaviour::WritesFail, Behaviour::NeverMoves}) {
        SCOPED_TRACE(static_cast<int>(behaviour));
        ScriptedBackend backend(behaviour, 2, true);
        auto stream = MakeStream(&backend, 2);
        ULONGLONG start = GetTickCount64();
        stream->Play(false);
        Sleep(2500);
        double elapsed = (GetTickCount64() - start) / 1000.0;
        double position = Seconds(*stream);
        // Never faster than real time; a device that never moves costs at most its second.
        EXPECT_LE(position, elapsed + 0.05);
        EXPECT_GE(position, elapsed - (behaviour == Behaviour::NeverMoves ? 1.3 : 0.3));
        CloseAndWait(stream);
    }
}

TEST(StreamOutput, VolumeIsTheMixersAndGlidesAndPauseFadesOutBeforeTheDeviceStops) {
    ScriptedBackend backend(Behaviour::Plays, 2, true);
    auto stream = MakeStream(&backend, 2);
    stream->SetVolume(0.25f);  // before the first audio
    stream->Play(false);
    Sleep(300);
    stream->SetVolume(1.0f);
    // The glide takes a step a period; a busy machine's turns come later.
    auto waitFor = [&](auto done) {
        for (int waitedMs = 0; waitedMs < 5000; waitedMs += 10) {
            {
                std::lock_guard<std::mutex> lock(backend.Written.Lock);
                if (done(backend.Written)) return;
            }
            Sleep(10);
        }
    };
    waitFor([](const Log& log) { return !log.Gains.empty() && log.Gains.back() == 1.0f; });
    stream->Pause();
    waitFor([](const Log& log) { return log.Stops > 0; });
    std::vector<float> written, gains;
    {
        std::lock_guard<std::mutex> lock(backend.Written.Lock);
        written = backend.Written.Written;
        gains = backend.Written.Gains;
        ASSERT_EQ(backend.Written.GainsAtStart.size(), 1u);
        EXPECT_FLOAT_EQ(backend.Written.GainsAtStart[0], 0.25f);  // the first audio at the volume set
        ASSERT_GE(backend.Written.GainsAtStop.size(), 1u);
        EXPECT_FLOAT_EQ(backend.Written.GainsAtStop.back(), 0.0f);  // the fade ended before the device stopped
    }
    ASSERT_GT(written.size(), size_t{Rate} * 2 / 2);
    ASSERT_GE(gains.size(), 3u);
    float largestGainStep = 0.0f;
    bool reachedFull = false;
    for (size_t i = 1; i < gains.size(); ++i) {
        largestGainStep = std::max(largestGainStep, std::fabs(gains[i] - gains[i - 1]));
        reachedFull = reachedFull || gains[i] == 1.0f;
    }
    EXPECT_TRUE(reachedFull);
    EXPECT_LT(largestGainStep, 0.3f);  // glides up and down in steps, never a jump
    // The samples themselves carry the source's level once a run has risen.
    float peak = 0;
    for (size_t i = size_t{Rate} / 10 * 2; i < written.size(); ++i) peak = std::max(peak, std::fabs(written[i]));
    EXPECT_GT(peak, 0.49f);
    EXPECT_LT(peak, 0.51f);
    // A resume rises from silence: the tone comes back mid-wave, after the
    // silence that opens a run, so a rise spent early would be a step.
    size_t frames = written.size() / 2;
    stream->Play(false);
    Sleep(200);
    {
        std::lock_guard<std::mutex> lock(backend.Written.Lock);
        written = backend.Written.Written;
    }
    ASSERT_GT(written.size() / 2, frames + Rate / 20);
    float largestStep = 0;
    for (size_t i = frames * 2 + 2; i < written.size(); i += 2)
        largestStep = std::max(largestStep, std::fabs(written[i] - written[i - 2]));
    EXPECT_LT(largestStep, 0.1f);  // a 440 Hz sine at 0.5 moves at most 0.029 a frame
    CloseAndWait(stream);
}

TEST(StreamOutput, ARefusedLayoutIsFoldedDownAndSixteenBitsAreDithered) {
    ScriptedBackend backend(Behaviour::Plays, 2, false);  // stereo, 16-bit only
    auto stream = MakeStream(&backend, 6);
    stream->Play(false);
    Sleep(300);
    CloseAndWait(stream);
    std::lock_guard<std::mutex> lock(backend.Written.Lock);
    const std::vector<float>& w = backend.Written.Written;
    ASSERT_GT(w.size(), size_t{Rate} / 10);
    float peak = 0;
    for (float v : w) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.3f);  // all six channels folded into two, without clipping
    EXPECT_LT(peak, 1.0f);
}

// A decoder that hangs in a read until the test lets it go, as a network
// file or a system codec may.
class StuckDecoder final : public Decoder {
public:
    explicit StuckDecoder(HANDLE release) : Release(release) {}
    uint32_t Read(float* samples, uint32_t frames) override {
        WaitForSingleObject(Release, INFINITE);
        std::fill(samples, samples + size_t{frames} * 2, 0.0f);
        return frames;
    }
    bool Seek(uint64_t) override { return true; }

private:
    HANDLE Release;
};

// The decoder is let go only after every call has returned: a call that
// waited on it would never return, whatever the machine's load. How long the
// calls take is bench_audio's figure.
TEST(StreamOutput, CallsReturnWhileTheDecoderIsStuckAndCloseLeavesItToTheReaper) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ScriptedBackend backend(Behaviour::Plays, 2, true);
    DecoderInfo info;
    info.Source = std::make_unique<StuckDecoder>(release);
    info.SampleRate = Rate;
    info.Channels = 2;
    info.Frames = Rate * 30;
    auto stream = std::make_shared<Stream>(std::move(info), nullptr, &backend);
    stream->Play(false);
    Sleep(200);  // the decode thread is in its read
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        uint64_t position = 0;
        uint32_t state = 0;
        EXPECT_EQ(stream->SetPosition(Rate * 4 * 5), 0);
        stream->Position(&position);
        stream->Active(&state);
        stream->Pause();
        stream->Play(false);
        stream->Stop();
        Sleep(200);  // the run's fade is over
        stream->Close();
        EXPECT_EQ(stream->Play(false), BASS_ERROR_HANDLE);
        returned = true;
    });
    for (int waitedMs = 0; !returned && waitedMs < 20000; waitedMs += 10) Sleep(10);
    EXPECT_TRUE(returned) << "a call waited on the stuck decoder";
    if (!returned) SetEvent(release);
    caller.join();
    SetEvent(release);  // the reaper's threads end; the backend must outlive them
    while (stream.use_count() > 1) Sleep(5);
    CloseHandle(release);
}

TEST(StreamOutput, PositionsPassFourGibibytes) {
    // 96 kHz, 6 channels: 4 GiB of 16-bit PCM is about 62 minutes.
    constexpr uint32_t HighRate = 96000, Channels = 6;
    DecoderInfo info;
    info.Source = std::make_unique<ToneDecoder>(Channels);
    info.SampleRate = HighRate;
    info.Channels = Channels;
    info.Frames = uint64_t{HighRate} * 60 * 90;
    auto stream = std::make_shared<Stream>(std::move(info), nullptr, nullptr);
    uint64_t length = 0, position = 0, target = uint64_t{HighRate} * 60 * 80 * Channels * 2;
    stream->Length(&length);
    EXPECT_EQ(length, uint64_t{HighRate} * 60 * 90 * Channels * 2);
    EXPECT_EQ(stream->SetPosition(target), 0);
    stream->Position(&position);
    EXPECT_EQ(position, target);
    double seconds = 0;
    stream->BytesToSeconds(position, &seconds);
    EXPECT_DOUBLE_EQ(seconds, 80 * 60.0);
    CloseAndWait(stream);
}

}  // namespace
