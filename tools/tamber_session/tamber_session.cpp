// tamber-session SCRIPT
//
// The player's playback layer without its drawing: a hidden window stands in
// for the main one and runs the program's own handlers (the PlayBar and Lyric_
// ticks, the folder scan's rows, AddFile as for a dropped file, the load and
// fade code with its message pumping). SCRIPT is UTF-8, one command a line,
// "#" starts a comment:
//
//   add PATH       AddFile(PATH, play 1), as for a dropped file
//   drop PATH      the program's drop target given PATH as a dropped file (PATH|PATH|...: several)
//                  (CF_HDROP with wide names), without a drag
//   scan FOLDER    ScanFolder on a scan thread, as after the folder dialog
//   play N         PlayEntry(N), as a double click on row N
//   toggle | next | prev
//   seek FRACTION  SeekToFraction, 0..1
//   volume V       SetVolumePercent(V)
//   wait MS        posts nothing for MS milliseconds (the window keeps working)
//   waitscan       until every scan has ended and its rows are in the list
//   state          prints the state as one JSON line (UTF-8)
//   quit           closes the window (also done at the end of the script)
//   openfile       the home page's open-file action: the real dialog, then AddFile
//   openfolder     the open-folder action: the real folder dialog and scan thread
//                  (both dialogs need a display)
//
// Every command is posted to the window as a message, so it lands wherever
// the window's thread is, inside a fade included, exactly as a click would.
// Paths are Windows paths; the state's texts come out as UTF-8.

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/drop_target.h"
#include "app/main_window.h"
#include "app/player_reports.h"
#include "assets/embedded_images.h"
#include "lyrics/lyric_lines.h"
#include "platform/input_file.h"
#include "platform/text_codec.h"
#include "platform/win32/dll_binding.h"
#include "playback/player_state.h"
#include "playback/song_list.h"
#include "playback/track_control.h"
#include "session_script.h"
#include "ui/cover_art.h"
#include "ui/ui_state.h"

namespace {

constexpr UINT CommandMessage = WM_APP + 0x60;
constexpr const char* SessionWindowClass = "TamberSessionWindow";
constexpr uint64_t MaxScriptBytes = 16u << 20;

// Our audio library's own count of streams made and not yet freed: a
// diagnostic export, bound only here and never by the program.
DllLibrary gSessionBassLibrary("lib\\bass.dll", DllLocation::ProgramFolder);
using LiveStreamCountFunction = DWORD(WINAPI*)(void);

struct PostedCommand {
    SessionCommand Command;
    HANDLE Done = nullptr;  // set once handled (waitscan: once the scans are idle)
};

std::vector<HANDLE> gScanWaiters;
int gExitCode = 0;

std::string ToUtf8(std::u16string_view text) { return EncodeUtf8(text); }

// Just enough of a data object to hand the drop target a CF_HDROP.
class DroppedFiles final : public IDataObject {
public:
    explicit DroppedFiles(const std::vector<std::u16string>& paths) {
        Bytes.resize(sizeof(DROPFILES));
        DROPFILES header{};
        header.pFiles = sizeof(DROPFILES);
        header.fWide = TRUE;
        std::memcpy(Bytes.data(), &header, sizeof header);
        // The names, each ended by a NUL, and one more NUL after the last.
        std::u16string names;
        for (const std::u16string& path : paths) names += path + u'\0';
        names += u'\0';
        const auto* raw = reinterpret_cast<const char*>(names.data());
        Bytes.insert(Bytes.end(), raw, raw + names.size() * sizeof(char16_t));
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = iid == IID_IUnknown || iid == IID_IDataObject ? static_cast<IDataObject*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }  // lives on the caller's stack
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK || !medium) return DV_E_FORMATETC;
        HGLOBAL copy = GlobalAlloc(GMEM_FIXED, Bytes.size());
        if (!copy) return E_OUTOFMEMORY;
        std::memcpy(copy, Bytes.data(), Bytes.size());  // fixed memory: the handle is the address
        *medium = STGMEDIUM{};
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;  // the receiver frees it with ReleaseStgMedium
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return format && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<char> Bytes;
};

double gLastDropMs = 0;  // how long the drop source waited in the last Drop

