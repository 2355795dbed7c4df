// A stream's play state with its decode and output threads really running:
// a scripted decoder whose every sample names its frame, and a scripted
// device that notes each frame it is given, so that a seek, a pause or an
// end shows in what the device received, not only in what Position says.
// Other threads call the interface meanwhile; the host's ThreadSanitizer
// tree runs these too. Waits are bounded only to catch a hang, never to
// judge timing: the machine may be busy.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "bass/bass_codes.h"
#include "bass/stream.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t Rate = 48000;
constexpr uint32_t Channels = 2;
constexpr uint64_t FrameBytes = Channels * 2;  // as the interface counts: 16-bit PCM
constexpr auto HangGuard = std::chrono::seconds(30);

// Channel 0 carries the frame's number over channel 1's constant: their
// ratio names the frame whatever gain the volume ramp gave both.
constexpr float Marker = 0.5f;
constexpr double NumberScale = 1 << 22;  // frames below this are named exactly
constexpr int64_t Silent = -1;           // no audio, or audio at a gain of 0
constexpr int64_t RunStart = -2;         // the device was reset: another run follows

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls until done() holds; false when the guard ran out first.
bool WaitUntil(const std::function<bool()>& done) {
    for (auto until = Clock::now() + HangGuard; !done();) {
        if (Clock::now() > until) return false;
        SleepMs(2);
    }
    return true;
}

// Holds a decoder's reads while shut, as a network file or a system codec may.
struct Gate {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Open = true;
    bool Holding = false;      // a read waits at the gate
    bool DecoderGone = false;  // the decoder was freed
    void Pass() {
        std::unique_lock<std::mutex> lock(Lock);
        Holding = true;
        Changed.wait(lock, [this] { return Open; });
        Holding = false;
    }
    void SetOpen() {
        std::lock_guard<std::mutex> lock(Lock);
        Open = true;
        Changed.notify_all();
    }
    bool Is(bool Gate::*flag) {
        std::lock_guard<std::mutex> lock(Lock);
        return this->*flag;
    }
};

class CountingDecoder final : public Decoder {
public:
    CountingDecoder(uint64_t frames, Gate* gate, uint32_t stallEveryReads)
        : Frames(frames), Hold(gate), StallEvery(stallEveryReads) {}
    ~CountingDecoder() override {
        if (!Hold) return;
        std::lock_guard<std::mutex> lock(Hold->Lock);
        Hold->DecoderGone = true;
    }
    uint32_t Read(float* samples, uint32_t frames) override {
        if (Hold) Hold->Pass();
        if (StallEvery && ++Reads % StallEvery == 0) SleepMs(40);
        uint32_t got = static_cast<uint32_t>(std::min<uint64_t>(frames, Frames - std::min(At, Frames)));
        for (uint32_t f = 0; f < got; ++f) {
            samples[f * Channels] = static_cast<float>(Marker * static_cast<double>(At + f + 1) / NumberScale);
            samples[f * Channels + 1] = Marker;
        }
        At += got;
        return got;
    }
    bool Seek(uint64_t frame) override {
        At = frame;
        return true;
    }

private:
    uint64_t Frames;
    Gate* Hold;
    uint32_t StallEvery;
    uint32_t Reads = 0;
    uint64_t At = 0;
};

// What the devices of a backend were given, an entry a frame.
struct DeviceLog {
    std::mutex Lock;
    std::vector<int64_t> Frames;
    size_t Size() {
        std::lock_guard<std::mutex> lock(Lock);
        return Frames.size();
    }
    std::vector<int64_t> From(size_t mark) {
        std::lock_guard<std::mutex> lock(Lock);
        return {Frames.begin() + static_cast<ptrdiff_t>(mark), Frames.end()};
    }
};

