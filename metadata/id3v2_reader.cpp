#include "metadata/id3v2.h"
#include "metadata/read_limits.h"
#include "metadata/text.h"
#include "metadata/track_info.h"

#include "platform/file_reader.h"

#include <algorithm>
#include <array>

namespace {

constexpr size_t TagHeaderBytes = Id3v2HeaderBytes;
constexpr size_t MajorVersionOffset = 3;
constexpr size_t TagSizeOffset = 6;
constexpr uint8_t FirstV23Version = 3;  // below: v2.2 frames (3-byte ids)
constexpr uint8_t FirstSyncsafeFrameVersion = 4;
constexpr size_t V22FrameHeaderBytes = 6;
constexpr size_t V23FrameHeaderBytes = 10;
constexpr size_t LanguageBytes = 3;
constexpr size_t Pic22FormatBytes = 3;
constexpr size_t PictureTypeBytes = 1;

constexpr uint8_t EncodingLatin = 0;
constexpr uint8_t EncodingUtf16 = 1;     // BOM first; little-endian without one
constexpr uint8_t EncodingUtf16Be = 2;   // big-endian, no BOM
constexpr uint8_t EncodingUtf8 = 3;

constexpr char16_t ByteOrderMark = 0xFEFF;
constexpr char16_t SwappedByteOrderMark = 0xFFFE;

constexpr size_t NotFound = static_cast<size_t>(-1);

uint32_t Syncsafe(const uint8_t* b)
{
    return (b[0] & 0x7Fu) << 21 | (b[1] & 0x7Fu) << 14 | (b[2] & 0x7Fu) << 7 | (b[3] & 0x7Fu);
}

bool IsUtf16(uint8_t encoding) { return encoding == EncodingUtf16 || encoding == EncodingUtf16Be; }

// Index just past the terminator of a string at the start of bytes: one 0x00
// byte, or for UTF-16 a 0x0000 unit in 2-byte steps. NotFound without one.
size_t SkipTerminated(std::span<const uint8_t> bytes, uint8_t encoding)
{
    if (IsUtf16(encoding)) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            if (bytes[i] == 0 && bytes[i + 1] == 0)
                return i + 2;
        return NotFound;
    }
    const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    return nul == bytes.end() ? NotFound : static_cast<size_t>(nul - bytes.begin()) + 1;
}

// Code page 936 bytes (what Chinese writers put in "Latin-1" frames); NUL
// separators of several values are dropped so the values run together.
std::string LatinToText(std::span<const uint8_t> bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const uint8_t b : bytes)
        if (b != 0)
            text.push_back(static_cast<char>(b));
    return BytesToText({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

// UTF-16 strings, each optionally led by a BOM that sets its byte order.
// Zero units (value separators) and BOMs add nothing; everything else,
// surrogate pairs included, is converted as one text.
std::string Utf16ValuesToText(std::span<const uint8_t> bytes, bool bigEndian)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    bool atValueStart = true;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(bigEndian ? bytes[i] << 8 | bytes[i + 1] : bytes[i] | bytes[i + 1] << 8);
        if (unit == 0) {
            atValueStart = true;
            continue;
        }
        if (unit == ByteOrderMark)
            continue;
        if (unit == SwappedByteOrderMark) {
            if (atValueStart)  // a BOM of the other order: this value is the other way round
                bigEndian = !bigEndian;
            continue;
        }
        atValueStart = false;
        units.push_back(unit);
    }
    return Utf16ToText(std::u16string_view(units));
}

std::string Utf8ValueToText(std::span<const uint8_t> bytes)
{
    constexpr std::array<uint8_t, 3> Utf8Bom = {0xEF, 0xBB, 0xBF};
    if (bytes.size() >= Utf8Bom.size() && std::equal(Utf8Bom.begin(), Utf8Bom.end(), bytes.begin()))
        bytes = bytes.subspan(Utf8Bom.size());
    return Utf8ToText(bytes);  // stops at the first NUL: the first value
}

