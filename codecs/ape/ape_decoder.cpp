#include "codecs/ape/ape_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/mem.h>
}

#include "metadata/byte_reader.h"

namespace {

// ---- The header, as FFmpeg's APE demuxer reads it ----

constexpr size_t Id3v2HeaderBytes = 10;
constexpr size_t Id3v2SizeBytes = 4;  // syncsafe: 7 bits a byte
constexpr uint8_t Id3v2FooterFlag = 0x10;
constexpr size_t Id3v2FooterBytes = 10;
constexpr size_t MaxId3v2Tags = 16;  // the demuxer skips tags one after another

constexpr uint32_t MinVersion = 3800;
constexpr uint32_t MaxVersion = 3990;
constexpr uint32_t DescriptorVersion = 3980;  // a descriptor ahead of the header from here on
constexpr uint32_t DescriptorBytes = 52;      // as the demuxer reads it, "MAC " included
constexpr uint32_t NewHeaderBytes = 24;
constexpr uint32_t OldHeaderBytes = 32;       // "MAC " and the version included
constexpr uint32_t SeekEntryBytes = 4;
constexpr uint32_t PeakLevelBytes = 4;
constexpr uint32_t SeekCountBytes = 4;
constexpr uint32_t BitTableVersion = 3810;    // older files keep a byte per frame after the seek table

constexpr uint16_t FlagEightBit = 0x1;
constexpr uint16_t FlagPeakLevel = 0x4;
constexpr uint16_t FlagTwentyFourBit = 0x8;
constexpr uint16_t FlagSeekElements = 0x10;
constexpr uint16_t FlagCreateWavHeader = 0x20;

constexpr uint32_t BlocksPerFrame3950 = 73728 * 4;
constexpr uint32_t BlocksPerFrame3900 = 73728;
constexpr uint32_t BlocksPerFrameOld = 9216;
constexpr uint16_t CompressionExtraHigh = 4000;
// Twice the most any encoder writes: more is a claim meant to make a tiny
// file decode for hours.
constexpr uint32_t MaxBlocksPerFrame = 73728 * 32;
constexpr uint32_t MaxChannels = 2;  // FFmpeg's decoder takes no more
// FFmpeg keeps this much per frame the header claims. A frame of sound takes
// far more, so a file must hold at least this much per frame: the table can
// never be larger than the file.
constexpr uint64_t FrameTableBytesPerFrame = 32;

std::vector<uint8_t> ReadBlock(const CodecBytes& bytes, uint64_t offset, uint64_t count) {
    if (offset > bytes.Size() || count > bytes.Size() - offset) return {};
    std::vector<uint8_t> block(static_cast<size_t>(count));
    if (bytes.ReadAt(offset, block) != block.size()) return {};
    return block;
}

uint64_t SkipId3v2Tags(const CodecBytes& bytes) {
    uint64_t offset = 0;
    for (size_t i = 0; i < MaxId3v2Tags; ++i) {
        std::vector<uint8_t> header = ReadBlock(bytes, offset, Id3v2HeaderBytes);
        ByteReader r(header);
        if (!r.Match("ID3")) break;
        uint8_t major = r.U8(), revision = r.U8(), flags = r.U8();
        std::span<const uint8_t> size = r.Span(Id3v2SizeBytes);
        if (r.Failed() || major == 0xFF || revision == 0xFF) break;
        uint64_t tagBytes = 0;
        bool syncsafe = true;
        for (uint8_t b : size) {
            syncsafe = syncsafe && !(b & 0x80);
            tagBytes = tagBytes << 7 | b;
        }
        if (!syncsafe) break;
        offset += Id3v2HeaderBytes + tagBytes + ((flags & Id3v2FooterFlag) ? Id3v2FooterBytes : 0);
    }
    return offset;
}

uint32_t OldBlocksPerFrame(uint32_t version, uint16_t compression) {
    if (version >= 3950) return BlocksPerFrame3950;
    if (version >= 3900 || compression >= CompressionExtraHigh) return BlocksPerFrame3900;
    return BlocksPerFrameOld;
}

// Reads the header from junk on; fills the claims FFmpeg would take.
bool ReadHeaderFields(const CodecBytes& bytes, uint64_t junk, ApeHeaderClaims* c) {
    std::vector<uint8_t> start = ReadBlock(bytes, junk, DescriptorBytes);
    if (start.empty()) start = ReadBlock(bytes, junk, OldHeaderBytes);
    ByteReader r(start);
    if (!r.Match("MAC ")) return false;
    c->Version = r.U16LE();
    if (r.Failed() || c->Version < MinVersion || c->Version > MaxVersion) return false;
    if (c->Version >= DescriptorVersion) {
        r.Skip(sizeof(uint16_t));  // padding
        uint32_t descriptorBytes = r.U32LE();
        uint32_t headerBytes = r.U32LE();  // only counted: the header follows the descriptor
        c->SeekTableBytes = r.U32LE();
        uint32_t wavHeaderBytes = r.U32LE();
        if (r.Failed()) return false;
        uint64_t headerStart = junk + std::max(descriptorBytes, DescriptorBytes);
        std::vector<uint8_t> header = ReadBlock(bytes, headerStart, NewHeaderBytes);
        ByteReader h(header);
        h.Skip(sizeof(uint16_t) * 2);  // compression level, format flags: FFmpeg reads them
        c->BlocksPerFrame = h.U32LE();
        c->FinalFrameBlocks = h.U32LE();
        c->TotalFrames = h.U32LE();
        c->BitsPerSample = h.U16LE();
        c->Channels = h.U16LE();
        c->SampleRate = h.U32LE();
        if (h.Failed()) return false;
        c->SeekTableStart = headerStart + NewHeaderBytes;
        c->FirstFrameStart = junk + uint64_t{descriptorBytes} + headerBytes + c->SeekTableBytes + wavHeaderBytes;
        return true;
    }
    uint16_t compression = r.U16LE();
    uint16_t flags = r.U16LE();
    c->Channels = r.U16LE();
    c->SampleRate = r.U32LE();
    uint32_t wavHeaderBytes = r.U32LE();
    r.Skip(sizeof(uint32_t));  // WAV tail length
    c->TotalFrames = r.U32LE();
    c->FinalFrameBlocks = r.U32LE();
    if (r.Failed()) return false;
    uint64_t headerBytes = OldHeaderBytes;
    if (flags & FlagPeakLevel) headerBytes += PeakLevelBytes;
    if (flags & FlagSeekElements) {
        std::vector<uint8_t> count = ReadBlock(bytes, junk + headerBytes, SeekCountBytes);
        if (count.empty()) return false;
        c->SeekTableBytes = uint64_t{ByteReader(count).U32LE()} * SeekEntryBytes;
        headerBytes += SeekCountBytes;
    } else {
        c->SeekTableBytes = uint64_t{c->TotalFrames} * SeekEntryBytes;
    }
    c->BitsPerSample = (flags & FlagEightBit) ? 8 : (flags & FlagTwentyFourBit) ? 24 : 16;
    c->BlocksPerFrame = OldBlocksPerFrame(c->Version, compression);
    c->SeekTableStart = junk + headerBytes + ((flags & FlagCreateWavHeader) ? 0 : wavHeaderBytes);
    c->FirstFrameStart = junk + headerBytes + c->SeekTableBytes + wavHeaderBytes;
    if (c->Version < BitTableVersion) c->FirstFrameStart += c->TotalFrames;
    return true;
}

// ---- FFmpeg objects, each released by its owner ----

struct IoDeleter {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct FormatDeleter {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

constexpr int IoBufferBytes = 32 * 1024;

// The AVIOContext's view of the file.
struct IoState {
    const CodecBytes* Bytes = nullptr;
    uint64_t Pos = 0;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* io = static_cast<IoState*>(opaque);
    if (size <= 0) return 0;
    size_t got = io->Bytes->ReadAt(io->Pos, std::span<uint8_t>(buffer, static_cast<size_t>(size)));
    if (got == 0) return AVERROR_EOF;
    io->Pos += got;
    return static_cast<int>(got);
}

int64_t SeekIo(void* opaque, int64_t offset, int whence) {
    auto* io = static_cast<IoState*>(opaque);
    int64_t size = static_cast<int64_t>(io->Bytes->Size());
    int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return size;
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<int64_t>(io->Pos); break;
    case SEEK_END: base = size; break;
    default: return AVERROR(EINVAL);
    }
    if ((offset < 0 && base + offset < 0) || (offset > 0 && offset > std::numeric_limits<int64_t>::max() - base))
        return AVERROR(EINVAL);
    io->Pos = static_cast<uint64_t>(base + offset);
    return base + offset;
}

// One decoded frame of any of FFmpeg's integer or float layouts, appended
// as interleaved float. Integer samples are exact in float (24 bits at most
// are significant).
void AppendSamples(const AVFrame& frame, uint32_t channels, std::vector<float>& out) {
    auto format = static_cast<AVSampleFormat>(frame.format);
    bool planar = av_sample_fmt_is_planar(format) != 0;
    size_t count = static_cast<size_t>(frame.nb_samples);
    size_t base = out.size();
    out.resize(base + count * channels);
    for (uint32_t c = 0; c < channels; ++c) {
        for (size_t i = 0; i < count; ++i) {
            size_t at = planar ? i : i * channels + c;
            const uint8_t* plane = frame.extended_data[planar ? c : 0];
            float value = 0;
            switch (av_get_packed_sample_fmt(format)) {
            case AV_SAMPLE_FMT_U8: value = (static_cast<int>(plane[at]) - 128) / 128.0f; break;
            case AV_SAMPLE_FMT_S16: value = reinterpret_cast<const int16_t*>(plane)[at] / 32768.0f; break;
            case AV_SAMPLE_FMT_S32:
                value = static_cast<float>(reinterpret_cast<const int32_t*>(plane)[at] / 2147483648.0);
                break;
            case AV_SAMPLE_FMT_FLT: value = reinterpret_cast<const float*>(plane)[at]; break;
            default: break;
            }
            out[base + i * channels + c] = value;
        }
    }
}

bool KnownSampleFormat(int format) {
    switch (av_get_packed_sample_fmt(static_cast<AVSampleFormat>(format))) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_FLT: return true;
    default: return false;
    }
}

class ApeDecoder final : public CodecSource {
public:
    bool Open(std::unique_ptr<CodecBytes> bytes, const ApeHeaderClaims& claims);
    uint32_t Read(float* samples, uint32_t frames) override;
    bool Seek(uint64_t frame) override;

private:
    bool DecodeMore();

