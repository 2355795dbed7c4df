// FLAC through libFLAC: every bit depth from 4 to 32, any rate it accepts.

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bass/decoders/builtin_decoders.h"
#include "bass/decoders/file_source.h"
#include "bass/decoders/pending_audio.h"
#include "bass/logic/sample_convert.h"

namespace {

constexpr uint32_t MinBitsPerSample = 4;
constexpr uint32_t MaxBitsPerSample = 32;
// Turns of the decoder that give no audio and read nothing before we call it
// the end: a hostile file must not spin the decode thread.
constexpr uint32_t MaxIdleTurns = 64;

struct FlacDecoderDeleter {
    void operator()(FLAC__StreamDecoder* d) const { FLAC__stream_decoder_delete(d); }
};

class FlacDecoder final : public Decoder {
public:
    explicit FlacDecoder(FileSource file) : File(std::move(file)), Handle(FLAC__stream_decoder_new()) {}
    ~FlacDecoder() override {
        if (Handle) FLAC__stream_decoder_finish(Handle.get());
    }

    // Reads the metadata; false when it is no FLAC stream we can play.
    bool Open() {
        if (!Handle) return false;
        FLAC__stream_decoder_set_md5_checking(Handle.get(), false);
        if (FLAC__stream_decoder_init_stream(Handle.get(), ReadCb, SeekCb, TellCb, LengthCb, EofCb, WriteCb, MetadataCb,
                                             ErrorCb, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
            return false;
        if (!FLAC__stream_decoder_process_until_end_of_metadata(Handle.get()) || !HaveInfo) return false;
        if (!PlausibleLength(TotalFrames, Rate)) TotalFrames = CountFrames();  // 0: STREAMINFO leaves it open
        return TotalFrames != 0 && FirstFrameDecodes();
    }

    uint32_t SampleRate() const { return Rate; }
    uint32_t Channels() const { return ChannelCount; }
    uint32_t BitsPerSample() const { return Bits; }
    uint64_t Frames() const { return TotalFrames; }

    uint32_t Read(float* samples, uint32_t frames) override {
        uint32_t done = 0;
        uint32_t idle = 0;
        while (done < frames) {
            if (!Pending.Empty()) {
                done += Pending.TakeInto(samples + size_t{done} * ChannelCount, frames - done, ChannelCount);
                continue;
            }
            if (Ended || idle++ > MaxIdleTurns) break;
            uint64_t before = File.Tell();
            if (!FLAC__stream_decoder_process_single(Handle.get()) ||
                FLAC__stream_decoder_get_state(Handle.get()) == FLAC__STREAM_DECODER_END_OF_STREAM) {
                Ended = Pending.Empty();
            }
            if (File.Tell() != before || !Pending.Empty()) idle = 0;
        }
        return done;
    }

    bool Seek(uint64_t frame) override {
        Pending.Clear();
        Ended = false;
        if (frame >= TotalFrames) {
            Ended = true;
            return frame == TotalFrames;
        }
        // libFLAC hands the frame holding the target to WriteCb, cut to start there.
        if (FLAC__stream_decoder_seek_absolute(Handle.get(), frame)) return true;
        if (FLAC__stream_decoder_get_state(Handle.get()) == FLAC__STREAM_DECODER_SEEK_ERROR)
            FLAC__stream_decoder_flush(Handle.get());
        Pending.Clear();
        Ended = true;
        return false;
    }

private:
    static FlacDecoder* Self(void* client) { return static_cast<FlacDecoder*>(client); }

    // Headers over audio that does not decode (noise, another format) are
    // refused at creation rather than played as silence: the first frame
    // must decode. It stays as the first audio read.
    bool FirstFrameDecodes() {
        for (uint32_t idle = 0; Pending.Empty() && idle <= MaxIdleTurns; ++idle) {
            uint64_t before = File.Tell();
            if (!FLAC__stream_decoder_process_single(Handle.get()) ||
                FLAC__stream_decoder_get_state(Handle.get()) == FLAC__STREAM_DECODER_END_OF_STREAM)
                break;
            if (File.Tell() != before) idle = 0;
        }
        return !Pending.Empty();
    }

    // A stream whose STREAMINFO leaves the length open, or claims one past
    // belief: decode it once.
    uint64_t CountFrames() {
        Counting = true;
        uint64_t frames = 0;
        uint32_t idle = 0;
        while (idle++ <= MaxIdleTurns) {
            uint64_t before = File.Tell();
            CountedFrames = 0;
            if (!FLAC__stream_decoder_process_single(Handle.get())) break;
            frames += CountedFrames;
            if (FLAC__stream_decoder_get_state(Handle.get()) == FLAC__STREAM_DECODER_END_OF_STREAM) break;
            if (File.Tell() != before || CountedFrames != 0) idle = 0;
        }
        Counting = false;
        TotalFrames = frames;
        // The seek hands the first frame to WriteCb: it is what reading starts with.
        Pending.Clear();
        if (frames == 0 || !FLAC__stream_decoder_seek_absolute(Handle.get(), 0)) return 0;
        return frames;
    }

    static FLAC__StreamDecoderReadStatus ReadCb(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                                void* client) {
        size_t got = Self(client)->File.Read(buffer, *bytes);
        *bytes = got;
        return got == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }
    static FLAC__StreamDecoderSeekStatus SeekCb(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* client) {
        return offset <= Self(client)->File.Size() && Self(client)->File.Seek(static_cast<int64_t>(offset), SEEK_SET)
                   ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                   : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }
    static FLAC__StreamDecoderTellStatus TellCb(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* client) {
        *offset = Self(client)->File.Tell();
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }
    static FLAC__StreamDecoderLengthStatus LengthCb(const FLAC__StreamDecoder*, FLAC__uint64* length, void* client) {
        *length = Self(client)->File.Size();
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }
    static FLAC__bool EofCb(const FLAC__StreamDecoder*, void* client) { return Self(client)->File.AtEnd(); }
    static void ErrorCb(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

    static void MetadataCb(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* client) {
        FlacDecoder* self = Self(client);
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO || self->HaveInfo) return;
        const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
        if (info.sample_rate == 0 || info.sample_rate > DecoderMaxSampleRate || info.channels == 0 ||
            info.channels > DecoderMaxChannels || info.bits_per_sample < MinBitsPerSample ||
            info.bits_per_sample > MaxBitsPerSample)
            return;
        self->Rate = info.sample_rate;
        self->ChannelCount = info.channels;
        self->Bits = info.bits_per_sample;
        self->TotalFrames = info.total_samples;
        self->HaveInfo = true;
    }

    static FLAC__StreamDecoderWriteStatus WriteCb(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                  const FLAC__int32* const buffer[], void* client) {
        FlacDecoder* self = Self(client);
        uint32_t frames = frame->header.blocksize;
        uint32_t channels = frame->header.channels;
        uint32_t bits = frame->header.bits_per_sample ? frame->header.bits_per_sample : self->Bits;
        if (self->Counting) {
            self->CountedFrames += frames;
            return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
        }
        if (bits < MinBitsPerSample || bits > MaxBitsPerSample || channels == 0) return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        // Whatever the frame's depth, full scale is 1.0.
        float scale = 1.0f / static_cast<float>(uint64_t{1} << (bits - 1));
        if (self->Pending.Empty()) self->Pending.Clear();
        std::vector<float>& out = self->Pending.Samples;
        size_t base = out.size();
        if (channels == self->ChannelCount) {
            out.resize(base + size_t{frames} * channels);
            float* o = out.data() + base;
            for (uint32_t i = 0; i < frames; ++i)
                for (uint32_t c = 0; c < channels; ++c) *o++ = static_cast<float>(buffer[c][i]) * scale;
        } else {
            // A frame of another channel count than the stream's (a hostile or
            // joined file): keep the stream's layout.
            std::vector<float> frameSamples(size_t{frames} * channels);
            for (uint32_t i = 0; i < frames; ++i)
                for (uint32_t c = 0; c < channels; ++c) frameSamples[size_t{i} * channels + c] = static_cast<float>(buffer[c][i]) * scale;
            out.resize(base + size_t{frames} * self->ChannelCount);
            RemapChannels(frameSamples.data(), frames, channels, out.data() + base, self->ChannelCount);
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    FileSource File;
    std::unique_ptr<FLAC__StreamDecoder, FlacDecoderDeleter> Handle;
    bool HaveInfo = false;
    bool Ended = false;
    bool Counting = false;
    uint64_t CountedFrames = 0;
    uint32_t Rate = 0, ChannelCount = 0, Bits = 0;
    uint64_t TotalFrames = 0;
    PendingAudio Pending;
};

}  // namespace

DecoderInfo OpenFlacDecoder(const ReadAtFn& read, uint64_t fileBytes) {
    DecoderInfo info;
    auto decoder = std::make_unique<FlacDecoder>(FileSource(read, fileBytes));
    if (!decoder->Open()) return info;
    info.SampleRate = decoder->SampleRate();
    info.Channels = decoder->Channels();
    info.HighResolution = decoder->BitsPerSample() > 16;
    info.Frames = decoder->Frames();
    info.Source = std::move(decoder);
    return info;
}
