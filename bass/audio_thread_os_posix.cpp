// The host's side of audio_thread_os.h, where the stream runs for its tests:
// no COM, and no raised priorities (they need privileges there, and the
// tests judge no timing).
#include "bass/audio_thread_os.h"

#include <chrono>
#include <thread>

uint64_t AudioClockTicks() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

uint64_t AudioClockFrequency() { return 1000000000; }

uint64_t AudioTickMs() { return AudioClockTicks() / 1000000; }

void AudioSleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void RaiseThreadPriority(AudioThreadPriority) {}

void* JoinAudioTask() { return nullptr; }
void LeaveAudioTask(void*) {}

ThreadCom::ThreadCom() = default;
ThreadCom::~ThreadCom() = default;
