#include "bass/stream_probe.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "metadata/byte_reader.h"
#include "metadata/mpeg.h"
#include "metadata/ogg.h"
#include "metadata/wma.h"

namespace {

constexpr uint32_t MaxChannels = 8;
constexpr uint32_t MaxSampleRate = 768000;
constexpr double HundredNsPerSecond = 1e7;
constexpr uint64_t MaxHundredNs = uint64_t{1} << 50;  // some 3.5 years: beyond it a duration is noise

// Up to bytes from offset, fewer at the end of the file; never more than the file holds.
std::vector<uint8_t> ReadBlock(const ReadAtFn& read, uint64_t offset, uint64_t fileBytes, uint32_t bytes) {
    if (offset >= fileBytes) return {};
    bytes = static_cast<uint32_t>(std::min<uint64_t>(bytes, fileBytes - offset));
    std::vector<uint8_t> block(bytes);
    block.resize(std::min(read(offset, block.data(), bytes), bytes));
    return block;
}

bool Accept(uint32_t rate, uint32_t channels, uint64_t frames, ProbedStream* probed) {
    if (rate == 0 || rate > MaxSampleRate || channels == 0 || channels > MaxChannels || frames == 0) return false;
    probed->SampleRate = rate;
    probed->Channels = channels;
    probed->Frames = frames;
    return true;
}

uint64_t FramesOf(uint64_t hundredNs, uint32_t rate) {
    return static_cast<uint64_t>(static_cast<double>(hundredNs) / HundredNsPerSecond * rate);
}

// ---- ID3v2, ahead of MP3 and sometimes FLAC ----

constexpr uint32_t Id3v2HeaderBytes = 10;
constexpr uint8_t Id3v2FooterFlag = 0x10;

// Bytes of the ID3v2 tag at the start of the file, 0 when there is none.
uint64_t Id3v2Bytes(const ReadAtFn& read, uint64_t fileBytes) {
    std::vector<uint8_t> h = ReadBlock(read, 0, fileBytes, Id3v2HeaderBytes);
    if (h.size() < Id3v2HeaderBytes || std::memcmp(h.data(), "ID3", 3) != 0) return 0;
    uint32_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (h[i] & 0x80) return 0;  // sizes are syncsafe
        size = size << 7 | h[i];
    }
    return Id3v2HeaderBytes + uint64_t{size} + (h[5] & Id3v2FooterFlag ? Id3v2HeaderBytes : 0);
}

// ---- FLAC ----

constexpr uint32_t FlacStreamInfoBytes = 34;
constexpr uint32_t FlacStreamInfoType = 0;

bool ProbeFlac(const ReadAtFn& read, uint64_t start, uint64_t fileBytes, ProbedStream* probed) {
    std::vector<uint8_t> block = ReadBlock(read, start, fileBytes, 4 + 4 + FlacStreamInfoBytes);
    ByteReader r(block);
    if (!r.Match("fLaC")) return false;
    uint8_t type = r.U8() & 0x7F;
    uint32_t length = r.U24BE();
    r.Skip(2 + 2 + 3 + 3);  // block and frame size limits
    // 20 bits rate, 3 bits channels - 1, 5 bits bits per sample - 1, 36 bits samples
    uint64_t packed = uint64_t{r.U32BE()} << 32;
    packed |= r.U32BE();
    if (r.Failed() || type != FlacStreamInfoType || length < FlacStreamInfoBytes) return false;
    probed->Kind = StreamKind::Flac;
    uint32_t rate = static_cast<uint32_t>(packed >> 44);
    uint32_t channels = static_cast<uint32_t>(packed >> 41 & 0x7) + 1;
    uint64_t samples = packed & 0xFFFFFFFFFull;  // 0: unknown
    return Accept(rate, channels, samples, probed);
}

// ---- Ogg Vorbis and Opus ----

constexpr uint32_t OggMaxSegments = 255;
constexpr uint32_t OggFirstPacketBytes = 32;  // enough of an identification header
constexpr uint32_t OggMaxPageBytes = OggPageHeaderBytes + OggMaxSegments + OggMaxSegments * 255;
constexpr uint32_t OpusOutputRate = 48000;  // whatever the input rate was