// Plays in real time from its start, never ahead of what it was given.
class ScriptedDevice final : public OutputDevice {
public:
    ScriptedDevice(uint32_t sampleRate, DeviceLog* log) : Fmt{sampleRate, Channels, true}, Log(log) {}
    const DeviceFormat& Format() const override { return Fmt; }
    bool WaitReady(uint32_t timeoutMs) override {
        SleepMs(static_cast<int>(std::min<uint32_t>(timeoutMs, 5)));
        return false;
    }
    std::wstring Id() const override { return L"scripted"; }
    bool Start() override {
        StartedAt = Clock::now();
        Running = true;
        return true;
    }
    bool Stop() override {
        Base = PlayedNow();
        Running = false;
        return true;
    }
    bool Reset() override {
        Base = Written = 0;
        std::lock_guard<std::mutex> lock(Log->Lock);
        Log->Frames.push_back(RunStart);
        return true;
    }
    bool Queued(uint32_t* frames) override {
        *frames = static_cast<uint32_t>(Written - PlayedNow());
        return true;
    }
    bool Capacity(uint32_t* frames) override {
        *frames = Fmt.SampleRate * 3 / 10;
        return true;
    }
    bool Write(const void* samples, uint32_t frames) override {
        const float* s = static_cast<const float*>(samples);
        std::lock_guard<std::mutex> lock(Log->Lock);
        for (uint32_t f = 0; f < frames; ++f) {
            float level = s[f * Channels + 1];
            Log->Frames.push_back(level == 0.0f ? Silent
                                                : std::llround(s[f * Channels] / level * NumberScale) - 1);
        }
        Written += frames;
        return true;
    }
    bool Played(uint64_t* frames) override {
        *frames = PlayedNow();
        return true;
    }
    bool SetVolume(float) override { return true; }
    uint32_t LatencyFrames() override { return 0; }

private:
    uint64_t PlayedNow() const {
        if (!Running) return Base;
        auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - StartedAt).count();
        return std::min(Base + static_cast<uint64_t>(us) * Fmt.SampleRate / 1000000, Written);
    }
    DeviceFormat Fmt;
    DeviceLog* Log;
    bool Running = false;
    Clock::time_point StartedAt;
    uint64_t Base = 0, Written = 0;
};

class ScriptedBackend final : public OutputBackend {
public:
    std::unique_ptr<OutputDevice> OpenDefault(const SourceFormat& source) override {
        if (OnFirstOpen) std::exchange(OnFirstOpen, nullptr)();
        return std::make_unique<ScriptedDevice>(source.SampleRate, &Log);
    }
    std::wstring DefaultId() override { return L"scripted"; }
    DeviceLog Log;
    std::function<void()> OnFirstOpen;  // on the output thread, while the device opens
};

std::shared_ptr<Stream> MakeStream(uint64_t frames, OutputBackend* backend, Gate* gate = nullptr,
                                   uint32_t stallEveryReads = 0) {
    DecoderInfo info;
    info.Source = std::make_unique<CountingDecoder>(frames, gate, stallEveryReads);
    info.SampleRate = Rate;
    info.Channels = Channels;
    info.Frames = frames;
    return std::make_shared<Stream>(std::move(info), nullptr, backend);
}

// Frees the stream and waits for its threads, which use the backend, to let it go.
void CloseAndWait(std::shared_ptr<Stream>& stream, ScriptedBackend* backend) {
    stream->Close();
    std::weak_ptr<Stream> left = stream;
    stream.reset();
    EXPECT_TRUE(WaitUntil([&] { return left.expired(); })) << "the stream's threads never ended";
    if (backend) backend->Log.Size();  // after the output thread's last write
}

uint64_t PositionFrames(Stream& stream) {
    uint64_t bytes = 0;
    EXPECT_EQ(stream.Position(&bytes), 0);
    return bytes / FrameBytes;
}

// The position as a clock that started at from when asked would read at
// most: a stream never plays faster than real time.
void ExpectPositionSince(Stream& stream, uint64_t from, Clock::time_point asked) {
    uint64_t position = PositionFrames(stream);
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - asked).count();
    EXPECT_GE(position, from);
    EXPECT_LE(position, from + static_cast<uint64_t>(us) * Rate / 1000000 + Rate / 1000);
}

uint32_t StateOf(Stream& stream) {
    uint32_t state = 99;
    EXPECT_EQ(stream.Active(&state), 0);
    return state;
}

// One run as the device received it, from its first audio frame.
struct DeviceRun {
    bool AfterReset = false;  // false: the tail of a run begun before the log's mark
    int64_t First = Silent, Last = Silent;
    size_t FirstAt = 0;
    bool InOrder = true;  // each audio frame is the one after the frame before
};

// Inside a run silence comes only before and after the audio (or is audio
// at a gain of 0), so the n-th entry after the first audio is that frame + n.
std::vector<DeviceRun> RunsOf(const std::vector<int64_t>& frames) {
    std::vector<DeviceRun> runs(1);
    for (size_t i = 0; i < frames.size(); ++i) {
        int64_t frame = frames[i];
        if (frame == RunStart) {
            runs.push_back({.AfterReset = true});
            continue;
        }
        DeviceRun& run = runs.back();
        if (frame == Silent) continue;
        if (run.First == Silent) {
            run.First = frame;
            run.FirstAt = i;
        } else if (frame != run.First + static_cast<int64_t>(i - run.FirstAt)) {
            run.InOrder = false;
        }
        run.Last = frame;
    }
    std::erase_if(runs, [](const DeviceRun& run) { return run.First == Silent; });
    return runs;
}

