#include "bass/logic/sample_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(Dither16, ErrorStaysWithinABitAndAveragesOut) {
    // A level between two 16-bit steps comes out as a mix of both, whose mean is the level.
    std::vector<float> in(20000, 1000.3f / 32768.0f);
    std::vector<int16_t> out(in.size());
    Dither16 dither;
    dither.Convert(in.data(), out.data(), in.size());
    double sum = 0;
    for (int16_t s : out) {
        EXPECT_LE(std::abs(s - 1000), 2);
        sum += s;
    }
    EXPECT_NEAR(sum / out.size(), 1000.3, 0.05);

    std::vector<float> extremes = {1.5f, -1.5f, NAN, 1.0f, -1.0f};
    std::vector<int16_t> clipped(extremes.size());
    dither.Convert(extremes.data(), clipped.data(), extremes.size());
    EXPECT_EQ(clipped[0], 32767);
    EXPECT_EQ(clipped[1], -32768);
    EXPECT_LE(std::abs(clipped[2]), 1);
}

TEST(DownmixToStereo, KeepsSidesApartAndNeverClips) {
    constexpr uint32_t Channels = 6;  // FL FR FC LFE BL BR
    std::vector<float> loud(Channels, 1.0f);
    std::vector<float> out(2);
    DownmixToStereo(loud.data(), 1, Channels, 0, out.data());
    EXPECT_LE(out[0], 1.0f);
    EXPECT_LE(out[1], 1.0f);
    EXPECT_GT(out[0], 0.9f);

    std::vector<float> leftOnly = {1.0f, 0, 0, 0, 1.0f, 0};
    DownmixToStereo(leftOnly.data(), 1, Channels, 0, out.data());
    EXPECT_GT(out[0], 0.5f);
    EXPECT_EQ(out[1], 0.0f);

    std::vector<float> lfeOnly = {0, 0, 0, 1.0f, 0, 0};
    DownmixToStereo(lfeOnly.data(), 1, Channels, 0, out.data());
    EXPECT_EQ(out[0], 0.0f);
}

TEST(FormatConverter, BringsAChangedRateAndLayoutBackAcrossCalls) {
    FormatConverter converter(44100, 2);
    EXPECT_TRUE(converter.Passes(44100, 2));
    // 22050 Hz mono joined on: twice the frames, both channels alike, the
    // ramp of the input kept as a ramp.
    std::vector<float> out, all;
    for (int call = 0; call < 4; ++call) {
        std::vector<float> in(100);
        for (int i = 0; i < 100; ++i) in[i] = (call * 100 + i) / 1000.0f;
        converter.Convert(in, 22050, 1, &out);
        all.insert(all.end(), out.begin(), out.end());
    }
    EXPECT_NEAR(all.size() / 2.0, 800, 4);  // the last few wait for the next call
    for (size_t f = 1; f < all.size() / 2; ++f) {
        EXPECT_EQ(all[f * 2], all[f * 2 + 1]);
        EXPECT_NEAR(all[f * 2] - all[f * 2 - 2], 0.0005f, 1e-4f) << f;
    }
}

}  // namespace
