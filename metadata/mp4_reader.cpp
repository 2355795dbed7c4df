// MP4/M4A: the iTunes-style item list under moov/udta/meta/ilst. Stream
// properties are not read for these files.

#include "metadata/byte_reader.h"
#include "metadata/flac.h"
#include "metadata/read_limits.h"
#include "metadata/text.h"
#include "metadata/track_info.h"
#include "platform/file_reader.h"
#include "platform/input_file.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

constexpr size_t AtomHeaderBytes = 8;      // size and type
constexpr size_t LargeSizeBytes = 8;       // follows the header when the size is 1
constexpr int32_t LargeSizeMarker = 1;
constexpr size_t EmptySizeStep = 4;        // a size of 0 or less steps over 4 bytes
constexpr size_t DataAtomHeaderBytes = 16;  // size, "data", type indicator, locale
constexpr size_t FreeformNameSkipBytes = 4;  // version and flags before the name
constexpr size_t FreeformValueSkipBytes = 8;  // type indicator and locale
constexpr size_t FreeformNumberOffset = 8;
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

struct AtomHeader {
    int64_t Size = 0;  // whole atom; 0 or less when the file says so
    std::string Type;
};

std::optional<AtomHeader> ReadAtomHeader(FileReader& reader)
{
    std::array<uint8_t, AtomHeaderBytes> bytes{};
    if (!reader.ReadExact(bytes))
        return std::nullopt;
    AtomHeader header{BigEndianInt32(bytes), std::string(reinterpret_cast<const char*>(bytes.data()) + 4, 4)};
    if (header.Size == LargeSizeMarker) {  // a 64-bit size follows (large "mdat" atoms)
        std::array<uint8_t, LargeSizeBytes> large{};
        if (!reader.ReadExact(large))
            return std::nullopt;
        const uint64_t size = static_cast<uint64_t>(static_cast<uint32_t>(BigEndianInt32(large))) << 32 |
                              static_cast<uint32_t>(BigEndianInt32(std::span(large).subspan(4)));
        header.Size = size > INT64_MAX ? 0 : static_cast<int64_t>(size);
    }
    return header;
}

// Looks for the child atom of the given type in [position, end) and leaves
// the reader at its body. stepOverEmpty: a size of 0 or less is a 4-byte word
// to pass (the version and flags that open a "meta" body), not the end.
// Another atom claiming to run past its container ends the search; the one
// looked for is cut at the container's end, so that in a cut file the items
// before the cut are still found.
bool FindChild(FileReader& reader, uint64_t end, std::string_view type, bool stepOverEmpty, bool firstMustBeFtyp,
               uint64_t& childEnd)
{
    bool first = true;
    while (reader.Position() < end) {
        const uint64_t start = reader.Position();
        const std::optional<AtomHeader> header = ReadAtomHeader(reader);
        if (!header)
            return false;
        if (header->Size <= 0) {
            if (!stepOverEmpty)
                return false;
            reader.Seek(start + EmptySizeStep);
            continue;
        }
        const uint64_t size = static_cast<uint64_t>(header->Size);
        if (size < reader.Position() - start)
            return false;
        if (first && firstMustBeFtyp && header->Type != "ftyp")
            return false;
        first = false;
        if (header->Type == type) {
            childEnd = start + std::min(size, end - start);
            return true;
        }
        if (size > end - start)
            return false;
        reader.Seek(start + size);
    }
    return false;
}

// An item's value: the body after its inner data atom's header, ending with
// that atom when its size fits (a second data atom is not part of it).
std::span<const uint8_t> ItemValue(std::span<const uint8_t> body)
{
    if (body.size() < DataAtomHeaderBytes)
        return {};
    const int32_t dataSize = BigEndianInt32(body);
    const size_t end
        = dataSize >= static_cast<int32_t>(DataAtomHeaderBytes) && static_cast<size_t>(dataSize) <= body.size()
        ? static_cast<size_t>(dataSize)
        : body.size();
    return body.subspan(DataAtomHeaderBytes, end - DataAtomHeaderBytes);
}

std::string ItemText(std::span<const uint8_t> value)
{
    if (value.size() >= Utf8Bom.size() &&
        std::string_view(reinterpret_cast<const char*>(value.data()), Utf8Bom.size()) == Utf8Bom)
        value = value.subspan(Utf8Bom.size());
    return Utf8ToText(value);
}

