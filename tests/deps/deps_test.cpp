#include <FLAC/format.h>
#include <mpg123.h>
#include <opusfile.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>
#include <xmp.h>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// Bytes that no decoder takes for its own format.
constexpr unsigned char NotAudio[64] = {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'};

}  // namespace

// Each library answers from its own code, and says it is the library we asked for.
TEST(Deps, EachLibraryReportsItsVersion)
{
    struct Case {
        const char* Library;
        std::string Version;
        const char* Expected;
    };
    const Case cases[] = {
        {"libFLAC", FLAC__VERSION_STRING, "1."},
        {"libvorbis", vorbis_version_string(), "libVorbis"},
        {"libopus", opus_get_version_string(), "libopus"},
        {"libavutil", av_version_info(), "."},
        {"libxmp", xmp_version, "4."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Library);
        EXPECT_NE(c.Version.find(c.Expected), std::string::npos) << c.Version;
    }
}

// Headers and libraries from two different builds would disagree here first.
TEST(Deps, HeadersMatchTheLinkedLibraries)
{
    EXPECT_EQ(avutil_version(), static_cast<unsigned>(LIBAVUTIL_VERSION_INT));
    EXPECT_EQ(avcodec_version(), static_cast<unsigned>(LIBAVCODEC_VERSION_INT));
    EXPECT_EQ(avformat_version(), static_cast<unsigned>(LIBAVFORMAT_VERSION_INT));
    EXPECT_EQ(xmp_vercode >> 16, static_cast<unsigned>(XMP_VERCODE >> 16));
}

// The minimal FFmpeg still holds what the Monkey's Audio plug-in needs.
TEST(Deps, FfmpegHasTheApeDemuxerAndDecoder)
{
    EXPECT_NE(av_find_input_format("ape"), nullptr);
    EXPECT_NE(avcodec_find_decoder(AV_CODEC_ID_APE), nullptr);
}

TEST(Deps, DecodersRefuseBytesThatAreNotTheirFormat)
{
    EXPECT_EQ(op_test(nullptr, NotAudio, sizeof NotAudio), OP_ENOTFORMAT);

    // All of the stream is in the initial bytes: reading finds its end, seeking fails.
    const ov_callbacks endOfStream = {
        [](void*, size_t, size_t, void*) -> size_t { return 0; },
        [](void*, ogg_int64_t, int) -> int { return -1; },
        nullptr,
        [](void*) -> long { return -1; },
    };
    OggVorbis_File vorbisFile;
    EXPECT_LT(ov_open_callbacks(nullptr, &vorbisFile, reinterpret_cast<const char*>(NotAudio), sizeof NotAudio,
                                endOfStream),
              0);

    mpg123_handle* mpg = mpg123_new(nullptr, nullptr);
    ASSERT_NE(mpg, nullptr);
    const char* const* decoders = mpg123_decoders();
    EXPECT_TRUE(decoders != nullptr && decoders[0] != nullptr);
    mpg123_delete(mpg);

    EXPECT_EQ(xmp_test_module_from_memory(NotAudio, sizeof NotAudio, nullptr), -XMP_ERROR_FORMAT);
}
