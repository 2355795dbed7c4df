// bench_playback [FILES] [--keep]: figures, not checks.
//  1. ScanFolder over FILES copies (default 1,000) of fixtures of every type
//     the open dialog offers, in turn, run as the scan thread runs it; then
//     the UI thread's take of the rows. Goal: under 3 s for 1,000 files under Wine.
//  2. Private memory of 10,000 song-list rows like the scanned ones.

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "playback/player_state.h"
#include "playback/song_list.h"

namespace {

using Clock = std::chrono::steady_clock;

std::wstring Wide(const std::string& text) {
    const std::u16string utf16 = DecodeToUtf16(text, CodePageUtf8);
    return std::wstring(utf16.begin(), utf16.end());
}

std::wstring FixturesFolder() {
    std::string source = TAMBER_SOURCE_DIR;
    if (!source.empty() && source.front() == '/') source = "Z:" + source;  // Wine's view of the build machine
    for (char& c : source) c = c == '/' ? '\\' : c;
    return Wide(source) + L"\\tests\\fixtures\\";
}

// A file of each offered type; those missing from the tree are left out.
std::vector<std::wstring> ScanSources() {
    const wchar_t* candidates[] = {L"playback\\tagged.mp3", L"playback\\titled.flac", L"playback\\plain.ogg",
                                   L"playback\\short.wav",  L"audio\\tone.m4a",       L"audio\\tone.wma",
                                   L"audio\\tone.opus",     L"audio\\codecs\\mac-399.ape", L"audio\\codecs\\tune.xm"};
    std::vector<std::wstring> found;
    for (const wchar_t* name : candidates) {
        std::wstring path = FixturesFolder() + name;
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) found.push_back(path);
    }
    return found;
}

// Wine reports no private usage; the working set and the committed bytes it does.
size_t CommittedBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

// What the rows hold themselves: the records and every text that does not
// fit the string's own buffer (heap blocks, without the allocator's overhead).
size_t RowBytes(const Playlist& rows) {
    size_t bytes = rows.capacity() * sizeof(PlaylistEntry);
    const size_t inline_ = std::string().capacity();
    for (const PlaylistEntry& row : rows) {
        for (const std::string* text : {&row.Title, &row.Artist, &row.DurationText, &row.Path}) {
            if (text->capacity() > inline_) bytes += text->capacity() + 1;
        }
    }
    return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int files = 1000;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--keep") keep = true;
        else files = _wtoi(argv[i]);
    }
    if (!gAudioEngine.Init()) {
        std::fprintf(stderr, "bench_playback: the audio library did not start\n");
        return 1;
    }
    gAudioEngine.LoadPlugins();

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tamber-scan-bench\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::vector<std::wstring> sources = ScanSources();
    std::wstring kinds;
    for (const std::wstring& source : sources) kinds += (kinds.empty() ? L"" : L"/") + source.substr(source.rfind(L'.') + 1);
    for (int i = 0; i < files && !sources.empty(); ++i) {
        const std::wstring& source = sources[i % sources.size()];
        wchar_t name[64];
        swprintf(name, 64, L"track%04d.%ls", i, source.substr(source.rfind(L'.') + 1).c_str());
        CopyFileW(source.c_str(), (folder + name).c_str(), TRUE);
    }

    const std::u16string folder16(folder.begin(), folder.end());
    const std::string programFolder = Utf16ToProgramText(folder16);
    const auto started = Clock::now();
    ScanFolder(programFolder);
    const auto scanned = Clock::now();
    TakeScannedRows();
    const auto taken = Clock::now();
    int measured = 0;
    for (const PlaylistEntry& row : gPlaylist) measured += row.DurationText != "0:0";
    const double scanSeconds = std::chrono::duration<double>(scanned - started).count();
    std::printf("folder scan: %zu rows of %d files (%ls) in %.3f s (%.2f ms per file), "
                "UI take %.2f ms, %d rows with a length\n",
                gPlaylist.size(), files, kinds.c_str(), scanSeconds, scanSeconds * 1000.0 / (files ? files : 1),
                std::chrono::duration<double, std::milli>(taken - scanned).count(), measured);

    // Rows like the scanned ones, ten thousand of them.
    const Playlist sample = gPlaylist;
    gPlaylist.clear();
    gPlaylist.shrink_to_fit();
    const size_t before = CommittedBytes();
    constexpr int Rows = 10000;
    for (int i = 0; i < Rows && !sample.empty(); ++i) gPlaylist.push_back(sample[i % sample.size()]);
    const size_t after = CommittedBytes();
    std::printf("song list: %d rows hold %.2f MiB (%.0f bytes a row, sizeof(PlaylistEntry) %zu); "
                "committed memory grew %.2f MiB\n",
                Rows, RowBytes(gPlaylist) / 1048576.0, RowBytes(gPlaylist) / static_cast<double>(Rows),
                sizeof(PlaylistEntry), (after - before) / 1048576.0);

    if (!keep) {
        for (int i = 0; i < files && !sources.empty(); ++i) {
            const std::wstring& source = sources[i % sources.size()];
            wchar_t name[64];
            swprintf(name, 64, L"track%04d.%ls", i, source.substr(source.rfind(L'.') + 1).c_str());
            DeleteFileW((folder + name).c_str());
        }
        RemoveDirectoryW(folder.c_str());
    }
    return 0;
}
