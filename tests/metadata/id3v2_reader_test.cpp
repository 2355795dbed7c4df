#include "metadata/id3v2.h"
#include "metadata/track_info.h"

#include "mp3_builders.h"

#include <gtest/gtest.h>

namespace {

constexpr std::string_view GbkChinese = "\xD6\xD0\xCE\xC4";  // 中文 in code page 936
// The texts as the fields hold them (UTF-8).
constexpr std::string_view Chinese = "中文";
constexpr std::string_view Fang = "仿";  // U+4EFF: its low byte is 0xFF

TrackInfo ReadTag(const ByteVector& bytes)
{
    const TempFile file(bytes, "mp3");
    TrackInfo info;
    EXPECT_EQ(ReadId3v2Tag(file.Path(), info), 1);
    return info;
}

struct TextCase {
    const char* Name;
    ByteVector Body;
    std::string Expected;
};

}  // namespace

TEST(Id3TextToText, DecodesEveryEncoding)
{
    const TextCase cases[] = {
        {"latin", Latin1("Hello"), "Hello"},
        {"latin keeps leading letters", Latin1("England"), "England"},
        {"latin eng prefix", Latin1("english song"), "english song"},
        {"latin values run together", Latin1(std::string_view("A\0B\0", 4)), "AB"},
        {"latin is code page 936", Latin1(GbkChinese), std::string(Chinese)},
        {"utf16 bom le", Utf16Bom(u"Song"), "Song"},
        {"utf16 bom be", ByteVector{0x01, 0xFE, 0xFF} + Utf16Be(u"Song"), "Song"},
        {"utf16 no bom is le", ByteVector{0x01} + Utf16Le(u"Song"), "Song"},
        {"utf16 chinese", Utf16Bom(u"中文"), std::string(Chinese)},
        {"utf16 unit with low byte ff survives", Utf16Bom(u"仿A"), std::string(Fang) + "A"},
        {"utf16 beyond code page 936", Utf16Bom(u"Bj\u00F6rk \u2660 \uD55C \U0001F3B5"), "Bj\u00F6rk \u2660 \uD55C \U0001F3B5"},
        {"utf16 bom inside text dropped", Utf16Bom(u"A\uFEFFB"), "AB"},
        {"utf16 values each with bom", Utf16Bom(u"A") + ByteVector{0, 0, 0xFE, 0xFF} + Utf16Be(u"B"), "AB"},
        {"utf16 odd trailing byte ignored", Utf16Bom(u"AB") + ByteVector{0x43}, "AB"},
        {"utf16 leading zero unit", ByteVector{0x01, 0x00, 0x00, 0xFF, 0xFE} + Utf16Le(u"X"), "X"},
        {"utf16be without bom", Utf16BeBody(u"Song"), "Song"},
        {"utf16be chinese", Utf16BeBody(u"中文"), std::string(Chinese)},
        {"utf16be with bom", ByteVector{0x02, 0xFE, 0xFF} + Utf16Be(u"仿"), std::string(Fang)},
        {"utf16be low byte ff survives", Utf16BeBody(u"仿"), std::string(Fang)},
        {"utf8", Utf8("Song"), "Song"},
        {"utf8 chinese", Utf8("中文"), std::string(Chinese)},
        {"utf8 first value only", Utf8(std::string_view("A\0B", 3)), "A"},
        {"utf8 bom dropped", Utf8("\xEF\xBB\xBFSong"), "Song"},
        {"unknown encoding", ByteVector{0x04, 'A', 'B'}, ""},
        {"empty body", ByteVector{}, ""},
        {"encoding only", ByteVector{0x01}, ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Id3TextToText(c.Body), c.Expected);
    }
}

TEST(Id3TextToText, LanguageFramesTakeTheTextAfterTheDescription)
{
    const TextCase cases[] = {
        {"latin eng", Latin1(std::string_view("engd\0hello", 10)), "hello"},
        {"latin any language", Latin1(std::string_view("deu\0hallo", 9)), "hallo"},
        {"latin chinese", Latin1(std::string("chi\0", 4) + std::string(GbkChinese)), std::string(Chinese)},
        {"utf16 description and text",
         ByteVector{0x01} + Bytes("eng") + ByteVector{0xFF, 0xFE} + Utf16Le(u"d") + ByteVector{0, 0, 0xFF, 0xFE} +
             Utf16Le(u"中文"),
         std::string(Chinese)},
        {"utf16 empty description without bom",
         ByteVector{0x01} + Bytes("eng") + ByteVector{0, 0, 0xFF, 0xFE} + Utf16Le(u"text"), "text"},
        {"utf16 odd language letters", ByteVector{0x01} + Bytes("XyZ") + ByteVector{0xFF, 0xFE, 0, 0, 0xFF, 0xFE} + Utf16Le(u"t"), "t"},
        {"utf16be", ByteVector{0x02} + Bytes("eng") + Utf16Be(u"d") + ByteVector{0, 0} + Utf16Be(u"仿"), std::string(Fang)},
        {"utf8 description and text", Utf8(std::string_view("engdesc\0text", 12)), "text"},
        {"utf8 empty description", Utf8(std::string_view("eng\0text", 8)), "text"},
        {"missing terminator: all text", Latin1("engtext"), "text"},
        {"too short for a language", ByteVector{0x00, 'e', 'n'}, ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Id3TextToText(c.Body, Id3Body::LanguageText), c.Expected);
    }
}

