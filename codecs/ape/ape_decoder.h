#pragma once
// Monkey's Audio (8-, 16- and 24-bit, mono or stereo) through FFmpeg's APE
// demuxer and decoder, which read the file only through InputFile. The
// length is the header's sample count; seeks land on the exact sample.

#include <cstdint>
#include <memory>

#include "codecs/codec_source.h"

// Null when the file is no Monkey's Audio file, or its header claims more
// than the file can hold (FFmpeg allocates by those claims).
std::unique_ptr<CodecSource> OpenApeDecoder(std::unique_ptr<CodecBytes> bytes);

// True when a Monkey's Audio header ("MAC ") follows the file's ID3v2 tags,
// whether or not the rest can be played.
bool IsApeFile(const CodecBytes& bytes);

// The figures of a Monkey's Audio header that decide what FFmpeg allocates
// and how long the stream is, read from the first bytes of the file.
struct ApeHeaderClaims {
    uint32_t Version = 0;
    uint32_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t BitsPerSample = 0;
    uint32_t BlocksPerFrame = 0;
    uint32_t FinalFrameBlocks = 0;
    uint32_t TotalFrames = 0;
    uint64_t TotalBlocks = 0;     // sample frames of the decoded audio
    uint64_t SeekTableStart = 0;  // file offsets
    uint64_t SeekTableBytes = 0;
    uint64_t FirstFrameStart = 0;
    uint64_t JunkBytes = 0;       // ID3v2 tags ahead of the header
};

// False when the file has no Monkey's Audio header FFmpeg would take, or its
// claims do not fit the file.
bool ReadApeHeaderClaims(const CodecBytes& bytes, ApeHeaderClaims* claims);