std::string DecodeText(std::span<const uint8_t> bytes, uint8_t encoding)
{
    switch (encoding) {
    case EncodingLatin:
        return LatinToText(bytes);
    case EncodingUtf16:
        return Utf16ValuesToText(bytes, false);
    case EncodingUtf16Be:
        return Utf16ValuesToText(bytes, true);
    case EncodingUtf8:
        return Utf8ValueToText(bytes);
    default:
        return {};
    }
}

struct FrameRule {
    std::string_view Id;     // v2.3 and later
    std::string_view Id22;   // v2.2
    std::string TrackInfo::*Field;
    Id3Body Layout;
};

const std::array<FrameRule, 12> TextFrames = {{
    {"TIT2", "TT2", &TrackInfo::Title, Id3Body::Text},
    {"TPE1", "TP1", &TrackInfo::Artist, Id3Body::Text},
    {"TALB", "TAL", &TrackInfo::Album, Id3Body::Text},
    {"COMM", "COM", &TrackInfo::Comment, Id3Body::LanguageText},
    {"TRCK", "TRK", &TrackInfo::Track, Id3Body::Text},
    {"TYER", "TYE", &TrackInfo::Year, Id3Body::Text},
    {"TCOM", "TCM", &TrackInfo::Composer, Id3Body::Text},
    {"TENC", "TEN", &TrackInfo::Encoder, Id3Body::Text},
    {"TCOP", "TCR", &TrackInfo::Copyright, Id3Body::Text},
    {"WXXX", "WXX", &TrackInfo::Url, Id3Body::UrlWithDescription},
    {"TCON", "TCO", &TrackInfo::Genre, Id3Body::Text},  // "(13)" stays as written
    {"USLT", "ULT", &TrackInfo::Lyrics, Id3Body::LanguageText},
}};
constexpr std::string_view YearFrameId = "TYER";
constexpr std::string_view RecordingTimeId = "TDRC";  // v2.4 date, used when no TYER
constexpr std::string_view PictureId = "APIC";
constexpr std::string_view PictureId22 = "PIC";

}  // namespace

std::string Id3TextToText(std::span<const uint8_t> body, Id3Body layout)
{
    if (body.empty())
        return {};
    const uint8_t encoding = body[0];
    if (encoding > EncodingUtf8)
        return {};
    std::span<const uint8_t> rest = body.subspan(1);
    if (layout == Id3Body::LanguageText) {
        if (rest.size() < LanguageBytes)
            return {};
        rest = rest.subspan(LanguageBytes);  // any three letters
        // The field is the text after the description; without a terminator
        // the writer left the description out and all of it is text.
        const size_t textStart = SkipTerminated(rest, encoding);
        if (textStart != NotFound)
            rest = rest.subspan(textStart);
    } else if (layout == Id3Body::UrlWithDescription) {
        // The description is in the frame's encoding, the address always Latin-1.
        const size_t urlStart = SkipTerminated(rest, encoding);
        if (urlStart != NotFound)
            return BytesToText(rest.subspan(urlStart));
    }
    return DecodeText(rest, encoding);
}

std::span<const uint8_t> Id3PictureBytes(std::span<const uint8_t> body, bool pic22)
{
    if (body.empty())
        return {};
    const uint8_t encoding = body[0];
    size_t pos = 1;
    if (pic22) {
        pos += Pic22FormatBytes;
    } else {
        const size_t mimeEnd = SkipTerminated(body.subspan(pos), EncodingLatin);
        if (mimeEnd == NotFound)
            return {};
        pos += mimeEnd;
    }
    pos += PictureTypeBytes;
    if (pos > body.size())
        return {};
    const std::span<const uint8_t> rest = body.subspan(pos);
    const size_t pictureStart = SkipTerminated(rest, IsUtf16(encoding) ? encoding : EncodingLatin);
    if (pictureStart == NotFound)
        return {};
    return rest.subspan(pictureStart);
}

int Id3v2TagLength(std::span<const uint8_t> firstBytes)
{
    if (firstBytes.size() < TagHeaderBytes || firstBytes[0] != 'I' || firstBytes[1] != 'D' || firstBytes[2] != '3')
        return 0;
    return static_cast<int>(Syncsafe(&firstBytes[TagSizeOffset]) + TagHeaderBytes);
}