// A "----" item: sub-atoms "mean", "name" and "data". Returns the value when
// the name is LYRICS in any letter case.
std::optional<std::string> FreeformLyrics(std::span<const uint8_t> body)
{
    std::string name;
    std::optional<std::string> value;
    size_t position = 0;
    while (body.size() - position >= 4) {
        const int32_t size = BigEndianInt32(body.subspan(position));
        if (size <= 0) {
            position += EmptySizeStep;
            continue;
        }
        if (static_cast<size_t>(size) < AtomHeaderBytes || static_cast<size_t>(size) > body.size() - position)
            break;
        const std::string_view type(reinterpret_cast<const char*>(body.data()) + position + 4, 4);
        const std::span<const uint8_t> subBody
            = body.subspan(position + AtomHeaderBytes, static_cast<size_t>(size) - AtomHeaderBytes);
        position += static_cast<size_t>(size);
        if (type == "name" && subBody.size() >= FreeformNameSkipBytes) {
            name = BytesToText(subBody.subspan(FreeformNameSkipBytes));
        } else if (type == "data" && subBody.size() >= FreeformValueSkipBytes) {
            if (BigEndianInt32(subBody) == 0)  // implicit type: a big-endian number
                value = std::to_string(static_cast<uint32_t>(BigEndianInt32(subBody.subspan(FreeformNumberOffset))));
            else
                value = Utf8ToText(subBody.subspan(FreeformValueSkipBytes));
        }
    }
    if (value && EqualsIgnoreCase(name, "LYRICS"))
        return value;
    return std::nullopt;
}

struct HeldTexts {
    std::string Title, Artist, Album, Year, Comment;
};

// Items no field uses, and items above their cap, are passed by seeking.
void ReadItems(FileReader& reader, uint64_t end, HeldTexts& held, TrackInfo& info)
{
    struct TextItem {
        std::string_view Type;
        std::string HeldTexts::*Text;
    };
    static constexpr TextItem TextItems[] = {
        {"\xA9nam", &HeldTexts::Title}, {"\xA9" "ART", &HeldTexts::Artist}, {"\xA9" "alb", &HeldTexts::Album},
        {"\xA9" "day", &HeldTexts::Year}, {"\xA9" "cmt", &HeldTexts::Comment},
    };
    while (reader.Position() < end) {
        const uint64_t start = reader.Position();
        std::array<uint8_t, AtomHeaderBytes> bytes{};
        if (!reader.ReadExact(bytes))
            return;
        const int32_t size = BigEndianInt32(bytes);
        if (size <= 0) {
            reader.Seek(start + EmptySizeStep);
            continue;
        }
        if (static_cast<uint64_t>(size) < AtomHeaderBytes || static_cast<uint64_t>(size) > end - start)
            return;
        const std::string_view type(reinterpret_cast<const char*>(bytes.data()) + 4, 4);
        const uint64_t bodyBytes = static_cast<uint64_t>(size) - AtomHeaderBytes;
        const auto text = std::find_if(std::begin(TextItems), std::end(TextItems),
                                       [&](const TextItem& item) { return item.Type == type; });
        if (type == "covr" && bodyBytes <= MaxPictureBytes) {
            std::vector<uint8_t> body = ReadItemBytes(reader, bodyBytes);
            const std::span<const uint8_t> value = ItemValue(body);
            TakePicture(std::move(body), value, info);
        } else if (type == "----" && bodyBytes <= MaxTextBytes) {
            if (std::optional<std::string> lyrics = FreeformLyrics(ReadItemBytes(reader, bodyBytes)))
                info.Lyrics = std::move(*lyrics);
        } else if (text != std::end(TextItems) && bodyBytes <= MaxTextBytes) {
            held.*text->Text = ItemText(ItemValue(ReadItemBytes(reader, bodyBytes)));
        }
        reader.Seek(start + static_cast<uint64_t>(size));
    }
}

int ReadMp4(const InputFile& file, TrackInfo& info)
{
    if (!file.IsOpen())
        return 0;
    FileReader reader(file);
    HeldTexts held;
    uint64_t moovEnd = 0, udtaEnd = 0, metaEnd = 0, ilstEnd = 0;
    if (FindChild(reader, file.Size(), "moov", false, true, moovEnd) &&
        FindChild(reader, moovEnd, "udta", false, false, udtaEnd) &&
        FindChild(reader, udtaEnd, "meta", false, false, metaEnd) &&
        FindChild(reader, metaEnd, "ilst", true, false, ilstEnd)) {
        // A failed allocation ends the walk like a damaged item: the texts held stay.
        WithoutThrowing([&] {
            ReadItems(reader, ilstEnd, held, info);
            return 1;
        });
    }
    // The texts are set whether or not they were found, however the walk ended.
    info.Title = std::move(held.Title);
    info.Artist = std::move(held.Artist);
    info.Album = std::move(held.Album);
    info.Year = std::move(held.Year);
    info.Comment = std::move(held.Comment);
    return 1;
}

}  // namespace

int ReadMp4File(std::string_view path, TrackInfo& info)
{
    return WithoutThrowing([&] { return ReadMp4(InputFile(path, FileSharing::AllowAll), info); });
}
