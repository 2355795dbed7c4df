#pragma once
// Binding functions of outside DLLs by name on their first call. Every function
// the program takes from a library at run time (the audio library, lyrisk, DWM,
// Direct2D and the rest) goes through this one mechanism: library + function
// name -> cached pointer. A function that cannot be bound is fatal: the
// program reports it and ends.
//
// Thread safety: any thread may bind and call; the library is loaded once and
// each pointer is looked up once (a race only repeats the same lookup).

#include <atomic>
#include <mutex>
#include <string>

// Where a library's file is looked for. Never the current directory: a
// shortcut with another "Start in" folder must not change (or plant) the DLL.
enum class DllLocation {
    ProgramFolder,  // relative to the folder of the program file (lib\bass.dll, lyrisk.dll)
    SystemFolder,   // the system folder only (dwmapi.dll, d2d1.dll, ntdll.dll ...)
};

// The folder that holds the program file (GetModuleFileNameW of the exe), without
// a trailing "\". The anchor for lib\bass.dll, lyrisk.dll and Plugins\.
std::wstring ProgramFolderPath();

// One library the program binds functions from. Declare one per library with
// static storage; it loads the module on first use and never unloads it.
class DllLibrary {
public:
    // fileName: as the program names the file, e.g. "lib\\bass.dll"; it is both
    // the path below the location and the name the fatal message shows.
    constexpr DllLibrary(const char* fileName, DllLocation location) : FileName(fileName), Location(location) {}
    DllLibrary(const DllLibrary&) = delete;
    DllLibrary& operator=(const DllLibrary&) = delete;

    const char* Name() const { return FileName; }
    // The module handle (HMODULE), or nullptr when the file cannot be loaded.
    // Loads at most once; a failed load is not retried.
    void* Module();
    // The export, or nullptr; does not report.
    void* FindFunction(const char* functionName);

private:
    const char* FileName;
    DllLocation Location;
    std::once_flag LoadOnce;
    void* Handle = nullptr;
};

// Called once when a function cannot be bound, with the library file as named
// and the function name (program text). The default shows the fatal message box.
// The process ends after the reporter returns, with exit code BindFailureExitCode.
using BindFailureReporter = void (*)(const char* libraryFile, const char* functionName);
inline constexpr unsigned BindFailureExitCode = 0xB1D;

// Replaces the reporter (tests print instead of showing a box); nullptr restores
// the default. Set it before the first binding.
void SetBindFailureReporter(BindFailureReporter reporter);

// "无法找到指定DLL库文件“%s”中的输出命令“%s”" filled in, as UTF-16 and as program text.
std::wstring BindFailureMessageUtf16(const char* libraryFile, const char* functionName);
std::string BindFailureMessage(const char* libraryFile, const char* functionName);

// The export of library, or never returns: reports the failure and ends the process.
void* BindFunctionOrExit(DllLibrary& library, const char* functionName);

// A function of a DLL, bound on first call and cached. Declare with static
// storage, e.g.
//   static DllFunction<BOOL(WINAPI*)(DWORD)> gBassChannelPause(gBassLibrary, "BASS_ChannelPause");
//   gBassChannelPause(handle);
template <class Fn>
class DllFunction {
public:
    constexpr DllFunction(DllLibrary& library, const char* name) : Library(library), Name(name) {}
    DllFunction(const DllFunction&) = delete;
    DllFunction& operator=(const DllFunction&) = delete;

    Fn Get() {
        void* p = Cached.load(std::memory_order_acquire);
        if (!p) {
            p = BindFunctionOrExit(Library, Name);
            Cached.store(p, std::memory_order_release);
        }
        return reinterpret_cast<Fn>(p);
    }
    template <class... Args>
    auto operator()(Args... args) { return Get()(args...); }

private:
    DllLibrary& Library;
    const char* Name;
    std::atomic<void*> Cached{nullptr};
};
