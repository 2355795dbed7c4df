// MP4/M4A item lists under moov/udta/meta/ilst.

#include "container_builders.h"

namespace {

ByteVector Atom(std::string_view type, const ByteVector& body, int64_t sizeOverride = -1)
{
    ByteVector out;
    AppendBe(out, sizeOverride >= 0 ? static_cast<uint64_t>(sizeOverride) : body.size() + 8, 4);
    Append(out, type);
    Append(out, body);
    return out;
}
ByteVector Atom(std::string_view type, std::initializer_list<ByteVector> children)
{
    return Atom(type, Concat(children));
}

// A "data" atom: type indicator (1 = UTF-8, 13 = JPEG, 0 = implicit), locale, value.
ByteVector Data(const ByteVector& value, uint32_t typeIndicator = 1)
{
    ByteVector body;
    AppendBe(body, typeIndicator, 4);
    AppendBe(body, 0, 4);                   // locale
    Append(body, value);
    return Atom("data", body);
}
ByteVector TextItem(std::string_view type, std::string_view text) { return Atom(type, {Data(Bytes(text))}); }

ByteVector Freeform(std::string_view name, const ByteVector& data)
{
    ByteVector mean = {0, 0, 0, 0};
    Append(mean, "com.apple.iTunes");
    ByteVector nameBody = {0, 0, 0, 0};     // version and flags
    Append(nameBody, name);
    return Atom("----", {Atom("mean", mean), Atom("name", nameBody), data});
}

ByteVector Ftyp() { return Atom("ftyp", Concat({Bytes("M4A "), ByteVector{0, 0, 2, 0}, Bytes("isomM4A ")})); }

// meta with its version-and-flags word, a handler and the item list.
ByteVector Meta(const ByteVector& items)
{
    ByteVector hdlr(8, 0);
    Append(hdlr, "mdirappl");
    Append(hdlr, ByteVector(9, 0));
    return Atom("meta", {ByteVector{0, 0, 0, 0}, Atom("hdlr", hdlr), Atom("ilst", items)});
}

ByteVector M4a(const ByteVector& items, const ByteVector& beforeUdta = {})
{
    return Concat({Ftyp(), Atom("moov", {beforeUdta, Atom("udta", {Meta(items)})}), Atom("mdat", ByteVector(64, 0x21))});
}

ReadResult ReadMp4(const ByteVector& bytes) { return ReadBytesWith(ReadMp4File, bytes, "m4a"); }

const ByteVector Jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 0xFF, 0xD9};

TEST(Mp4Items, TypicalFile)
{
    const ByteVector items = Concat({TextItem("\xA9nam", Utf8Chinese), TextItem("\xA9" "ART", "artist"),
                                     TextItem("\xA9" "alb", "album"), TextItem("\xA9" "day", "2021"),
                                     TextItem("\xA9" "cmt", "comment"), TextItem("\xA9too", "encoder"),
                                     Atom("covr", {Data(Jpeg, 13)})});
    const ByteVector trak = Atom("trak", ByteVector(5000, 0x11));  // skipped by its size
    const ReadResult read = ReadMp4(M4a(items, trak));
    EXPECT_EQ(read.Result, 1);
    EXPECT_EQ(read.Info.Title, Utf8Chinese);
    EXPECT_EQ(read.Info.Artist, "artist");
    EXPECT_EQ(read.Info.Album, "album");
    EXPECT_EQ(read.Info.Year, "2021");
    EXPECT_EQ(read.Info.Comment, "comment");
    EXPECT_EQ(read.Info.Picture, Jpeg);
    for (const std::string* notFilled : {&read.Info.Encoder, &read.Info.BitRateText, &read.Info.SampleRateText,
                                         &read.Info.ChannelsText, &read.Info.DurationText})
        EXPECT_EQ(*notFilled, "");
}

TEST(Mp4Items, TextValues)
{
    const ReadResult read = ReadMp4(M4a(Concat({TextItem("\xA9nam", "\xEF\xBB\xBFwith bom"),
                                                 TextItem("\xA9" "ART", "first"), TextItem("\xA9" "ART", "second")})));
    EXPECT_EQ(read.Info.Title, "with bom");
    EXPECT_EQ(read.Info.Artist, "second");
}

