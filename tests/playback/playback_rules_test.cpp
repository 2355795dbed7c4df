#include "playback/logic/playback_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string Day = "天", Hours = "小时", Minutes = "分", Seconds = "秒";

TEST(FormatDuration, TemplatesAndOddNumbers) {
    struct Case {
        int32_t Seconds;
        std::string Template;
        std::string Expected;
    };
    const Case cases[] = {
        {0, "m:s", "0:00"},
        {59, "m:s", "0:59"},  // a 59.9 s position is truncated before formatting
        {60, "m:s", "1:00"},
        {125, "m:s", "2:05"},
        {3599, "m:s", "59:59"},
        {3600, "m:s", "1:00:00"},
        {3725, "m:s", "1:02:05"},
        {3665, "m:s", "1:01:05"},
        {90061, "m:s", "25:01:01"},  // no days on the play bar
        {90061, "", "1" + Day + "1" + Hours + "1" + Minutes + "1" + Seconds},
        {90061, std::string(DefaultDurationTemplate), "1" + Day + "1" + Hours + "1" + Minutes + "1" + Seconds},
        {-125, "m:s", "-2:05"},
        {INT32_MIN, "m:s", "-596523:14:08"},
        {-125, "m:s ", "-2:-5 "},  // any other template as it always was
        {0, "h:m:s", "0:0:0"},
        {INT32_MAX, "d", "24855"},
        {INT32_MIN, "d h m s", "-24855 -3 -14 -8"},
        {61, "mm:ss", "m1:s1"},  // only the last of each letter is replaced
        {61, "none", "none"},
        {7, "s" + Seconds, "7" + Seconds},
        {5, "\u3128 s", "\u3128 5"},  // GBK A8 73 ended in the byte of "s"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Seconds) + " with \"" + c.Template + "\"");
        EXPECT_EQ(FormatDuration(c.Seconds, c.Template), c.Expected);
    }
}

TEST(TrackPaths, TitlesFoldersLyricsAndCovers) {
    struct Case {
        std::string Path;
        std::string Title;   // FallbackTitle
        std::string Folder;  // FolderOf
        std::string Lyric;   // LyricPathFor
    };
    const Case cases[] = {
        {"D:\\Music\\Band - Song.mp3", "Band - Song", "D:\\Music\\", "D:\\Music\\Band - Song.lrc"},
        {"D:\\My.Music\\a.b.mp3", "a.b", "D:\\My.Music\\", "D:\\My.Music\\a.b.lrc"},
        {"D:\\song", "song", "D:\\", "D:\\song"},
        {"D:\\mp3\\song.mp3", "song", "D:\\mp3\\", "D:\\mp3\\song.lrc"},
        {"D:\\My.Music\\song", "song", "D:\\My.Music\\", "D:\\My.Music\\song"},
        {"song.flac", "song", "", "song.lrc"},
        {"D:\\Music\\.hidden", "", "D:\\Music\\", "D:\\Music\\.lrc"},
        {"D:\\Music\\trailing.", "trailing", "D:\\Music\\", "D:\\Music\\trailing.lrc"},
        {"D:/Music/forward.ogg", "forward", "D:/Music/", "D:/Music/forward.lrc"},
        {"", "", "", ""},
        {"D:\\乗\\x乗.mp3", "x乗", "D:\\乗\\", "D:\\乗\\x乗.lrc"},  // 乗 was 81 5C in GBK
        {"D:\\Mot\u00F6rhead\\\uD55C\uAD6D\uC5B4 \u2660.flac", "\uD55C\uAD6D\uC5B4 \u2660", "D:\\Mot\u00F6rhead\\",
         "D:\\Mot\u00F6rhead\\\uD55C\uAD6D\uC5B4 \u2660.lrc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(FallbackTitle(c.Path), c.Title);
        EXPECT_EQ(FolderOf(c.Path), c.Folder);
        EXPECT_EQ(LyricPathFor(c.Path), c.Lyric);
    }
    EXPECT_EQ(CoverPathFor("D:\\Music\\x.mp3", "Song"), "D:\\Music\\Song.jpg");
    EXPECT_EQ(CoverPathFor("D:\\Music\\x.mp3", ""), "D:\\Music\\.jpg");
}

TEST(FolderScan, TakesEveryOfferedTypeInAnyCase) {
    struct Case {
        const char* Name;
        bool Taken;
    };
    const Case cases[] = {
        {"a.mp3", true},   {"a.MP3", true},    {"a.Flac", true},   {"a.ogg", true},   {"a.OGG", true},
        {"a.m4a", true},   {"a.WAV", true},    {"a.mp4", true},    {"a.Wma", true},   {"a.xm", true},
        {"a.APE", true},   {"mp3", false},     {"a.mp3.txt", false}, {"a.mp", false}, {"a.mp33", false},
        {".mp3", true},    {"a.", false},      {"a.b.flac", true}, {"a.lrc", false},  {"a.x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(IsScannedExtension(c.Name), c.Taken);
    }
}

TEST(ListPositions, NextAndPreviousWrap) {
    struct Case {
        int Current, Count, Next, Previous;
    };
    const Case cases[] = {
        {0, 3, 1, 3},  // nothing loaded yet (after a scan only)
        {1, 3, 2, 3},
        {2, 3, 3, 1},
        {3, 3, 1, 2},
        {1, 1, 1, 1},
        {0, 0, 0, 0},  // empty list: nothing
        {5, 3, 1, 3},  // a stale position past the end still lands in the list
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Current) + " of " + std::to_string(c.Count));
        EXPECT_EQ(NextPosition(c.Current, c.Count), c.Next);
        EXPECT_EQ(PreviousPosition(c.Current, c.Count), c.Previous);
    }
}