// What one whole play gives the device: every frame once, in order, to the last.
void ExpectOneWholeRun(const std::vector<int64_t>& frames, uint64_t length) {
    std::vector<DeviceRun> runs = RunsOf(frames);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].First, 0);
    EXPECT_EQ(runs[0].Last, static_cast<int64_t>(length) - 1);
    EXPECT_TRUE(runs[0].InOrder);
}

// The first run the device began after mark, once it has at least frames of audio.
DeviceRun RunAfter(DeviceLog& log, size_t mark, uint64_t frames) {
    DeviceRun found;
    bool done = WaitUntil([&] {
        for (const DeviceRun& run : RunsOf(log.From(mark))) {
            if (!run.AfterReset) continue;
            found = run;
            return static_cast<uint64_t>(run.Last - run.First) + 1 >= frames;
        }
        return false;
    });
    EXPECT_TRUE(done) << "no run of " << frames << " frames reached the device";
    return found;
}

TEST(StreamState, APlayedStreamStopsAtItsLengthAndPlaysAgainFromTheStart) {
    constexpr uint64_t Length = Rate * 4 / 10;
    for (bool onDevice : {true, false}) {
        SCOPED_TRACE(onDevice ? "device" : "clock");
        ScriptedBackend backend;
        auto stream = MakeStream(Length, onDevice ? &backend : nullptr);
        for (int play = 0; play < 2; ++play) {
            SCOPED_TRACE(play == 0 ? "first play" : "played again");
            size_t mark = backend.Log.Size();
            Clock::time_point asked = Clock::now();
            ASSERT_EQ(stream->Play(false), 0);
            ExpectPositionSince(*stream, 0, asked);  // an ended stream starts over
            EXPECT_TRUE(WaitUntil([&] { return StateOf(*stream) == BASS_ACTIVE_STOPPED; })) << "it never ended";
            EXPECT_EQ(PositionFrames(*stream), Length);
            uint64_t lengthBytes = 0;
            stream->Length(&lengthBytes);
            EXPECT_EQ(lengthBytes, Length * FrameBytes);
            if (onDevice) ExpectOneWholeRun(backend.Log.From(mark), Length);
        }
        CloseAndWait(stream, &backend);
    }
}

// Each case moves a stream that has played a moment; the next run the device
// gets must start at the frame the case names, and go on frame by frame.
enum class Move { SeekWhilePlaying, SeekWhileTheDeviceOpens, SeekWhilePaused, ResumeAfterPause, RestartWhilePlaying };

TEST(StreamState, TheDeviceGetsTheTargetsAudioAfterASeekAPauseOrARestart) {
    constexpr uint64_t Length = Rate * 3;
    constexpr uint64_t Target = Rate * 2 + 1234;
    struct Case {
        const char* Name;
        Move How;
    } cases[] = {
        {"seek while playing", Move::SeekWhilePlaying},
        {"seek while the device opens", Move::SeekWhileTheDeviceOpens},
        {"seek while paused, then play", Move::SeekWhilePaused},
        {"resume after a pause", Move::ResumeAfterPause},
        {"restart while playing", Move::RestartWhilePlaying},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ScriptedBackend backend;
        auto stream = MakeStream(Length, &backend);
        uint64_t expected = Target;
        size_t mark = 0;
        if (c.How == Move::SeekWhileTheDeviceOpens) {
            // Between the run's look at the play state and its start.
            backend.OnFirstOpen = [&] { EXPECT_EQ(stream->SetPosition(Target * FrameBytes), 0); };
        }
        ASSERT_EQ(stream->Play(false), 0);
        if (c.How != Move::SeekWhileTheDeviceOpens) {
            EXPECT_TRUE(WaitUntil([&] { return PositionFrames(*stream) > Rate / 10; }));
            mark = backend.Log.Size();
        }
        switch (c.How) {
        case Move::SeekWhileTheDeviceOpens:
            break;
        case Move::SeekWhilePlaying: {
            Clock::time_point asked = Clock::now();
            EXPECT_EQ(stream->SetPosition(Target * FrameBytes), 0);
            ExpectPositionSince(*stream, Target, asked);
            break;
        }
        case Move::SeekWhilePaused:
            EXPECT_EQ(stream->Pause(), 0);
            EXPECT_EQ(stream->SetPosition(Target * FrameBytes), 0);
            EXPECT_EQ(PositionFrames(*stream), Target);
            EXPECT_EQ(stream->Play(false), 0);
            break;
        case Move::ResumeAfterPause:
            EXPECT_EQ(stream->Pause(), 0);
            expected = PositionFrames(*stream);
            SleepMs(100);
            EXPECT_EQ(PositionFrames(*stream), expected) << "a paused position holds still";
            EXPECT_EQ(StateOf(*stream), BASS_ACTIVE_PAUSED);
            EXPECT_EQ(stream->Play(false), 0);
            break;
        case Move::RestartWhilePlaying:
            EXPECT_EQ(stream->Play(true), 0);
            expected = 0;
            break;
        }
        DeviceRun run = RunAfter(backend.Log, mark, Rate / 5);
        EXPECT_EQ(run.First, static_cast<int64_t>(expected));
        EXPECT_TRUE(run.InOrder);
        // The position goes on from there, never past what the device was given.
        uint64_t position = PositionFrames(*stream);
        run = RunAfter(backend.Log, mark, Rate / 5);
        EXPECT_GE(position, expected);
        EXPECT_LE(position, static_cast<uint64_t>(run.Last) + 1);
        CloseAndWait(stream, &backend);
    }
}