TEST(Id3TextToText, UrlFramesSkipTheDescription)
{
    EXPECT_EQ(Id3TextToText(Latin1(std::string_view("\0http://a.cn", 12)), Id3Body::UrlWithDescription), "http://a.cn");
    EXPECT_EQ(Id3TextToText(Utf16Bom(u"home") + ByteVector{0, 0} + Bytes("http://a.cn"), Id3Body::UrlWithDescription),
              "http://a.cn");
    EXPECT_EQ(Id3TextToText(Utf8(std::string_view("d\0http://a.cn", 13)), Id3Body::UrlWithDescription), "http://a.cn");
}

TEST(Id3v2Reader, MapsEveryFrameInBothLayouts)
{
    struct FrameCase {
        std::string_view Id, Id22;
        std::string TrackInfo::*Field;
    };
    const FrameCase cases[] = {
        {"TIT2", "TT2", &TrackInfo::Title},     {"TPE1", "TP1", &TrackInfo::Artist},
        {"TALB", "TAL", &TrackInfo::Album},     {"TRCK", "TRK", &TrackInfo::Track},
        {"TYER", "TYE", &TrackInfo::Year},      {"TCOM", "TCM", &TrackInfo::Composer},
        {"TENC", "TEN", &TrackInfo::Encoder},   {"TCOP", "TCR", &TrackInfo::Copyright},
        {"TCON", "TCO", &TrackInfo::Genre},
    };
    for (const uint8_t major : {2, 3, 4}) {
        for (const FrameCase& c : cases) {
            SCOPED_TRACE(std::string(c.Id) + " v2." + std::to_string(major));
            const TrackInfo info = ReadTag(Id3v2(major).Frame(major < 3 ? c.Id22 : c.Id, Latin1("value")).Build());
            EXPECT_EQ(info.*c.Field, "value");
        }
        SCOPED_TRACE(major);
        const bool v22 = major < 3;
        const TrackInfo info = ReadTag(Id3v2(major)
                                           .Frame(v22 ? "COM" : "COMM", Latin1(std::string_view("engd\0note", 9)))
                                           .Frame(v22 ? "ULT" : "USLT", Latin1(std::string_view("chi\0words", 9)))
                                           .Frame(v22 ? "WXX" : "WXXX", Latin1(std::string_view("\0http://x", 9)))
                                           .Build());
        EXPECT_EQ(info.Comment, "note");
        EXPECT_EQ(info.Lyrics, "words");
        EXPECT_EQ(info.Url, "http://x");
    }
}

TEST(Id3v2Reader, GenreReferenceStaysAsWritten)
{
    EXPECT_EQ(ReadTag(Id3v2(3).Frame("TCON", Latin1("(13)")).Build()).Genre, "(13)");
}

TEST(Id3v2Reader, LaterFrameWinsAndEmptyBodyClears)
{
    const TrackInfo twice = ReadTag(Id3v2(3).Frame("TIT2", Latin1("first")).Frame("TIT2", Latin1("second")).Build());
    EXPECT_EQ(twice.Title, "second");

    TrackInfo info;
    info.Title = "before";
    info.Artist = "kept";
    const TempFile file(Id3v2(3).Frame("TIT2", ByteVector{0x00}).Build(), "mp3");
    EXPECT_EQ(ReadId3v2Tag(file.Path(), info), 1);
    EXPECT_EQ(info.Title, "");
    EXPECT_EQ(info.Artist, "kept");  // fields without a frame keep their values
}

TEST(Id3v2Reader, UnknownFramesAreSkipped)
{
    const TrackInfo info =
        ReadTag(Id3v2(3).Frame("PRIV", Bytes("TIT2xxxxxxxx")).Frame("TXXX", Latin1("a")).Frame("TIT2", Latin1("t")).Build());
    EXPECT_EQ(info.Title, "t");
}