TEST(Fade, StepsRiseToAndFallFromTheVolume) {
    for (int volume = 0; volume <= 100; ++volume) {
        SCOPED_TRACE(volume);
        int previous = 0;
        for (int step = 1; step <= FadeInSteps; ++step) {
            const int v = FadeInVolume(volume, step);
            EXPECT_GE(v, previous);
            EXPECT_LE(v, volume);
            previous = v;
        }
        // volume / 50 x 50 may land just below volume (29 gives 28.999...);
        // the resume sets the exact volume after the fade.
        EXPECT_GE(FadeInVolume(volume, FadeInSteps), volume - 1);
        previous = volume;
        for (int step = 1; step <= FadeOutSteps; ++step) {
            const int v = FadeOutVolume(volume, step);
            EXPECT_LE(v, previous);
            EXPECT_GE(v, 0);
            previous = v;
        }
        EXPECT_EQ(FadeOutVolume(volume, FadeOutSteps), 0);
    }
    // Truncation, not rounding: 50 / 30 x 1 = 1.67 leaves 48.33 -> 48.
    EXPECT_EQ(FadeOutVolume(50, 1), 48);
    EXPECT_EQ(FadeInVolume(50, 1), 1);
    EXPECT_EQ(FadeInVolume(70, 1), 1);
    EXPECT_EQ(FadeInVolume(70, 49), 68);
}

TEST(PlayBar, ProgressWidthStaysInsideTheBar) {
    EXPECT_EQ(ProgressWidthFor(30.0, 60, 500.0), 250);
    EXPECT_EQ(ProgressWidthFor(30.0, 0, 500.0), 0);
    EXPECT_EQ(ProgressWidthFor(-1.0, 60, 500.0), 0);    // a failed position read
    EXPECT_EQ(ProgressWidthFor(5.9, 5, 500.0), 500);    // the length is truncated, the position not
    EXPECT_EQ(ProgressWidthFor(30.0, 60, -20.0), 0);    // a window narrower than the fixed parts
}

}  // namespace
