#pragma once
// A file's decoded format and length from its container's own figures,
// without a decoder. Portable, like riff_parser.

#include <cstdint>

#include "bass/riff_parser.h"

struct ProbedStream {
    uint32_t SampleRate = 0;
    uint32_t Channels = 0;
    uint64_t Frames = 0;  // sample frames of the decoded audio
};

// True when the file is FLAC, Ogg Vorbis/Opus, MP4, ASF or MP3 and its
// headers give the length exactly (a FLAC STREAMINFO sample count, the last
// Ogg granule, the MP4 media duration, the ASF play duration, an MP3 Xing or
// VBRI frame count, or the MP3's frames counted). False for anything else, including
// headers that leave the length open.
bool ProbeStream(const ReadAtFn& read, uint64_t fileBytes, ProbedStream* probed);
