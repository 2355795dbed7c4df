#include "platform/win32/dll_binding.h"

#include <windows.h>

#include <atomic>

#include "platform/text_codec.h"

namespace {

std::atomic<BindFailureReporter> gBindFailureReporter{nullptr};

void ShowBindFailureBox(const char* libraryFile, const char* functionName) {
    // MessageBoxW from UTF-16: the text is right whatever the ANSI code page.
    std::wstring text = BindFailureMessageUtf16(libraryFile, functionName);
    MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
}

std::wstring ToWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

std::wstring ProgramFolderPath() {
    // MAX_PATH is not the limit for a program file; grow until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void* DllLibrary::Module() {
    std::call_once(LoadOnce, [this] {
        std::wstring name = ToWide(ProgramTextToUtf16(FileName));
        HMODULE module = nullptr;
        if (Location == DllLocation::ProgramFolder) {
            std::wstring folder = ProgramFolderPath();
            if (!folder.empty()) {
                std::wstring path = folder + L"\\" + name;
                // The library's own dependencies are searched beside it first.
                module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
            }
        } else {
            module = LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        }
        Handle = module;
    });
    return Handle;
}

void* DllLibrary::FindFunction(const char* functionName) {
    HMODULE module = static_cast<HMODULE>(Module());
    if (!module) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(module, functionName));
}

void SetBindFailureReporter(BindFailureReporter reporter) { gBindFailureReporter.store(reporter); }

std::wstring BindFailureMessageUtf16(const char* libraryFile, const char* functionName) {
    // 无法找到指定DLL库文件“%s”中的输出命令“%s”
    std::wstring text = L"\u65E0\u6CD5\u627E\u5230\u6307\u5B9A" L"DLL" L"\u5E93\u6587\u4EF6\u201C";
    text += ToWide(ProgramTextToUtf16(libraryFile ? libraryFile : ""));
    text += L"\u201D\u4E2D\u7684\u8F93\u51FA\u547D\u4EE4\u201C";
    text += ToWide(ProgramTextToUtf16(functionName ? functionName : ""));
    text += L"\u201D";
    return text;
}

std::string BindFailureMessage(const char* libraryFile, const char* functionName) {
    std::wstring text = BindFailureMessageUtf16(libraryFile, functionName);
    return Utf16ToProgramText(std::u16string(text.begin(), text.end()));
}

void* BindFunctionOrExit(DllLibrary& library, const char* functionName) {
    if (void* function = library.FindFunction(functionName)) return function;
    // Two threads may fail at once; only one reports.
    static std::mutex reportLock;
    std::lock_guard<std::mutex> lock(reportLock);
    BindFailureReporter reporter = gBindFailureReporter.load();
    (reporter ? reporter : ShowBindFailureBox)(library.Name(), functionName);
    ExitProcess(BindFailureExitCode);
}