bool ProbeOgg(const ReadAtFn& read, uint64_t fileBytes, ProbedStream* probed) {
    std::vector<uint8_t> head = ReadBlock(read, 0, fileBytes, OggPageHeaderBytes + OggMaxSegments + OggFirstPacketBytes);
    ByteReader r(head);
    OggPageHeader first;
    if (!ReadOggPageHeader(r, first) || first.Version != 0 || !(first.Type & OggBeginOfStream) || !r.Skip(first.Segments))
        return false;
    uint32_t rate = 0, channels = 0;
    uint64_t preSkip = 0;
    if (r.Match("\x01vorbis")) {
        probed->Kind = StreamKind::Vorbis;
        r.Skip(4);  // version
        channels = r.U8();
        rate = r.U32LE();
    } else if (r.Match("OpusHead")) {
        probed->Kind = StreamKind::Opus;
        r.Skip(1);  // version
        channels = r.U8();
        preSkip = r.U16LE();
        rate = OpusOutputRate;
    } else {
        return false;
    }
    if (r.Failed()) return false;

    // The last page of this stream carries the final granule position: the
    // number of samples decoded. It lies within the last page's size of the end.
    uint64_t tailStart = fileBytes - std::min<uint64_t>(fileBytes, OggMaxPageBytes);
    std::vector<uint8_t> tail = ReadBlock(read, tailStart, fileBytes, OggMaxPageBytes);
    const auto last = FindLastOggPage(tail, [&](const OggPageHeader& page) {
        return page.Version == 0 && page.Serial == first.Serial && page.Granule != OggNoGranule;
    });
    return last && last->Granule > preSkip && Accept(rate, channels, last->Granule - preSkip, probed);
}

// ---- MP4 ----

constexpr uint32_t Mp4BoxHeaderBytes = 8;
constexpr uint32_t Mp4LargeBoxHeaderBytes = 16;
constexpr uint32_t Mp4MaxBoxesPerLevel = 4096;  // a walk through more is a hostile file
constexpr uint32_t Mp4FullBoxBytes = 4;      // version, flags
constexpr uint32_t Mp4SampleEntryBytes = 8;  // reserved, data reference index

struct Mp4Box {
    uint64_t Body = 0;
    uint64_t End = 0;
};

// The first box of type within [begin, end).
bool FindMp4Box(const ReadAtFn& read, uint64_t begin, uint64_t end, const char* type, Mp4Box* found) {
    uint64_t pos = begin;
    for (uint32_t i = 0; i < Mp4MaxBoxesPerLevel && end - pos >= Mp4BoxHeaderBytes; ++i) {
        std::vector<uint8_t> h = ReadBlock(read, pos, end, Mp4LargeBoxHeaderBytes);
        ByteReader r(h);
        uint64_t size = r.U32BE();
        std::span<const uint8_t> id = r.Span(4);
        uint64_t header = Mp4BoxHeaderBytes;
        if (size == 1) {
            size = uint64_t{r.U32BE()} << 32;
            size |= r.U32BE();
            header = Mp4LargeBoxHeaderBytes;
        } else if (size == 0) {
            size = end - pos;  // to the end of the parent
        }
        if (r.Failed() || size < header || size > end - pos) return false;
        if (std::memcmp(id.data(), type, 4) == 0) {
            *found = {pos + header, pos + size};
            return true;
        }
        pos += size;
    }
    return false;
}

// Follows a path of nested boxes, e.g. {"mdia", "minf"}.
bool FindMp4Path(const ReadAtFn& read, Mp4Box parent, std::initializer_list<const char*> path, Mp4Box* found) {
    for (const char* type : path) {
        if (!FindMp4Box(read, parent.Body, parent.End, type, &parent)) return false;
    }
    *found = parent;
    return true;
}

// Timescale and duration of an mvhd or mdhd box.
bool ReadMp4Duration(const ReadAtFn& read, const Mp4Box& box, uint32_t* timescale, uint64_t* duration) {
    std::vector<uint8_t> body = ReadBlock(read, box.Body, box.End, 4 + 8 + 8 + 4 + 8);
    ByteReader r(body);
    uint8_t version = r.U8();
    r.Skip(3);
    if (version == 1) {
        r.Skip(8 + 8);  // creation, modification
        *timescale = r.U32BE();
        *duration = uint64_t{r.U32BE()} << 32;
        *duration |= r.U32BE();
    } else {
        r.Skip(4 + 4);
        *timescale = r.U32BE();
        *duration = r.U32BE();
    }
    return !r.Failed() && *timescale != 0 && *duration != 0 && *duration / *timescale * HundredNsPerSecond < MaxHundredNs;
}

