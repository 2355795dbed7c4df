// The system calls of a stream's threads in the library as it ships.
#include "bass/audio_thread_os.h"

#include <windows.h>
#include <objbase.h>

namespace {

using SetFn = HANDLE(WINAPI*)(LPCWSTR, LPDWORD);
using RevertFn = BOOL(WINAPI*)(HANDLE);

// Bound at run time: a missing avrt.dll or function leaves threads as they are.
struct Avrt {
    SetFn Set = nullptr;
    RevertFn Revert = nullptr;
    Avrt() {
        HMODULE module = LoadLibraryW(L"avrt.dll");
        if (!module) return;
        Set = reinterpret_cast<SetFn>(reinterpret_cast<void*>(GetProcAddress(module, "AvSetMmThreadCharacteristicsW")));
        Revert = reinterpret_cast<RevertFn>(reinterpret_cast<void*>(GetProcAddress(module, "AvRevertMmThreadCharacteristics")));
        if (!Set || !Revert) Set = nullptr;
    }
};

const Avrt& Functions() {
    static Avrt avrt;
    return avrt;
}

}  // namespace

uint64_t AudioClockTicks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<uint64_t>(now.QuadPart);
}

uint64_t AudioClockFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<uint64_t>(frequency.QuadPart);
}

uint64_t AudioTickMs() { return GetTickCount64(); }

void AudioSleepMs(uint32_t ms) { Sleep(ms); }

void RaiseThreadPriority(AudioThreadPriority priority) {
    SetThreadPriority(GetCurrentThread(), priority == AudioThreadPriority::TimeCritical ? THREAD_PRIORITY_TIME_CRITICAL
                                                                                          : THREAD_PRIORITY_ABOVE_NORMAL);
}

ThreadCom::ThreadCom() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
ThreadCom::~ThreadCom() { CoUninitialize(); }

void* JoinAudioTask() {
    const Avrt& avrt = Functions();
    if (!avrt.Set) return nullptr;
    DWORD index = 0;
    HANDLE task = avrt.Set(L"Pro Audio", &index);
    if (!task) {
        index = 0;
        task = avrt.Set(L"Audio", &index);
    }
    return task;
}

void LeaveAudioTask(void* token) {
    if (token && Functions().Revert) Functions().Revert(static_cast<HANDLE>(token));
}
