// WMA: tags, codec and play length from the objects of the ASF header.

#include "metadata/wma.h"

#include "metadata/byte_reader.h"
#include "metadata/read_limits.h"
#include "metadata/record_file.h"
#include "metadata/stream_text.h"
#include "metadata/text.h"
#include "metadata/track_info.h"
#include "platform/file_reader.h"
#include "platform/input_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

const std::array<WmaAttributeName, 10> WmaAttributeNames = {{
    {"WM/AlbumTitle", WmaAttribute::Album},
    {"WM/EncodedBy", WmaAttribute::EncodedBy},
    {"WM/Genre", WmaAttribute::Genre},
    {"WM/Lyrics", WmaAttribute::Lyrics},
    {"WM/Year", WmaAttribute::Year},
    {"WM/URL", WmaAttribute::Url},
    {"WM/UserWebURL", WmaAttribute::UserWebUrl},
    {"WMFSDKVersion", WmaAttribute::SdkVersion},
    {"WM/TrackNumber", WmaAttribute::TrackNumber},
    {"WM/Picture", WmaAttribute::Picture},
}};

namespace {

constexpr size_t GuidBytes = 16;
constexpr size_t HeaderFieldBytes = 14;    // header size (8), object count (4), reserved (2)
constexpr size_t ObjectHeaderBytes = 24;   // identifier and 64-bit size
constexpr size_t CodecListSkipBytes = 22;  // reserved identifier, entry count, entry type
constexpr uint16_t DwordValueType = 3;
constexpr size_t PictureHeadBytes = 5;     // picture type and data length
constexpr uint64_t HundredNsPerMs = 10000;
constexpr size_t ContentDescriptionStrings = 5;  // title, author, copyright, description, rating

void ReadContentDescription(ByteReader body, TrackInfo& info)
{
    uint16_t lengths[ContentDescriptionStrings];
    for (uint16_t& length : lengths)
        length = body.U16LE();
    std::string TrackInfo::*const fields[ContentDescriptionStrings] = { &TrackInfo::Title, &TrackInfo::Artist,
        &TrackInfo::Copyright, &TrackInfo::Comment, nullptr };  // the rating is not shown
    for (size_t i = 0; i < ContentDescriptionStrings; ++i) {
        const std::span<const uint8_t> text = body.Span(lengths[i]);
        if (body.Failed())
            return;
        if (lengths[i] != 0 && fields[i])
            info.*fields[i] = Utf16ToText(text);
    }
}

void StoreAttribute(WmaAttribute attribute, uint16_t valueType, std::span<const uint8_t> value, TrackInfo& info)
{
    switch (attribute) {
    case WmaAttribute::Album: info.Album = Utf16ToText(value); break;
    case WmaAttribute::EncodedBy: info.Encoder = Utf16ToText(value); break;
    case WmaAttribute::Genre: info.Genre = Utf16ToText(value); break;
    case WmaAttribute::Lyrics: info.Lyrics = Utf16ToText(value); break;
    case WmaAttribute::Year: info.Year = Utf16ToText(value); break;
    case WmaAttribute::Url: info.Url = Utf16ToText(value); break;
    case WmaAttribute::UserWebUrl: info.Composer = Utf16ToText(value); break;
    case WmaAttribute::SdkVersion: info.SdkVersion = Utf16ToText(value); break;
    case WmaAttribute::TrackNumber:
        if (valueType == DwordValueType) {
            ByteReader number(value);
            const uint32_t track = number.U32LE();
            if (!number.Failed())
                info.Track = std::to_string(track);
        } else {
            info.Track = Utf16ToText(value);
        }
        break;
    case WmaAttribute::Picture: {
        ByteReader picture(value);
        picture.Skip(1);  // picture type
        const uint32_t dataBytes = picture.U32LE();
        if (picture.Failed() || dataBytes > value.size() - PictureHeadBytes)
            break;
        picture.Skip(value.size() - PictureHeadBytes - dataBytes);  // MIME type and description
        const std::span<const uint8_t> data = picture.Span(dataBytes);
        if (!picture.Failed())
            info.Picture.assign(data.begin(), data.end());
        break;
    }
    }
}

void ReadExtendedContentDescription(ByteReader body, TrackInfo& info)
{
    const uint16_t count = body.U16LE();
    for (uint16_t i = 0; i < count; ++i) {
        const std::span<const uint8_t> nameBytes = body.Span(body.U16LE());
        const uint16_t valueType = body.U16LE();
        const std::span<const uint8_t> value = body.Span(body.U16LE());
        if (body.Failed())
            return;
        if (value.empty())
            continue;
        const std::string name = Utf16ToText(nameBytes);
        const auto known = std::find_if(WmaAttributeNames.begin(), WmaAttributeNames.end(),
                                        [&](const WmaAttributeName& entry) { return entry.Name == name; });
        if (known != WmaAttributeNames.end())
            StoreAttribute(known->Attribute, valueType, value, info);
    }
}

// The pieces of text between commas; empty when it has fewer.
std::string_view Piece(std::string_view text, size_t index)
{
    for (size_t i = 0; i < index; ++i) {
        const size_t comma = text.find(',');
        if (comma == std::string_view::npos)
            return {};
        text.remove_prefix(comma + 1);
    }
    return text.substr(0, text.find(','));
}

void ReadCodecList(ByteReader body, TrackInfo& info)
{
    body.Skip(CodecListSkipBytes);
    const std::span<const uint8_t> name = body.Span(size_t{body.U16LE()} * 2);
    if (body.Failed())
        return;
    info.Encoder = Utf16ToText(name);
    const std::span<const uint8_t> descriptionBytes = body.Span(size_t{body.U16LE()} * 2);
    if (body.Failed())
        return;
    // For example "128 kbps, 44 kHz, stereo 1-pass CBR".
    const std::string description = Utf16ToText(descriptionBytes);
    const size_t commas = static_cast<size_t>(std::count(description.begin(), description.end(), ','));
    info.BitRateText = TrimText(Piece(description, 0));
    if (commas >= 1)
        info.SampleRateText = TrimText(Piece(description, 1));
    if (commas >= 2) {
        const std::string_view channels = Piece(description, 2);
        info.ChannelsText = channels.find("stereo") != std::string_view::npos ? StereoText
                            : channels.find("mono") != std::string_view::npos ? MonoText
                                                                              : UnknownText;
    }
}

void ReadFileProperties(ByteReader body, TrackInfo& info)
{
    AsfFileProperties properties;
    if (!ReadAsfFileProperties(body, properties) || properties.Broadcast)  // a broadcast has no fixed length
        return;
    info.DurationText = SecondsDurationText(
        (static_cast<double>(properties.PlayDuration / HundredNsPerMs) - static_cast<double>(properties.PrerollMs)) /
        1000);
}

bool SameGuid(std::span<const uint8_t> bytes, const AsfGuid& guid)
{
    return bytes.size() == GuidBytes && std::memcmp(bytes.data(), guid.data(), GuidBytes) == 0;
}

int ReadWma(const InputFile& file, TrackInfo& info)
{
    if (!file.IsOpen())
        return 0;
    FileReader reader(file);
    std::array<uint8_t, GuidBytes + HeaderFieldBytes> header{};
    if (!reader.ReadExact(header) || !SameGuid(std::span(header).first(GuidBytes), AsfHeaderObjectId))
        return 0;
    ByteReader fields(std::span<const uint8_t>(header).subspan(GuidBytes));
    const uint64_t headerBytes = fields.U64LE();
    const uint32_t objectCount = fields.U32LE();
    // The objects lie inside the header object; a header size that is no
    // size at all falls back to the file's end.
    const uint64_t end = headerBytes >= header.size() && headerBytes <= file.Size() ? headerBytes : file.Size();

    for (uint32_t i = 0; i < objectCount; ++i) {
        const uint64_t start = reader.Position();
        std::array<uint8_t, ObjectHeaderBytes> objectHeader{};
        if (end - start < ObjectHeaderBytes || !reader.ReadExact(objectHeader))
            break;
        ByteReader sizeReader(std::span<const uint8_t>(objectHeader).subspan(GuidBytes));
        const uint64_t size = static_cast<uint32_t>(sizeReader.U64LE());  // the low 32 bits are the size
        // An object smaller than its own header would be read again and again
        // (with the same result).
        if (size < ObjectHeaderBytes)
            break;
        // One past the header's end is the last: it is read as far as it
        // goes, so that the items wholly before the cut are kept.
        const bool last = size > end - start;
        const std::span<const uint8_t> id = std::span(objectHeader).first(GuidBytes);
        const bool known = SameGuid(id, AsfContentDescriptionId) || SameGuid(id, AsfExtendedContentDescriptionId) ||
                           SameGuid(id, AsfCodecListId) || SameGuid(id, AsfFilePropertiesId);
        if (known) {
            const uint64_t bodyBytes = std::min(std::min(size, end - start) - ObjectHeaderBytes, MaxAsfObjectBytes);
            const std::vector<uint8_t> body = ReadItemBytes(reader, bodyBytes);
            const ByteReader bodyReader(body);
            if (SameGuid(id, AsfContentDescriptionId))
                ReadContentDescription(bodyReader, info);
            else if (SameGuid(id, AsfExtendedContentDescriptionId))
                ReadExtendedContentDescription(bodyReader, info);
            else if (SameGuid(id, AsfCodecListId))
                ReadCodecList(bodyReader, info);
            else
                ReadFileProperties(bodyReader, info);
        }
        if (last)
            break;
        reader.Seek(start + size);
    }
    return 1;
}

}  // namespace

int ReadWmaFile(std::string_view path, TrackInfo& info)
{
    return WithoutThrowing([&] { return ReadWma(OpenAndResetRecord(path, info), info); });
}
