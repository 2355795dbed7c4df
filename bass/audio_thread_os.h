#pragma once
// The few system calls a stream's threads make: a clock, a sleep, COM and
// the scheduling that keeps audio threads ahead of ordinary work. They live
// in audio_thread_os_win32.cpp (what the library ships with) and
// audio_thread_os_posix.cpp (the host's, where the stream's rules are tested
// with their threads running), so that stream.cpp builds on any system.

#include <cstdint>

// A monotonic counter and its ticks per second: the silent clock's position
// is read from it to the frame.
uint64_t AudioClockTicks();
uint64_t AudioClockFrequency();
// A monotonic count of milliseconds, for retries, timeouts and stall watches.
uint64_t AudioTickMs();
void AudioSleepMs(uint32_t ms);

enum class AudioThreadPriority {
    AboveNormal,   // the decode thread: two seconds ahead, it may be late now and then
    TimeCritical,  // the output thread: a late turn is a gap in the sound
};
void RaiseThreadPriority(AudioThreadPriority priority);

// The system's scheduling of audio threads (MMCSS): a thread that joins the
// "Pro Audio" task (else "Audio") runs ahead of ordinary work on a busy
// machine. Joining may fail (no service, a system without it): the thread
// then runs at the priority it has, which is no error. The token is for
// LeaveAudioTask; nullptr when the thread did not join.
void* JoinAudioTask();
void LeaveAudioTask(void* token);

// COM for the life of a thread: Media Foundation and WASAPI are used from
// the stream's threads and the device watcher.
class ThreadCom {
public:
    ThreadCom();
    ~ThreadCom();
    ThreadCom(const ThreadCom&) = delete;
    ThreadCom& operator=(const ThreadCom&) = delete;
};
