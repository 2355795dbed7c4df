// Items that claim more than their cap, or more than a 32-bit process could
// ever allocate, in files that really are that large (sparse): they are
// passed by seeking, and the items after them are still read.

#include "container_builders.h"
#include "metadata/read_limits.h"
#include "metadata/wma.h"

namespace {

constexpr uint64_t Huge = 1536ull << 20;  // 1.5 GiB: no 32-bit process finds that in one piece

struct Layout {
    ByteVector Head;
    uint64_t HoleBytes;  // zero bytes between head and tail, never written
    ByteVector Tail;
};

struct Case {
    const char* Name;
    const char* Extension;
    Layout File;
    std::string TrackInfo::*Field;  // what the item before the hole or after it gives
    const char* Value;
};

ByteVector Le(uint64_t value, size_t bytes)
{
    ByteVector out;
    AppendLe(out, value, bytes);
    return out;
}
ByteVector Be32(uint64_t value)
{
    ByteVector out;
    AppendBe(out, value, 4);
    return out;
}
ByteVector Guid(const AsfGuid& id) { return ByteVector(id.begin(), id.end()); }

// Bodies open with a text, so that an item read against its cap shows.
const ByteVector Latin1X = {0, 'x'};

// ID3v2.3: a frame whose body (after bodyStart) is the hole, then TIT2 "after".
Layout Id3v2WithBigFrame(std::string_view id, uint64_t bodyBytes, const ByteVector& bodyStart = {})
{
    const ByteVector title = Concat({Bytes("TIT2"), Be32(6), ByteVector{0, 0, 0}, Bytes("after")});
    const uint64_t tagBytes = 10 + bodyBytes + title.size();
    ByteVector syncsafe;
    for (const int shift : {21, 14, 7, 0})
        syncsafe.push_back(static_cast<uint8_t>(tagBytes >> shift & 0x7F));
    const ByteVector head = Concat({Bytes("ID3"), ByteVector{3, 0, 0}, syncsafe, Bytes(id), Be32(bodyBytes),
                                    ByteVector{0, 0}, bodyStart});
    return {head, bodyBytes - bodyStart.size(), title};
}

// APEv2 at the end of an .ape file: an item whose value ("x", then the hole)
// comes before Title "after" and the footer.
Layout ApeWithBigItem(std::string_view key, uint64_t valueBytes)
{
    const ByteVector head = Concat({Le(valueBytes, 4), Le(2, 4), Bytes(key), ByteVector{0, 'x'}});
    const ByteVector title = Concat({Le(5, 4), Le(0, 4), Bytes("Title"), ByteVector{0}, Bytes("after")});
    const uint64_t tagBytes = head.size() - 1 + valueBytes + title.size() + 32;
    // Footer: version, size of items and footer, item count, flags, reserved.
    const ByteVector footer = Concat({Bytes("APETAGEX"), Le(2000, 4), Le(tagBytes, 4), Le(2, 4), Le(0, 12)});
    return {head, valueBytes - 1, Concat({title, footer})};
}

// MP4: moov/udta/meta/ilst holding an item whose body (a data atom without
// a stated size, "x", then the hole) comes before ©nam "after".
Layout Mp4WithBigItem(std::string_view type, uint64_t bodyBytes)
{
    const ByteVector dataHead = Concat({Bytes("data"), Be32(1), Be32(0)});  // UTF-8, no locale
    const ByteVector title = Concat({Be32(29), Bytes("\xA9nam"), Be32(21), dataHead, Bytes("after")});
    const uint64_t ilst = 16 + bodyBytes + title.size();
    const ByteVector head = Concat({Be32(16), Bytes("ftypM4A "), Be32(0), Be32(ilst + 32), Bytes("moov"),
                                    Be32(ilst + 24), Bytes("udta"), Be32(ilst + 12), Bytes("meta"), Be32(0),
                                    Be32(ilst), Bytes("ilst"), Be32(8 + bodyBytes), Bytes(type), Be32(0), dataHead,
                                    Bytes("x")});
    return {head, bodyBytes - 17, title};
}

// ASF: an extended content description of objectBytes whose first
// descriptor is WM/AlbumTitle "album" (the rest is the hole), then a
// content description with the title "after".
Layout AsfWithBigObject(uint64_t objectBytes)
{
    const ByteVector title = Concat({Guid(AsfContentDescriptionId), Le(24 + 10 + 12, 8), Le(12, 2), Le(0, 8),
                                     Utf16Le(u"after")});
    const ByteVector name = Utf16Le(u"WM/AlbumTitle"), album = Utf16Le(u"album");
    const ByteVector descriptor = Concat({Le(1, 2), Le(name.size(), 2), name, Le(0, 2), Le(album.size(), 2), album});
    const ByteVector head = Concat({Guid(AsfHeaderObjectId), Le(30 + objectBytes + title.size(), 8), Le(2, 4),
                                    ByteVector{1, 2}, Guid(AsfExtendedContentDescriptionId), Le(objectBytes, 8),
                                    descriptor});
    return {head, objectBytes - 24 - descriptor.size(), title};
}

TEST(ReadLimits, ItemsBeyondTheirCapAreSkipped)
{
    const Case cases[] = {
        {"ID3v2 picture above its cap", "mp3", Id3v2WithBigFrame("APIC", MaxPictureBytes + 1), &TrackInfo::Title, "after"},
        {"ID3v2 picture of 200 MiB", "mp3", Id3v2WithBigFrame("APIC", 200 << 20), &TrackInfo::Title, "after"},
        {"ID3v2 text above its cap", "mp3", Id3v2WithBigFrame("TPE1", MaxTextBytes + 1, Latin1X), &TrackInfo::Title, "after"},
        {"ID3v2 unknown frame of 200 MiB", "mp3", Id3v2WithBigFrame("PRIV", 200 << 20), &TrackInfo::Title, "after"},
        {"APE cover above its cap", "ape", ApeWithBigItem("Cover Art (Front)", MaxPictureBytes + 1), &TrackInfo::Title, "after"},
        {"APE text of 1.5 GiB", "ape", ApeWithBigItem("Artist", Huge), &TrackInfo::Title, "after"},
        {"APE text above its cap", "ape", ApeWithBigItem("Artist", MaxTextBytes + 1), &TrackInfo::Title, "after"},
        {"APE unknown item of 1.5 GiB", "ape", ApeWithBigItem("Private", Huge), &TrackInfo::Title, "after"},
        {"MP4 cover above its cap", "m4a", Mp4WithBigItem("covr", MaxPictureBytes + 1), &TrackInfo::Title, "after"},
        {"MP4 text above its cap", "m4a", Mp4WithBigItem("\xA9" "ART", MaxTextBytes + 1), &TrackInfo::Title, "after"},
        {"MP4 unknown item of 1.5 GiB", "m4a", Mp4WithBigItem("zzzz", Huge), &TrackInfo::Title, "after"},
        {"ASF object above its cap: its first items", "wma", AsfWithBigObject(MaxAsfObjectBytes + 1), &TrackInfo::Album, "album"},
        {"ASF object above its cap: the next object", "wma", AsfWithBigObject(MaxAsfObjectBytes + 1), &TrackInfo::Title, "after"},
        {"ASF object of 1.5 GiB", "wma", AsfWithBigObject(Huge), &TrackInfo::Title, "after"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFile file(ByteVector{}, c.Extension);
        file.WriteWithHole(c.File.Head, c.File.HoleBytes, c.File.Tail);
        TrackInfo info;
        ReadTrackInfo(file.Path(), info);
        EXPECT_EQ(info.*c.Field, c.Value);
        EXPECT_TRUE(info.Picture.empty());
        EXPECT_EQ(info.Artist, "");  // no "x"
    }
}

}  // namespace
