// WMA (ASF) header objects.

#include "container_builders.h"
#include "metadata/wma.h"

namespace {

ByteVector Guid(const AsfGuid& id) { return ByteVector(id.begin(), id.end()); }

ByteVector AsfObject(const AsfGuid& id, const ByteVector& body, int64_t sizeOverride = -1)
{
    ByteVector out = Guid(id);
    AppendLe(out, sizeOverride >= 0 ? static_cast<uint64_t>(sizeOverride) : body.size() + 24, 8);
    Append(out, body);
    return out;
}

ByteVector AsfFile(const std::vector<ByteVector>& objects, int64_t countOverride = -1)
{
    const ByteVector body = [&] {
        ByteVector all;
        for (const ByteVector& object : objects)
            Append(all, object);
        return all;
    }();
    ByteVector out = Guid(AsfHeaderObjectId);
    AppendLe(out, body.size() + 30, 8);                 // header size
    AppendLe(out, countOverride >= 0 ? static_cast<uint64_t>(countOverride) : objects.size(), 4);
    out.push_back(1);                                   // reserved
    out.push_back(2);
    Append(out, body);
    Append(out, ByteVector(50, 0));                     // data object stand-in
    return out;
}

ByteVector ContentDescription(std::u16string_view title, std::u16string_view author, std::u16string_view copyright,
                              std::u16string_view description, std::u16string_view rating)
{
    ByteVector lengths, strings;
    for (const std::u16string_view text : {title, author, copyright, description, rating}) {
        const ByteVector bytes = text.empty() ? ByteVector{} : Utf16Le(text);
        AppendLe(lengths, bytes.size(), 2);
        Append(strings, bytes);
    }
    return AsfObject(AsfContentDescriptionId, Concat({lengths, strings}));
}

struct Descriptor {
    std::u16string Name;
    uint16_t Type;
    ByteVector Value;
};
ByteVector StringValue(std::u16string_view text) { return Utf16Le(text); }

ByteVector ExtendedContent(const std::vector<Descriptor>& descriptors)
{
    ByteVector body;
    AppendLe(body, descriptors.size(), 2);
    for (const Descriptor& d : descriptors) {
        const ByteVector name = Utf16Le(d.Name);
        AppendLe(body, name.size(), 2);
        Append(body, name);
        AppendLe(body, d.Type, 2);
        AppendLe(body, d.Value.size(), 2);
        Append(body, d.Value);
    }
    return AsfObject(AsfExtendedContentDescriptionId, body);
}

ByteVector CodecList(std::u16string_view name, std::u16string_view description)
{
    ByteVector body(16, 0);                 // reserved identifier
    AppendLe(body, 1, 4);                   // entry count
    AppendLe(body, 2, 2);                   // entry type: audio
    AppendLe(body, name.size() + 1, 2);     // characters, with the terminator
    Append(body, Utf16Le(name));
    AppendLe(body, description.size() + 1, 2);
    Append(body, Utf16Le(description));
    AppendLe(body, 0, 2);                   // codec information length
    return AsfObject(AsfCodecListId, body);
}

ByteVector FileProperties(uint64_t playDuration, uint64_t prerollMs, uint32_t flags)
{
    ByteVector body(40, 0);                 // file identifier, size, creation date, packet count
    AppendLe(body, playDuration, 8);
    AppendLe(body, playDuration, 8);        // send duration
    AppendLe(body, prerollMs, 8);
    AppendLe(body, flags, 4);
    AppendLe(body, 0, 12);                  // packet sizes, bit rate
    return AsfObject(AsfFilePropertiesId, body);
}

ReadResult ReadWma(const ByteVector& bytes) { return ReadBytesWith(ReadWmaFile, bytes, "wma"); }

TEST(WmaContentDescription, FieldsAndLongTitle)
{
    const std::u16string title(150, u'T');
    const ReadResult read = ReadWma(AsfFile({ContentDescription(title, u"author", u"", u"desc", u"rating is ignored"),
                                             FileProperties(3000000000ULL, 3000, 0)}));
    EXPECT_EQ(read.Result, 1);
    EXPECT_EQ(read.Info.Title, std::string(150, 'T'));
    EXPECT_EQ(read.Info.Artist, "author");
    EXPECT_EQ(read.Info.Copyright, "");
    EXPECT_EQ(read.Info.Comment, "desc");
    EXPECT_EQ(read.Info.DurationText, "04:57");  // the rating did not disturb the next object
}

TEST(WmaExtendedContent, EveryAttributeName)
{
    std::vector<Descriptor> descriptors;
    const std::vector<std::pair<std::u16string, std::string TrackInfo::*>> strings = {
        {u"WM/AlbumTitle", &TrackInfo::Album}, {u"WM/EncodedBy", &TrackInfo::Encoder},
        {u"WM/Genre", &TrackInfo::Genre},      {u"WM/Lyrics", &TrackInfo::Lyrics},
        {u"WM/Year", &TrackInfo::Year},        {u"WM/URL", &TrackInfo::Url},
        {u"WM/UserWebURL", &TrackInfo::Composer}, {u"WMFSDKVersion", &TrackInfo::SdkVersion},
    };
    for (const auto& [name, field] : strings)
        descriptors.push_back({name, 0, StringValue(name + u" value")});
    descriptors.push_back({u"WM/Unknown", 0, StringValue(u"ignored")});
    descriptors.push_back({u"WM/Genre", 0, {}});  // empty value: skipped
    const ReadResult read = ReadWma(AsfFile({ExtendedContent(descriptors)}));
    for (const auto& [name, field] : strings) {
        std::string expected(name.begin(), name.end());
        EXPECT_EQ(read.Info.*field, expected + " value");
    }
}

TEST(WmaExtendedContent, TrackNumberAndPicture)
{
    ByteVector seven;
    AppendLe(seven, 7, 4);
    EXPECT_EQ(ReadWma(AsfFile({ExtendedContent({{u"WM/TrackNumber", 3, seven}})})).Info.Track, "7");
    EXPECT_EQ(ReadWma(AsfFile({ExtendedContent({{u"WM/TrackNumber", 0, StringValue(u"07")}})})).Info.Track, "07");

    const ByteVector jpeg = {0xFF, 0xD8, 1, 2, 0xFF, 0xD9};
    ByteVector picture = {3};                               // front cover
    AppendLe(picture, jpeg.size(), 4);
    Append(picture, Concat({Utf16Le(u"image/jpeg"), Utf16Le(u"")}));
    Append(picture, jpeg);
    EXPECT_EQ(ReadWma(AsfFile({ExtendedContent({{u"WM/Picture", 1, picture}})})).Info.Picture, jpeg);
    // A data length longer than the value is no picture.
    picture[1] = 0xFF;
    EXPECT_TRUE(ReadWma(AsfFile({ExtendedContent({{u"WM/Picture", 1, picture}})})).Info.Picture.empty());
}

TEST(WmaCodecList, DescriptionPieces)
{
    const struct {
        std::u16string Description;
        const char* BitRate;
        const char* SampleRate;
        std::string_view Channels;
    } cases[] = {
        {u"128 kbps, 44 kHz, stereo 1-pass CBR", "128 kbps", "44 kHz", ShownStereo},
        {u"64 kbps, 44 kHz, mono 1-pass CBR", "64 kbps", "44 kHz", ShownMono},
        {u"64 kbps, 22 kHz, 5.1 channel", "64 kbps", "22 kHz", ShownUnknown},
        {u" 32 kbps ", "32 kbps", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.BitRate);
        const ReadResult read = ReadWma(AsfFile({CodecList(u"Windows Media Audio 9.2", c.Description)}));
        EXPECT_EQ(read.Info.Encoder, "Windows Media Audio 9.2");
        EXPECT_EQ(read.Info.BitRateText, c.BitRate);
        EXPECT_EQ(read.Info.SampleRateText, c.SampleRate);
        EXPECT_EQ(read.Info.ChannelsText, c.Channels);
    }
}

TEST(WmaCodecList, LaterObjectDecidesEncoder)
{
    const ByteVector extended = ExtendedContent({{u"WM/EncodedBy", 0, StringValue(u"tool")}});
    const ByteVector codec = CodecList(u"codec", u"a, b, stereo");
    EXPECT_EQ(ReadWma(AsfFile({extended, codec})).Info.Encoder, "codec");
    EXPECT_EQ(ReadWma(AsfFile({codec, extended})).Info.Encoder, "tool");
}

TEST(WmaFileProperties, DurationAndBroadcast)
{
    EXPECT_EQ(ReadWma(AsfFile({FileProperties(3000000000ULL, 3000, 0)})).Info.DurationText, "04:57");
    EXPECT_EQ(ReadWma(AsfFile({FileProperties(3000000000ULL, 3000, 1)})).Info.DurationText, "");
    EXPECT_EQ(ReadWma(AsfFile({FileProperties(0, 3000, 0)})).Info.DurationText, "");  // shorter than its preroll
}

TEST(WmaWalk, HostileObjects)
{
    const ByteVector title = ContentDescription(u"t", u"", u"", u"", u"");
    // A zero-sized object with a huge count ends the walk at once.
    const ReadResult zero = ReadWma(AsfFile({title, AsfObject(AsfCodecListId, ByteVector(30, 0), 0)}, 0xFFFFFFFF));
    EXPECT_EQ(zero.Info.Title, "t");
    // An object past the file's end is not read.
    const ReadResult past = ReadWma(AsfFile({title, AsfObject(AsfContentDescriptionId, ByteVector(10, 1), 0xFFFFFFF0)}));
    EXPECT_EQ(past.Info.Title, "t");
    // More objects declared than present.
    EXPECT_EQ(ReadWma(AsfFile({title}, 50)).Info.Title, "t");
    // Lengths inside a body past its end.
    ByteVector lengths;
    AppendLe(lengths, 0xFFFF, 2);
    EXPECT_EQ(ReadWma(AsfFile({AsfObject(AsfContentDescriptionId, lengths)})).Info.Title, "");
    ByteVector count;
    AppendLe(count, 0xFFFF, 2);
    EXPECT_EQ(ReadWma(AsfFile({AsfObject(AsfExtendedContentDescriptionId, count)})).Result, 1);
}

TEST(WmaFile, NotAsf)
{
    const ReadResult read = ReadWma(ByteVector(100, 0x30));
    EXPECT_EQ(read.Result, 0);
    EXPECT_EQ(read.Info.Title, "");
}

TEST(WmaFile, EveryPrefixReadsSafely)
{
    ByteVector seven;
    AppendLe(seven, 7, 4);
    const ByteVector file = AsfFile({ContentDescription(u"title", u"a", u"c", u"d", u"r"),
                                     ExtendedContent({{u"WM/TrackNumber", 3, seven}, {u"WM/Genre", 0, StringValue(u"g")}}),
                                     CodecList(u"codec", u"1, 2, stereo"), FileProperties(1000000000, 0, 0)});
    ReadEveryPrefix(ReadWmaFile, file, "wma");
}

}  // namespace