TEST(Id3v2Reader, RecordingTimeFillsYearOnlyWithoutTyer)
{
    EXPECT_EQ(ReadTag(Id3v2(4).Frame("TDRC", Utf8("2024-05-01")).Build()).Year, "2024-05-01");
    EXPECT_EQ(ReadTag(Id3v2(4).Frame("TDRC", Utf8("2024")).Frame("TYER", Latin1("1999")).Build()).Year, "1999");
    EXPECT_EQ(ReadTag(Id3v2(3).Frame("TYER", Latin1("1999")).Frame("TDRC", Latin1("2024")).Build()).Year, "1999");
}

TEST(Id3v2Reader, FrameSizesAreSyncsafeOnlyInVersion4)
{
    // A 200-byte title followed by an artist: syncsafe 00 00 01 48 is 200 in v2.4.
    const std::string longTitle(199, 'x');
    const ByteVector v24 = Id3v2(4).Frame("TIT2", Latin1(longTitle)).Frame("TPE1", Latin1("a")).Build();
    ASSERT_EQ(ByteVector(v24.begin() + 14, v24.begin() + 18), (ByteVector{0x00, 0x00, 0x01, 0x48}));
    const TrackInfo info = ReadTag(v24);
    EXPECT_EQ(info.Title, longTitle);
    EXPECT_EQ(info.Artist, "a");

    // The same bytes in a v2.3 tag are the plain size 0x148 = 328.
    const std::string body328(327, 'y');
    const TrackInfo v23 = ReadTag(Id3v2(3)
                                      .Raw(Bytes("TIT2") + ByteVector{0x00, 0x00, 0x01, 0x48, 0x00, 0x00} + Latin1(body328))
                                      .Frame("TPE1", Latin1("b"))
                                      .Build());
    EXPECT_EQ(v23.Title, body328);
    EXPECT_EQ(v23.Artist, "b");
}

TEST(Id3v2Reader, PaddingIsWalkedToTheTagEnd)
{
    // A frame hidden after the tag's end is not read.
    ByteVector bytes = Id3v2(3).Frame("TIT2", Latin1("t")).Padding(1024).Build();
    bytes = bytes + Bytes("TPE1") + BigEndian32(2) + ByteVector{0, 0} + Latin1("x");
    const TrackInfo info = ReadTag(bytes);
    EXPECT_EQ(info.Title, "t");
    EXPECT_EQ(info.Artist, "");
}

TEST(Id3v2Reader, HostileSizesStayInsideTagAndFile)
{
    const ByteVector hugeFrame = Bytes("TIT2") + ByteVector{0xFF, 0xFF, 0xFF, 0xFF, 0, 0} + Latin1("abc");
    // v2.3: 0xFFFFFFFF is negative: no body, the walk goes on header by header.
    EXPECT_EQ(ReadTag(Id3v2(3).Raw(hugeFrame).Build()).Title, "");
    // v2.4: syncsafe 0x0FFFFFFF is cut at the tag's end.
    EXPECT_EQ(ReadTag(Id3v2(4).Raw(hugeFrame).Build()).Title, "abc");
    // v2.2: 0xFFFFFF.
    EXPECT_EQ(ReadTag(Id3v2(2).Raw(Bytes("TT2") + ByteVector{0xFF, 0xFF, 0xFF} + Latin1("abc")).Build()).Title, "abc");
    // A tag size far past the end of the file ends the walk at the end.
    EXPECT_EQ(ReadTag(Id3v2(3).Frame("TIT2", Latin1("t")).BuildWithSize(0x0FFFFFFF)).Title, "t");
    EXPECT_EQ(ReadTag(Id3v2(3).Frame("APIC", ByteVector{0x00}).BuildWithSize(0x0FFFFFFF)).Picture.size(), 0u);
    // Size 0 tag: nothing read.
    EXPECT_EQ(ReadTag(Id3v2(3).Frame("TIT2", Latin1("t")).BuildWithSize(0)).Title, "");
}

