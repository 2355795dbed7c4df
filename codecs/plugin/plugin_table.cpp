#include "codecs/plugin/plugin_table.h"

#include <string_view>

namespace {

uint32_t FrameBytes(const CodecSource& source) { return source.Format().Channels * sizeof(float); }

}  // namespace

void* OpenCodecFile(CodecOpener open, CodecRecogniser recognise, const wchar_t* path, TamberPcmFormat* format,
                    QWORD* lengthBytes) {
    try {
        if (!path || !format || !lengthBytes) return nullptr;
        static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows paths are UTF-16");
        InputFile file(std::u16string_view(reinterpret_cast<const char16_t*>(path)), FileSharing::DenyWriters);
        std::unique_ptr<CodecBytes> bytes = FileBytes(std::move(file));
        if (!bytes) return nullptr;
        bool recognised = recognise(*bytes);
        std::unique_ptr<CodecSource> source = open(std::move(bytes));
        if (!source) {
            if (recognised) format->Flags |= TamberFormatRecognised;
            return nullptr;
        }
        const CodecFormat& info = source->Format();
        format->SampleRate = info.SampleRate;
        format->Channels = info.Channels;
        format->SampleType = TamberSampleFloat32;
        format->BitsPerSample = info.BitsPerSample;
        *lengthBytes = info.Frames * FrameBytes(*source);
        return source.release();
    } catch (...) {
        return nullptr;
    }
}

DWORD BASSAPI ReadCodec(void* decoder, void* buffer, DWORD bytes) {
    try {
        auto* source = static_cast<CodecSource*>(decoder);
        uint32_t frames = bytes / FrameBytes(*source);
        return source->Read(static_cast<float*>(buffer), frames) * FrameBytes(*source);
    } catch (...) {
        return 0;
    }
}

BOOL BASSAPI SeekCodec(void* decoder, QWORD positionBytes) {
    try {
        auto* source = static_cast<CodecSource*>(decoder);
        if (positionBytes % FrameBytes(*source) != 0) return FALSE;
        return source->Seek(positionBytes / FrameBytes(*source)) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

void BASSAPI CloseCodec(void* decoder) { delete static_cast<CodecSource*>(decoder); }
