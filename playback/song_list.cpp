#include "playback/song_list.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "platform/win32/wide_text.h"
#include "playback/logic/playback_rules.h"
#include "playback/logic/scan_hand_off.h"
#include "playback/long_path_win32.h"
#include "playback/player_state.h"
#include "playback/track_control.h"
#include "ui/frame.h"
#include "ui/ui_state.h"

namespace {

constexpr DWORD OpenResultUnits = 65536;
constexpr size_t FolderResultUnits = 1024;
constexpr size_t ScanBatchRows = 64;
constexpr DWORD ScanBatchMs = 100;
constexpr DWORD ScanStopWaitMs = 2000;

// "选择打开的文件" and "选择文件夹".
constexpr std::string_view OpenFileTitle = "\xE9\x80\x89\xE6\x8B\xA9\xE6\x89\x93\xE5\xBC\x80\xE7\x9A\x84\xE6\x96\x87\xE4\xBB\xB6";
constexpr std::string_view ChooseFolderTitle = "\xE9\x80\x89\xE6\x8B\xA9\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9";

// Outlives the window: scan threads may still push after it is gone.
ScanHandOff& HandOff() {
    static auto* handOff = new ScanHandOff;
    return *handOff;
}

struct ScanJob {
    std::function<std::string()> ChooseFolder;
    std::atomic<bool> Stop{false};
    HWND Window = nullptr;
};

std::vector<std::pair<std::shared_ptr<ScanJob>, HANDLE>> gScanThreads;

void Notify(HWND window, bool needed) {
    if (needed && !(window && PostMessageA(window, ScanRowsMessage, 0, 0))) HandOff().NoticeLost();
}

DWORD WINAPI ScanThread(void* parameter) {
    std::unique_ptr<std::shared_ptr<ScanJob>> owned(static_cast<std::shared_ptr<ScanJob>*>(parameter));
    const std::shared_ptr<ScanJob> job = *owned;
    // The folder dialog needs COM on the thread that shows it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string folder = job->ChooseFolder();
    if (!folder.empty() && !job->Stop) ScanFolder(folder, &job->Stop);
    if (SUCCEEDED(com)) CoUninitialize();
    Notify(job->Window, HandOff().ScanFinished());
    return 0;
}

void StartScanThread(std::function<std::string()> chooseFolder) {
    auto job = std::make_shared<ScanJob>();
    job->ChooseFolder = std::move(chooseFolder);
    job->Window = gMainWindow;
    HandOff().ScanStarted();
    auto* parameter = new std::shared_ptr<ScanJob>(job);
    HANDLE thread = CreateThread(nullptr, 0, ScanThread, parameter, 0, nullptr);
    if (!thread) {
        delete parameter;
        Notify(job->Window, HandOff().ScanFinished());
        return;
    }
    gScanThreads.emplace_back(std::move(job), thread);
}



}  // namespace

void UpdateListHeights() {
    gListContentHeight = static_cast<int>(gPlaylist.size()) * SongRowHeight;
    gListViewportHeight = gClientHeight - ListViewportMargin;
}

void AddFile(std::string_view path, int play, bool load) {
    if (!IsBlankPath(path)) {
        const bool loaded = load && LoadTrack(path);
        TrackInfo record;
        gAudioEngine.ReadTrackInfo(path, record);
        PlaylistEntry entry;
        entry.Title = DisplayTitle(record.Title, path);
        entry.Artist = record.Artist;
        // Not loaded, or overtaken during the fade: the load never measured this file.
        const int lengthSeconds = loaded ? gTrackLengthSeconds : MeasureLengthSeconds(path);
        entry.DurationText = FormatDuration(lengthSeconds, MinutesSecondsTemplate);
        entry.Path = std::string(path);
        gPlaylist.push_back(std::move(entry));
        if (loaded) {
            gAudioEngine.SetVolume(gCurrentStream, gVolume);
            if (play == 1) gAudioEngine.Play(gCurrentStream, false);
            gCurrentIndex = static_cast<int>(gPlaylist.size());
        }
        UpdateListHeights();
    }
    RequestRepaint();
}

