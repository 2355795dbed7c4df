// bench_audio: CPU time of lib\bass.dll while it plays (goal: under 1 % of one
// core), the time to create a stream and read its length, per format (from
// the headers, as a folder scan does, and with the decoder made at creation),
// and how long a position read waits while streams decode (goal: never a
// decode burst; the user interface reads it every 100 ms).
//   bench_audio [--seconds N] [--files-only] [--churn N] [--decode] [--plugin DLL]... [FILE...]
// plays N seconds (default 10) of a 60-s WAV and of each FILE (scripts/bench
// passes 60-s music-rate files made by the real encoders). --decode instead
// decodes each FILE whole through the decode-only entry, as fast as it goes:
// CPU per minute of audio, and its ratio to the first FILE (the WAV).
// --lock-waits instead plays the 60-s WAV and the fixtures together while a
// user-interface thread reads positions, sets volumes and seeks, and gives
// the longest wait of an output thread for its stream's lock.

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/dll_binding.h"
#include "bass/bass_api.h"
#include "tests/bass/audio_test_support.h"

namespace {

DllLibrary gBass("lib\\bass.dll", DllLocation::ProgramFolder);
DllFunction<decltype(&BASS_Init)> gInit(gBass, "BASS_Init");
DllFunction<decltype(&BASS_StreamCreateFile)> gCreate(gBass, "BASS_StreamCreateFile");
DllFunction<decltype(&BASS_StreamFree)> gFree(gBass, "BASS_StreamFree");
DllFunction<decltype(&BASS_ChannelPlay)> gPlay(gBass, "BASS_ChannelPlay");
DllFunction<decltype(&BASS_ChannelGetLength)> gLength(gBass, "BASS_ChannelGetLength");
DllFunction<decltype(&BASS_ChannelBytes2Seconds)> gSeconds(gBass, "BASS_ChannelBytes2Seconds");
DllFunction<decltype(&BASS_ChannelSeconds2Bytes)> gBytes(gBass, "BASS_ChannelSeconds2Bytes");
DllFunction<decltype(&BASS_ChannelGetPosition)> gPosition(gBass, "BASS_ChannelGetPosition");
DllFunction<decltype(&BASS_ChannelSetPosition)> gSetPosition(gBass, "BASS_ChannelSetPosition");
DllFunction<decltype(&BASS_PluginLoad)> gPluginLoad(gBass, "BASS_PluginLoad");
DllFunction<decltype(&TamberOutputLockWaitUs)> gLockWait(gBass, "TamberOutputLockWaitUs");
DllFunction<decltype(&BASS_ChannelSetAttribute)> gSetAttribute(gBass, "BASS_ChannelSetAttribute");
DllFunction<decltype(&TamberDecoderOpen)> gDecoderOpen(gBass, "TamberDecoderOpen");
DllFunction<decltype(&TamberDecoderRead)> gDecoderRead(gBass, "TamberDecoderRead");
DllFunction<decltype(&TamberDecoderFree)> gDecoderFree(gBass, "TamberDecoderFree");

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto value = [](FILETIME t) { return (uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime) / 1e7; };
    return value(kernel) + value(user);
}

double WallSeconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Plays path for seconds and gives the process's CPU use as % of one core.
double PlayingCpuPercent(const std::string& path, double seconds) {
    HSTREAM s = gCreate(FALSE, path.c_str(), 0, 0, 0);
    if (!s) return -1;
    gPlay(s, FALSE);
    Sleep(200);  // past the first fill
    double cpu0 = CpuSeconds(), wall0 = WallSeconds();
    Sleep(static_cast<DWORD>(seconds * 1000));
    double percent = (CpuSeconds() - cpu0) / (WallSeconds() - wall0) * 100;
    gFree(s);
    return percent;
}

// Mean ms of creating a stream for path and reading its length (10 runs).
double CreateLengthMs(const std::string& path, DWORD flags, double* length) {
    HSTREAM warm = gCreate(FALSE, path.c_str(), 0, 0, flags);  // first use loads the codecs
    if (!warm) return -1;
    gFree(warm);
    double start = WallSeconds();
    for (int i = 0; i < 10; ++i) {
        HSTREAM s = gCreate(FALSE, path.c_str(), 0, 0, flags);
        *length = gSeconds(s, gLength(s, BASS_POS_BYTE));
        gFree(s);
    }
    return (WallSeconds() - start) * 100;
}

