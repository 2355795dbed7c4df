#include "ui/cpu_blur.h"

#include "metadata/byte_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

namespace {

// Against the true Gaussian of cpu_blur_reference.py: three extended boxes
// differ from it by at most 2.5 % of a sharp step's contrast (6 levels at the
// corners of a bright square) and by under one level on average.
constexpr int MaxLevelError = 6;
constexpr double MaxMeanLevelError = 1.0;

constexpr size_t NameBytes = 16;
constexpr int Bpp = 4;

struct ReferenceCase {
    std::string Name;
    int Width = 0;
    int Height = 0;
    BlurBorder Border = BlurBorder::Hard;
    float Deviation = 0;
    int OutWidth = 0;
    int OutHeight = 0;
    std::vector<uint8_t> Input;
    std::vector<uint8_t> Expected;
};

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<ReferenceCase> ReadReferenceCases() {
    const std::vector<uint8_t> bytes = ReadFile(std::string(TAMBER_SOURCE_DIR) + "/tests/ui/cpu_blur_reference.bin");
    ByteReader reader(bytes);
    std::vector<ReferenceCase> cases;
    const std::span<const uint8_t> magic = reader.Span(4);
    if (reader.Failed() || std::string(magic.begin(), magic.end()) != "BLUR") return cases;
    const uint32_t count = reader.U32LE();
    for (uint32_t i = 0; i < count && !reader.Failed(); ++i) {
        ReferenceCase c;
        const std::span<const uint8_t> name = reader.Span(NameBytes);
        c.Name.assign(name.begin(), std::find(name.begin(), name.end(), 0));
        c.Width = static_cast<int>(reader.U32LE());
        c.Height = static_cast<int>(reader.U32LE());
        c.Border = reader.U32LE() == 1 ? BlurBorder::Soft : BlurBorder::Hard;
        c.Deviation = std::bit_cast<float>(reader.U32LE());
        c.OutWidth = static_cast<int>(reader.U32LE());
        c.OutHeight = static_cast<int>(reader.U32LE());
        const std::span<const uint8_t> input = reader.Span(static_cast<size_t>(c.Width) * c.Height * Bpp);
        const std::span<const uint8_t> expected = reader.Span(static_cast<size_t>(c.OutWidth) * c.OutHeight * Bpp);
        if (reader.Failed()) break;
        c.Input.assign(input.begin(), input.end());
        c.Expected.assign(expected.begin(), expected.end());
        cases.push_back(std::move(c));
    }
    return cases;
}

BlurredPixels Blur(const std::vector<uint8_t>& bgra, int width, int height, float deviation, BlurBorder border) {
    return BlurPixels(bgra, width, height, static_cast<size_t>(width) * Bpp, deviation, border);
}

std::vector<uint8_t> Uniform(int width, int height, uint32_t bgra) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * Bpp);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(bgra >> (8 * (i % Bpp)));
    return pixels;
}

TEST(CpuBlur, MatchesTheTrueGaussianOfKnownPictures) {
    const std::vector<ReferenceCase> cases = ReadReferenceCases();
    ASSERT_EQ(cases.size(), 5u) << "tests/ui/cpu_blur_reference.bin unreadable";
    for (const ReferenceCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const BlurredPixels got = Blur(c.Input, c.Width, c.Height, c.Deviation, c.Border);
        ASSERT_EQ(got.Width, c.OutWidth);
        ASSERT_EQ(got.Height, c.OutHeight);
        ASSERT_EQ(got.Bgra.size(), c.Expected.size());
        int worst = 0;
        size_t worstAt = 0;
        double total = 0;
        for (size_t i = 0; i < got.Bgra.size(); ++i) {
            const int error = std::abs(got.Bgra[i] - c.Expected[i]);
            total += error;
            if (error > worst) {
                worst = error;
                worstAt = i;
            }
        }
        const double mean = total / static_cast<double>(got.Bgra.size());
        std::printf("%-14s sigma %5.2f: worst %d levels (pixel %zu, %zu), mean %.3f\n", c.Name.c_str(), c.Deviation,
                    worst, worstAt / Bpp % c.OutWidth, worstAt / Bpp / c.OutWidth, mean);
        EXPECT_LE(worst, MaxLevelError);
        EXPECT_LT(mean, MaxMeanLevelError);
    }
}

TEST(CpuBlur, HardBorderKeepsAnOpaquePictureOpaqueToItsEdge) {
    // A border that read transparent pixels would darken and thin the edges.
    const std::vector<uint8_t> flat = Uniform(60, 40, 0xFF336699);
    for (float deviation : {1.0f, 25.0f, 300.0f}) {
        SCOPED_TRACE(deviation);
        const BlurredPixels got = Blur(flat, 60, 40, deviation, BlurBorder::Hard);
        ASSERT_EQ(got.Width, 60);
        ASSERT_EQ(got.Height, 40);
        EXPECT_EQ(got.Bgra, flat);
    }
}

