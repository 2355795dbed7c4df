// ReadTrackInfo over the MP3 fixtures made by make_mp3_fixtures.sh (lame +
// mutagen). Expected values are worked out from the tag bytes and the frame
// header; texts are program text (UTF-8).

#include "metadata/track_info.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Field = std::string TrackInfo::*;
struct FieldValue {
    Field Which;
    std::string Value;
};

const std::vector<std::pair<const char*, Field>> AllTextFields = {
    {"Artist", &TrackInfo::Artist},       {"Title", &TrackInfo::Title},
    {"Album", &TrackInfo::Album},         {"Copyright", &TrackInfo::Copyright},
    {"Comment", &TrackInfo::Comment},     {"Track", &TrackInfo::Track},
    {"Encoder", &TrackInfo::Encoder},     {"Genre", &TrackInfo::Genre},
    {"Lyrics", &TrackInfo::Lyrics},       {"Year", &TrackInfo::Year},
    {"Url", &TrackInfo::Url},             {"Composer", &TrackInfo::Composer},
    {"SdkVersion", &TrackInfo::SdkVersion}, {"BitRateText", &TrackInfo::BitRateText},
    {"SampleRateText", &TrackInfo::SampleRateText}, {"ChannelsText", &TrackInfo::ChannelsText},
    {"Performer", &TrackInfo::Performer}, {"Description", &TrackInfo::Description},
    {"DurationText", &TrackInfo::DurationText},
};

constexpr std::string_view Mono = "\xE5\x8D\x95\xE5\xA3\xB0\xE9\x81\x93";                    // 单声道
constexpr std::string_view JointStereo = "\xE7\xAB\x8B\xE4\xBD\x93\xE5\xA3\xB0(Joint)";       // 立体声(Joint)

// The constant-rate stream: MPEG 2 Layer III, 32 kbit/s, 22050 Hz, mono, 4284
// bytes of audio: 4284 * 8 / 32000 = 1.07 s.
std::vector<FieldValue> CbrStream()
{
    return {{&TrackInfo::Encoder, "MPEG 2 Layer III"}, {&TrackInfo::BitRateText, "32"},
            {&TrackInfo::SampleRateText, "22050"}, {&TrackInfo::ChannelsText, std::string(Mono)},
            {&TrackInfo::DurationText, "00:01"}};
}

// The VBR stream: first frame FF FB 90 64 (MPEG 1 Layer III, 44100 Hz, joint
// stereo, no padding) holding Xing flags 0x0F, 40 frames, 5047 bytes:
// round(5047 / 40 * 44100 / 144 / 1000) = 39 kbit/s, 40 * 1152 / 44100 = 1.04 s.
std::vector<FieldValue> VbrStream()
{
    return {{&TrackInfo::Encoder, "MPEG 1 Layer III"}, {&TrackInfo::BitRateText, "39"},
            {&TrackInfo::SampleRateText, "44100"}, {&TrackInfo::ChannelsText, std::string(JointStereo)},
            {&TrackInfo::DurationText, "00:01"}};
}

struct FixtureCase {
    const char* File;
    std::vector<FieldValue> Fields;
    std::vector<uint8_t> PictureStart;  // empty: no picture
};

std::vector<FieldValue> operator+(std::vector<FieldValue> a, const std::vector<FieldValue>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<uint8_t> Jpeg = {0xFF, 0xD8, 0xFF};
const std::vector<uint8_t> Png = {0x89, 'P', 'N', 'G'};

}  // namespace

