// Monkey's Audio stream header and the APEv2 tag at the end of a file
// (before an ID3v1 tag, when there is one).

#include "metadata/ape.h"
#include "metadata/byte_reader.h"
#include "metadata/record_file.h"
#include "metadata/id3v1.h"
#include "metadata/id3v2.h"
#include "metadata/read_limits.h"
#include "metadata/stream_text.h"
#include "metadata/text.h"
#include "metadata/track_info.h"
#include "platform/file_reader.h"
#include "platform/input_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::string_view MacMagic = "MAC";
constexpr size_t MacHeaderBytes = 76;        // enough for the newest layout
constexpr size_t NewLayoutSkipBytes = 46;    // from after the version to the header data
constexpr uint16_t NewLayoutVersion = 3980;
constexpr size_t OldLayoutSkipBytes = 8;     // header and terminating byte counts

constexpr std::string_view FooterMagic = "APETAGEX";
constexpr size_t FooterBytes = 32;
constexpr size_t FooterTagSizeOffset = 12;
constexpr size_t ItemHeaderBytes = 8;        // value size and flags
constexpr size_t MaxKeyBytes = 255;          // keys are 2 to 255 ASCII characters

constexpr std::string_view CoverKey = "Cover Art (Front)";
constexpr std::string_view YearKey = "Year";

struct ApeItemField {
    std::string_view Key;
    std::string TrackInfo::*Field;
};
constexpr ApeItemField ApeTextFields[] = {
    {"Album", &TrackInfo::Album},     {"Artist", &TrackInfo::Artist}, {"Copyright", &TrackInfo::Copyright},
    {"Comment", &TrackInfo::Comment}, {"Genre", &TrackInfo::Genre},   {"Title", &TrackInfo::Title},
    {"Track", &TrackInfo::Track},     {"Lyrics", &TrackInfo::Lyrics},
};

// Older encoders did not store blocks per frame; it follows from the version
// (and, for 3.80 to 3.89, the compression level).
uint32_t OldBlocksPerFrame(uint16_t version, uint16_t compressionLevel)
{
    if (version >= 3950)
        return 73728 * 4;
    if (version >= 3900 || (version >= 3800 && compressionLevel == 4000))
        return 73728;
    return 9216;
}

void ReadMacHeader(std::span<const uint8_t> bytes, TrackInfo& info)
{
    ByteReader reader(bytes);
    if (!reader.Match(MacMagic))
        return;
    reader.Skip(1);
    const uint16_t version = reader.U16LE();
    uint32_t blocksPerFrame = 0, finalFrameBlocks = 0, totalFrames = 0, sampleRate = 0;
    uint16_t bitsPerSample = 0, channels = 0;
    if (version >= NewLayoutVersion) {
        reader.Skip(NewLayoutSkipBytes);
        reader.U16LE();  // compression level
        reader.U16LE();  // format flags
        blocksPerFrame = reader.U32LE();
        finalFrameBlocks = reader.U32LE();
        totalFrames = reader.U32LE();
        bitsPerSample = reader.U16LE();
        channels = reader.U16LE();
        sampleRate = reader.U32LE();
    } else {
        const uint16_t compressionLevel = reader.U16LE();
        reader.U16LE();  // format flags
        channels = reader.U16LE();
        sampleRate = reader.U32LE();
        reader.Skip(OldLayoutSkipBytes);
        totalFrames = reader.U32LE();
        finalFrameBlocks = reader.U32LE();
        blocksPerFrame = OldBlocksPerFrame(version, compressionLevel);
    }
    if (reader.Failed())
        return;  // a cut header says nothing reliable

    const uint64_t totalSamples =
        totalFrames == 0 ? 0 : static_cast<uint64_t>(totalFrames - 1) * blocksPerFrame + finalFrameBlocks;
    info.DurationText = SampleDurationText(totalSamples, sampleRate);
    if (channels == 1)
        info.ChannelsText = MonoText;
    else if (channels == 2)
        info.ChannelsText = StereoText;
    info.SampleRateText = std::to_string(sampleRate);
    info.BitRateText = std::to_string(bitsPerSample);
    info.Encoder = "Monkey's Audio " + FormatDecimal(version / 1000.0);
}

