// Decoding pictures from memory and making text formats and layouts.
#include "graphics_test_support.h"

namespace {

class DecodeTest : public testing::Test {
protected:
    void SetUp() override {
        if (!gWicFactory) {
            ASSERT_EQ(CreateWicFactory(gWicFactory), S_OK);
        }
    }
    Pixels Decode(const char* fixture) {
        const std::vector<uint8_t> bytes = ReadFixture(fixture);
        EXPECT_FALSE(bytes.empty()) << fixture;
        WicBitmapLayer bitmap;
        EXPECT_TRUE(gWicFactory.DecodeFromMemory(bytes, bitmap)) << fixture << std::hex << gWicFactory.LastResult();
        if (bitmap) {
            WICPixelFormatGUID format{};
            bitmap->GetPixelFormat(&format);
            EXPECT_TRUE(IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA)) << fixture;
        }
        return ReadWicPixels(bitmap.Get());
    }
};

TEST_F(DecodeTest, CommonFormatsBecomePremultipliedBgra) {
    struct Case {
        const char* Fixture;
        UINT Width, Height;
        UINT X, Y;
        uint32_t Expected;  // 0xAARRGGBB, premultiplied
        uint32_t Tolerance;  // per channel
    };
    const Case cases[] = {
        {"rgba_4x3.png", 4, 3, 0, 0, 0xFFFF0000, 0},
        {"rgba_4x3.png", 4, 3, 1, 1, 0x80008000, 1},  // half-transparent green, premultiplied
        {"blue_16x8.jpg", 16, 8, 8, 4, 0xFF0000FF, 8},
        {"green_5x3.bmp", 5, 3, 4, 2, 0xFF00FF00, 0},
        {"paletted_4x4.png", 4, 4, 0, 0, 0xFFFF0000, 0},
        {"paletted_4x4.png", 4, 4, 3, 3, 0x00000000, 0},  // transparent index
        {"animated_6x6.gif", 6, 6, 3, 3, 0xFFFF0000, 0},  // first frame only: red, not blue
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Fixture << " at " << c.X << "," << c.Y);
        const Pixels pixels = Decode(c.Fixture);
        ASSERT_EQ(pixels.Width, c.Width);
        ASSERT_EQ(pixels.Height, c.Height);
        const uint32_t got = pixels.At(c.X, c.Y);
        for (int shift = 0; shift < 32; shift += 8) {
            const int a = static_cast<int>((got >> shift) & 0xFF);
            const int b = static_cast<int>((c.Expected >> shift) & 0xFF);
            EXPECT_LE(static_cast<uint32_t>(std::abs(a - b)), c.Tolerance) << std::hex << got;
        }
    }
}

TEST_F(DecodeTest, UnreadableBytesFailAndLeaveTheResultEmpty) {
    const std::vector<uint8_t> garbage(64, 0x5A);
    std::vector<uint8_t> truncated = ReadFixture("rgba_4x3.png");
    truncated.resize(20);
    const std::vector<uint8_t> empty;
    const std::vector<uint8_t>* inputs[] = {&garbage, &empty, &truncated};
    for (const std::vector<uint8_t>* bytes : inputs) {
        WicBitmapLayer bitmap;
        EXPECT_FALSE(gWicFactory.DecodeFromMemory(*bytes, bitmap));
        EXPECT_NE(gWicFactory.LastResult(), S_OK);
        EXPECT_TRUE(bitmap.Empty());
    }
    // A failed decode empties a wrapper that held an earlier picture.
    WicBitmapLayer reused;
    ASSERT_TRUE(gWicFactory.DecodeFromMemory(ReadFixture("green_5x3.bmp"), reused));
    EXPECT_FALSE(gWicFactory.DecodeFromMemory(garbage, reused));
    EXPECT_TRUE(reused.Empty());
}

class TextTest : public testing::Test {
protected:
    void SetUp() override {
        if (!gDWriteFactory) {
            ASSERT_EQ(CreateDWriteFactory(gDWriteFactory), S_OK);
        }
    }
};

TEST_F(TextTest, EmptyLocaleMeansTheUsersDefault) {
    TextFormatLayer format;
    ASSERT_TRUE(gDWriteFactory.CreateTextFormat("Microsoft Yahei UI", 14.0f, format));
    wchar_t expected[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(expected, LOCALE_NAME_MAX_LENGTH);
    wchar_t got[LOCALE_NAME_MAX_LENGTH] = {};
    ASSERT_EQ(format->GetLocaleName(got, LOCALE_NAME_MAX_LENGTH), S_OK);
    EXPECT_EQ(_wcsicmp(got, expected), 0);  // Wine gives the name in lower case
    EXPECT_EQ(format->GetFontWeight(), DWRITE_FONT_WEIGHT_NORMAL);
    EXPECT_EQ(format->GetFontStyle(), DWRITE_FONT_STYLE_NORMAL);
    EXPECT_EQ(format->GetFontStretch(), DWRITE_FONT_STRETCH_NORMAL);
    EXPECT_FLOAT_EQ(format->GetFontSize(), 14.0f);

    FontCollectionLayer systemFonts;
    TextFormatLayer named;
    ASSERT_TRUE(gDWriteFactory.CreateTextFormat("Microsoft Yahei UI", systemFonts, DWRITE_FONT_WEIGHT_BOLD,
                                                DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, 17.0f, "en-us",
                                                named));
    ASSERT_EQ(named->GetLocaleName(got, LOCALE_NAME_MAX_LENGTH), S_OK);
    EXPECT_EQ(_wcsicmp(got, L"en-us"), 0);
    EXPECT_TRUE(named.SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER));
    EXPECT_TRUE(named.SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER));
    EXPECT_TRUE(named.SetWordWrapping(DWRITE_WORD_WRAPPING_WRAP));
}

TEST_F(TextTest, LayoutOfCrLfHasTwoLines) {
    TextFormatLayer format;
    ASSERT_TRUE(gDWriteFactory.CreateTextFormat("Microsoft Yahei UI", 17.0f, format));
    for (const bool programText : {false, true}) {
        TextLayoutLayer layout;
        if (programText) {
            ASSERT_TRUE(gDWriteFactory.CreateTextLayout(std::string_view("a\r\nb"), format.Get(), 400, 200, layout));
        } else {
            ASSERT_TRUE(gDWriteFactory.CreateTextLayout(L"a\r\nb", format.Get(), 400, 200, layout));
        }
        DWRITE_TEXT_METRICS metrics{};
        ASSERT_TRUE(layout.GetMetrics(metrics));
        EXPECT_EQ(metrics.lineCount, 2u);
        EXPECT_LE(metrics.width, 400.0f);
    }
}

TEST_F(TextTest, ProgramTextIsUtf8) {
    TextFormatLayer format;
    ASSERT_TRUE(gDWriteFactory.CreateTextFormat("Microsoft Yahei UI", 17.0f, format));
    TextLayoutLayer layout;
    // 歌词: two characters in six UTF-8 bytes (three characters if read as GBK).
    ASSERT_TRUE(gDWriteFactory.CreateTextLayout(std::string_view("歌词"), format.Get(), 400, 200, layout));
    UINT32 clusters = 0;
    layout->GetClusterMetrics(nullptr, 0, &clusters);
    EXPECT_EQ(clusters, 2u);
}

}  // namespace
