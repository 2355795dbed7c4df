#pragma once
// Shared by the bass and playback tests: fixture paths, files written at test
// time, and counts of the process's threads and handles.

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace audiotest {

struct Fixture {
    const char* File;
    double Seconds;        // true duration of the tone
    bool NeedsMediaFoundation;
};

// Made by tests/fixtures/audio/make_fixtures.sh.
inline const Fixture Fixtures[] = {
    {"tone.wav", 2.0, false},
    {"tone.mp3", 10.0, true},
    {"tone.flac", 5.0, true},
    {"tone.ogg", 5.0, true},
    {"tone.m4a", 5.0, true},
    {"tone.wma", 5.0, true},
};

// For the audio library's own tests: an MP3 with no frame count (the length
// comes from the bit rate) and 48 kHz stereo files, one of them Opus.
inline const Fixture MoreFixtures[] = {
    {"tone_cbr.mp3", 10.0, true},
    {"tone.opus", 5.0, true},
    {"tone_stereo48.m4a", 5.0, true},
};

inline std::string FixturePath(const char* file) {
    std::string path = TAMBER_SOURCE_DIR "/tests/fixtures/audio/";
    path += file;
    for (char& c : path) c = c == '/' ? '\\' : c;
    // Under Wine the source tree is reached through drive Z:.
    if (!path.empty() && path[0] == '\\') path = "Z:" + path;
    return path;
}

// A fresh folder under %TEMP% for one test.
inline std::string MakeTempFolder(const char* name) {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string folder = std::string(base) + "tamber_audio_" + name + "_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (; *tag; ++tag) out.push_back(static_cast<uint8_t>(*tag));
}
inline void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

// 16-bit PCM WAV of frames frames of a quiet square wave.
inline std::vector<uint8_t> PcmWav(uint32_t rate, uint16_t channels, uint32_t frames) {
    uint32_t dataBytes = frames * channels * 2;
    std::vector<uint8_t> w;
    w.reserve(44 + dataBytes);
    PutTag(w, "RIFF");
    PutU32(w, 36 + dataBytes);
    PutTag(w, "WAVEfmt ");
    PutU32(w, 16);                      // fmt size
    PutU16(w, 1);                       // PCM
    PutU16(w, channels);
    PutU32(w, rate);
    PutU32(w, rate * channels * 2);     // bytes per second
    PutU16(w, static_cast<uint16_t>(channels * 2));  // block align
    PutU16(w, 16);                      // bits per sample
    PutTag(w, "data");
    PutU32(w, dataBytes);
    for (uint32_t i = 0; i < frames * channels; ++i) PutU16(w, (i / 40) % 2 ? 0x0800 : 0xF800);
    return w;
}

// "TTONE" file of the test codec plug-in.
inline std::vector<uint8_t> TestToneFile(uint32_t rate, uint32_t channels, uint32_t frames) {
    std::vector<uint8_t> w = {'T', 'T', 'O', 'N', 'E', 0, 0, 0};
    PutU32(w, rate);
    PutU32(w, channels);
    PutU32(w, frames);
    return w;
}

inline int ThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Threads wind down on their own time (Media Foundation's workers, the output
// thread): the count once it has fallen to limit, or after timeoutMs.
inline int SettledThreadCount(int limit, DWORD timeoutMs = 5000) {
    DWORD start = GetTickCount();
    int count = ThreadCount();
    while (count > limit && GetTickCount() - start < timeoutMs) {
        Sleep(50);
        count = ThreadCount();
    }
    return count;
}

// True when no handle in the process (or elsewhere) keeps path open: an
// exclusive open succeeds only then. GetProcessHandleCount gives 0 under Wine.
inline bool NoOneHasOpen(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

// Folder of this test program.
inline std::string ProgramFolderA() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\'));
}

}  // namespace audiotest
