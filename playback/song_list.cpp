#include "playback/song_list.h"

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "platform/win32/wide_text.h"
#include "playback/logic/playback_rules.h"
#include "playback/logic/scan_hand_off.h"
#include "playback/long_path_win32.h"
#include "playback/playback_reports.h"
#include "playback/player_state.h"
#include "playback/track_control.h"

namespace {

constexpr size_t ScanBatchRows = 64;
constexpr DWORD ScanBatchMs = 100;
constexpr DWORD ScanStopWaitMs = 2000;

// Outlives the window: scan threads may still push after it is gone.
ScanHandOff& HandOff() {
    static auto* handOff = new ScanHandOff;
    return *handOff;
}

struct ScanJob {
    std::function<std::string()> ChooseFolder;
    std::atomic<bool> Stop{false};
};

std::vector<std::pair<std::shared_ptr<ScanJob>, HANDLE>> gScanThreads;

void Notify(bool needed) {
    if (needed && !Reports().RowsWaiting()) HandOff().NoticeLost();
}

DWORD WINAPI ScanThread(void* parameter) {
    std::unique_ptr<std::shared_ptr<ScanJob>> owned(static_cast<std::shared_ptr<ScanJob>*>(parameter));
    const std::shared_ptr<ScanJob> job = *owned;
    // The folder dialog needs COM on the thread that shows it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string folder = job->ChooseFolder();
    if (!folder.empty() && !job->Stop) ScanFolder(folder, &job->Stop);
    if (SUCCEEDED(com)) CoUninitialize();
    Notify(HandOff().ScanFinished());
    return 0;
}

void StartScanThread(std::function<std::string()> chooseFolder) {
    auto job = std::make_shared<ScanJob>();
    job->ChooseFolder = std::move(chooseFolder);
    HandOff().ScanStarted();
    auto* parameter = new std::shared_ptr<ScanJob>(job);
    HANDLE thread = CreateThread(nullptr, 0, ScanThread, parameter, 0, nullptr);
    if (!thread) {
        delete parameter;
        Notify(HandOff().ScanFinished());
        return;
    }
    gScanThreads.emplace_back(std::move(job), thread);
}

}  // namespace

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
    }
    Reports().ListChanged(ListChange::FileIntake, !IsBlankPath(path));
}

void ScanFolder(std::string_view folderPath, const std::atomic<bool>* stop) {
    std::string folder(folderPath);
    if (!EndsWithSeparator(folder)) folder += '\\';
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(WideFilePath(folder + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    std::vector<PlaylistEntry> batch;
    DWORD batchStarted = GetTickCount();
    const auto handOver = [&] {
        Notify(HandOff().Push(std::move(batch)));
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
    StartScanThread([] { return Reports().ChooseFolderToScan(); });
}

void StartFolderScan(std::string folder) {
    StartScanThread([folder = std::move(folder)] { return folder; });
}

void OpenFileAction() {
    NoteUserAction();
    AddFile(Reports().ChooseFileToOpen(), 1);
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
    Reports().ListChanged(ListChange::ScannedRows, true);
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
