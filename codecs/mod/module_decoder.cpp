#include "codecs/mod/module_decoder.h"

#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "codecs/mod/module_format.h"

namespace {

constexpr uint32_t Channels = 2;
constexpr int StereoSeparationPercent = 100;  // libxmp's default is 70: hard-panned voices as trackers play them
// A seek lands at the start of the pattern holding the time; at most this
// much is rendered and dropped to reach the time itself.
constexpr double MaxSeekRenderSeconds = 120.0;

struct ContextDeleter {
    void operator()(xmp_context context) const {
        xmp_end_player(context);
        xmp_release_module(context);
        xmp_free_context(context);
    }
};
using Context = std::unique_ptr<std::remove_pointer_t<xmp_context>, ContextDeleter>;

class ModuleDecoder final : public CodecSource {
public:
    ModuleDecoder(Context context, uint64_t frames) : Player(std::move(context)) {
        Info.SampleRate = ModuleSampleRate;
        Info.Channels = Channels;
        Info.BitsPerSample = 16;
        Info.Frames = frames;
    }

    uint32_t Read(float* samples, uint32_t frames) override {
        uint64_t wanted = std::min<uint64_t>(frames, Info.Frames - Position);
        uint64_t done = 0;
        while (done < wanted && (PendingFrames() > 0 || RenderFrame())) {
            size_t take = static_cast<size_t>(std::min<uint64_t>(wanted - done, PendingFrames()));
            const int16_t* from = Pending.data() + PendingPos * Channels;
            for (size_t i = 0; i < take * Channels; ++i) samples[done * Channels + i] = from[i] / 32768.0f;
            PendingPos += take;
            done += take;
        }
        // The renderer may stop a little short of its own duration: silence
        // makes up the length the stream was opened with.
        std::fill(samples + done * Channels, samples + wanted * Channels, 0.0f);
        Position += wanted;
        return static_cast<uint32_t>(wanted);
    }

    bool Seek(uint64_t frame) override {
        if (frame > Info.Frames) return false;
        Position = frame;
        Pending.clear();
        PendingPos = 0;
        RendererEnded = false;
        LoopsBefore = LastLoopCount;
        xmp_seek_time(Player.get(), static_cast<int>(frame * 1000 / ModuleSampleRate));
        if (!RenderFrame()) return true;  // nothing left: silence to the end
        // The seek lands on a pattern's start; the frame just made tells where.
        double startMs = LastFrameEndMs - LastFrameMicroseconds / 1000.0;
        auto start = static_cast<int64_t>(std::llround(startMs * ModuleSampleRate / 1000.0));
        int64_t drop = static_cast<int64_t>(frame) - start;
        if (drop <= 0 || drop > static_cast<int64_t>(MaxSeekRenderSeconds * ModuleSampleRate)) return true;
        while (drop > 0 && (PendingFrames() > 0 || RenderFrame())) {
            size_t skip = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(drop), PendingFrames()));
            PendingPos += skip;
            drop -= static_cast<int64_t>(skip);
        }
        return true;
    }

private:
    size_t PendingFrames() const { return Pending.size() / Channels - PendingPos; }

    // One tick of the song into Pending; false at its end (when it would loop).
    bool RenderFrame() {
        if (RendererEnded) return false;
        xmp_frame_info info;
        if (xmp_play_frame(Player.get()) != 0) {
            RendererEnded = true;
            return false;
        }
        xmp_get_frame_info(Player.get(), &info);
        LastLoopCount = info.loop_count;
        if (info.loop_count > LoopsBefore || !info.buffer || info.buffer_size <= 0) {
            RendererEnded = true;
            return false;
        }
        LastFrameEndMs = info.time;
        LastFrameMicroseconds = info.frame_time;
        size_t count = static_cast<size_t>(info.buffer_size) / sizeof(int16_t) / Channels * Channels;
        Pending.resize(count);
        std::memcpy(Pending.data(), info.buffer, count * sizeof(int16_t));
        PendingPos = 0;
        return true;
    }

    Context Player;
    std::vector<int16_t> Pending;  // the last tick, interleaved
    size_t PendingPos = 0;         // frames of Pending handed out or dropped
    uint64_t Position = 0;
    bool RendererEnded = false;
    int LoopsBefore = 0;    // the song's loop count where playing (again) began
    int LastLoopCount = 0;
    int LastFrameEndMs = 0;
    int LastFrameMicroseconds = 0;
};

}  // namespace

bool IsModuleFile(const CodecBytes& bytes) {
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(bytes.Size(), ModuleHeadBytes)));
    return bytes.ReadAt(0, head) == head.size() && ModuleFormatOf(head) != ModuleFormat::None;
}

std::unique_ptr<CodecSource> OpenModuleDecoder(std::unique_ptr<CodecBytes> bytes) {
    if (!bytes || bytes->Size() == 0 || bytes->Size() > MaxModuleBytes) return nullptr;
    // Every file no other decoder takes is offered here: the first bytes
    // turn away what is none of the four before the whole file is read.
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(bytes->Size(), ModuleHeadBytes)));
    if (bytes->ReadAt(0, head) != head.size() || ModuleFormatOf(head) == ModuleFormat::None) return nullptr;
    std::vector<uint8_t> data(static_cast<size_t>(bytes->Size()));
    if (bytes->ReadAt(0, data) != data.size()) return nullptr;
    if (ModuleFormatOf(head) == ModuleFormat::Mod && !ModSamplesFitFile(data)) return nullptr;

    Context player(xmp_create_context());
    if (!player) return nullptr;
    // libxmp copies what it needs: the file's bytes go once it is loaded.
    if (xmp_load_module_from_memory(player.get(), data.data(), static_cast<long>(data.size())) != 0) return nullptr;
    if (xmp_start_player(player.get(), static_cast<int>(ModuleSampleRate), 0) != 0) return nullptr;
    xmp_set_player(player.get(), XMP_PLAYER_MIX, StereoSeparationPercent);
    xmp_set_player(player.get(), XMP_PLAYER_INTERP, XMP_INTERP_SPLINE);
    xmp_frame_info info;
    xmp_get_frame_info(player.get(), &info);
    if (info.total_time <= 0) return nullptr;
    auto frames = static_cast<uint64_t>(std::llround(info.total_time * (ModuleSampleRate / 1000.0)));
    return std::make_unique<ModuleDecoder>(std::move(player), frames);
}
