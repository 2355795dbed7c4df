// Real-encoder fixtures cut short: at the end of each item, in its middle
// and just after its header. Whatever the cut, every item wholly before it
// is read (a cut file is what a download or copy that stopped leaves).

#include "container_builders.h"

#include <algorithm>

namespace {

constexpr std::string_view ShownTitle = "\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98";       // 中文标题
constexpr std::string_view Utf8Title = "\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98";

struct Item {
    std::string TrackInfo::*Field;  // nullptr: the picture (stored is the cover)
    std::string Value;              // as the record holds it
    ByteVector Stored;              // as the file holds it; its first occurrence is the item
    size_t Trailing = 0;            // bytes of the item after what is stored (terminators)
};

struct Fixture {
    const char* Name;
    std::vector<Item> Items;
};

void ExpectWholeItemsRead(const Fixture& fixture)
{
    const ByteVector bytes = FixtureBytes(fixture.Name);
    ASSERT_FALSE(bytes.empty());
    const std::string_view name(fixture.Name);
    const std::string extension(name.substr(name.rfind('.') + 1));
    struct Span {
        size_t Start, End;
    };
    std::vector<Span> spans;
    std::vector<size_t> cuts;
    for (const Item& item : fixture.Items) {
        const auto found = std::search(bytes.begin(), bytes.end(), item.Stored.begin(), item.Stored.end());
        ASSERT_NE(found, bytes.end()) << item.Value;
        const size_t start = static_cast<size_t>(found - bytes.begin());
        spans.push_back({start, start + item.Stored.size() + item.Trailing});
        cuts.insert(cuts.end(), {start, start + item.Stored.size() / 2, spans.back().End});
    }
    const ByteVector cover = FixtureBytes("cover.jpg");
    for (const size_t cut : cuts) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const TempFile file{std::span<const uint8_t>(bytes).first(cut), extension};
        TrackInfo info;
        ReadTrackInfo(file.Path(), info);
        for (size_t i = 0; i < fixture.Items.size(); ++i) {
            if (spans[i].End > cut)
                continue;
            const Item& item = fixture.Items[i];
            if (item.Field)
                EXPECT_EQ(info.*item.Field, item.Value);
            else
                EXPECT_EQ(info.Picture, cover);
        }
    }
}

TEST(Truncation, EveryItemBeforeTheCutIsRead)
{
    const ByteVector cover = FixtureBytes("cover.jpg");
    const Fixture fixtures[] = {
        {"container_flac.flac",
         {
             {&TrackInfo::Title, std::string(ShownTitle), Bytes("TITLE=" + std::string(Utf8Title))},
             {&TrackInfo::Artist, "FLAC Artist", Bytes("Artist=FLAC Artist")},
             {&TrackInfo::Lyrics, "line one", Bytes("LYRICS=line one")},
             {&TrackInfo::Copyright, "(c) Tamber", Bytes("COPYRIGHT=(c) Tamber")},
             {nullptr, "cover", cover},  // the PICTURE block ends with the picture
         }},
        {"container_vorbis.ogg",  // one comment packet over two pages
         {
             {&TrackInfo::Title, "a=b", Bytes("TITLE=a=b")},
             {&TrackInfo::Album, std::string(ShownTitle), Bytes("ALBUM=" + std::string(Utf8Title))},
             {&TrackInfo::Description, "Description", Bytes("DESCRIPTION=Description")},
         }},
        {"container_aac.m4a",  // moov after mdat; the comment comes after the cover
         {
             {&TrackInfo::Title, std::string(ShownTitle), Bytes(Utf8Title)},
             {&TrackInfo::Artist, "M4A Artist", Bytes("M4A Artist")},
             {&TrackInfo::Album, "M4A Album", Bytes("M4A Album")},
             {&TrackInfo::Year, "2019", Bytes("2019")},
             {&TrackInfo::Lyrics, "m4a lyrics", Bytes("m4a lyrics")},
             {nullptr, "cover", cover},
             {&TrackInfo::Comment, "m4a comment", Bytes("m4a comment")},
         }},
        {"container_wma.wma",  // UTF-16 texts with their terminators
         {
             {&TrackInfo::Title, "WMA Title", Utf16Le(u"WMA Title", false), 2},
             {&TrackInfo::Comment, "wma comment", Utf16Le(u"wma comment", false), 2},
             {&TrackInfo::Album, "WMA Album", Utf16Le(u"WMA Album", false), 2},
             {&TrackInfo::Lyrics, "wma lyrics", Utf16Le(u"wma lyrics", false), 2},
             {nullptr, "cover", cover},
         }},
        {"mp3_v23_latin.mp3",  // ID3v2.3 frames, encoding 0
         {
             {&TrackInfo::Title, "english title", Bytes("english title")},
             {&TrackInfo::Album, "Latin Album", Bytes("Latin Album")},
             {&TrackInfo::Year, "2001", Bytes("2001")},  // TYER comes before TCOP's "(c) 2001"
             {&TrackInfo::Copyright, "(c) 2001", Bytes("(c) 2001")},
         }},
        // The Monkey's Audio header before the tag. The APEv2 tag itself is
        // found from its footer, so a tag cut anywhere is no tag at all.
        {"container_ape.ape", {{&TrackInfo::Encoder, "Monkey's Audio 3.99", Bytes("MAC "), 72}}},
    };
    for (const Fixture& fixture : fixtures) {
        SCOPED_TRACE(fixture.Name);
        ExpectWholeItemsRead(fixture);
    }
}

}  // namespace
