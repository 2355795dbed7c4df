#include "bass/mmcss.h"

#include <windows.h>

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
