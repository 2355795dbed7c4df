#include "metadata/id3v1.h"
#include "metadata/track_info.h"

#include "mp3_builders.h"

#include <gtest/gtest.h>

namespace {

// Audio-like filler in front of the tag.
const ByteVector Audio(300, 0x55);

TrackInfo ReadTag(const Id3v1Fields& fields)
{
    const TempFile file(Audio + Id3v1Tag(fields), "mp3");
    TrackInfo info;
    EXPECT_EQ(ReadId3v1Tag(file.Path(), info), 1);
    return info;
}

}  // namespace

TEST(Id3v1Reader, TextFieldsAreCutAndTrimmed)
{
    Id3v1Fields f;
    f.Title = "Hello" + std::string(25, ' ');
    f.Artist = "\xA1\xA1" "Singer \xA1\xA1";  // full-width spaces around
    f.Album = std::string("\0Hidden", 7);
    f.Year = "1999";
    f.Comment = "  note";
    const TrackInfo info = ReadTag(f);
    EXPECT_EQ(info.Title, "Hello");
    EXPECT_EQ(info.Artist, "Singer");
    EXPECT_EQ(info.Album, "");
    EXPECT_EQ(info.Year, "1999");
    EXPECT_EQ(info.Comment, "note");
}

TEST(Id3v1Reader, ChineseTextIsProgramText)
{
    Id3v1Fields f;
    f.Title = "\xD6\xD0\xCE\xC4";  // 中文 in GBK
    EXPECT_EQ(ReadTag(f).Title, "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST(Id3v1Reader, TrackNumberOnlyInVersion11)
{
    struct Case {
        const char* Name;
        std::string Comment;
        int Marker, Track;
        std::string ExpectedComment, ExpectedTrack;
    };
    const Case cases[] = {
        {"v1.1 track 7", "c", 0, 7, "c", "7"},
        {"v1.1 track 200", "c", 0, 200, "c", "200"},
        {"v1.1 track 0", "c", 0, 0, "c", "0"},
        {"v1.1 comment cut at 28", std::string(28, 'a') + "zz", 0, 3, std::string(28, 'a'), "3"},
        {"v1.0 full comment", std::string(29, 'b') + "z", 'y', 'z', std::string(28, 'b') + "yz", ""},
        {"v1.0 trimmed", "long comment" + std::string(16, ' '), ' ', ' ', "long comment", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Id3v1Fields f;
        f.Comment = c.Comment;
        ByteVector tag = Id3v1Tag(f);
        tag[125] = static_cast<uint8_t>(c.Marker);
        tag[126] = static_cast<uint8_t>(c.Track);
        const TempFile file(Audio + tag, "mp3");
        TrackInfo info;
        info.Track = "old";
        ASSERT_EQ(ReadId3v1Tag(file.Path(), info), 1);
        EXPECT_EQ(info.Comment, c.ExpectedComment);
        EXPECT_EQ(info.Track, c.ExpectedTrack);
    }
}

TEST(Id3v1Reader, GenreByIndexOrUnchanged)
{
    struct Case {
        int Byte;
        std::string Expected;
    };
    const Case cases[] = {{0, "Blues"}, {17, "Rock"}, {92, "ProgessiveRock"}, {147, "Synthpop"}, {148, "old"}, {255, "old"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Byte);
        Id3v1Fields f;
        f.Genre = c.Byte;
        const TempFile file(Id3v1Tag(f), "mp3");
        TrackInfo info;
        info.Genre = "old";
        ASSERT_EQ(ReadId3v1Tag(file.Path(), info), 1);
        EXPECT_EQ(info.Genre, c.Expected);
    }
}

TEST(Id3v1Reader, BlankFieldsReplaceEarlierValues)
{
    const TempFile file(Id3v1Tag({}), "mp3");
    TrackInfo info;
    info.Title = info.Artist = info.Album = info.Year = info.Comment = "old";
    ASSERT_EQ(ReadId3v1Tag(file.Path(), info), 1);
    EXPECT_EQ(info.Title + info.Artist + info.Album + info.Year + info.Comment, "");
}

TEST(Id3v1Reader, NoTagChangesNothing)
{
    const ByteVector tag = Id3v1Tag({"T", "A", "B", "2000", "C", 0, 1, 1});
    const ByteVector cases[] = {
        ByteVector(tag.begin(), tag.end() - 1),  // shorter than 128 bytes
        Audio,                                   // no "TAG"
        tag + ByteVector{0},                     // "TAG" not in the last 128 bytes
        {},
    };
    for (const ByteVector& bytes : cases) {
        const TempFile file(bytes, "mp3");
        TrackInfo info;
        info.Title = "kept";
        EXPECT_EQ(ReadId3v1Tag(file.Path(), info), 0);
        EXPECT_EQ(Id3v1TagLength(file.Path()), 0);
        EXPECT_EQ(info.Title, "kept");
    }
    TrackInfo info;
    EXPECT_EQ(ReadId3v1Tag("no/such/file.mp3", info), 0);
    const TempFile exact(tag, "mp3");
    EXPECT_EQ(Id3v1TagLength(exact.Path()), 128);
}

TEST(GenreNames, HasTheFullTable)
{
    ASSERT_EQ(GenreNames.size(), 148u);
    EXPECT_EQ(GenreNames[67], "Psychadelic");
    EXPECT_EQ(GenreNames[79], "HardRock");
    EXPECT_EQ(GenreNames[127], "Drum&Bass");
    EXPECT_EQ(GenreNames[136], "ChristianGangstaRap");
}