// Plays every path, seeking each every 100 ms so that the decoders keep
// running bursts, while this thread reads positions as fast as it can.
// Gives the longest read and the 99.9th percentile, in ms.
void PositionReadsWhileDecoding(const std::vector<std::string>& paths, double seconds, double* worstMs, double* p999Ms) {
    std::vector<HSTREAM> streams;
    for (const std::string& path : paths) {
        HSTREAM s = gCreate(FALSE, path.c_str(), 0, 0, 0);
        if (!s) continue;
        gPlay(s, FALSE);
        streams.push_back(s);
    }
    std::vector<double> reads;
    double start = WallSeconds(), nextSeek = start;
    for (int turn = 0; WallSeconds() - start < seconds && !streams.empty(); ++turn) {
        if (WallSeconds() >= nextSeek) {
            for (HSTREAM s : streams) gSetPosition(s, gBytes(s, turn % 3 * 0.9), BASS_POS_BYTE);
            nextSeek += 0.1;
        }
        double before = WallSeconds();
        gPosition(streams[turn % streams.size()], BASS_POS_BYTE);
        reads.push_back((WallSeconds() - before) * 1000);
        Sleep(1);
    }
    for (HSTREAM s : streams) gFree(s);
    std::sort(reads.begin(), reads.end());
    *worstMs = reads.empty() ? -1 : reads.back();
    *p999Ms = reads.empty() ? -1 : reads[reads.size() * 999 / 1000];
}

// CPU seconds to decode a minute of path's audio, read whole; -1 when refused.
double DecodeCpuPerMinute(const std::string& path) {
    std::wstring wide(path.begin(), path.end());
    TamberDecodedFormat format{};
    DWORD decoder = gDecoderOpen(wide.c_str(), &format);
    if (!decoder || format.SampleRate == 0) return -1;
    constexpr DWORD ChunkFrames = 4096;
    std::vector<float> samples(size_t{ChunkFrames} * format.Channels);
    uint64_t frames = 0;
    double cpu0 = CpuSeconds();
    for (DWORD got; (got = gDecoderRead(decoder, samples.data(), ChunkFrames)) > 0;) frames += got;
    double cpu = CpuSeconds() - cpu0;
    gDecoderFree(decoder);
    return frames ? cpu / (static_cast<double>(frames) / format.SampleRate / 60) : -1;
}

