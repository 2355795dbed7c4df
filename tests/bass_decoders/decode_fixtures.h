#pragma once
// The decode fixtures (tests/fixtures/decode/make_fixtures.sh), their
// reference decodes, and the figures that compare a decode with them.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "bass/decoders/decoder.h"

namespace decodetest {

enum class Match {
    BitExact,  // lossless: equal integers at the file's bit depth
    Aligned,   // lossy, same decoder family: no offset, small difference
    NearFrame, // lossy, seeks land within one codec frame of the place
};

struct Fixture {
    const char* File;
    uint32_t Rate;
    uint32_t Channels;
    uint64_t Frames;        // as references.tsv gives them
    int Bits;               // for BitExact: the integer scale
    Match Kind;
    double MaxDiffDb;       // lossy: the difference to the reference, in dB of the reference
    double SeekMaxDiffDb;   // the same over the first frames after a seek
    uint32_t SeekSlack;     // frames a seek may land off its place
};

// The limits, with about 5 dB to spare:
// - Vorbis meets oggdec's 16-bit output; with the signal's level (about
//   -22 dBFS) that quantisation alone is -80 dB.
// - Opus meets the same libopus, in float: equal, until a seek. opusfile
//   restarts the decoder 80 ms early, and CELT's predicted band energies take
//   another 100 ms or so to agree with a decode from the start: the first
//   4096 frames differ by -22 to -30 dB, at the right place (a frame's shift
//   is -12 dB for this signal; the lag search tells them apart).
// - The MP3s meet ffmpeg's decoder, which agrees with libmpg123 to -120 dB.
inline const Fixture Fixtures[] = {
    {"signal.flac", 44100, 2, 132300, 16, Match::BitExact, 0, 0, 0},
    {"hires_24_96.flac", 96000, 2, 48000, 24, Match::BitExact, 0, 0, 0},
    {"mono_8.flac", 22050, 1, 44100, 8, Match::BitExact, 0, 0, 0},
    {"signal.ogg", 44100, 2, 132300, 0, Match::Aligned, -75, -75, 0},
    {"signal.opus", 48000, 2, 144000, 0, Match::Aligned, -100, -17, 0},
    {"signal_48k.opus", 48000, 2, 144000, 0, Match::Aligned, -100, -17, 0},
    {"signal_cbr.mp3", 44100, 2, 132300, 0, Match::NearFrame, -100, -100, 1152},
    {"signal_vbr.mp3", 44100, 2, 132300, 0, Match::NearFrame, -100, -100, 1152},
    {"signal_vbr_noxing.mp3", 44100, 2, 133632, 0, Match::NearFrame, -100, -100, 1152},
};

// gtest names a failing case by this, not by the record's bytes.
inline void PrintTo(const Fixture& f, std::ostream* os) { *os << f.File; }

std::string FixturePath(const char* file);
std::vector<uint8_t> LoadFixture(const char* file);

struct Reference {
    uint32_t Rate = 0;
    uint32_t Channels = 0;
    std::vector<float> Samples;  // interleaved
    uint64_t Frames() const { return Channels ? Samples.size() / Channels : 0; }
};
// Decoded once per process by the Linux tools; empty when they are missing.
const Reference& ReferenceFor(const char* file);

// The library's decoders over bytes in memory.
DecoderInfo OpenBytes(const std::vector<uint8_t>& bytes);
// Reads until the end, in pieces of an odd size so that no decoder's own
// block size lines up; stops after maxFrames.
std::vector<float> ReadAll(Decoder& decoder, uint32_t channels, uint64_t maxFrames);

// How a decode lines up with the reference: the lag (frames the decode is
// late by) within +-window that best matches, and the difference there.
struct Alignment {
    int64_t Lag = 0;
    double DiffDb = 0;   // energy of the difference over that of the reference
    double NeighbourDb = 0;  // the same one frame off: how clearly the lag stands out
    uint64_t Compared = 0;
};
// decoded starts at reference frame `at`.
Alignment Align(const std::vector<float>& decoded, const Reference& ref, uint64_t at, int64_t window);

// Samples (of frames times channels) that differ as integers of `bits` bits.
uint64_t IntegerMismatches(const std::vector<float>& decoded, const Reference& ref, uint64_t at, int bits,
    uint64_t* firstMismatch);

}  // namespace decodetest
