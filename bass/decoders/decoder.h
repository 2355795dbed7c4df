#pragma once
// Sources of decoded audio for the library's streams: interleaved 32-bit
// float samples, nominally -1..1, whatever the file holds. Portable: the
// library's own decoders build and are tested on any system.

#include <cstdint>
#include <functional>
#include <memory>

// One open file. Not thread-safe: the stream that owns it serialises every call.
// A decoder keeps the format it opened with: one whose source changes format
// mid-stream converts to it.
class Decoder {
public:
    virtual ~Decoder() = default;
    // Fills up to frames sample frames; 0 at the end or on an error.
    virtual uint32_t Read(float* samples, uint32_t frames) = 0;
    // Moves to a sample frame, so that the next Read starts exactly there.
    // False when the source cannot; the position is then unknown and reading ends.
    virtual bool Seek(uint64_t frame) = 0;
};

struct DecoderInfo {
    std::unique_ptr<Decoder> Source;
    uint32_t SampleRate = 0;
    uint32_t Channels = 0;
    uint32_t ChannelMask = 0;     // speaker positions, 0 when the file names none
    bool HighResolution = false;  // more than 16 bits (24-bit, 32-bit, float)
    uint64_t Frames = 0;          // of the decoded audio
    int ErrorCode = 0;            // BASS_ERROR_* when Source is empty
    // Source is empty, but the decoder knew the file for one of its own
    // format (damaged, hostile): no other decoder should be asked about it.
    bool Recognised = false;
};

// Makes a stream's decoder when it is first needed (see ChooseDecoder).
using DecoderOpener = std::function<DecoderInfo()>;

// Rates and channel counts beyond these are hostile files, not music.
constexpr uint32_t DecoderMaxChannels = 8;
constexpr uint32_t DecoderMaxSampleRate = 768000;

// A length a header claims is believed up to a week of audio: beyond that
// it is a hostile or broken field (a FLAC sample count or Xing frame count
// at its maximum, an Ogg granule near 2^63), and the decoder counts the
// audio itself or refuses the file.
constexpr uint64_t DecoderMaxSeconds = 7 * 24 * 3600;
inline bool PlausibleLength(uint64_t frames, uint32_t sampleRate) {
    return frames != 0 && frames / DecoderMaxSeconds <= sampleRate;
}