constexpr uint32_t Mp4AudioSampleEntryBytes = Mp4SampleEntryBytes + 20;  // before the entry's own boxes
constexpr uint32_t Mp4MaxEsdsBytes = 256;
constexpr uint8_t EsDescriptorTag = 0x03;
constexpr uint8_t DecoderConfigTag = 0x04;
constexpr uint8_t DecoderSpecificInfoTag = 0x05;
constexpr uint8_t EsDependsOnFlag = 0x80, EsUrlFlag = 0x40, EsOcrStreamFlag = 0x20;
constexpr uint32_t AacObjectTypeEscape = 31;
constexpr uint32_t AacObjectSbr = 5, AacObjectPs = 29;  // decoded at other rates or channels than the core's
constexpr uint32_t AacExplicitRateIndex = 15;
constexpr uint32_t AacSampleRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                         22050, 16000, 12000, 11025, 8000, 7350};
constexpr uint32_t AacMaxChannelConfig = 7;  // 7 means 7.1: eight channels

// A descriptor's tag and body; its size is a 7-bit-per-byte count.
bool ReadDescriptor(ByteReader& r, uint8_t tag, ByteReader* body) {
    if (r.U8() != tag) return false;
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i) {
        uint8_t b = r.U8();
        size = size << 7 | (b & 0x7F);
        if (!(b & 0x80)) break;
    }
    *body = r.Sub(size);
    return !r.Failed();
}

// Rate and channels from an esds box's AudioSpecificConfig: the sample entry's
// own fields are unreliable (writers put 2 channels for mono AAC).
bool ReadAacConfig(std::span<const uint8_t> esds, uint32_t* rate, uint32_t* channels) {
    ByteReader r(esds);
    r.Skip(Mp4FullBoxBytes);
    ByteReader es, config, info;
    if (!ReadDescriptor(r, EsDescriptorTag, &es)) return false;
    es.Skip(2);  // ES id
    uint8_t flags = es.U8();
    if (flags & EsDependsOnFlag) es.Skip(2);
    if (flags & EsUrlFlag) es.Skip(es.U8());
    if (flags & EsOcrStreamFlag) es.Skip(2);
    if (!ReadDescriptor(es, DecoderConfigTag, &config)) return false;
    config.Skip(1 + 1 + 3 + 4 + 4);  // object type, stream type, buffer size, bit rates
    if (!ReadDescriptor(config, DecoderSpecificInfoTag, &info)) return false;
    // 5 bits object type (31: 6 more), 4 bits rate index (15: 24-bit rate), 4 bits channels
    uint64_t bits = 0;
    std::span<const uint8_t> head = info.Span(std::min<size_t>(info.Remaining(), 8));
    for (size_t i = 0; i < 8; ++i) bits = bits << 8 | (i < head.size() ? head[i] : 0);
    int at = 64;
    auto take = [&](int n) {
        at -= n;
        return static_cast<uint32_t>(bits >> at & ((uint64_t{1} << n) - 1));
    };
    uint32_t objectType = take(5);
    if (objectType == AacObjectTypeEscape) objectType = 32 + take(6);
    uint32_t rateIndex = take(4);
    uint32_t explicitRate = rateIndex == AacExplicitRateIndex ? take(24) : 0;
    uint32_t channelConfig = take(4);
    if (head.size() < 2 || objectType == AacObjectSbr || objectType == AacObjectPs) return false;
    if (channelConfig == 0 || channelConfig > AacMaxChannelConfig) return false;  // 0: a program config element decides
    *channels = channelConfig == AacMaxChannelConfig ? 8 : channelConfig;
    *rate = rateIndex == AacExplicitRateIndex ? explicitRate : rateIndex < 13 ? AacSampleRates[rateIndex] : 0;
    return *rate != 0;
}

