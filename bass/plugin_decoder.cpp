// Codec plug-ins: DLLs exporting TamberCodecPluginInit. Loaded plug-ins stay
// for the rest of the run, like the library itself.

#include <algorithm>
#include <mutex>
#include <vector>

#include "bass/bass_api.h"
#include "bass/decoder.h"

namespace {

constexpr uint32_t PluginHandleBase = 0x50000;  // apart from stream handles, for diagnostics
constexpr uint32_t MaxPluginChannels = 8;

struct LoadedPlugin {
    HMODULE Module;
    const TamberCodecPlugin* Table;
};

std::mutex gPluginLock;
std::vector<LoadedPlugin> gPlugins;

class PluginDecoder final : public Decoder {
public:
    PluginDecoder(const TamberCodecPlugin* table, void* state) : Table(table), State(state) {}
    ~PluginDecoder() override { Table->Close(State); }
    uint32_t Read(uint8_t* buffer, uint32_t bytes) override { return std::min<DWORD>(Table->Read(State, buffer, bytes), bytes); }
    bool Seek(uint64_t positionBytes) override { return Table->Seek(State, positionBytes) != FALSE; }

private:
    const TamberCodecPlugin* Table;
    void* State;
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
    if (!table || table->Version != TamberCodecPluginVersion || !table->Open || !table->Read || !table->Seek ||
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
        if (!state) continue;
        if (format.SampleRate == 0 || format.Channels == 0 || format.Channels > MaxPluginChannels) {
            plugin.Table->Close(state);
            continue;
        }
        info.Source = std::make_unique<PluginDecoder>(plugin.Table, state);
        info.SampleRate = format.SampleRate;
        info.Channels = format.Channels;
        info.LengthBytes = length - length % (format.Channels * 2);
        info.ErrorCode = 0;
        break;
    }
    return info;
}

void ApplyVolume(int16_t* samples, size_t count, float volume) {
    if (volume == 1.0f) return;
    for (size_t i = 0; i < count; ++i) {
        float v = samples[i] * volume;
        samples[i] = static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
    }
}
