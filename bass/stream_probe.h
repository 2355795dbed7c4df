#pragma once
// A file's decoded format and length from its container's own figures,
// without a decoder. Portable, like riff_parser.

#include <cstdint>

#include "bass/riff_parser.h"

// What the headers say the file holds; set even when they leave the length open.
enum class StreamKind { Unknown, Flac, Vorbis, Opus, Mpeg, Mp4Aac, Asf };

struct ProbedStream {
    uint32_t SampleRate = 0;
    uint32_t Channels = 0;
    uint64_t Frames = 0;  // sample frames of the decoded audio
    StreamKind Kind = StreamKind::Unknown;
    bool FramesCounted = false;  // MPEG: no header gave the frame count; the frames were read
};

// True when the file is FLAC, Ogg Vorbis/Opus, MP4, ASF or MP3 and its
// headers give the length exactly (a FLAC STREAMINFO sample count, the last
// Ogg granule, the MP4 media duration, the ASF play duration, an MP3 Xing or
// VBRI frame count, or the MP3's frames counted). False for anything else, including
// headers that leave the length open.
bool ProbeStream(const ReadAtFn& read, uint64_t fileBytes, ProbedStream* probed);

// The kind alone, from the first bytes (and the MPEG frames that must agree):
// never reads the whole file.
StreamKind SniffStream(const ReadAtFn& read, uint64_t fileBytes);