bool ProbeMp4Track(const ReadAtFn& read, const Mp4Box& trak, uint32_t* rate, uint32_t* channels, uint32_t* timescale,
                   uint64_t* duration) {
    Mp4Box hdlr, mdhd, stsd;
    if (!FindMp4Path(read, trak, {"mdia", "hdlr"}, &hdlr)) return false;
    std::vector<uint8_t> handler = ReadBlock(read, hdlr.Body, hdlr.End, Mp4FullBoxBytes + 4 + 4);
    if (handler.size() < Mp4FullBoxBytes + 8 || std::memcmp(handler.data() + Mp4FullBoxBytes + 4, "soun", 4) != 0)
        return false;
    if (!FindMp4Path(read, trak, {"mdia", "mdhd"}, &mdhd) || !ReadMp4Duration(read, mdhd, timescale, duration))
        return false;
    if (!FindMp4Path(read, trak, {"mdia", "minf", "stbl", "stsd"}, &stsd)) return false;
    // Only AAC: other codecs in MP4 may have no decoder here, and creation
    // should refuse them rather than make a silent stream.
    Mp4Box mp4a, esds;
    uint64_t entries = stsd.Body + Mp4FullBoxBytes + 4;  // entry count
    if (stsd.End < entries || !FindMp4Box(read, entries, stsd.End, "mp4a", &mp4a)) return false;
    if (mp4a.End - mp4a.Body < Mp4AudioSampleEntryBytes ||
        !FindMp4Box(read, mp4a.Body + Mp4AudioSampleEntryBytes, mp4a.End, "esds", &esds))
        return false;
    std::vector<uint8_t> config = ReadBlock(read, esds.Body, esds.End, Mp4MaxEsdsBytes);
    return ReadAacConfig(config, rate, channels);
}

bool ProbeMp4(const ReadAtFn& read, uint64_t fileBytes, ProbedStream* probed) {
    Mp4Box moov, mvhd;
    if (!FindMp4Box(read, 0, fileBytes, "moov", &moov)) return false;
    uint32_t movieScale = 0;
    uint64_t movieDuration = 0;
    bool haveMovie = FindMp4Box(read, moov.Body, moov.End, "mvhd", &mvhd) &&
                     ReadMp4Duration(read, mvhd, &movieScale, &movieDuration);
    uint64_t pos = moov.Body;
    Mp4Box trak;
    for (uint32_t i = 0; i < Mp4MaxBoxesPerLevel && FindMp4Box(read, pos, moov.End, "trak", &trak); ++i, pos = trak.End) {
        uint32_t rate = 0, channels = 0, timescale = 0;
        uint64_t duration = 0;
        if (!ProbeMp4Track(read, trak, &rate, &channels, &timescale, &duration)) continue;
        probed->Kind = StreamKind::Mp4Aac;
        // The movie's duration honours edit lists (the encoder's priming cut
        // off), as decoders do; the media's duration is the fallback.
        uint64_t hundredNs = haveMovie ? static_cast<uint64_t>(static_cast<double>(movieDuration) / movieScale * HundredNsPerSecond)
                                       : static_cast<uint64_t>(static_cast<double>(duration) / timescale * HundredNsPerSecond);
        return Accept(rate, channels, FramesOf(hundredNs, rate), probed);
    }
    return false;
}

// ---- ASF (WMA) ----

constexpr uint32_t AsfObjectHeaderBytes = 24;      // GUID, size
constexpr uint32_t AsfHeaderObjectBytes = 30;      // + object count, two reserved bytes
constexpr uint32_t AsfMaxHeaderObjects = 1024;
constexpr uint32_t AsfFilePropertiesBytes = AsfObjectHeaderBytes + 68;        // up to the flags
constexpr uint32_t AsfStreamPropertiesBytes = AsfObjectHeaderBytes + 54 + 8;  // up to the WAVEFORMATEX's rate
constexpr uint64_t HundredNsPerMs = 10000;
constexpr uint32_t AsfWmaFirstFormatTag = 0x0160;  // WMA 1; then 2, Pro and Lossless
constexpr uint32_t AsfWmaLastFormatTag = 0x0163;

bool IsGuid(std::span<const uint8_t> bytes, const AsfGuid& guid) {
    return bytes.size() == guid.size() && std::equal(bytes.begin(), bytes.end(), guid.begin());
}

