// Container fixtures made by real tools (tests/fixtures/metadata/
// make_container_fixtures.sh). Expected figures are worked out by hand from
// the files' headers, noted beside each.

#include "container_builders.h"


namespace {

// 中文标题, written as UTF-8 by the tools, in GBK.
constexpr std::string_view ShownTitle = "\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98";

struct Expected {
    std::string TrackInfo::*Field;
    std::string Value;
};

void ExpectFields(const TrackInfo& info, std::initializer_list<Expected> fields)
{
    for (const Expected& e : fields)
        EXPECT_EQ(info.*e.Field, e.Value);
}

TEST(ContainerFixtures, Flac)
{
    TrackInfo info;
    EXPECT_EQ(ReadTrackInfo(FixturePath("container_flac.flac"), info), 1);
    ExpectFields(info, {
        {&TrackInfo::Title, std::string(ShownTitle)},
        {&TrackInfo::Artist, "FLAC Artist"},  // "Artist" and
        {&TrackInfo::Album, "FLAC Album"},    // "album": any letter case
        {&TrackInfo::Year, "2021"},
        {&TrackInfo::Track, "3/12"},
        {&TrackInfo::Genre, "Folk"},
        {&TrackInfo::Comment, "a=b"},
        {&TrackInfo::Lyrics, "line one"},
        {&TrackInfo::Url, "http://example.com/"},
        {&TrackInfo::Copyright, "(c) Tamber"},
        {&TrackInfo::Encoder, "Free Lossless Audio Codec(reference libFLAC 1.4.2 20221022)"},
        {&TrackInfo::SampleRateText, "8000"},
        {&TrackInfo::ChannelsText, std::string(ShownStereo)},
        {&TrackInfo::DurationText, "00:01"},  // 12000 samples / 8000 Hz
        // 12,879 bytes of 12000 x 2 x 16 / 8 = 48,000 raw bytes: 26.8 %.
        {&TrackInfo::BitRateText, "27"},
    });
    EXPECT_EQ(info.Picture, FixtureBytes("cover.jpg"));
}

TEST(ContainerFixtures, OggVorbis)
{
    TrackInfo info;
    EXPECT_EQ(ReadTrackInfo(FixturePath("container_vorbis.ogg"), info), 1);
    std::string lyrics;
    for (size_t i = 0; i < 70 * 1024; ++i)
        lyrics.push_back(static_cast<char>('a' + i % 26));
    ExpectFields(info, {
        {&TrackInfo::Title, "a=b"},
        {&TrackInfo::Artist, "Ogg Artist"},
        {&TrackInfo::Album, std::string(ShownTitle)},
        {&TrackInfo::Track, "7"},
        {&TrackInfo::Year, "2020-05-01"},
        {&TrackInfo::Genre, "Rock"},
        {&TrackInfo::Comment, "ogg comment"},
        {&TrackInfo::Performer, "Performer"},
        {&TrackInfo::Description, "Description"},
        {&TrackInfo::Lyrics, lyrics},  // spans two pages
        {&TrackInfo::Encoder, "Vorbis(Xiph.Org libVorbis I 20200704 (Reducing Environment))"},
        {&TrackInfo::SampleRateText, "22050"},
        {&TrackInfo::ChannelsText, std::string(ShownMono)},
        {&TrackInfo::DurationText, "00:01"},  // granule 33075 / 22050 Hz = 1.5 s
        // 77,191 bytes over 1500 ms: 77191 / 1500 / 125 x 1000 = 411.7.
        {&TrackInfo::BitRateText, "412"},
    });
}

TEST(ContainerFixtures, M4a)
{
    TrackInfo info;
    EXPECT_EQ(ReadTrackInfo(FixturePath("container_aac.m4a"), info), 0);  // M4A gives 0
    ExpectFields(info, {
        {&TrackInfo::Title, std::string(ShownTitle)},
        {&TrackInfo::Artist, "M4A Artist"},
        {&TrackInfo::Album, "M4A Album"},
        {&TrackInfo::Year, "2019"},
        {&TrackInfo::Comment, "m4a comment"},
        {&TrackInfo::Lyrics, "m4a lyrics"},  // freeform item named "lyrics"
        {&TrackInfo::DurationText, ""},
        {&TrackInfo::Encoder, ""},
    });
    EXPECT_EQ(info.Picture, FixtureBytes("cover.jpg"));
}

TEST(ContainerFixtures, Wma)
{
    TrackInfo info;
    EXPECT_EQ(ReadTrackInfo(FixturePath("container_wma.wma"), info), 1);
    ExpectFields(info, {
        {&TrackInfo::Title, "WMA Title"},
        {&TrackInfo::Artist, "WMA Artist"},
        {&TrackInfo::Copyright, "(c) WMA"},
        {&TrackInfo::Comment, "wma comment"},
        {&TrackInfo::Album, "WMA Album"},
        {&TrackInfo::Genre, "Jazz"},
        {&TrackInfo::Year, "2018"},
        {&TrackInfo::Lyrics, "wma lyrics"},
        {&TrackInfo::Track, "5"},  // a 32-bit number descriptor
        {&TrackInfo::Encoder, "Windows Media Audio V8"},  // the codec list follows the tags
        // Play duration 46,320,000 x 100 ns = 4632 ms, less 3100 ms preroll: 1.532 s.
        {&TrackInfo::DurationText, "00:01"},
        {&TrackInfo::BitRateText, ""},  // the muxer writes an empty codec description
    });
    EXPECT_EQ(info.Picture, FixtureBytes("cover.jpg"));
}

TEST(ContainerFixtures, ApeTagOnEveryApeExtension)
{
    for (const char* name : {"container_ape.ape", "container_apetag.wav", "container_apetag.aac"}) {
        SCOPED_TRACE(name);
        TrackInfo info;
        EXPECT_EQ(ReadTrackInfo(FixturePath(name), info), 1);
        ExpectFields(info, {
            {&TrackInfo::Title, std::string(ShownTitle)},
            {&TrackInfo::Artist, "APE Artist"},  // key "ARTIST"; "Album Artist" is another item
            {&TrackInfo::Album, "APE Album"},
            {&TrackInfo::Year, "2017"},
            {&TrackInfo::Track, "9"},
            {&TrackInfo::Genre, "Blues"},
            {&TrackInfo::Comment, "ape comment"},
            {&TrackInfo::Lyrics, "ape lyrics"},
        });
        EXPECT_EQ(info.Picture, FixtureBytes("cover.jpg"));
    }
}

TEST(ContainerFixtures, MonkeysAudioHeader)
{
    TrackInfo info;
    ReadTrackInfo(FixturePath("container_ape.ape"), info);
    ExpectFields(info, {
        {&TrackInfo::Encoder, "Monkey's Audio 3.99"},
        {&TrackInfo::BitRateText, "16"},
        {&TrackInfo::SampleRateText, "44100"},
        {&TrackInfo::ChannelsText, std::string(ShownStereo)},
        {&TrackInfo::DurationText, "00:01"},  // (2 - 1) x 73728 + 1000 = 74728 samples: 1.69 s
    });
    TrackInfo wav;
    ReadTrackInfo(FixturePath("container_apetag.wav"), wav);
    EXPECT_EQ(wav.Encoder, "");  // no Monkey's Audio header
    EXPECT_EQ(wav.DurationText, "");
}

TEST(ContainerFixtures, ApeTagBeforeId3v1)
{
    TrackInfo info;
    EXPECT_EQ(ReadApeFile(FixturePath("container_apetag.mp3"), info), 1);
    EXPECT_EQ(info.Title, ShownTitle);
    EXPECT_EQ(info.Lyrics, "ape lyrics");
    // In the MP3 chain the ID3v1 fields win; lyrics and cover have no ID3v1 field.
    TrackInfo chain;
    ReadTrackInfo(FixturePath("container_apetag.mp3"), chain);
    EXPECT_EQ(chain.Title, "V1 Title");
    EXPECT_EQ(chain.Lyrics, "ape lyrics");
    EXPECT_EQ(chain.Picture, FixtureBytes("cover.jpg"));
}

TEST(ContainerFixtures, BenchSeeds)
{
    for (const char* name : {"bench_seed.flac", "bench_seed.ogg", "bench_seed.m4a", "bench_seed.wma"}) {
        SCOPED_TRACE(name);
        TrackInfo info;
        ReadTrackInfo(FixturePath(name), info);
        ExpectFields(info, {{&TrackInfo::Title, "Seed"}, {&TrackInfo::Artist, "Seeder"}, {&TrackInfo::Album, "Seeds"}});
    }
}

TEST(ContainerFixtures, PrefixesReadSafely)
{
    const struct {
        const char* Name;
        Reader Read;
        const char* Extension;
    } files[] = {
        {"container_flac.flac", ReadFlacFile, "flac"}, {"container_vorbis.ogg", ReadOggFile, "ogg"},
        {"container_aac.m4a", ReadMp4File, "m4a"},     {"container_wma.wma", ReadWmaFile, "wma"},
        {"container_ape.ape", ReadApeFile, "ape"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.Name);
        const ByteVector bytes = FixtureBytes(f.Name);
        ASSERT_FALSE(bytes.empty());
        ReadEveryPrefix(f.Read, bytes, f.Extension, bytes.size() / 50 + 1);  // unit tests cover every byte
    }
}

}  // namespace
