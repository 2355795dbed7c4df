#pragma once
// Sources of decoded audio for the library's streams: interleaved 32-bit
// float samples, nominally -1..1, whatever the file holds.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// One open file. Not thread-safe: the stream that owns it serialises every call.
// A decoder keeps the format it opened with: one whose source changes format
// mid-stream converts to it.
class Decoder {
public:
    virtual ~Decoder() = default;
    // Fills up to frames sample frames; 0 at the end or on an error.
    virtual uint32_t Read(float* samples, uint32_t frames) = 0;
    // Moves to a sample frame. False when the source cannot; the position is
    // then unknown and reading ends.
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
};

// Our own RIFF/WAVE reader: PCM 8/16/24/32-bit and 32-bit float. Never
// touches Media Foundation. offset/length select part of the file
// (length 0: to the end). ErrorCode BASS_ERROR_FILEFORM when the file is no WAV.
DecoderInfo OpenWavDecoder(const std::wstring& path, uint64_t offset, uint64_t length);

// The format and length of a compressed file from its container's headers
// (stream_probe), when they give the length exactly; Source stays empty.
// Creating a decoder costs far more than this, and a folder scan makes a
// stream per file only to read its length.
bool ProbeFile(const std::wstring& path, DecoderInfo* info);

// Media Foundation's source reader (MP3, AAC, FLAC, WMA, Ogg ... whatever the
// system decodes). StartMediaFoundation binds and starts it once; false when
// the system has none. ErrorCode BASS_ERROR_FILEFORM when no source reader
// could be created (no Media Foundation, or no source for the file),
// BASS_ERROR_CODEC when the reader exists but yields no 16-bit PCM.
bool StartMediaFoundation();
DecoderInfo OpenMediaFoundationDecoder(const std::wstring& path);

// Decoders of loaded codec plug-ins, tried in load order.
int LoadCodecPlugin(const std::wstring& path, uint32_t* handle);  // BASS error code, 0 on success
DecoderInfo OpenPluginDecoder(const std::wstring& path);

// Makes a stream's decoder when it is first needed (see ProbeFile).
using DecoderOpener = std::function<DecoderInfo()>;