// Streams playing while this thread acts as a busy user interface: a
// position read every millisecond, a volume every 10 ms, a seek every 500 ms.
void LockWaits(const std::vector<std::string>& paths, double seconds) {
    std::vector<HSTREAM> streams;
    for (const std::string& path : paths)
        if (HSTREAM s = gCreate(FALSE, path.c_str(), 0, 0, 0)) streams.push_back(s);
    for (HSTREAM s : streams) gPlay(s, FALSE);
    double end = WallSeconds() + seconds;
    for (int tick = 0; WallSeconds() < end; ++tick) {
        for (HSTREAM s : streams) {
            QWORD at = gPosition(s, BASS_POS_BYTE);
            if (tick % 10 == 0) gSetAttribute(s, BASS_ATTRIB_VOL, 0.5f + 0.01f * static_cast<float>(tick % 20));
            if (tick % 500 == 0) gSetPosition(s, at / 2 / 4 * 4, BASS_POS_BYTE);
        }
        Sleep(1);
    }
    std::printf("longest output-thread lock wait: %lu us, %zu streams playing over %.0f s\n", static_cast<unsigned long>(gLockWait()), streams.size(),
                seconds);
    for (HSTREAM s : streams) gFree(s);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    std::vector<std::string> files;
    bool filesOnly = false, decodeOnly = false, lockWaits = false;
    std::vector<std::string> plugins;  // codec plug-ins to load first
    int churn = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--churn") == 0 && i + 1 < argc) {
            churn = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--files-only") == 0) {
            filesOnly = true;
        } else if (std::strcmp(argv[i], "--lock-waits") == 0) {
            lockWaits = true;
        } else if (std::strcmp(argv[i], "--decode") == 0) {
            decodeOnly = true;
        } else if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
            plugins.emplace_back(argv[++i]);
        } else {
            files.emplace_back(argv[i]);
        }
    }
    if (!gInit(-1, 44100, 0, nullptr, nullptr)) {
        std::printf("bench_audio: BASS_Init failed\n");
        return 1;
    }
    for (const std::string& plugin : plugins) gPluginLoad(plugin.c_str(), 0);
    if (decodeOnly) {
        // Media Foundation wants COM on the thread that makes its decoders.
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        std::printf("CPU to decode a minute of audio (s), and against the first file:\n");
        double first = 0;
        for (const std::string& file : files) {
            double cpu = DecodeCpuPerMinute(file);
            if (first <= 0) first = cpu;
            std::printf("  %-40s %8.4f s   x%.2f\n", file.c_str(), cpu, first > 0 && cpu >= 0 ? cpu / first : 0.0);
        }
        return 0;
    }
    std::string folder = audiotest::MakeTempFolder("bench");
    std::string longWav = folder + "\\sixty.wav";
    audiotest::WriteBytes(longWav, audiotest::PcmWav(44100, 2, 44100 * 60));

    if (lockWaits) {
        std::vector<std::string> paths{longWav};
        for (const audiotest::Fixture& f : audiotest::Fixtures) paths.push_back(audiotest::FixturePath(f.File));
        LockWaits(paths, seconds);
        return 0;
    }
    if (churn > 0) {
        // A folder scan makes and frees a stream per file: nothing of them may stay busy.
        for (const std::string& file : files)
            for (int i = 0; i < churn; ++i) gFree(gCreate(FALSE, file.c_str(), 0, 0, 0));
        double cpu0 = CpuSeconds(), wall0 = WallSeconds();
        Sleep(static_cast<DWORD>(seconds * 1000));
        std::printf("idle after %d streams made and freed per file: %.3f %% over %.0f s\n", churn,
                    (CpuSeconds() - cpu0) / (WallSeconds() - wall0) * 100, seconds);
    }
    if (filesOnly) {
        for (const std::string& file : files)
            std::printf("  %-40s %8.3f   over %.0f s\n", file.c_str(), PlayingCpuPercent(file, seconds), seconds);
        return 0;
    }
    std::printf("create + length, mean of 10 (ms): from the headers | decoder made at creation (PRESCAN)\n");
    std::vector<audiotest::Fixture> fixtures(std::begin(audiotest::Fixtures), std::end(audiotest::Fixtures));
    fixtures.insert(fixtures.end(), std::begin(audiotest::MoreFixtures), std::end(audiotest::MoreFixtures));
    for (const audiotest::Fixture& f : fixtures) {
        std::string path = audiotest::FixturePath(f.File);
        double length = 0, decoderLength = 0;
        double headersMs = CreateLengthMs(path, 0, &length);
        double decoderMs = CreateLengthMs(path, BASS_STREAM_PRESCAN, &decoderLength);
        if (headersMs < 0) {
            std::printf("  %-18s no stream\n", f.File);
            continue;
        }
        std::printf("  %-18s %8.2f | %8.2f   (length %.3f s | %.3f s)\n", f.File, headersMs, decoderMs, length, decoderLength);
    }

    std::vector<std::string> decoding;
    for (const audiotest::Fixture& f : audiotest::Fixtures)
        if (f.NeedsMediaFoundation) decoding.push_back(audiotest::FixturePath(f.File));
    double worstMs = 0, p999Ms = 0;
    PositionReadsWhileDecoding(decoding, seconds, &worstMs, &p999Ms);
    std::printf("position read while %zu streams decode, seeking every 100 ms: worst %.3f ms, 99.9th %% %.3f ms over %.0f s\n",
                decoding.size(), worstMs, p999Ms, seconds);

    std::printf("CPU while playing (%% of one core, silent clock or device):\n");
    std::printf("  %-10s %8.3f   over %.0f s of a 60-s 44.1 kHz stereo WAV\n", "sixty.wav",
                PlayingCpuPercent(longWav, seconds), seconds);
    for (const audiotest::Fixture& f : audiotest::Fixtures) {
        double played = f.Seconds - 0.5;
        std::printf("  %-10s %8.3f   over %.1f s\n", f.File, PlayingCpuPercent(audiotest::FixturePath(f.File), played), played);
    }
    for (const std::string& file : files) {
        HSTREAM s = gCreate(FALSE, file.c_str(), 0, 0, 0);
        double length = s ? gSeconds(s, gLength(s, BASS_POS_BYTE)) : 0;
        if (s) gFree(s);
        std::printf("  %-40s %8.3f   over %.0f s of %.1f s\n", file.c_str(), PlayingCpuPercent(file, seconds), seconds, length);
    }
    DeleteFileA(longWav.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