std::string OpenFileDialog(HWND owner, std::string_view title, std::string_view filter, DWORD flags) {
    const std::wstring filterText = ProgramTextToWide(DialogFilter(filter));  // NUL bytes stay NUL units
    const std::wstring titleText = ProgramTextToWide(title);
    std::vector<wchar_t> result(OpenResultUnits, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterText.c_str();
    dialog.lpstrFile = result.data();
    dialog.nMaxFile = OpenResultUnits;
    dialog.lpstrTitle = titleText.c_str();
    dialog.Flags = flags;
    if (!GetOpenFileNameW(&dialog)) return {};
    // The last unit stays NUL whatever the dialog wrote.
    const std::string resultText = WideToProgramText(std::wstring_view(result.data(), result.size() - 1));
    const std::vector<std::string> paths = DialogResultPaths(resultText);
    return paths.empty() ? std::string() : paths.front();
}

std::string ChooseFolder(HWND owner, std::string_view title) {
    std::wstring buffer(FolderResultUnits, L' ');
    const std::wstring titleText = ProgramTextToWide(title);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = titleText.c_str();
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse);
    if (!item) return {};
    // MAX_PATH is what the W form writes at most; the buffer holds more.
    const BOOL found = SHGetPathFromIDListW(item, buffer.data());
    CoTaskMemFree(item);
    if (!found) return {};
    return WideToProgramText(std::wstring_view(buffer).substr(0, buffer.find(L'\0')));
}

void ScanFolder(std::string_view folderPath, const std::atomic<bool>* stop) {
    std::string folder(folderPath);
    if (!EndsWithSeparator(folder)) folder += '\\';
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(WideFilePath(folder + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    const HWND window = gMainWindow;
    std::vector<PlaylistEntry> batch;
    DWORD batchStarted = GetTickCount();
    const auto handOver = [&] {
        Notify(window, HandOff().Push(std::move(batch)));
        batch.clear();
        batchStarted = GetTickCount();
    };
    do {
        if (stop && *stop) break;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::string name = WideToProgramText(found.cFileName);
        if (!IsScannedExtension(name)) continue;
        const std::string path = folder + name;
        TrackInfo record;
        gAudioEngine.ReadTrackInfo(path, record);
        PlaylistEntry entry;
        entry.Title = DisplayTitle(record.Title, path);
        entry.Artist = record.Artist;
        entry.DurationText = FormatDuration(MeasureLengthSeconds(path), MinutesSecondsTemplate);
        entry.Path = path;
        batch.push_back(std::move(entry));
        // Rows show up while the scan goes on, without a message per row.
        if (batch.size() >= ScanBatchRows || GetTickCount() - batchStarted >= ScanBatchMs) handOver();
    } while (FindNextFileW(search, &found));
    FindClose(search);
    handOver();
}

void AddFolder() {
    const HWND owner = gMainWindow;
    StartScanThread([owner] { return ChooseFolder(owner, ChooseFolderTitle); });
}

void StartFolderScan(std::string folder) {
    StartScanThread([folder = std::move(folder)] { return folder; });
}

void OpenFileAction() {
    NoteUserAction();
    AddFile(OpenFileDialog(gMainWindow, OpenFileTitle, OpenFileFilter), 1);
}

void OpenFolderAction() { AddFolder(); }

void TakeScannedRows() {
    std::vector<PlaylistEntry> rows = HandOff().TakeAll();
    // Finished threads are closed here, on the thread that started them.
    std::erase_if(gScanThreads, [](auto& scan) {
        if (WaitForSingleObject(scan.second, 0) != WAIT_OBJECT_0) return false;
        CloseHandle(scan.second);
        return true;
    });
    if (rows.empty()) return;
    for (PlaylistEntry& row : rows) gPlaylist.push_back(std::move(row));
    UpdateListHeights();
    if (gCurrentPage == HomePage) RequestRepaintArea(SongListArea(CurrentLayout()));
}

bool FolderScansIdle() { return HandOff().Idle(); }

void StopFolderScans() {
    const DWORD deadline = GetTickCount() + ScanStopWaitMs;
    for (auto& [job, thread] : gScanThreads) job->Stop = true;
    for (auto& [job, thread] : gScanThreads) {
        const DWORD now = GetTickCount();
        const DWORD left = static_cast<int>(deadline - now) > 0 ? deadline - now : 0;
        WaitForSingleObject(thread, left);
        CloseHandle(thread);  // a thread still in its dialog runs on, detached
    }
    gScanThreads.clear();
}
