#include "codecs/mod/module_decoder.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t Channels = 2;
constexpr int32_t PlayOnce = 0;  // libopenmpt's repeat count: no repeat
// A seek lands at the start of the row holding the time; at most this much
// is rendered and dropped to reach the time itself (rows last well under it).
constexpr double MaxSeekRenderSeconds = 10.0;
constexpr uint32_t DiscardChunkFrames = 4096;
constexpr int MaxSeekSteps = 8;
constexpr double SeekStepSeconds = 0.001;
// Types libopenmpt reports that this plug-in plays; it knows dozens more.
constexpr std::string_view PlayedTypes[] = {"xm", "it", "s3m", "mod"};

struct ModuleDeleter {
    void operator()(openmpt_module* module) const { openmpt_module_destroy(module); }
};

bool IsPlayedType(openmpt_module* module) {
    const char* type = openmpt_module_get_metadata(module, "type");
    if (!type) return false;
    bool played = std::find(std::begin(PlayedTypes), std::end(PlayedTypes), std::string_view(type)) != std::end(PlayedTypes);
    openmpt_free_string(type);
    return played;
}

class ModuleDecoder final : public CodecSource {
public:
    explicit ModuleDecoder(openmpt_module* module, uint64_t frames) : Module(module) {
        Info.SampleRate = ModuleSampleRate;
        Info.Channels = Channels;
        Info.BitsPerSample = 32;
        Info.Frames = frames;
    }

    uint32_t Read(float* samples, uint32_t frames) override {
        uint64_t wanted = std::min<uint64_t>(frames, Info.Frames - Position);
        size_t got = 0;
        while (got < wanted && !RendererEnded) {
            size_t n = openmpt_module_read_interleaved_float_stereo(Module.get(), ModuleSampleRate, static_cast<size_t>(wanted - got),
                                                                    samples + got * Channels);
            if (n == 0) RendererEnded = true;
            got += n;
        }
        // The renderer may stop a little short of its own duration: silence
        // makes up the length the stream was opened with.
        std::fill(samples + got * Channels, samples + wanted * Channels, 0.0f);
        Position += wanted;
        return static_cast<uint32_t>(wanted);
    }

    bool Seek(uint64_t frame) override {
        if (frame > Info.Frames) return false;
        double target = static_cast<double>(frame) / ModuleSampleRate;
        // The renderer lands on a row start, the next one as often as not:
        // step back until it lands at or before the time, then render up to it.
        double ask = target;
        double landed = openmpt_module_set_position_seconds(Module.get(), ask);
        for (int i = 0; i < MaxSeekSteps && landed > target; ++i) {
            ask = std::max(0.0, ask - (landed - target) - SeekStepSeconds);
            landed = openmpt_module_set_position_seconds(Module.get(), ask);
        }
        RendererEnded = false;
        Position = frame;
        double behind = target - landed;
        if (behind > 0 && behind < MaxSeekRenderSeconds) {
            auto drop = static_cast<uint64_t>(std::llround(behind * ModuleSampleRate));
            std::vector<float> scratch(size_t{DiscardChunkFrames} * Channels);
            while (drop > 0) {
                size_t n = openmpt_module_read_interleaved_float_stereo(
                    Module.get(), ModuleSampleRate, static_cast<size_t>(std::min<uint64_t>(drop, DiscardChunkFrames)), scratch.data());
                if (n == 0) break;
                drop -= n;
            }
        }
        return true;
    }

private:
    std::unique_ptr<openmpt_module, ModuleDeleter> Module;
    uint64_t Position = 0;
    bool RendererEnded = false;
};

}  // namespace

std::unique_ptr<CodecSource> OpenModuleDecoder(std::unique_ptr<CodecBytes> bytes) {
    if (!bytes || bytes->Size() == 0 || bytes->Size() > MaxModuleBytes) return nullptr;
    // Every file no other decoder takes is offered here: the first bytes
    // turn away what is no module before the whole file is read.
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(bytes->Size(), openmpt_probe_file_header_get_recommended_size())));
    if (bytes->ReadAt(0, head) != head.size()) return nullptr;
    if (openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, head.data(), head.size(), bytes->Size(), openmpt_log_func_silent,
                                  nullptr, openmpt_error_func_ignore, nullptr, nullptr, nullptr) == OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE)
        return nullptr;
    std::vector<uint8_t> data(static_cast<size_t>(bytes->Size()));
    if (bytes->ReadAt(0, data) != data.size()) return nullptr;
    int error = 0;
    openmpt_module* raw = openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent, nullptr,
                                                             openmpt_error_func_ignore, nullptr, &error, nullptr, nullptr);
    if (!raw) return nullptr;
    std::unique_ptr<openmpt_module, ModuleDeleter> module(raw);
    if (!IsPlayedType(raw)) return nullptr;
    openmpt_module_set_repeat_count(raw, PlayOnce);
    // By default the renderer adds a fade-out of its own past the song's
    // duration (100 ms here); stopping at the end makes what it renders
    // exactly the duration it states, which is the stream's length.
    openmpt_module_ctl_set_text(raw, "play.at_end", "stop");
    // Notes that began before a seek's row sound from where they would be,
    // as if played through, instead of staying silent until retriggered.
    openmpt_module_ctl_set_boolean(raw, "seek.sync_samples", 1);
    double seconds = openmpt_module_get_duration_seconds(raw);
    if (!(seconds > 0) || !std::isfinite(seconds)) return nullptr;
    auto frames = static_cast<uint64_t>(std::llround(seconds * ModuleSampleRate));
    if (frames == 0) return nullptr;
    return std::make_unique<ModuleDecoder>(module.release(), frames);
}