    std::unique_ptr<CodecBytes> Bytes;
    IoState Io;
    std::unique_ptr<AVIOContext, IoDeleter> IoContext;
    std::unique_ptr<AVFormatContext, FormatDeleter> Container;
    std::unique_ptr<AVCodecContext, CodecDeleter> Codec;
    std::unique_ptr<AVPacket, PacketDeleter> Packet;
    std::unique_ptr<AVFrame, FrameDeleter> Frame;
    uint32_t BlocksPerFrame = 0;
    std::vector<float> Pending;  // decoded, interleaved, not yet handed out
    size_t PendingFrames = 0;    // of Pending, already handed out or discarded
    uint64_t Position = 0;       // the sample frame the next Read starts at
    uint64_t DiscardFrames = 0;  // decoded ahead of a seek's target
    bool Draining = false;       // the container is read to its end
    bool Ended = false;          // by an error or the end: Read gives 0 until a seek
};

bool ApeDecoder::Open(std::unique_ptr<CodecBytes> bytes, const ApeHeaderClaims& claims) {
    Bytes = std::move(bytes);
    Io.Bytes = Bytes.get();
    auto* buffer = static_cast<uint8_t*>(av_malloc(IoBufferBytes));
    if (!buffer) return false;
    IoContext.reset(avio_alloc_context(buffer, IoBufferBytes, 0, &Io, ReadPacket, nullptr, SeekIo));
    if (!IoContext) {
        av_free(buffer);
        return false;
    }
    AVFormatContext* container = avformat_alloc_context();
    if (!container) return false;
    container->pb = IoContext.get();
    container->flags |= AVFMT_FLAG_CUSTOM_IO;
    // Only the APE demuxer: no probing, which would try every format
    // FFmpeg has on a host build.
    if (avformat_open_input(&container, nullptr, av_find_input_format("ape"), nullptr) < 0) return false;
    Container.reset(container);
    if (Container->nb_streams != 1) return false;
    const AVCodecParameters* parameters = Container->streams[0]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder) return false;
    Codec.reset(avcodec_alloc_context3(decoder));
    if (!Codec || avcodec_parameters_to_context(Codec.get(), parameters) < 0) return false;
    Codec->thread_count = 1;
    if (avcodec_open2(Codec.get(), decoder, nullptr) < 0) return false;
    if (Codec->ch_layout.nb_channels != static_cast<int>(claims.Channels) || !KnownSampleFormat(Codec->sample_fmt))
        return false;
    Packet.reset(av_packet_alloc());
    Frame.reset(av_frame_alloc());
    if (!Packet || !Frame) return false;
    BlocksPerFrame = claims.BlocksPerFrame;
    Info.SampleRate = claims.SampleRate;
    Info.Channels = claims.Channels;
    Info.BitsPerSample = claims.BitsPerSample;
    Info.Frames = claims.TotalBlocks;
    // The decoder gives its first block of samples (4608 frames at most)
    // cheaply: a header over no real audio is refused here, not at play.
    return DecodeMore();
}

