// Ogg Vorbis through libvorbisfile: the exact length is the last granule
// less the first page's offset, and seeks land on the sample.

#define OV_EXCLUDE_STATIC_CALLBACKS  // stdio callbacks we never use
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "bass/decoders/builtin_decoders.h"
#include "bass/decoders/file_source.h"
#include "bass/decoders/pending_audio.h"
#include "bass/decoders/vorbis_channel_order.h"
#include "bass/logic/sample_convert.h"

namespace {

constexpr uint32_t MaxHolesInARow = 64;  // damaged pages skipped before we call it the end

size_t ReadCb(void* buffer, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    return static_cast<FileSource*>(source)->Read(buffer, size * std::min(count, SIZE_MAX / size)) / size;
}
int SeekCb(void* source, ogg_int64_t offset, int whence) {
    return static_cast<FileSource*>(source)->Seek(offset, whence) ? 0 : -1;
}
long TellCb(void* source) { return static_cast<long>(static_cast<FileSource*>(source)->Tell()); }

constexpr ov_callbacks Callbacks = {ReadCb, SeekCb, nullptr, TellCb};

class VorbisDecoder final : public Decoder {
public:
    explicit VorbisDecoder(FileSource file) : File(std::move(file)) {}
    ~VorbisDecoder() override {
        if (IsOpen) ov_clear(&Vf);
    }

    bool Open() {
        if (ov_open_callbacks(&File, &Vf, nullptr, 0, Callbacks) != 0) return false;
        IsOpen = true;
        vorbis_info* info = ov_info(&Vf, -1);
        ogg_int64_t total = ov_pcm_total(&Vf, -1);
        if (!info || info->channels <= 0 || info->channels > static_cast<int>(DecoderMaxChannels) || info->rate <= 0 ||
            info->rate > static_cast<long>(DecoderMaxSampleRate) || total <= 0 ||
            !PlausibleLength(static_cast<uint64_t>(total), static_cast<uint32_t>(info->rate)))
            return false;
        Rate = static_cast<uint32_t>(info->rate);
        ChannelCount = static_cast<uint32_t>(info->channels);
        TotalFrames = static_cast<uint64_t>(total);
        Converter.emplace(Rate, ChannelCount);
        return true;
    }

    uint32_t SampleRate() const { return Rate; }
    uint32_t Channels() const { return ChannelCount; }
    uint64_t Frames() const { return TotalFrames; }

    uint32_t Read(float* samples, uint32_t frames) override {
        uint32_t done = 0;
        uint32_t holes = 0;
        while (done < frames) {
            if (!Pending.Empty()) {
                done += Pending.TakeInto(samples + size_t{done} * ChannelCount, frames - done, ChannelCount);
                continue;
            }
            float** pcm = nullptr;
            int link = 0;
            long got = ov_read_float(&Vf, &pcm, static_cast<int>(std::min<uint32_t>(frames - done, 4096)), &link);
            if (got == OV_HOLE && holes++ < MaxHolesInARow) continue;
            if (got <= 0) break;
            holes = 0;
            vorbis_info* info = ov_info(&Vf, link);
            uint32_t channels = info && info->channels > 0 ? static_cast<uint32_t>(info->channels) : ChannelCount;
            uint32_t rate = info && info->rate > 0 ? static_cast<uint32_t>(info->rate) : Rate;
            if (channels > DecoderMaxChannels) break;
            Interleaved.resize(static_cast<size_t>(got) * channels);
            for (long i = 0; i < got; ++i)
                for (uint32_t c = 0; c < channels; ++c) Interleaved[static_cast<size_t>(i) * channels + c] = pcm[c][i];
            ReorderVorbisChannels(Interleaved.data(), static_cast<size_t>(got), channels);
            Pending.Refill(Interleaved, *Converter, rate, channels);
        }
        return done;
    }

    bool Seek(uint64_t frame) override {
        Pending.Clear();
        Converter->Reset();
        return ov_pcm_seek(&Vf, static_cast<ogg_int64_t>(frame)) == 0;
    }

private:
    FileSource File;
    OggVorbis_File Vf{};
    bool IsOpen = false;
    uint32_t Rate = 0, ChannelCount = 0;
    uint64_t TotalFrames = 0;
    std::optional<FormatConverter> Converter;
    std::vector<float> Interleaved;
    PendingAudio Pending;
};

}  // namespace

DecoderInfo OpenVorbisDecoder(const ReadAtFn& read, uint64_t fileBytes) {
    DecoderInfo info;
    auto decoder = std::make_unique<VorbisDecoder>(FileSource(read, fileBytes));
    if (!decoder->Open()) return info;
    info.SampleRate = decoder->SampleRate();
    info.Channels = decoder->Channels();
    info.Frames = decoder->Frames();
    info.Source = std::move(decoder);
    return info;
}
