// MPEG audio (MP3, and layers I and II) through libmpg123, gapless: the
// encoder's delay and padding named in a LAME/Info frame are cut, as the
// reference decoders do. Seeks land on the sample: libmpg123 finds the frame
// from its index (built by a scan where no header counts the frames) and
// decodes up to the target.

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "bass/decoders/builtin_decoders.h"
#include "bass/decoders/file_source.h"
#include "bass/decoders/pending_audio.h"
#include "bass/logic/sample_convert.h"

namespace {

constexpr uint32_t MpegMaxChannels = 2;
constexpr size_t ReadBytes = 1152 * MpegMaxChannels * sizeof(float) * 4;
constexpr uint32_t MaxErrorsInARow = 64;

mpg123_ssize_t ReadCb(void* source, void* buffer, size_t bytes) {
    return static_cast<mpg123_ssize_t>(static_cast<FileSource*>(source)->Read(buffer, bytes));
}
off_t SeekCb(void* source, off_t offset, int whence) {
    FileSource* file = static_cast<FileSource*>(source);
    return file->Seek(offset, whence) ? static_cast<off_t>(file->Tell()) : static_cast<off_t>(-1);
}

struct Mpg123Deleter {
    void operator()(mpg123_handle* h) const {
        mpg123_close(h);
        mpg123_delete(h);
    }
};

class MpegDecoder final : public Decoder {
public:
    explicit MpegDecoder(FileSource file) : File(std::move(file)) {}

    bool Open(bool countFrames) {
        static std::once_flag started;
        std::call_once(started, [] { mpg123_init(); });
        int error = 0;
        Handle.reset(mpg123_new(nullptr, &error));
        if (!Handle) return false;
        mpg123_handle* h = Handle.get();
        mpg123_param(h, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_FLOAT, 0.0);
        // Every rate it decodes, as float; the stream keeps the first format.
        mpg123_format_none(h);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i) mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        if (mpg123_replace_reader_handle(h, ReadCb, SeekCb, nullptr) != MPG123_OK) return false;
        if (mpg123_open_handle(h, &File) != MPG123_OK) return false;
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels <= 0 ||
            channels > static_cast<int>(MpegMaxChannels) || encoding != MPG123_ENC_FLOAT_32)
            return false;
        if (countFrames && mpg123_scan(h) != MPG123_OK) return false;
        off_t length = mpg123_length(h);
        // A Xing or VBRI count past belief: the frames themselves tell.
        if (!countFrames && length > 0 && !PlausibleLength(static_cast<uint64_t>(length), static_cast<uint32_t>(rate))) {
            if (mpg123_scan(h) != MPG123_OK) return false;
            length = mpg123_length(h);
        }
        if (length <= 0 || !PlausibleLength(static_cast<uint64_t>(length), static_cast<uint32_t>(rate))) return false;
        Rate = static_cast<uint32_t>(rate);
        ChannelCount = static_cast<uint32_t>(channels);
        TotalFrames = static_cast<uint64_t>(length);
        Converter.emplace(Rate, ChannelCount);
        return true;
    }

    uint32_t SampleRate() const { return Rate; }
    uint32_t Channels() const { return ChannelCount; }
    uint64_t Frames() const { return TotalFrames; }

    uint32_t Read(float* samples, uint32_t frames) override {
        uint32_t done = 0;
        uint32_t errors = 0;
        while (done < frames) {
            if (!Pending.Empty()) {
                done += Pending.TakeInto(samples + size_t{done} * ChannelCount, frames - done, ChannelCount);
                continue;
            }
            if (Ended) break;
            Bytes.resize(ReadBytes);
            size_t got = 0;
            int result = mpg123_read(Handle.get(), Bytes.data(), Bytes.size(), &got);
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0, encoding = 0;
                mpg123_getformat(Handle.get(), &rate, &channels, &encoding);
                CurrentRate = static_cast<uint32_t>(std::max(rate, 0L));
                CurrentChannels = static_cast<uint32_t>(std::max(channels, 0));
            } else if (result == MPG123_DONE) {
                Ended = true;
            } else if (result != MPG123_OK && got == 0 && errors++ >= MaxErrorsInARow) {
                Ended = true;
            }
            if (got == 0) continue;
            errors = 0;
            uint32_t channels = CurrentChannels ? CurrentChannels : ChannelCount;
            uint32_t rate = CurrentRate ? CurrentRate : Rate;
            if (channels == 0 || channels > MpegMaxChannels || rate == 0) break;
            size_t count = got / sizeof(float) / channels * channels;
            Decoded.resize(count);
            std::memcpy(Decoded.data(), Bytes.data(), count * sizeof(float));
            Pending.Refill(Decoded, *Converter, rate, channels);
        }
        return done;
    }

    bool Seek(uint64_t frame) override {
        Pending.Clear();
        Converter->Reset();
        Ended = false;
        if (frame > TotalFrames) return false;
        return mpg123_seek(Handle.get(), static_cast<off_t>(frame), SEEK_SET) >= 0;
    }

private:
    FileSource File;
    std::unique_ptr<mpg123_handle, Mpg123Deleter> Handle;
    uint32_t Rate = 0, ChannelCount = 0;
    uint32_t CurrentRate = 0, CurrentChannels = 0;
    uint64_t TotalFrames = 0;
    bool Ended = false;
    std::optional<FormatConverter> Converter;
    std::vector<uint8_t> Bytes;
    std::vector<float> Decoded;
    PendingAudio Pending;
};

}  // namespace

DecoderInfo OpenMpegDecoder(const ReadAtFn& read, uint64_t fileBytes, bool countFrames) {
    DecoderInfo info;
    auto decoder = std::make_unique<MpegDecoder>(FileSource(read, fileBytes));
    if (!decoder->Open(countFrames)) return info;
    info.SampleRate = decoder->SampleRate();
    info.Channels = decoder->Channels();
    info.Frames = decoder->Frames();
    info.Source = std::move(decoder);
    return info;
}
