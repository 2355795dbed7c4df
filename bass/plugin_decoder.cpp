// Codec plug-ins: DLLs exporting TamberCodecPluginInit. Loaded plug-ins stay
// for the rest of the run, like the library itself.

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "bass/bass_api.h"
#include "bass/decoder.h"
#include "bass/logic/sample_convert.h"

namespace {

constexpr uint32_t PluginHandleBase = 0x50000;  // apart from stream handles, for diagnostics
constexpr uint32_t MaxPluginChannels = 8;

struct LoadedPlugin {
    HMODULE Module;
    const TamberCodecPlugin* Table;
};

std::mutex gPluginLock;
std::vector<LoadedPlugin> gPlugins;

// Bytes of one sample as the plug-in hands it out; 0 for a type we do not know.
uint32_t SampleBytesOf(const TamberCodecPlugin* table, const TamberPcmFormat& format) {
    if (table->Version < TamberCodecPluginVersion) return 2;  // Version 1: always 16-bit
    switch (format.SampleType) {
    case TamberSampleInt16: return 2;
    case TamberSampleFloat32: return 4;
    default: return 0;
    }
}

class PluginDecoder final : public Decoder {
public:
    PluginDecoder(const TamberCodecPlugin* table, void* state, uint32_t channels, uint32_t sampleBytes)
        : Table(table), State(state), SampleBytes(sampleBytes), BlockBytes(channels * sampleBytes) {}
    ~PluginDecoder() override { Table->Close(State); }

    uint32_t Read(float* samples, uint32_t frames) override {
        // A plug-in may return part of a frame; the bytes past the last whole
        // frame wait here for the rest, so that channels never shift.
        Pcm.resize(size_t{frames} * BlockBytes);
        size_t have = std::min(Carry.size(), Pcm.size());
        std::memcpy(Pcm.data(), Carry.data(), have);
        Carry.erase(Carry.begin(), Carry.begin() + static_cast<std::ptrdiff_t>(have));
        while (have < Pcm.size()) {
            DWORD want = static_cast<DWORD>(Pcm.size() - have);
            DWORD got = std::min<DWORD>(Table->Read(State, Pcm.data() + have, want), want);
            if (got == 0) break;
            have += got;
        }
        size_t whole = have - have % BlockBytes;
        Carry.insert(Carry.begin(), Pcm.begin() + static_cast<std::ptrdiff_t>(whole), Pcm.begin() + static_cast<std::ptrdiff_t>(have));
        if (SampleBytes == 4) {
            std::memcpy(samples, Pcm.data(), whole);
        } else {
            Int16ToFloat(reinterpret_cast<const int16_t*>(Pcm.data()), samples, whole / 2);
        }
        return static_cast<uint32_t>(whole / BlockBytes);
    }

    bool Seek(uint64_t frame) override {
        Carry.clear();
        return Table->Seek(State, frame * BlockBytes) != FALSE;
    }

private:
    const TamberCodecPlugin* Table;
    void* State;
    uint32_t SampleBytes;
    uint32_t BlockBytes;
    std::vector<uint8_t> Pcm;
    std::vector<uint8_t> Carry;  // part of a frame, ahead of the next read
};

}  // namespace

int LoadCodecPlugin(const std::wstring& path, uint32_t* handle) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? BASS_ERROR_FILEOPEN : BASS_ERROR_FILEFORM;
    std::lock_guard<std::mutex> lock(gPluginLock);
    for (size_t i = 0; i < gPlugins.size(); ++i) {
        if (gPlugins[i].Module == module) {
            FreeLibrary(module);  // drops only the reference just taken
            *handle = PluginHandleBase + static_cast<uint32_t>(i);
            return BASS_ERROR_ALREADY;
        }
    }
    auto init = reinterpret_cast<TamberCodecPluginInitFn>(reinterpret_cast<void*>(GetProcAddress(module, "TamberCodecPluginInit")));
    const TamberCodecPlugin* table = init ? init() : nullptr;
    bool known = table && (table->Version == TamberCodecPluginVersion1 || table->Version == TamberCodecPluginVersion);
    if (!known || !table->Open || !table->Read || !table->Seek ||
        !table->Close) {
        FreeLibrary(module);
        return table ? BASS_ERROR_VERSION : BASS_ERROR_FILEFORM;
    }
    gPlugins.push_back({module, table});
    *handle = PluginHandleBase + static_cast<uint32_t>(gPlugins.size() - 1);
    return 0;
}

DecoderInfo OpenPluginDecoder(const std::wstring& path) {
    DecoderInfo info;
    info.ErrorCode = BASS_ERROR_FILEFORM;
    std::vector<LoadedPlugin> plugins;
    {
        std::lock_guard<std::mutex> lock(gPluginLock);
        plugins = gPlugins;
    }
    for (const LoadedPlugin& plugin : plugins) {
        TamberPcmFormat format{};
        QWORD length = 0;
        void* state = plugin.Table->Open(path.c_str(), &format, &length);
        if (!state) {
            if (plugin.Table->Version >= TamberCodecPluginVersion && (format.Flags & TamberFormatRecognised)) {
                info.Recognised = true;
                break;
            }
            continue;
        }
        uint32_t sampleBytes = SampleBytesOf(plugin.Table, format);
        if (format.SampleRate == 0 || format.Channels == 0 || format.Channels > MaxPluginChannels || sampleBytes == 0) {
            plugin.Table->Close(state);
            continue;
        }
        info.Source = std::make_unique<PluginDecoder>(plugin.Table, state, format.Channels, sampleBytes);
        info.SampleRate = format.SampleRate;
        info.Channels = format.Channels;
        info.HighResolution = sampleBytes == 4 && format.BitsPerSample > 16;
        info.Frames = length / (format.Channels * sampleBytes);
        info.ErrorCode = 0;
        break;
    }
    return info;
}