TEST(Id3v2Reader, PictureRules)
{
    const ByteVector jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10};
    const ByteVector mime = Bytes("image/jpeg") + ByteVector{0x00};
    struct PictureCase {
        const char* Name;
        ByteVector Tag;
        ByteVector Expected;
    };
    const PictureCase cases[] = {
        {"utf16 empty description",
         Id3v2(3).Frame("APIC", ByteVector{0x01} + mime + ByteVector{0x03, 0xFF, 0xFE, 0x00, 0x00} + jpeg).Build(), jpeg},
        {"latin description",
         Id3v2(3).Frame("APIC", ByteVector{0x00} + mime + ByteVector{0x03} + Bytes("cover") + ByteVector{0x00} + jpeg).Build(),
         jpeg},
        {"utf8 description",
         Id3v2(4).Frame("APIC", ByteVector{0x03} + mime + ByteVector{0x00} + Bytes("\xE5\x9B\xBE") + ByteVector{0x00} + jpeg).Build(),
         jpeg},
        {"utf16be description",
         Id3v2(4).Frame("APIC", ByteVector{0x02} + mime + ByteVector{0x03} + Utf16Be(u"c") + ByteVector{0, 0} + jpeg).Build(),
         jpeg},
        {"utf16 description counted in units", // "a" is 61 00: the 00 of "a" is no terminator
         Id3v2(3).Frame("APIC", ByteVector{0x01} + mime + ByteVector{0x03, 0xFF, 0xFE, 0x61, 0x00, 0x00, 0x00} + jpeg).Build(),
         jpeg},
        {"later picture replaces",
         Id3v2(3)
             .Frame("APIC", ByteVector{0x00} + mime + ByteVector{0x03, 0x00} + ByteVector{1, 2, 3})
             .Frame("APIC", ByteVector{0x00} + mime + ByteVector{0x04, 0x00} + jpeg)
             .Build(),
         jpeg},
        {"v2.2 PIC", Id3v2(2).Frame("PIC", ByteVector{0x00} + Bytes("JPG") + ByteVector{0x03, 0x00} + jpeg).Build(), jpeg},
        {"mime without terminator", Id3v2(3).Frame("APIC", ByteVector{0x00} + Bytes("image/jpeg")).Build(), {}},
        {"description without terminator",
         Id3v2(3).Frame("APIC", ByteVector{0x01} + mime + ByteVector{0x03, 0xFF, 0xFE, 0x61}).Build(), {}},
        {"no picture type", Id3v2(3).Frame("APIC", ByteVector{0x00} + mime).Build(), {}},
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ReadTag(c.Tag).Picture, c.Expected);
    }
}

TEST(Id3v2Reader, NotATagLeavesTheRecord)
{
    TrackInfo info;
    info.Title = "kept";
    const TempFile notTag(Bytes("ID4\x03\x00\x00\x00\x00\x00\x10"), "mp3");
    EXPECT_EQ(ReadId3v2Tag(notTag.Path(), info), 0);
    EXPECT_EQ(ReadId3v2Tag("no/such/file.mp3", info), 0);
    EXPECT_EQ(info.Title, "kept");
    const TempFile magicOnly(Bytes("ID3"), "mp3");
    EXPECT_EQ(ReadId3v2Tag(magicOnly.Path(), info), 1);
    EXPECT_EQ(info.Title, "kept");
}

TEST(Id3v2TagLength, IsSyncsafeSizePlusHeader)
{
    const TempFile tag(Bytes("ID3") + ByteVector{0x03, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01}, "mp3");
    EXPECT_EQ(Id3v2TagLength(tag.Path()), 257 + 10);
    const TempFile noTag(ByteVector(20, 0xFF), "mp3");
    EXPECT_EQ(Id3v2TagLength(noTag.Path()), 0);
    EXPECT_EQ(Id3v2TagLength("no/such/file.mp3"), 0);
    const TempFile hostile(Bytes("ID3") + ByteVector{0x03, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, "mp3");
    EXPECT_EQ(Id3v2TagLength(hostile.Path()), 0x0FFFFFFF + 10);
}

TEST(Id3v2Reader, EveryPrefixOfATagIsSafe)
{
    const ByteVector full = Id3v2(3)
                                .Frame("TIT2", Utf16Bom(u"标题"))
                                .Frame("COMM", ByteVector{0x01} + Bytes("eng") + ByteVector{0xFF, 0xFE, 0, 0} + Utf16Bom(u"c"))
                                .Frame("APIC", ByteVector{0x00} + Bytes("image/png") + ByteVector{0x00, 0x03, 0x00, 0x89, 0x50})
                                .Frame("TPE1", Utf8("artist"))
                                .Padding(16)
                                .Build();
    for (size_t length = 0; length <= full.size(); ++length) {
        const TempFile file(ByteVector(full.begin(), full.begin() + static_cast<ptrdiff_t>(length)), "mp3");
        TrackInfo info;
        const int result = ReadId3v2Tag(file.Path(), info);
        EXPECT_EQ(result, length >= 3 ? 1 : 0) << "length " << length;
        if (length == full.size()) {
            EXPECT_EQ(info.Artist, "artist");
        }
    }
}
