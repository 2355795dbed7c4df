// The file side of our own WAV decoding (the layout comes from riff_parser).

#include <algorithm>
#include <utility>
#include <vector>

#include "bass/bass_api.h"
#include "bass/decoder.h"
#include "bass/riff_parser.h"

namespace {

constexpr uint32_t ReadChunkFrames = 4096;

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : H(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { if (Valid()) CloseHandle(H); }
    bool Valid() const { return H != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return H; }
    uint32_t ReadAt(uint64_t offset, uint8_t* buffer, uint32_t bytes) const {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD read = 0;
        if (!SetFilePointerEx(H, at, nullptr, FILE_BEGIN) || !ReadFile(H, buffer, bytes, &read, nullptr)) return 0;
        return read;
    }

private:
    HANDLE H;
};

class WavDecoder final : public Decoder {
public:
    WavDecoder(std::unique_ptr<FileHandle> file, const WavLayout& layout) : File(std::move(file)), Layout(layout) {}

    uint32_t Read(float* samples, uint32_t framesWanted) override {
        uint32_t sourceBlock = Layout.SourceBlockBytes();
        uint64_t framesLeft = (Layout.DataBytes - SourcePos) / sourceBlock;
        uint32_t done = 0;
        while (framesWanted > 0 && framesLeft > 0) {
            uint32_t frames = static_cast<uint32_t>(std::min<uint64_t>({framesWanted, framesLeft, ReadChunkFrames}));
            Scratch.resize(static_cast<size_t>(frames) * sourceBlock);
            frames = File->ReadAt(Layout.DataOffset + SourcePos, Scratch.data(), frames * sourceBlock) / sourceBlock;
            if (frames == 0) break;  // the file is shorter than its header says
            ConvertWavSamples(Layout, Scratch.data(), samples + size_t{done} * Layout.Channels, frames * Layout.Channels);
            SourcePos += uint64_t{frames} * sourceBlock;
            done += frames;
            framesWanted -= frames;
            framesLeft -= frames;
        }
        return done;
    }

    bool Seek(uint64_t frame) override {
        if (frame > Layout.Frames()) return false;
        SourcePos = frame * Layout.SourceBlockBytes();
        return true;
    }

private:
    std::unique_ptr<FileHandle> File;
    WavLayout Layout;
    uint64_t SourcePos = 0;
    std::vector<uint8_t> Scratch;
};

}  // namespace

DecoderInfo OpenWavDecoder(const std::wstring& path, uint64_t offset, uint64_t length) {
    DecoderInfo info;
    auto file = std::make_unique<FileHandle>(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file->Valid()) {
        info.ErrorCode = BASS_ERROR_FILEOPEN;
        return info;
    }
    info.ErrorCode = BASS_ERROR_FILEFORM;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file->Get(), &size)) return info;
    uint64_t end = static_cast<uint64_t>(size.QuadPart);
    if (offset > end) return info;
    if (length != 0 && length < end - offset) end = offset + length;

    WavLayout layout;
    const FileHandle& reader = *file;
    if (!ParseWav([&](uint64_t at, uint8_t* buffer, uint32_t bytes) { return reader.ReadAt(at, buffer, bytes); },
                  offset, end, &layout))
        return info;
    info.SampleRate = layout.SampleRate;
    info.Channels = layout.Channels;
    info.ChannelMask = layout.ChannelMask;
    info.HighResolution = layout.BitsPerSample > 16;
    info.Frames = layout.Frames();
    info.Source = std::make_unique<WavDecoder>(std::move(file), layout);
    info.ErrorCode = 0;
    return info;
}
