// Which decoder plays a file: decided by its headers, so that a file nothing
// here can decode is refused when its stream is created, not heard as silence.

#include <memory>
#include <string>

#include "bass/bass_api.h"
#include "bass/decoder.h"
#include "bass/decoders/builtin_decoders.h"
#include "bass/stream_probe.h"
#include "platform/input_file.h"

namespace {

// A file shared by the decoder that reads it and the reads made before one exists.
struct DecodedFile {
    std::shared_ptr<InputFile> File;
    ReadAtFn Read;
};

DecodedFile OpenForDecoding(const std::wstring& path) {
    std::u16string wide(path.begin(), path.end());
    auto file = std::make_shared<InputFile>(wide, FileSharing::AllowAll);
    if (!file->IsOpen()) return {};
    ReadAtFn read = [file](uint64_t at, uint8_t* buffer, uint32_t bytes) {
        return static_cast<uint32_t>(file->ReadAt(at, std::span<uint8_t>(buffer, bytes)));
    };
    return {std::move(file), std::move(read)};
}

bool IsMediaFoundationContainer(StreamKind kind) { return kind == StreamKind::Mp4Aac || kind == StreamKind::Asf; }

// The plug-ins, then whatever the system decodes.
DecoderInfo OpenOtherDecoder(const std::wstring& path) {
    DecoderInfo info = OpenPluginDecoder(path);
    if (info.Source || info.Recognised) return info;
    DecoderInfo system = OpenMediaFoundationDecoder(path);
    return system.Source ? std::move(system) : std::move(info);
}

}  // namespace

DecoderChoice ChooseDecoder(const std::wstring& path, uint64_t offset, uint64_t length, bool prescan) {
    DecoderChoice choice;
    choice.Info = OpenWavDecoder(path, offset, length);
    if (choice.Info.ErrorCode != BASS_ERROR_FILEFORM) return choice;  // a WAV, or no file at all

    DecodedFile file = OpenForDecoding(path);
    if (!file.File) {
        choice.Info.ErrorCode = BASS_ERROR_FILEOPEN;
        return choice;
    }
    uint64_t fileBytes = file.File->Size();
    DecoderInfo builtIn = OpenBuiltInDecoder(file.Read, fileBytes);
    if (builtIn.Source) {
        choice.Info = std::move(builtIn);
        return choice;
    }

    ProbedStream probed;
    bool exactLength = ProbeStream(file.Read, fileBytes, &probed);
    if (!IsMediaFoundationContainer(probed.Kind)) {
        choice.Info = OpenOtherDecoder(path);
    } else if (exactLength && !prescan && StartMediaFoundation()) {
        choice.Info = DecoderInfo{};
        choice.Info.SampleRate = probed.SampleRate;
        choice.Info.Channels = probed.Channels;
        choice.Info.Frames = probed.Frames;
        choice.OpenLater = [path] { return OpenMediaFoundationDecoder(path); };
        return choice;
    } else {
        choice.Info = OpenMediaFoundationDecoder(path);
    }
    if (!choice.Info.Source && choice.Info.ErrorCode == 0) choice.Info.ErrorCode = BASS_ERROR_FILEFORM;
    return choice;
}