bool ProbeAsf(const ReadAtFn& read, uint64_t fileBytes, ProbedStream* probed) {
    std::vector<uint8_t> head = ReadBlock(read, 0, fileBytes, AsfHeaderObjectBytes);
    ByteReader r(head);
    if (!IsGuid(r.Span(16), AsfHeaderObjectId)) return false;
    probed->Kind = StreamKind::Asf;
    uint64_t headerEnd = std::min(r.U64LE(), fileBytes);
    uint32_t count = std::min(r.U32LE(), AsfMaxHeaderObjects);
    if (r.Failed()) return false;

    uint64_t playHundredNs = 0, prerollMs = 0;
    bool haveFile = false;
    uint32_t rate = 0, channels = 0;
    uint64_t pos = AsfHeaderObjectBytes;
    for (uint32_t i = 0; i < count && headerEnd > pos && headerEnd - pos >= AsfObjectHeaderBytes; ++i) {
        std::vector<uint8_t> object = ReadBlock(read, pos, headerEnd, std::max(AsfFilePropertiesBytes, AsfStreamPropertiesBytes));
        ByteReader o(object);
        std::span<const uint8_t> id = o.Span(16);
        uint64_t size = o.U64LE();
        if (o.Failed() || size < AsfObjectHeaderBytes || size > headerEnd - pos) return false;
        if (IsGuid(id, AsfFilePropertiesId)) {
            AsfFileProperties properties;
            haveFile = ReadAsfFileProperties(o, properties) && !properties.Broadcast;
            playHundredNs = properties.PlayDuration;
            prerollMs = properties.PrerollMs;
        } else if (IsGuid(id, AsfStreamPropertiesId) && channels == 0) {
            bool audio = IsGuid(o.Span(16), AsfAudioMediaId);
            o.Skip(16 + 8 + 4 + 4 + 2 + 4);  // error correction type, time offset, data lengths, flags, reserved
            uint32_t formatTag = o.U16LE();
            uint32_t streamChannels = o.U16LE();
            uint32_t streamRate = o.U32LE();
            // Only the WMA codecs every Windows decodes: for any other the
            // system is asked at creation, and may refuse the file.
            bool wma = formatTag >= AsfWmaFirstFormatTag && formatTag <= AsfWmaLastFormatTag;
            if (audio && wma && !o.Failed()) {
                channels = streamChannels;
                rate = streamRate;
            }
        }
        pos += size;
    }
    uint64_t prerollHundredNs = prerollMs < MaxHundredNs / HundredNsPerMs ? prerollMs * HundredNsPerMs : MaxHundredNs;
    if (!haveFile || playHundredNs >= MaxHundredNs || playHundredNs <= prerollHundredNs) return false;
    return Accept(rate, channels, FramesOf(playHundredNs - prerollHundredNs, rate), probed);
}

// ---- MP3 (MPEG audio) ----

constexpr uint32_t MpegSyncSearchBytes = 4096;  // junk tolerated before the first frame
constexpr uint32_t MpegMaxFrameBytes = 2881;    // layer II at 384 kbit/s and 8 kHz, with padding
constexpr uint32_t MpegFramesChecked = 3;       // consecutive matching frames before we believe the sync
constexpr uint32_t Id3v1Bytes = 128;
constexpr uint32_t VbriOffset = MpegFrameHeaderBytes + 32;

// ---- Tags after the audio: ID3v1, APEv2 and Lyrics3 in any order ----

