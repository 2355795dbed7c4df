#pragma once
// The Version 2 plug-in table around a portable core, shared by the cod_*.dll
// files: float samples, exact lengths. Nothing escapes these calls: the
// library's stream thread calls them, and an exception there would end the
// player.

#include <memory>

#include "bass/bass_api.h"
#include "codecs/codec_source.h"

using CodecOpener = std::unique_ptr<CodecSource> (*)(std::unique_ptr<CodecBytes> bytes);
// True when the file is of the core's format, whether or not it can be played.
using CodecRecogniser = bool (*)(const CodecBytes& bytes);

// Open for a plug-in whose core opener is open. A file recognise knows and
// open refuses gets TamberFormatRecognised.
void* OpenCodecFile(CodecOpener open, CodecRecogniser recognise, const wchar_t* path, TamberPcmFormat* format,
                    QWORD* lengthBytes);
DWORD BASSAPI ReadCodec(void* decoder, void* buffer, DWORD bytes);
BOOL BASSAPI SeekCodec(void* decoder, QWORD positionBytes);
void BASSAPI CloseCodec(void* decoder);