TEST(Mp4Items, CoverTakesOnlyTheFirstDataAtom)
{
    const ReadResult read = ReadMp4(M4a(Atom("covr", {Data(Jpeg, 13), Data({0x89, 'P', 'N', 'G'}, 14)})));
    EXPECT_EQ(read.Info.Picture, Jpeg);
}

TEST(Mp4Freeform, LyricsByNameInAnyCase)
{
    ByteVector number;
    AppendBe(number, 123456, 4);  // right after the type indicator and locale
    const struct {
        ByteVector Item;
        const char* Lyrics;
    } cases[] = {
        {Freeform("LYRICS", Data(Bytes("la la"))), "la la"},
        {Freeform("lyrics", Data(Bytes(Utf8Chinese))), Utf8Chinese.data()},
        {Freeform("Lyrics", Data(number, 0)), "123456"},
        {Freeform("OTHER", Data(Bytes("nope"))), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Lyrics);
        EXPECT_EQ(ReadMp4(M4a(c.Item)).Info.Lyrics, c.Lyrics);
    }
}

TEST(Mp4Walk, MissingLevelsLeaveFieldsEmpty)
{
    const ReadResult noUdta = ReadMp4(Concat({Ftyp(), Atom("moov", {Atom("trak", ByteVector(10, 0))})}));
    EXPECT_EQ(noUdta.Result, 1);
    EXPECT_EQ(noUdta.Info.Title, "");
    // Not starting with ftyp: the items are not looked at.
    TrackInfo info;
    info.Title = "held";
    TempFile raw(Concat({Atom("moov", {Atom("udta", {Meta(TextItem("\xA9nam", "t"))})})}), "mp4");
    EXPECT_EQ(ReadMp4File(raw.Path(), info), 1);
    EXPECT_EQ(info.Title, "");  // the five texts are always set
    EXPECT_EQ(ReadMp4File("no such file.m4a", info), 0);
}

TEST(Mp4Walk, HostileSizesEndTheWalk)
{
    const ByteVector good = TextItem("\xA9nam", "kept");
    const struct {
        const char* Name;
        ByteVector File;
        const char* Title;
    } cases[] = {
        // An item claiming to run past its item list.
        {"item past ilst", M4a(Concat({good, Atom("\xA9" "ART", ByteVector(8, 0), 0x7FFFFFFF)})), "kept"},
        // An empty item size steps over 4 bytes and the walk goes on.
        {"zero item size", M4a(Concat({ByteVector{0, 0, 0, 0}, good})), "kept"},
        // A moov claiming more than the file, as in a cut file: what lies
        // before the cut is read.
        {"moov past file", Concat({Ftyp(), Atom("moov", {Atom("udta", {Meta(good)})}, 0x7FFFFFF0)}), "kept"},
        // An atom before moov claiming more than the file: moov is beyond reach.
        {"free past file", Concat({Ftyp(), Atom("free", {}, 0x7FFFFFF0), M4a(good)}), ""},
        // A negative size at file level.
        {"negative size", Concat({Ftyp(), Atom("free", {}, 0x80000000), M4a(good)}), ""},
        // An atom smaller than its header.
        {"size below header", Concat({Ftyp(), Atom("free", {}, 3)}), ""},
        // A freeform sub-atom past its item.
        {"freeform past item", M4a(Concat({good, Atom("----", {Atom("name", ByteVector(8, 'x'), 0x7FFFFFFF)})})), "kept"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ReadMp4(c.File).Info.Title, c.Title);
    }
}

TEST(Mp4Walk, LargeSizeAtomIsSkipped)
{
    ByteVector large;
    AppendBe(large, 1, 4);
    Append(large, "mdat");
    AppendBe(large, 16 + 8, 8);             // 64-bit size
    Append(large, ByteVector(8, 0));
    const ByteVector file = Concat({Ftyp(), large, Atom("moov", {Atom("udta", {Meta(TextItem("\xA9nam", "t"))})})});
    EXPECT_EQ(ReadMp4(file).Info.Title, "t");
}

TEST(Mp4File, EveryPrefixReadsSafely)
{
    const ByteVector file = M4a(Concat({TextItem("\xA9nam", "t"), Atom("covr", {Data(Jpeg, 13)}),
                                        Freeform("LYRICS", Data(Bytes("l")))}),
                                Atom("trak", ByteVector(20, 0)));
    ReadEveryPrefix(ReadMp4File, file, "m4a");
}

}  // namespace
