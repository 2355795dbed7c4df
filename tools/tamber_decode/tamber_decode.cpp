// tamber-decode FILE OUT.f32 [--seek FRAME] [--frames N] [--plugins DIR]
// Decodes FILE with the decoder a stream of lib\bass.dll (beside this tool, in
// lib\) would play it through, and writes raw interleaved 32-bit float at the
// file's own rate. Prints one JSON line: rate, channels, frames (the exact
// length the stream reports) and read (the frames written). --seek starts
// there; --frames stops after N; --plugins loads DIR\cod_*.dll first.
// --seek may come several times: each seek's frames follow the last's in
// OUT, and "reads" lists how many each gave (one decoder for them all, as a
// stream seeks, and one Wine start instead of many).
// Exit code 1 when the library takes no such file or refuses a seek.

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bass/bass_api.h"

namespace {

#define BIND(name) auto name##Fn = reinterpret_cast<decltype(&name)>(reinterpret_cast<void*>(GetProcAddress(bass, #name)))

constexpr DWORD PieceFrames = 4096;

struct Options {
    const wchar_t* In = nullptr;
    const wchar_t* Out = nullptr;
    const wchar_t* Plugins = nullptr;
    std::vector<unsigned long long> Seeks;
    unsigned long long MaxFrames = ~0ull;
};

bool ParseOptions(int argc, wchar_t** argv, Options* o) {
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == L"--seek" && hasValue) {
            o->Seeks.push_back(std::wcstoull(argv[++i], nullptr, 10));
        } else if (a == L"--frames" && hasValue) {
            o->MaxFrames = std::wcstoull(argv[++i], nullptr, 10);
        } else if (a == L"--plugins" && hasValue) {
            o->Plugins = argv[++i];
        } else if (positional == 0) {
            o->In = argv[i], ++positional;
        } else if (positional == 1) {
            o->Out = argv[i], ++positional;
        } else {
            return false;
        }
    }
    return positional == 2;
}

std::wstring ToolFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) break;
        path.resize(path.size() * 2);
    }
    std::wstring dir(path.data());
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        std::fprintf(stderr, "usage: tamber-decode FILE OUT.f32 [--seek FRAME] [--frames N] [--plugins DIR]\n");
        return 2;
    }
    HMODULE bass = LoadLibraryW((ToolFolder() + L"lib\\bass.dll").c_str());
    if (!bass) {
        std::fprintf(stderr, "tamber-decode: no lib\\bass.dll beside the tool\n");
        return 2;
    }
    BIND(BASS_PluginLoad);
    BIND(BASS_ErrorGetCode);
    BIND(TamberDecoderOpen);
    BIND(TamberDecoderRead);
    BIND(TamberDecoderSeek);
    BIND(TamberDecoderFree);
    if (!BASS_PluginLoadFn || !BASS_ErrorGetCodeFn || !TamberDecoderOpenFn || !TamberDecoderReadFn ||
        !TamberDecoderSeekFn || !TamberDecoderFreeFn) {
        std::fprintf(stderr, "tamber-decode: lib\\bass.dll lacks the decode exports\n");
        return 2;
    }
    // Media Foundation's decoders (M4A, WMA) need COM on the calling thread.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    if (o.Plugins) {
        std::wstring dir = o.Plugins;
        if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((dir + L"cod_*.dll").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring plugin = dir + found.cFileName;
                BASS_PluginLoadFn(reinterpret_cast<const char*>(plugin.c_str()), BASS_UNICODE);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
    }

    TamberDecodedFormat format{};
    DWORD decoder = TamberDecoderOpenFn(o.In, &format);
    if (decoder == 0 || format.Channels == 0) {
        std::printf("{\"error\": %d}\n", BASS_ErrorGetCodeFn());
        return 1;
    }
    FILE* out = _wfopen(o.Out, L"wb");
    if (!out) {
        std::fprintf(stderr, "tamber-decode: cannot write the output file\n");
        TamberDecoderFreeFn(decoder);
        return 2;
    }
    std::vector<float> piece(size_t{PieceFrames} * format.Channels);
    // Reads from where the decoder is, to the end or to --frames.
    bool written = true;
    auto readRun = [&]() -> unsigned long long {
        unsigned long long read = 0;
        while (read < o.MaxFrames && written) {
            DWORD want = static_cast<DWORD>(o.MaxFrames - read < PieceFrames ? o.MaxFrames - read : PieceFrames);
            DWORD got = TamberDecoderReadFn(decoder, piece.data(), want);
            if (got == 0) break;
            size_t samples = size_t{got} * format.Channels;
            written = std::fwrite(piece.data(), sizeof(float), samples, out) == samples;
            read += got;
        }
        return read;
    };
    unsigned long long total = 0;
    std::string reads;
    bool refused = false;
    if (o.Seeks.empty()) total = readRun();
    for (unsigned long long at : o.Seeks) {
        if (!reads.empty()) reads += ", ";
        // A refused seek is null in "reads"; the next seek sets the place again.
        if (!TamberDecoderSeekFn(decoder, at)) {
            refused = true;
            reads += "null";
            continue;
        }
        unsigned long long read = readRun();
        total += read;
        reads += std::to_string(read);
    }
    bool closed = std::fclose(out) == 0;
    TamberDecoderFreeFn(decoder);
    std::printf("{\"rate\": %lu, \"channels\": %lu, \"frames\": %llu, \"read\": %llu, \"reads\": [%s]}\n",
        static_cast<unsigned long>(format.SampleRate), static_cast<unsigned long>(format.Channels),
        static_cast<unsigned long long>(format.Frames), total, reads.c_str());
    if (!written || !closed) return 2;
    return refused ? 1 : 0;
}