bool ApeDecoder::DecodeMore() {
    for (;;) {
        int result = avcodec_receive_frame(Codec.get(), Frame.get());
        if (result == 0) {
            bool usable = Frame->ch_layout.nb_channels == static_cast<int>(Info.Channels) && KnownSampleFormat(Frame->format);
            if (usable) AppendSamples(*Frame, Info.Channels, Pending);
            av_frame_unref(Frame.get());
            return usable;
        }
        // A damaged frame ends the stream: what follows would play out of time.
        if (result != AVERROR(EAGAIN) || Draining) return false;
        if (av_read_frame(Container.get(), Packet.get()) < 0) {
            Draining = true;
            avcodec_send_packet(Codec.get(), nullptr);
            continue;
        }
        result = avcodec_send_packet(Codec.get(), Packet.get());
        av_packet_unref(Packet.get());
        if (result < 0) return false;
    }
}

uint32_t ApeDecoder::Read(float* samples, uint32_t frames) {
    uint32_t done = 0;
    const uint32_t channels = Info.Channels;
    while (done < frames && !Ended && Position < Info.Frames) {
        size_t available = Pending.size() / channels - PendingFrames;
        if (available == 0) {
            Pending.clear();
            PendingFrames = 0;
            if (!DecodeMore()) Ended = true;
            continue;
        }
        if (DiscardFrames > 0) {
            size_t skip = static_cast<size_t>(std::min<uint64_t>(DiscardFrames, available));
            PendingFrames += skip;
            DiscardFrames -= skip;
            continue;
        }
        uint64_t wanted = std::min<uint64_t>(frames - done, Info.Frames - Position);
        size_t take = static_cast<size_t>(std::min<uint64_t>(wanted, available));
        std::memcpy(samples + size_t{done} * channels, Pending.data() + PendingFrames * channels, take * channels * sizeof(float));
        PendingFrames += take;
        done += static_cast<uint32_t>(take);
        Position += take;
    }
    return done;
}