// Walks the items of [position, end) by their declared sizes, so a key is
// only ever matched as a whole key, never inside another item. Values are
// read only for the keys looked for, and only below their cap.
void ReadApeItems(FileReader& reader, uint64_t end, TrackInfo& info)
{
    while (reader.Position() <= end && end - reader.Position() >= ItemHeaderBytes) {
        std::array<uint8_t, ItemHeaderBytes> header{};
        if (!reader.ReadExact(header))
            return;
        const uint32_t valueBytes = ByteReader(header).U32LE();  // the flags after it are not needed
        const uint64_t keyStart = reader.Position();
        // A key without its NUL within the longest a key may be ends the walk.
        std::array<uint8_t, MaxKeyBytes + 1> keyBytes{};
        const std::span<const uint8_t> keyArea = std::span(keyBytes).first(
            reader.Read(std::span(keyBytes).first(std::min<uint64_t>(keyBytes.size(), end - keyStart))));
        const auto keyEnd = std::find(keyArea.begin(), keyArea.end(), uint8_t{0});
        if (keyEnd == keyArea.end())
            return;
        const std::string_view key(reinterpret_cast<const char*>(keyArea.data()),
                                   static_cast<size_t>(keyEnd - keyArea.begin()));
        // A value running past the item area is cut there.
        const uint64_t valueStart = keyStart + key.size() + 1;
        const uint64_t valueLength = std::min<uint64_t>(valueBytes, end - valueStart);
        reader.Seek(valueStart);

        const auto field = std::find_if(std::begin(ApeTextFields), std::end(ApeTextFields),
                                        [&](const ApeItemField& f) { return EqualsIgnoreCase(key, f.Key); });
        if (EqualsIgnoreCase(key, CoverKey) && valueLength <= MaxPictureBytes) {
            // A binary item: the picture's file name, a NUL, the picture.
            std::vector<uint8_t> value = ReadItemBytes(reader, valueLength);
            const auto nameEnd = std::find(value.begin(), value.end(), uint8_t{0});
            if (nameEnd != value.end()) {
                const size_t pictureStart = static_cast<size_t>(nameEnd - value.begin()) + 1;
                const std::span<const uint8_t> picture = std::span<const uint8_t>(value).subspan(pictureStart);
                TakePicture(std::move(value), picture, info);
            }
        } else if (EqualsIgnoreCase(key, YearKey) && valueLength <= MaxTextBytes) {
            info.Year = BytesToText(ReadItemBytes(reader, valueLength));  // stored as is: years are digits
        } else if (field != std::end(ApeTextFields) && valueLength <= MaxTextBytes) {
            info.*field->Field = Utf8ToText(ReadItemBytes(reader, valueLength));
        }
        reader.Seek(valueStart + valueLength);
    }
}

}  // namespace

int ReadApeFile(std::string_view path, TrackInfo& info)
{
    return WithoutThrowing([&] { return ReadApeFile(OpenAndResetRecord(path, info), info); });
}

int ReadApeFile(const InputFile& file, TrackInfo& info)
{
    if (!file.IsOpen())
        return 0;
    const int tail = std::max(Id3v1TagLength(file), 0);  // the APEv2 tag ends before it
    const int start = std::max(Id3v2TagLength(file), 0);  // the audio starts after it
    FileReader reader(file);

    reader.Seek(static_cast<uint64_t>(start));
    ReadMacHeader(reader.ReadBytes(MacHeaderBytes), info);

    const uint64_t fileBytes = file.Size();
    if (fileBytes < static_cast<uint64_t>(tail) + FooterBytes)
        return 0;
    const uint64_t footerStart = fileBytes - static_cast<uint64_t>(tail) - FooterBytes;
    reader.Seek(footerStart);
    std::array<uint8_t, FooterBytes> footer{};
    if (!reader.ReadExact(footer) || std::memcmp(footer.data(), FooterMagic.data(), FooterMagic.size()) != 0)
        return 0;
    ByteReader footerReader(footer);
    footerReader.Skip(FooterTagSizeOffset);
    const uint32_t tagBytes = footerReader.U32LE();  // items plus footer
    if (tagBytes < FooterBytes || tagBytes - FooterBytes > footerStart)
        return 0;  // a size that does not fit before the footer
    reader.Seek(footerStart - (tagBytes - FooterBytes));
    ReadApeItems(reader, footerStart, info);
    return 1;
}
