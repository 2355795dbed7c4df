// Ogg Opus through opusfile: always 48 kHz; the exact length is the last
// granule less the pre-skip, and seeks land on the sample.

#include <opusfile.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "bass/decoders/builtin_decoders.h"
#include "bass/decoders/file_source.h"
#include "bass/decoders/pending_audio.h"
#include "bass/decoders/vorbis_channel_order.h"
#include "bass/logic/sample_convert.h"

namespace {

constexpr uint32_t OpusRate = 48000;
constexpr uint32_t ReadFrames = 5760;        // 120 ms: opusfile's largest packet
constexpr uint32_t MaxHolesInARow = 64;

int ReadCb(void* source, unsigned char* buffer, int bytes) {
    return bytes <= 0 ? 0 : static_cast<int>(static_cast<FileSource*>(source)->Read(buffer, static_cast<size_t>(bytes)));
}
int SeekCb(void* source, opus_int64 offset, int whence) {
    return static_cast<FileSource*>(source)->Seek(offset, whence) ? 0 : -1;
}
opus_int64 TellCb(void* source) { return static_cast<opus_int64>(static_cast<FileSource*>(source)->Tell()); }

constexpr OpusFileCallbacks Callbacks = {ReadCb, SeekCb, TellCb, nullptr};

struct OpusFileDeleter {
    void operator()(OggOpusFile* f) const { op_free(f); }
};

class OpusFileDecoder final : public Decoder {
public:
    explicit OpusFileDecoder(FileSource file) : File(std::move(file)) {}

    bool Open() {
        int error = 0;
        Handle.reset(op_open_callbacks(&File, &Callbacks, nullptr, 0, &error));
        if (!Handle) return false;
        int channels = op_channel_count(Handle.get(), -1);
        opus_int64 total = op_pcm_total(Handle.get(), -1);
        if (channels <= 0 || channels > static_cast<int>(DecoderMaxChannels) || total <= 0 ||
            !PlausibleLength(static_cast<uint64_t>(total), OpusRate))
            return false;
        ChannelCount = static_cast<uint32_t>(channels);
        TotalFrames = static_cast<uint64_t>(total);
        Converter.emplace(OpusRate, ChannelCount);
        return true;
    }

    uint32_t Channels() const { return ChannelCount; }
    uint64_t Frames() const { return TotalFrames; }

    uint32_t Read(float* samples, uint32_t frames) override {
        if (AtEnd) return 0;
        uint32_t done = 0;
        uint32_t holes = 0;
        while (done < frames) {
            if (!Pending.Empty()) {
                done += Pending.TakeInto(samples + size_t{done} * ChannelCount, frames - done, ChannelCount);
                continue;
            }
            Packet.resize(size_t{ReadFrames} * DecoderMaxChannels);
            int link = 0;
            int got = op_read_float(Handle.get(), Packet.data(), static_cast<int>(Packet.size()), &link);
            if (got == OP_HOLE && holes++ < MaxHolesInARow) continue;
            if (got <= 0) break;
            holes = 0;
            int linkChannels = op_channel_count(Handle.get(), link);
            if (linkChannels <= 0 || linkChannels > static_cast<int>(DecoderMaxChannels)) break;
            uint32_t channels = static_cast<uint32_t>(linkChannels);
            Packet.resize(static_cast<size_t>(got) * channels);
            ReorderVorbisChannels(Packet.data(), static_cast<size_t>(got), channels);
            Pending.Refill(Packet, *Converter, OpusRate, channels);
        }
        return done;
    }

    bool Seek(uint64_t frame) override {
        Pending.Clear();
        // opusfile takes only places before the last sample; the end itself
        // is a place a stream may be set to, where reading gives nothing.
        AtEnd = frame == TotalFrames;
        return AtEnd || op_pcm_seek(Handle.get(), static_cast<ogg_int64_t>(frame)) == 0;
    }

private:
    FileSource File;
    std::unique_ptr<OggOpusFile, OpusFileDeleter> Handle;
    uint32_t ChannelCount = 0;
    uint64_t TotalFrames = 0;
    std::optional<FormatConverter> Converter;
    std::vector<float> Packet;
    PendingAudio Pending;
    bool AtEnd = false;
};

}  // namespace

DecoderInfo OpenOpusDecoder(const ReadAtFn& read, uint64_t fileBytes) {
    DecoderInfo info;
    auto decoder = std::make_unique<OpusFileDecoder>(FileSource(read, fileBytes));
    if (!decoder->Open()) return info;
    info.SampleRate = OpusRate;
    info.Channels = decoder->Channels();
    info.Frames = decoder->Frames();
    info.Source = std::move(decoder);
    return info;
}