// A system decoder may give another rate than the headers told (the core
// rate of an AAC file), found only once it is made on the decode thread,
// which may be while the output thread opens a device for the headers' rate.
TEST(StreamState, AFormatCorrectedWhileTheDeviceOpensIsPlayedWhole) {
    constexpr uint32_t HeaderRate = Rate / 2;
    constexpr uint64_t Length = Rate / 2;  // half a second at the decoder's rate
    ScriptedBackend backend;
    DecoderInfo headers;
    headers.SampleRate = HeaderRate;
    headers.Channels = Channels;
    headers.Frames = Length * HeaderRate / Rate;
    auto open = [frames = Length] {
        DecoderInfo made;
        made.Source = std::make_unique<CountingDecoder>(frames, nullptr, 0);
        made.SampleRate = Rate;
        made.Channels = Channels;
        made.Frames = frames;
        return made;
    };
    auto stream = std::make_shared<Stream>(std::move(headers), open, &backend);
    backend.OnFirstOpen = [&] {
        EXPECT_TRUE(WaitUntil([&] {
            uint64_t bytes = 0;
            stream->Length(&bytes);
            return bytes == Length * FrameBytes;
        })) << "the decoder never corrected the format";
    };
    EXPECT_EQ(stream->Play(false), 0);
    EXPECT_TRUE(WaitUntil([&] { return StateOf(*stream) == BASS_ACTIVE_STOPPED; })) << "it never ended";
    EXPECT_EQ(PositionFrames(*stream), Length);
    ExpectOneWholeRun(backend.Log.From(0), Length);
    CloseAndWait(stream, &backend);
}

// Joins threads that count their end in done. One that never ends (a call
// that never returned) cannot be joined: the test fails and the run ends.
void JoinOrEnd(std::vector<std::thread>& threads, std::atomic<int>& done) {
    if (!WaitUntil([&] { return done.load() == static_cast<int>(threads.size()); })) {
        ADD_FAILURE() << "a call never returned";
        std::fflush(stdout);
        std::abort();
    }
    for (std::thread& thread : threads) thread.join();
}

