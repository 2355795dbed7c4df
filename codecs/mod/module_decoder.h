#pragma once
// Tracker modules (XM, IT, S3M, MOD) rendered by libopenmpt to 44.1 kHz
// stereo float. The length is the renderer's own duration of the song,
// played once; Read hands out exactly that many frames.

#include <memory>

#include "codecs/codec_source.h"

constexpr uint32_t ModuleSampleRate = 44100;
// Larger files are refused: the module is read into memory whole, and the
// largest real modules stay well under this.
constexpr uint64_t MaxModuleBytes = 64ull << 20;

// Null when libopenmpt cannot load the file, or it is another of the many
// formats libopenmpt knows (only the four above are played here).
std::unique_ptr<CodecSource> OpenModuleDecoder(std::unique_ptr<CodecBytes> bytes);