constexpr uint32_t ApeFooterBytes = 32;
constexpr uint32_t ApeSizeOffset = 12;       // in the footer: tag bytes without a header
constexpr uint32_t ApeFlagsOffset = 20;
constexpr uint32_t ApeHasHeaderFlag = 0x80000000u;
constexpr uint32_t Lyrics3v2TrailerBytes = 6 + 9;  // six size digits, "LYRICS200"
constexpr uint32_t Lyrics3v1MaxBytes = 5100 + 11 + 9;
constexpr uint32_t MaxTailTags = 8;  // a loop guard: each pass removes one tag

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Where the audio ends: before the tags at the end of the file.
uint64_t AudioEnd(const ReadAtFn& read, uint64_t audioStart, uint64_t end) {
    for (uint32_t pass = 0; pass < MaxTailTags && end > audioStart; ++pass) {
        uint64_t room = end - audioStart;
        if (room >= Id3v1Bytes) {
            std::vector<uint8_t> tag = ReadBlock(read, end - Id3v1Bytes, end, 3);
            if (tag.size() == 3 && std::memcmp(tag.data(), "TAG", 3) == 0) {
                end -= Id3v1Bytes;
                continue;
            }
        }
        if (room >= ApeFooterBytes) {
            std::vector<uint8_t> f = ReadBlock(read, end - ApeFooterBytes, end, ApeFooterBytes);
            if (f.size() == ApeFooterBytes && std::memcmp(f.data(), "APETAGEX", 8) == 0) {
                uint64_t bytes = Le32(f.data() + ApeSizeOffset);
                if (Le32(f.data() + ApeFlagsOffset) & ApeHasHeaderFlag) bytes += ApeFooterBytes;
                if (bytes < ApeFooterBytes || bytes > room) return audioStart;  // a claim beyond the file
                end -= bytes;
                continue;
            }
        }
        if (room >= Lyrics3v2TrailerBytes) {
            std::vector<uint8_t> t = ReadBlock(read, end - Lyrics3v2TrailerBytes, end, Lyrics3v2TrailerBytes);
            if (t.size() == Lyrics3v2TrailerBytes && std::memcmp(t.data() + 6, "LYRICS200", 9) == 0) {
                uint64_t bytes = 0;
                for (int i = 0; i < 6; ++i) {
                    if (t[i] < '0' || t[i] > '9') return audioStart;
                    bytes = bytes * 10 + (t[i] - '0');
                }
                bytes += Lyrics3v2TrailerBytes;
                if (bytes > room) return audioStart;
                end -= bytes;
                continue;
            }
            if (std::memcmp(t.data() + 6, "LYRICSEND", 9) == 0) {
                // Version 1 has no size: find its start within the most it may hold.
                uint32_t span = static_cast<uint32_t>(std::min<uint64_t>(room, Lyrics3v1MaxBytes));
                std::vector<uint8_t> b = ReadBlock(read, end - span, end, span);
                static constexpr char Begin[] = "LYRICSBEGIN";
                auto it = std::search(b.begin(), b.end(), Begin, Begin + 11);
                if (it == b.end()) return end;
                end -= b.size() - static_cast<size_t>(it - b.begin());
                continue;
            }
        }
        break;
    }
    return end;
}

// ---- Counting MPEG frames ----

constexpr uint32_t CountBlockBytes = 64 * 1024;
constexpr uint32_t ResyncMaxBytes = 64 * 1024;  // junk between frames tolerated before giving up

bool SameStream(const MpegFrameHeader& a, const MpegFrameHeader& b) {
    return a.Version == b.Version && a.Layer == b.Layer && a.SampleRateHz == b.SampleRateHz;
}

// Decoded samples of the frames between start and end, counted frame by
// frame (reading only headers, in blocks): a VBR file's bit rate follows the
// music for minutes at a time, so no sample of its frames tells the length
// within a percent. Junk between frames is skipped when a frame of the same
// stream follows it; the count ends where the frames do.
uint64_t CountMpegSamples(const ReadAtFn& read, uint64_t start, uint64_t end, const MpegFrameHeader& first) {
    std::vector<uint8_t> block;
    uint64_t blockAt = 0, samples = 0, pos = start, junk = 0;
    while (pos + MpegFrameHeaderBytes <= end) {
        if (pos < blockAt || pos + MpegFrameHeaderBytes > blockAt + block.size()) {
            blockAt = pos;
            block = ReadBlock(read, pos, end, CountBlockBytes);
            if (block.size() < MpegFrameHeaderBytes) break;
        }
        MpegFrameHeader f;
        std::span<const uint8_t> header = std::span<const uint8_t>(block).subspan(static_cast<size_t>(pos - blockAt), MpegFrameHeaderBytes);
        if (ReadMpegFrameHeader(header, f) && SameStream(f, first) && f.FrameBytes > 0 &&
            static_cast<uint64_t>(f.FrameBytes) <= end - pos) {
            samples += static_cast<uint64_t>(f.SamplesPerFrame);
            pos += static_cast<uint64_t>(f.FrameBytes);
            junk = 0;
            continue;
        }
        if (++junk > ResyncMaxBytes) break;
        ++pos;
    }
    return samples;
}

