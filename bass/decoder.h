#pragma once
// Sources of decoded audio for the library's streams: interleaved 32-bit
// float samples, nominally -1..1, whatever the file holds.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "bass/decoders/decoder.h"

// Our own RIFF/WAVE reader: PCM 8/16/24/32-bit and 32-bit float. Never
// touches Media Foundation. offset/length select part of the file
// (length 0: to the end). ErrorCode BASS_ERROR_FILEFORM when the file is no WAV.
DecoderInfo OpenWavDecoder(const std::wstring& path, uint64_t offset, uint64_t length);

// Media Foundation's source reader (AAC and ALAC in MP4, WMA: what every
// Windows ships; and whatever else the system decodes). StartMediaFoundation binds and starts it once; false when
// the system has none. ErrorCode BASS_ERROR_FILEFORM when no source reader
// could be created (no Media Foundation, or no source for the file),
// BASS_ERROR_CODEC when the reader exists but yields no 16-bit PCM.
bool StartMediaFoundation();
DecoderInfo OpenMediaFoundationDecoder(const std::wstring& path);

// Decoders of loaded codec plug-ins, tried in load order.
int LoadCodecPlugin(const std::wstring& path, uint32_t* handle);  // BASS error code, 0 on success
DecoderInfo OpenPluginDecoder(const std::wstring& path);

// The decoder a file plays through, by what its headers say it is: WAV and
// the library's own decoders (FLAC, Ogg Vorbis and Opus, MPEG audio) first,
// then Media Foundation for MP4 and ASF, the plug-ins, and Media Foundation
// for whatever else the system may decode. A file none of them takes is
// refused (Source and OpenLater empty, ErrorCode set).
// Where Media Foundation plays an MP4 or ASF file whose headers give the
// exact length, its decoder is made only at the first play (OpenLater):
// creating one costs far more than reading headers, and a folder scan makes
// a stream per file only to read its length. prescan makes it now.
struct DecoderChoice {
    DecoderInfo Info;
    DecoderOpener OpenLater;
};
DecoderChoice ChooseDecoder(const std::wstring& path, uint64_t offset, uint64_t length, bool prescan);