// paths: one or more, "|" between them (no Windows path holds one).
void DropFiles(std::string_view utf8Paths) {
    std::vector<std::u16string> paths;
    for (size_t start = 0; start <= utf8Paths.size();) {
        const size_t end = std::min(utf8Paths.find('|', start), utf8Paths.size());
        paths.push_back(DecodeUtf8(utf8Paths.substr(start, end - start)));
        start = end + 1;
    }
    DroppedFiles data(paths);
    IDropTarget* target = FileDropTarget();
    DWORD effect = DROPEFFECT_COPY;
    if (target->DragEnter(&data, MK_LBUTTON, POINTL{}, &effect) == S_OK && effect != DROPEFFECT_NONE) {
        LARGE_INTEGER before, after, frequency;
        QueryPerformanceCounter(&before);
        target->Drop(&data, MK_LBUTTON, POINTL{}, &effect);
        QueryPerformanceCounter(&after);
        QueryPerformanceFrequency(&frequency);
        gLastDropMs = static_cast<double>(after.QuadPart - before.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    }
}

int LiveStreams() {
    auto count = reinterpret_cast<LiveStreamCountFunction>(gSessionBassLibrary.FindFunction("TamberLiveStreamCount"));
    return count ? static_cast<int>(count()) : -1;
}

const char* CoverOriginName() {
    switch (gCoverOrigin) {
    case CoverOrigin::Tag: return "tag";
    case CoverOrigin::Jpg: return "jpg";
    default: return "default";
    }
}

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

void PrintState() {
    std::string line = "{\"CurrentIndex\":" + std::to_string(gCurrentIndex);
    line += ",\"Title\":" + JsonString(gTrackTitle);
    line += ",\"Artist\":" + JsonString(gTrackArtist);
    line += ",\"Album\":" + JsonString(gTrackAlbum);
    line += ",\"CoverSource\":\"" + std::string(CoverOriginName()) + "\"";
    line += ",\"CoverBytes\":" + std::to_string(gCoverBytes.size());
    line += ",\"TrackLengthSeconds\":" + std::to_string(gTrackLengthSeconds);
    line += ",\"PositionSeconds\":" + Number(gPositionSeconds);
    line += ",\"PositionText\":" + JsonString(gPositionText);
    line += ",\"LengthText\":" + JsonString(gLengthText);
    line += ",\"IsPlaying\":" + std::to_string(gIsPlaying);
    line += ",\"Volume\":" + std::to_string(gVolume);
    line += ",\"LiveStreams\":" + std::to_string(LiveStreams());
    line += ",\"LastDropMs\":" + Number(gLastDropMs);
    line += ",\"Lyrics\":[";
    for (size_t i = 0; i < gLyricLines.size(); ++i) {
        const LyricLine& lyric = gLyricLines[i];
        if (i) line += ",";
        line += "{\"Time\":" + Number(lyric.Time) + ",\"Duration\":" + Number(lyric.Duration);
        line += ",\"FirstText\":" + JsonString(ToUtf8(lyric.FirstText));
        line += ",\"SecondText\":" + JsonString(ToUtf8(lyric.SecondText)) + "}";
    }
    line += "],\"Rows\":[";
    for (size_t i = 0; i < gPlaylist.size(); ++i) {
        const PlaylistEntry& row = gPlaylist[i];
        if (i) line += ",";
        line += "{\"Title\":" + JsonString(row.Title);
        line += ",\"Artist\":" + JsonString(row.Artist);
        line += ",\"DurationText\":" + JsonString(row.DurationText);
        line += ",\"Path\":" + JsonString(row.Path) + "}";
    }
    line += "]}\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void ReleaseScanWaitersIfIdle() {
    if (gScanWaiters.empty() || !FolderScansIdle()) return;
    for (HANDLE waiter : gScanWaiters) SetEvent(waiter);
    gScanWaiters.clear();
}

// On the window's thread, wherever it is (the top loop or a fade's wait).
void Run(PostedCommand& posted) {
    const SessionCommand& command = posted.Command;
    switch (command.Verb) {
    case SessionVerb::Add: AddFile(Utf8ToProgramText(command.Argument), 1); break;
    case SessionVerb::Drop: DropFiles(command.Argument); break;
    case SessionVerb::Scan: StartFolderScan(Utf8ToProgramText(command.Argument)); break;
    case SessionVerb::Play: PlayEntry(std::atoi(command.Argument.c_str())); break;
    case SessionVerb::Toggle: TogglePlayPause(); break;
    case SessionVerb::Next: NextTrack(); break;
    case SessionVerb::Prev: PreviousTrack(); break;
    case SessionVerb::Seek: SeekToFraction(std::atof(command.Argument.c_str())); break;
    case SessionVerb::Volume: SetVolumePercent(std::atoi(command.Argument.c_str())); break;
    case SessionVerb::State: PrintState(); break;
    case SessionVerb::Quit: DestroyWindow(gMainWindow); break;
    case SessionVerb::OpenFile: OpenFileAction(); break;
    case SessionVerb::OpenFolder: OpenFolderAction(); break;
    case SessionVerb::WaitScan:
        gScanWaiters.push_back(posted.Done);
        posted.Done = nullptr;
        ReleaseScanWaitersIfIdle();
        break;
    default: break;
    }
    if (posted.Done) SetEvent(posted.Done);
}

LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleComponentMessage(message, wParam)) {
        if (message == ScanRowsMessage) ReleaseScanWaitersIfIdle();
        return 0;
    }
    switch (message) {
    case CommandMessage: {
        std::unique_ptr<PostedCommand> posted(reinterpret_cast<PostedCommand*>(lParam));
        Run(*posted);
        return 0;
    }
    case WM_PAINT:
        ValidateRect(window, nullptr);  // nothing is drawn
        return 0;
    case WM_DESTROY:
        StopFolderScans();
        ReleaseCurrentTrack();
        for (HANDLE waiter : gScanWaiters) SetEvent(waiter);
        gScanWaiters.clear();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

struct ScriptRun {
    std::vector<SessionCommand> Commands;
    HWND Window = nullptr;
};

// Posts the commands one after another; only wait and waitscan hold it back.
DWORD WINAPI ScriptThread(void* parameter) {
    auto* run = static_cast<ScriptRun*>(parameter);
    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (const SessionCommand& command : run->Commands) {
        if (command.Verb == SessionVerb::Wait) {
            Sleep(static_cast<DWORD>(std::max(0, std::atoi(command.Argument.c_str()))));
            continue;
        }
        auto* posted = new PostedCommand{command, command.Verb == SessionVerb::WaitScan ? done : nullptr};
        if (!PostMessageA(run->Window, CommandMessage, 0, reinterpret_cast<LPARAM>(posted))) {
            delete posted;
            break;  // the window is gone
        }
        if (command.Verb == SessionVerb::WaitScan) {
            // A window closed by a command still in the queue never answers.
            while (WaitForSingleObject(done, 100) == WAIT_TIMEOUT && IsWindow(run->Window)) {
            }
        }
        if (command.Verb == SessionVerb::Quit) break;
    }
    PostMessageA(run->Window, CommandMessage, 0,
                 reinterpret_cast<LPARAM>(new PostedCommand{{SessionVerb::Quit, {}}, nullptr}));
    CloseHandle(done);
    return 0;
}

bool ReadScript(const wchar_t* path, std::vector<SessionCommand>& commands) {
    const std::u16string widePath(reinterpret_cast<const char16_t*>(path));
    InputFile file(widePath, FileSharing::AllowAll);
    if (!file.IsOpen() || file.Size() > MaxScriptBytes) return false;
    std::string text(static_cast<size_t>(file.Size()), '\0');
    text.resize(file.ReadAt(0, std::span<uint8_t>(reinterpret_cast<uint8_t*>(text.data()), text.size())));
    size_t start = 0;
    int lineNumber = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++lineNumber;
        SessionCommand command = ParseSessionLine(std::string_view(text).substr(start, end - start));
        if (command.Verb == SessionVerb::Unknown) {
            std::fprintf(stderr, "tamber-session: line %d: unknown command \"%s\"\n", lineNumber, command.Argument.c_str());
            gExitCode = 2;
        } else if (command.Verb != SessionVerb::None) {
            commands.push_back(std::move(command));
        }
        start = end + 1;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tamber-session SCRIPT\n");
        return 2;
    }
    ScriptRun run;
    if (!ReadScript(argv[1], run.Commands)) {
        std::fprintf(stderr, "tamber-session: cannot read the script\n");
        return 2;
    }
    if (gExitCode != 0) return gExitCode;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = SessionWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = SessionWindowClass;
    if (!RegisterClassExA(&windowClass)) return 1;
    // A message-only window: timers and posts work without a display.
    gMainWindow = CreateWindowExA(0, SessionWindowClass, MainWindowTitle, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  instance, nullptr);
    if (!gMainWindow) return 1;

    // What the main window's creation sets up for playback.
    InstallPlayerReports(gMainWindow);
    if (gAudioEngine.Init()) gAudioEngine.LoadPlugins();
    gVolume = 50;
    const auto cover = DefaultCoverPng();
    gCoverBytes.assign(cover.begin(), cover.end());

    run.Window = gMainWindow;
    HANDLE script = CreateThread(nullptr, 0, ScriptThread, &run, 0, nullptr);
    if (!script) return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    WaitForSingleObject(script, INFINITE);
    CloseHandle(script);
    return gExitCode;
}