bool ProbeMp3(const ReadAtFn& read, uint64_t start, uint64_t fileBytes, bool countFrames, ProbedStream* probed) {
    std::vector<uint8_t> block = ReadBlock(read, start, fileBytes, MpegSyncSearchBytes + MpegFramesChecked * MpegMaxFrameBytes);
    std::span<const uint8_t> bytes(block);
    for (size_t at = 0; at < MpegSyncSearchBytes && at + MpegFrameHeaderBytes <= bytes.size(); ++at) {
        MpegFrameHeader first;
        if (!ReadMpegFrameHeader(bytes.subspan(at), first) || first.FrameBytes <= 0) continue;
        // A sync is believed only when the frames that follow it agree.
        bool agree = true;
        size_t next = at + static_cast<size_t>(first.FrameBytes);
        for (uint32_t i = 1; i < MpegFramesChecked && agree; ++i) {
            MpegFrameHeader f;
            agree = next + MpegFrameHeaderBytes <= bytes.size() && ReadMpegFrameHeader(bytes.subspan(next), f) &&
                    SameStream(f, first) && f.FrameBytes > 0;
            next += static_cast<size_t>(f.FrameBytes);
        }
        if (!agree) continue;
        probed->Kind = StreamKind::Mpeg;
        if (!countFrames) return true;

        const uint32_t rate = static_cast<uint32_t>(first.SampleRateHz);
        const uint32_t channels = static_cast<uint32_t>(first.Channels);
        const uint64_t samplesPerFrame = static_cast<uint64_t>(first.SamplesPerFrame);
        MpegVbrCounts counts;
        const size_t xingAt = at + MpegFrameHeaderBytes + static_cast<size_t>(first.SideInfoBytes);
        if (xingAt <= bytes.size() && ReadMpegVbrHeader(bytes.subspan(xingAt), counts) && counts.HasFrames &&
            counts.Frames > 0)
            return Accept(rate, channels, uint64_t{counts.Frames} * samplesPerFrame, probed);
        const size_t vbriAt = std::min(bytes.size(), at + VbriOffset);
        if (ByteReader(bytes.subspan(vbriAt)).Match("VBRI"))
            return ReadMpegVbrHeader(bytes.subspan(vbriAt), counts) &&
                   Accept(rate, channels, uint64_t{counts.Frames} * samplesPerFrame, probed);
        // No frame count: the frames themselves give it. Three frames of one
        // bit rate say nothing of the rest of a VBR file.
        uint64_t audioEnd = AudioEnd(read, start + at, fileBytes);
        if (audioEnd <= start + at) return false;
        uint64_t samples = CountMpegSamples(read, start + at, audioEnd, first);
        probed->FramesCounted = true;
        return Accept(rate, channels, samples, probed);
    }
    return false;
}

}  // namespace

namespace {

// lengths: false to learn only the kind (the MPEG frames are then not counted).
bool Probe(const ReadAtFn& read, uint64_t fileBytes, bool lengths, ProbedStream* probed) {
    *probed = ProbedStream{};
    std::vector<uint8_t> head = ReadBlock(read, 0, fileBytes, 16);
    auto at = [&](size_t offset, const char* text) {
        size_t n = std::strlen(text);
        return head.size() >= offset + n && std::memcmp(head.data() + offset, text, n) == 0;
    };
    if (at(0, "fLaC")) return ProbeFlac(read, 0, fileBytes, probed);
    if (at(0, "OggS")) return ProbeOgg(read, fileBytes, probed);
    if (at(4, "ftyp")) return ProbeMp4(read, fileBytes, probed);
    if (head.size() >= AsfHeaderObjectId.size() && IsGuid(std::span<const uint8_t>(head).first(16), AsfHeaderObjectId))
        return ProbeAsf(read, fileBytes, probed);
    uint64_t id3 = Id3v2Bytes(read, fileBytes);
    if (id3 >= fileBytes) return false;
    std::vector<uint8_t> audio = ReadBlock(read, id3, fileBytes, 4);
    if (audio.size() == 4 && std::memcmp(audio.data(), "fLaC", 4) == 0) return ProbeFlac(read, id3, fileBytes, probed);
    if (audio.size() >= 2 && audio[0] == 0xFF && (audio[1] & 0xE0) == 0xE0) return ProbeMp3(read, id3, fileBytes, lengths, probed);
    return false;
}

}  // namespace

bool ProbeStream(const ReadAtFn& read, uint64_t fileBytes, ProbedStream* probed) {
    return Probe(read, fileBytes, true, probed);
}

StreamKind SniffStream(const ReadAtFn& read, uint64_t fileBytes) {
    ProbedStream probed;
    Probe(read, fileBytes, false, &probed);
    return probed.Kind;
}