TEST(StreamState, CallsFromSeveralThreadsWhileItPlaysKeepEachRunInOrder) {
    constexpr uint64_t Length = Rate * 3;
    constexpr int Callers = 4, CallsEach = 250;
    for (bool onDevice : {true, false}) {
        SCOPED_TRACE(onDevice ? "device" : "clock");
        ScriptedBackend backend;
        // The decoder stalls now and then, as a slow disk does.
        auto stream = MakeStream(Length, onDevice ? &backend : nullptr, nullptr, 3);
        std::atomic<int> done{0};
        std::vector<std::thread> callers;
        for (int t = 0; t < Callers; ++t) {
            callers.emplace_back([&, t] {
                std::minstd_rand random(static_cast<uint32_t>(t + 1));
                for (int i = 0; i < CallsEach; ++i) {
                    uint64_t value = 0;
                    uint32_t state = 0;
                    switch (random() % 10) {
                    case 0: EXPECT_EQ(stream->Play(false), 0); break;
                    case 1: EXPECT_EQ(stream->Play(true), 0); break;
                    case 2: {
                        int result = stream->Pause();
                        EXPECT_TRUE(result == 0 || result == BASS_ERROR_ALREADY || result == BASS_ERROR_NOPLAY) << result;
                        break;
                    }
                    case 3: EXPECT_EQ(stream->Stop(), 0); break;
                    case 4: EXPECT_EQ(stream->SetPosition(random() % (Length + 1) * FrameBytes), 0); break;
                    case 5: EXPECT_EQ(stream->SetPosition((Length + 1) * FrameBytes), BASS_ERROR_POSITION); break;
                    case 6: EXPECT_EQ(stream->SetVolume(static_cast<float>(random() % 101) / 100.0f), 0); break;
                    case 7:
                        EXPECT_EQ(stream->Position(&value), 0);
                        EXPECT_LE(value, Length * FrameBytes);
                        break;
                    case 8:
                        EXPECT_EQ(stream->Active(&state), 0);
                        EXPECT_TRUE(state == BASS_ACTIVE_STOPPED || state == BASS_ACTIVE_PLAYING ||
                                    state == BASS_ACTIVE_PAUSED) << state;
                        break;
                    default:
                        EXPECT_EQ(stream->Length(&value), 0);
                        EXPECT_EQ(value, Length * FrameBytes);
                    }
                    SleepMs(static_cast<int>(random() % 5));
                }
                ++done;
            });
        }
        JoinOrEnd(callers, done);

        // The rules hold after the storm: a seek plays from its target, a
        // pause holds. Stopped first, no run begun before the mark can start.
        ASSERT_EQ(stream->SetVolume(1.0f), 0);
        ASSERT_EQ(stream->Stop(), 0);
        size_t mark = backend.Log.Size();
        ASSERT_EQ(stream->SetPosition(Rate * FrameBytes), 0);
        ASSERT_EQ(stream->Play(false), 0);
        if (onDevice) EXPECT_EQ(RunAfter(backend.Log, mark, Rate / 10).First, static_cast<int64_t>(Rate));
        else EXPECT_TRUE(WaitUntil([&] { return PositionFrames(*stream) > Rate; }));
        ASSERT_EQ(stream->Pause(), 0);
        uint64_t held = PositionFrames(*stream);
        SleepMs(50);
        EXPECT_EQ(PositionFrames(*stream), held);
        CloseAndWait(stream, onDevice ? &backend : nullptr);
        if (!onDevice) continue;
        std::vector<DeviceRun> runs = RunsOf(backend.Log.From(0));
        EXPECT_FALSE(runs.empty());
        for (const DeviceRun& run : runs) EXPECT_TRUE(run.InOrder) << "a run from frame " << run.First;
    }
}

// The decoder is let go only after every call has returned: a call that
// waited on it would never return, however long the machine takes.
TEST(StreamState, CallsReturnWhileTheDecoderIsStuckAndCloseLeavesItToTheReaper) {
    Gate gate;
    gate.Open = false;
    ScriptedBackend backend;
    auto stream = MakeStream(Rate * 3, &backend, &gate);
    ASSERT_EQ(stream->Play(false), 0);
    EXPECT_TRUE(WaitUntil([&] { return gate.Is(&Gate::Holding); }));
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        uint64_t value = 0;
        uint32_t state = 0;
        EXPECT_EQ(stream->SetPosition(Rate * FrameBytes), 0);
        EXPECT_EQ(stream->Position(&value), 0);
        EXPECT_EQ(value, Rate * FrameBytes);
        EXPECT_EQ(stream->Active(&state), 0);
        EXPECT_EQ(stream->SetVolume(0.5f), 0);
        EXPECT_EQ(stream->Pause(), 0);
        EXPECT_EQ(stream->Play(false), 0);
        EXPECT_EQ(stream->Stop(), 0);
        stream->Close();
        EXPECT_EQ(stream->Play(false), BASS_ERROR_HANDLE);
        returned = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return returned.load(); })) << "a call waited on the stuck decoder";
    EXPECT_FALSE(gate.Is(&Gate::DecoderGone)) << "the stuck read was cut short";
    gate.SetOpen();
    caller.join();
    // Released, the decode thread ends, frees its decoder and is joined.
    std::weak_ptr<Stream> left = stream;
    stream.reset();
    EXPECT_TRUE(WaitUntil([&] { return left.expired() && gate.Is(&Gate::DecoderGone); }))
        << "the released thread was never reaped";
    backend.Log.Size();
}

}  // namespace
