#include "lrc/lrc_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

constexpr int32_t LrcTextUtf16 = 2;

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// A scratch folder of this test, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() : Path(std::filesystem::temp_directory_path() / "tamber_lrc_file_test")
    {
        std::filesystem::remove_all(Path);
        std::filesystem::create_directories(Path);
    }
    ~ScratchFolder() { std::filesystem::remove_all(Path); }
    std::filesystem::path Write(const std::string& name, std::string_view bytes) const
    {
        const std::filesystem::path file = Path / name;
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }
    std::filesystem::path Path;
};

}  // namespace

TEST(LrcFile, PathReplacesTheExtension)
{
    struct Case {
        std::u16string_view Audio;
        std::u16string_view Lyrics;
    };
    const Case cases[] = {
        {u"C:\\Music\\a.mp3", u"C:\\Music\\a.lrc"},
        {u"C:\\Music\\a", u"C:\\Music\\a.lrc"},
        {u"C:\\My.Music\\a", u"C:\\My.Music\\a.lrc"},        // a "." before a "\" is no extension
        {u"C:\\Music\\a.b c", u"C:\\Music\\a.b c.lrc"},      // nor one with a space after it
        {u"C:\\Music\\song.tar.flac", u"C:\\Music\\song.tar.lrc"},
        {u"C:\\Music\\.mp3", u"C:\\Music\\.lrc"},
        {u"C:\\Music\\a.", u"C:\\Music\\a.lrc"},
        {u"/music/a.mp3", u"/music/a.lrc"},
        {u"\\\\?\\C:\\Music\\\u6B4C.ape", u"\\\\?\\C:\\Music\\\u6B4C.lrc"},
        {u"", u".lrc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Audio));
        EXPECT_EQ(LrcPathForAudio(c.Audio), c.Lyrics);
    }
}

TEST(LrcFile, LongPathsHaveNoLimit)
{
    std::u16string audio = u"C:";
    for (int i = 0; i < 100; ++i)
        audio += u"\\folder.name";
    audio += u"\\track.mp3";
    ASSERT_GT(audio.size(), 1000u);
    const std::u16string lyrics = LrcPathForAudio(audio);
    EXPECT_EQ(lyrics.size(), audio.size());
    EXPECT_TRUE(lyrics.ends_with(u"\\track.lrc"));
}

TEST(LrcFile, DecodesByMarkThenByTextMode)
{
    struct Case {
        const char* Name;
        std::string_view Bytes;
        unsigned CodePage;
        int32_t TextMode;
        std::optional<std::u16string> Text;
    };
    using namespace std::string_view_literals;
    const Case cases[] = {
        {"UTF-8 mark wins over the text mode", "\xEF\xBB\xBF[1:0]\xE4\xB8\xAD"sv, 936, LrcTextUtf16, u"[1:0]\u4E2D"},
        {"UTF-16LE mark", "\xFF\xFE[\0a\0"sv, 936, LrcTextInCodePage, u"[a"},
        {"UTF-16LE mark, odd byte dropped", "\xFF\xFE" "a\0b"sv, 0, LrcTextUtf8, u"a"},
        {"big-endian mark is not recognised", "\xFE\xFF\0a"sv, 0, LrcTextUtf16, u"\uFFFE\u6100"},
        {"GBK in code page 936", "[0:1]\xD6\xD0\xCE\xC4"sv, 936, LrcTextInCodePage, u"[0:1]\u4E2D\u6587"},
        {"code page 0 is the ANSI code page (936)", "\xD6\xD0\xCE\xC4"sv, 0, LrcTextInCodePage, u"\u4E2D\u6587"},
        {"UTF-8 without a mark", "\xE4\xB8\xAD"sv, 936, LrcTextUtf8, u"\u4E2D"},
        {"UTF-16LE without a mark", "a\0b\0"sv, 936, 7, u"ab"},
        {"UTF-16LE odd byte is a unit", "a\0b"sv, 936, -1, u"ab"},
        {"code page text ends at NUL", "ab\0cd"sv, 936, LrcTextInCodePage, u"ab"},
        {"UTF-8 text ends at NUL", "\xEF\xBB\xBF" "ab\0cd"sv, 936, LrcTextInCodePage, u"ab"},
        {"UTF-16 text ends at NUL", "\xFF\xFE" "a\0\0\0b\0"sv, 936, LrcTextInCodePage, u"a"},
        {"only a UTF-8 mark", "\xEF\xBB\xBF"sv, 936, LrcTextInCodePage, u""},
        {"only a UTF-16 mark", "\xFF\xFE"sv, 936, LrcTextInCodePage, u""},
        {"a NUL first", "\0[0:1]a"sv, 936, LrcTextInCodePage, u""},
        {"half a UTF-8 mark is no mark", "\xEF\xBB"sv, 936, LrcTextUtf16, u"\uBBEF"},
        {"unknown code page", "abc"sv, 12345, LrcTextInCodePage, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DecodeLrcBytes(c.Bytes, c.CodePage, c.TextMode), c.Text);
    }
}

TEST(LrcFile, ReadsFilesWithAnyLineEnds)
{
    const ScratchFolder folder;
    const auto crlf = folder.Write("crlf.lrc", "[00:01]a\r\n[00:02]b\r\n[00:03]c\r\n");
    const auto mixed = folder.Write("mixed.lrc", "[00:01]a\r[00:02]b\n[00:03]c\r\n\r\n");
    for (const auto& path : {crlf, mixed}) {
        SCOPED_TRACE(path.string());
        const auto lines = ReadLrcFile(path.u16string(), 936, LrcTextInCodePage);
        ASSERT_TRUE(lines.has_value());
        ASSERT_EQ(lines->size(), 3u);
        EXPECT_EQ((*lines)[0].Text, u"a");
        EXPECT_EQ((*lines)[1].Text, u"b");
        EXPECT_EQ((*lines)[2].Text, u"c");
    }
}

TEST(LrcFile, MissingEmptyOrUndecodableFilesGiveNothing)
{
    const ScratchFolder folder;
    EXPECT_FALSE(ReadLrcFile((folder.Path / "missing.lrc").u16string(), 936, 0));
    EXPECT_FALSE(ReadLrcFile(folder.Write("empty.lrc", "").u16string(), 936, 0));
    EXPECT_FALSE(ReadLrcFile(folder.Write("bad.lrc", "[0:1]a").u16string(), 12345, 0));
    EXPECT_FALSE(ReadLrcFile(folder.Path.u16string(), 936, 0));  // a folder is no file
    const auto noTags = ReadLrcFile(folder.Write("tags.lrc", "[ti:Song]\n").u16string(), 936, 0);
    ASSERT_TRUE(noTags.has_value());
    EXPECT_TRUE(noTags->empty());
}

TEST(LrcFile, FilesAboveTheirCapGiveNothing)
{
    // Sparse: the zeros after the first line end the text, so only the size differs.
    const ScratchFolder folder;
    const std::filesystem::path path = folder.Write("big.lrc", "[00:01.00]a");
    std::filesystem::resize_file(path, MaxLrcFileBytes);
    const auto atCap = ReadLrcFile(path.u16string(), 936, 0);
    ASSERT_TRUE(atCap.has_value());
    EXPECT_EQ(atCap->size(), 1u);
    std::filesystem::resize_file(path, MaxLrcFileBytes + 1);
    EXPECT_FALSE(ReadLrcFile(path.u16string(), 936, 0));
}