TEST(CpuBlur, SoftBorderGrowsByThreeDeviationsAndFadesOut) {
    const std::vector<uint8_t> flat = Uniform(50, 20, 0xFFFFFFFF);
    const BlurredPixels got = Blur(flat, 50, 20, 10.0f, BlurBorder::Soft);
    ASSERT_EQ(got.Width, 50 + 2 * 30);
    ASSERT_EQ(got.Height, 20 + 2 * 30);
    auto alpha = [&](int x, int y) { return got.Bgra[(static_cast<size_t>(y) * got.Width + x) * Bpp + 3]; };
    EXPECT_LE(alpha(0, 0), 1);  // three deviations out on both axes
    EXPECT_LE(alpha(got.Width - 1, got.Height / 2), 2);
    // Just outside the long side's middle and on the short side's first
    // column: the Gaussian's integral over the rectangle, 255 * (0.988 * 0.460)
    // and 255 * (0.520 * 0.682).
    EXPECT_NEAR(alpha(30 + 25, 30 - 1), 116, 3);
    EXPECT_NEAR(alpha(30, 30 + 10), 90, 3);
    // The margins are a fixed rule the drawing side uses to place the output.
    EXPECT_EQ(BlurMargin(25.0f), 75);
    EXPECT_EQ(BlurMargin(50.0f), 150);
    EXPECT_EQ(BlurMargin(0.2f), 1);
}

TEST(CpuBlur, BadSizesAndDeviationsGiveNothing) {
    const std::vector<uint8_t> small = Uniform(4, 4, 0xFF000000);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* What;
        size_t Bytes;
        int Width, Height;
        size_t Stride;
        float Deviation;
        BlurBorder Border;
    };
    const Case cases[] = {
        {"zero width", 64, 0, 4, 16, 2, BlurBorder::Hard},
        {"negative height", 64, 4, -4, 16, 2, BlurBorder::Hard},
        {"short buffer", 63, 4, 4, 16, 2, BlurBorder::Hard},
        {"stride below a row", 64, 4, 4, 12, 2, BlurBorder::Hard},
        {"stride overflows", 64, 4, 4, std::numeric_limits<size_t>::max() / 2, 2, BlurBorder::Hard},
        {"huge claimed side", 64, MaxBlurSide + 1, 1, 16, 2, BlurBorder::Hard},
        {"huge sides", 64, std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), 16, 2, BlurBorder::Soft},
        {"negative deviation", 64, 4, 4, 16, -1, BlurBorder::Hard},
        {"NaN deviation", 64, 4, 4, 16, nan, BlurBorder::Soft},
        {"infinite deviation", 64, 4, 4, 16, inf, BlurBorder::Soft},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const BlurredPixels got = BlurPixels(std::span(small).first(c.Bytes), c.Width, c.Height, c.Stride,
                                             c.Deviation, c.Border);
        EXPECT_TRUE(got.Empty());
        EXPECT_EQ(got.Width, 0);
    }
    // A side within the limit whose soft margin takes it past.
    const std::vector<uint8_t> line = Uniform(MaxBlurSide - 100, 1, 0xFF000000);
    EXPECT_TRUE(Blur(line, MaxBlurSide - 100, 1, 20.0f, BlurBorder::Soft).Empty());
    // Deviation zero turns the blur off, as the effect does.
    const BlurredPixels copy = Blur(small, 4, 4, 0.0f, BlurBorder::Soft);
    EXPECT_EQ(copy.Width, 4);
    EXPECT_EQ(copy.Bgra, small);
}

TEST(CpuBlur, StrideSkipsRowPadding) {
    // Two 3-pixel rows, each padded with a byte pattern that must not leak in.
    std::vector<uint8_t> padded(2 * 16, 0xEE);
    for (int y = 0; y < 2; ++y) std::fill_n(padded.begin() + y * 16, 12, uint8_t{0x80});
    const BlurredPixels got = BlurPixels(std::span(padded).first(16 + 12), 3, 2, 16, 2.0f, BlurBorder::Hard);
    EXPECT_EQ(got.Bgra, std::vector<uint8_t>(24, 0x80));
}

TEST(CpuBlur, CoversBlurQuickly) {
    // The program's covers (500 x 500, both blurs) and the 1000 x 1000 mark.
    struct Case {
        int Side;
        float Deviation;
        BlurBorder Border;
    };
    const Case cases[] = {{500, 25.0f, BlurBorder::Hard}, {500, 50.0f, BlurBorder::Soft}, {1000, 50.0f, BlurBorder::Soft}};
    for (const Case& c : cases) {
        std::vector<uint8_t> cover(static_cast<size_t>(c.Side) * c.Side * Bpp);
        for (size_t i = 0; i < cover.size(); ++i) cover[i] = i % Bpp == 3 ? 255 : static_cast<uint8_t>(i * 7 % 251);
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        const BlurredPixels got = Blur(cover, c.Side, c.Side, c.Deviation, c.Border);
        const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("%d x %d, sigma %.0f, %s border: %.1f ms (%.1f ms of CPU)\n", c.Side, c.Side, c.Deviation,
                    c.Border == BlurBorder::Soft ? "soft" : "hard", ms, cpuMs);
        EXPECT_EQ(got.Width, c.Side + (c.Border == BlurBorder::Soft ? 2 * BlurMargin(c.Deviation) : 0));
        // Only a cost per pixel that grew with the deviation fails this: the
        // sanitiser build on a busy machine runs up to 20 times slower.
        EXPECT_LT(ms, 10000.0);
    }
}

}  // namespace
