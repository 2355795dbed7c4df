#pragma once
// The library's own decoders of compressed files, over decoder libraries
// linked in: they play on every system, with or without its codecs.
// Each opens by the file's headers only (a refusal costs no decode) and
// gives the exact length; an empty Source means the file is not of its kind
// or cannot be played.

#include <cstdint>

#include "bass/decoders/decoder.h"
#include "bass/riff_parser.h"

DecoderInfo OpenFlacDecoder(const ReadAtFn& read, uint64_t fileBytes);
DecoderInfo OpenVorbisDecoder(const ReadAtFn& read, uint64_t fileBytes);
DecoderInfo OpenOpusDecoder(const ReadAtFn& read, uint64_t fileBytes);
// countFrames: the file has no frame count in a header (Xing, Info, VBRI),
// so its frames are read once to give the exact length and seek points.
DecoderInfo OpenMpegDecoder(const ReadAtFn& read, uint64_t fileBytes, bool countFrames);

// The decoder for what the file's headers say it is (stream_probe's kinds);
// empty for kinds these decoders leave to the system or to plug-ins.
DecoderInfo OpenBuiltInDecoder(const ReadAtFn& read, uint64_t fileBytes);