TEST(Mp3Fixtures, ReadTrackInfoGivesTheWorkedOutValues)
{
    const FixtureCase cases[] = {
        {"mp3_v23_latin.mp3",
         std::vector<FieldValue>{
             {&TrackInfo::Title, "english title"},  // no frame but COMM/USLT loses letters
             {&TrackInfo::Artist, "\xE5\x91\xA8\xE6\x9D\xB0\xE4\xBC\xA6"},  // GBK bytes in a Latin-1 frame: 周杰伦
             {&TrackInfo::Album, "Latin Album"},
             {&TrackInfo::Track, "3/12"},
             {&TrackInfo::Year, "2001"},
             {&TrackInfo::Genre, "(13)"},
             {&TrackInfo::Composer, "Composer"},
             {&TrackInfo::Copyright, "(c) 2001"},
             {&TrackInfo::Url, "http://example.com/"},
             {&TrackInfo::Comment, "comment text"},
             {&TrackInfo::Lyrics, "\xE6\xAD\x8C\xE8\xAF\x8D"},  // 歌词
         } + CbrStream(),
         Jpeg},
        {"mp3_v23_utf16.mp3",
         std::vector<FieldValue>{
             {&TrackInfo::Title, "\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98\xE4\xBB\xBF"},  // 中文标题仿
             {&TrackInfo::Artist, "Artist \xE6\xAD\x8C\xE6\x89\x8B"},                  // Artist 歌手
             {&TrackInfo::Album, "\xE4\xB8\x93\xE8\xBE\x91"},                          // 专辑
             {&TrackInfo::Year, "2002"},
             {&TrackInfo::Genre, "Pop"},
             {&TrackInfo::Url, "http://example.cn/"},
             {&TrackInfo::Comment, "\xE8\xAF\x84\xE8\xAE\xBA"},  // 评论, after the description 说明
             {&TrackInfo::Lyrics, "Line one"},
         } + CbrStream(),
         Png},
        {"mp3_v24_utf16be.mp3",
         std::vector<FieldValue>{
             {&TrackInfo::Title, "\xE5\xA4\xA7\xE6\xA0\x87\xE9\xA2\x98"},  // 大标题
             {&TrackInfo::Artist, "Singer"},
             {&TrackInfo::Album, "\xE4\xBB\xBF\xE4\xBD\x9B"},  // 仿佛
             {&TrackInfo::Year, "2020"},               // from TDRC
             {&TrackInfo::Comment, "\xE5\xA4\xA7\xE8\xAF\x84\xE8\xAE\xBA"},  // 大评论
         } + CbrStream(),
         {}},
        {"mp3_v24_utf8.mp3",
         std::vector<FieldValue>{
             {&TrackInfo::Title, "UTF-8 \xE6\xA0\x87\xE9\xA2\x98"},  // UTF-8 标题
             {&TrackInfo::Artist, "England"},
             {&TrackInfo::Album, "Album \xE4\xB8\x93\xE8\xBE\x91"},
             {&TrackInfo::Track, "7"},
             {&TrackInfo::Year, "2019-05-06"},
             {&TrackInfo::Comment, "Kommentar"},  // language deu, description d
         } + VbrStream(),
         Jpeg},
        {"mp3_v10.mp3",
         std::vector<FieldValue>{
             {&TrackInfo::Title, "V1 Title"},
             {&TrackInfo::Artist, "\xE5\x91\xA8\xE6\x9D\xB0\xE4\xBC\xA6"},
             {&TrackInfo::Album, "V1 Album"},
             {&TrackInfo::Year, "1999"},
             {&TrackInfo::Comment, "A comment of thirty bytes long"},  // v1.0: no track
             {&TrackInfo::Genre, "Rock"},
         } + CbrStream(),
         {}},
        {"mp3_v11.mp3",
         std::vector<FieldValue>{
             {&TrackInfo::Title, "V11 Title"},
             {&TrackInfo::Artist, "V11 Artist"},
             {&TrackInfo::Album, "V11 Album"},
             {&TrackInfo::Year, "2000"},
             {&TrackInfo::Comment, "short comment"},
             {&TrackInfo::Track, "7"},
             {&TrackInfo::Genre, "Synthpop"},
         } + CbrStream(),
         {}},
        {"mp3_vbr_xing.mp3", std::vector<FieldValue>{{&TrackInfo::Title, "VBR \xE6\xA0\x87\xE9\xA2\x98"}} + VbrStream(), {}},
    };
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.File);
        const std::string path = std::string(TAMBER_SOURCE_DIR) + "/tests/fixtures/metadata/" + c.File;
        TrackInfo info;
        ASSERT_EQ(ReadTrackInfo(path, info), 1);
        for (const auto& [name, field] : AllTextFields) {
            SCOPED_TRACE(name);
            std::string expected;
            for (const FieldValue& v : c.Fields)
                if (v.Which == field)
                    expected = v.Value;
            EXPECT_EQ(info.*field, expected);
        }
        if (c.PictureStart.empty()) {
            EXPECT_TRUE(info.Picture.empty());
        } else {
            ASSERT_GE(info.Picture.size(), c.PictureStart.size());
            EXPECT_TRUE(std::equal(c.PictureStart.begin(), c.PictureStart.end(), info.Picture.begin()));
        }
    }
}
