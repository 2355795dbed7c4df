#pragma once
// Tracker modules (XM, IT, S3M, MOD) rendered by libxmp to 44.1 kHz 16-bit
// stereo, handed out as float. The length is the renderer's own duration of
// the song, played once; Read hands out exactly that many frames.

#include <memory>

#include "codecs/codec_source.h"

constexpr uint32_t ModuleSampleRate = 44100;
// Larger files are refused: the module is read into memory whole, and the
// largest real modules stay well under this.
constexpr uint64_t MaxModuleBytes = 64ull << 20;

// Null when the file is none of the four formats, libxmp cannot load it, or
// its song takes no time.
std::unique_ptr<CodecSource> OpenModuleDecoder(std::unique_ptr<CodecBytes> bytes);

// True when the file starts as one of the four formats, whether or not it can be played.
bool IsModuleFile(const CodecBytes& bytes);