int Id3v2TagLength(const InputFile& file)
{
    std::array<uint8_t, TagHeaderBytes> header{};
    const size_t read = file.ReadAt(0, header);
    return Id3v2TagLength(std::span<const uint8_t>(header).first(read));
}

int Id3v2TagLength(std::string_view path)
{
    return Id3v2TagLength(InputFile(path));
}

int ReadId3v2Tag(std::string_view path, TrackInfo& info)
{
    return WithoutThrowing([&] { return ReadId3v2Tag(InputFile(path), info); });
}

int ReadId3v2Tag(const InputFile& file, TrackInfo& info)
{
    if (!file.IsOpen())
        return 0;
    FileReader reader(file);
    std::array<uint8_t, TagHeaderBytes> header{};
    const size_t headerRead = reader.Read(header);
    if (headerRead < 3 || header[0] != 'I' || header[1] != 'D' || header[2] != '3')
        return 0;
    if (headerRead < header.size())
        return 1;  // a tag too short to hold a frame

    const uint8_t major = header[MajorVersionOffset];
    const bool v22 = major < FirstV23Version;
    const bool syncsafeFrames = major >= FirstSyncsafeFrameVersion;
    const size_t frameHeaderBytes = v22 ? V22FrameHeaderBytes : V23FrameHeaderBytes;
    const size_t idBytes = v22 ? 3 : 4;
    // A tag size past the end of the file ends the walk at the end of the file.
    const uint64_t tagEnd = std::min<uint64_t>(Syncsafe(&header[TagSizeOffset]) + TagHeaderBytes, file.Size());

    bool sawYear = false;
    bool sawRecordingTime = false;
    std::string recordingTime;
    std::array<uint8_t, V23FrameHeaderBytes> frameHeader{};
    // Every frame consumes at least its header, so the walk always progresses.
    while (reader.Position() <= tagEnd && tagEnd - reader.Position() >= frameHeaderBytes) {
        if (!reader.ReadExact(std::span(frameHeader).first(frameHeaderBytes)))
            break;
        const auto* idBegin = reinterpret_cast<const char*>(frameHeader.data());
        std::string_view id(idBegin, idBytes);
        id = id.substr(0, id.find('\0'));
        const uint8_t* sizeBytes = &frameHeader[idBytes];
        int64_t size = 0;
        if (v22)
            size = sizeBytes[0] << 16 | sizeBytes[1] << 8 | sizeBytes[2];
        else if (syncsafeFrames)
            size = Syncsafe(sizeBytes);
        else  // v2.3: plain and signed; negative sizes read no body
            size = static_cast<int32_t>(static_cast<uint32_t>(sizeBytes[0]) << 24 | sizeBytes[1] << 16 |
                                        sizeBytes[2] << 8 | sizeBytes[3]);
        if (size <= 0)
            continue;  // padding: walked one header at a time
        // A frame never reaches past its tag.
        const uint64_t bodyBytes = std::min<uint64_t>(static_cast<uint64_t>(size), tagEnd - reader.Position());

        const FrameRule* rule = nullptr;
        for (const FrameRule& candidate : TextFrames)
            if (id == (v22 ? candidate.Id22 : candidate.Id))
                rule = &candidate;
        const bool isPicture = id == (v22 ? PictureId22 : PictureId);
        const bool isRecordingTime = !v22 && id == RecordingTimeId;
        // Frames no field uses, and frames above their cap, are passed unread.
        if ((!rule && !isPicture && !isRecordingTime) || bodyBytes > (isPicture ? MaxPictureBytes : MaxTextBytes)) {
            reader.Skip(bodyBytes);
            continue;
        }
        std::vector<uint8_t> body = ReadItemBytes(reader, bodyBytes);
        if (rule) {
            info.*(rule->Field) = Id3TextToText(body, rule->Layout);
            sawYear = sawYear || rule->Id == YearFrameId;
        } else if (isRecordingTime) {
            recordingTime = Id3TextToText(body);
            sawRecordingTime = true;
        } else {
            const std::span<const uint8_t> picture = Id3PictureBytes(body, v22);
            TakePicture(std::move(body), picture, info);
        }
    }
    if (sawRecordingTime && !sawYear)
        info.Year = recordingTime;
    return 1;
}