bool ApeDecoder::Seek(uint64_t frame) {
    if (frame > Info.Frames) return false;
    Pending.clear();
    PendingFrames = 0;
    Draining = false;
    Ended = false;
    Position = frame;
    DiscardFrames = 0;
    if (frame == Info.Frames) return true;  // nothing is left to read
    // Frames decode on their own: start at the one holding the sample and
    // throw away what comes before it.
    uint64_t frameStart = frame / BlocksPerFrame * BlocksPerFrame;
    if (av_seek_frame(Container.get(), 0, static_cast<int64_t>(frameStart), AVSEEK_FLAG_BACKWARD) < 0) {
        Ended = true;
        return false;
    }
    avcodec_flush_buffers(Codec.get());
    DiscardFrames = frame - frameStart;
    return true;
}

}  // namespace

bool IsApeFile(const CodecBytes& bytes) {
    std::vector<uint8_t> magic = ReadBlock(bytes, SkipId3v2Tags(bytes), 4);
    return !magic.empty() && ByteReader(magic).Match("MAC ");
}

bool ReadApeHeaderClaims(const CodecBytes& bytes, ApeHeaderClaims* claims) {
    ApeHeaderClaims c;
    c.JunkBytes = SkipId3v2Tags(bytes);
    if (!ReadHeaderFields(bytes, c.JunkBytes, &c)) return false;
    const uint64_t fileBytes = bytes.Size();
    if (c.Channels == 0 || c.Channels > MaxChannels || c.SampleRate == 0) return false;
    if (c.BitsPerSample != 8 && c.BitsPerSample != 16 && c.BitsPerSample != 24) return false;
    if (c.BlocksPerFrame == 0 || c.BlocksPerFrame > MaxBlocksPerFrame) return false;
    if (c.FinalFrameBlocks == 0 || c.FinalFrameBlocks > c.BlocksPerFrame) return false;
    if (c.TotalFrames == 0 || c.TotalFrames > fileBytes / FrameTableBytesPerFrame) return false;
    if (c.SeekTableBytes / SeekEntryBytes < c.TotalFrames) return false;
    if (c.FirstFrameStart > fileBytes) return false;
    // Each frame's size is the gap to the next one's offset: offsets inside
    // the file, in order, keep every packet FFmpeg allocates within the file.
    std::vector<uint8_t> table = ReadBlock(bytes, c.SeekTableStart, uint64_t{c.TotalFrames} * SeekEntryBytes);
    if (table.empty()) return false;
    ByteReader entries(table);
    uint64_t previous = c.FirstFrameStart;
    entries.Skip(SeekEntryBytes);  // the first frame starts after the header, whatever its entry says
    for (uint32_t i = 1; i < c.TotalFrames; ++i) {
        uint64_t offset = entries.U32LE() + c.JunkBytes;
        if (offset < previous || offset > fileBytes) return false;
        previous = offset;
    }
    c.TotalBlocks = uint64_t{c.TotalFrames - 1} * c.BlocksPerFrame + c.FinalFrameBlocks;
    *claims = c;
    return true;
}

std::unique_ptr<CodecSource> OpenApeDecoder(std::unique_ptr<CodecBytes> bytes) {
    if (!bytes) return nullptr;
    ApeHeaderClaims claims;
    if (!ReadApeHeaderClaims(*bytes, &claims)) return nullptr;
    av_log_set_level(AV_LOG_QUIET);
    auto decoder = std::make_unique<ApeDecoder>();
    if (!decoder->Open(std::move(bytes), claims)) return nullptr;
    return decoder;
}
