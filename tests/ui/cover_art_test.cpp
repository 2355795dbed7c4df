// Cover thumbnails, the cover objects and the icons on a real device.
#include "../graphics/graphics_test_support.h"

#include "assets/embedded_images.h"
#include "ui/cover_art.h"
#include "ui/report_error.h"

#include <algorithm>
#include <cstdio>

namespace {

D2D1_SIZE_U PixelSize(BitmapLayer& bitmap) { return bitmap ? bitmap->GetPixelSize() : D2D1_SIZE_U{0, 0}; }

Pixels DecodePng(const std::vector<uint8_t>& png) {
    WicBitmapLayer bitmap;
    gWicFactory.DecodeFromMemory(png, bitmap);
    return ReadWicPixels(bitmap.Get());
}

class ThumbnailTest : public testing::Test {
protected:
    void SetUp() override {
        if (!gWicFactory) {
            ASSERT_EQ(CreateWicFactory(gWicFactory), S_OK);
        }
    }
};

TEST_F(ThumbnailTest, WidePictureIsStretchedToTheSquare) {
    const std::vector<uint8_t> png = MakeThumbnailPng(ReadFixture("wide_1000x500.png"), 500, 500);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');  // a PNG signature
    const Pixels pixels = DecodePng(png);
    ASSERT_EQ(pixels.Width, 500u);
    ASSERT_EQ(pixels.Height, 500u);
    // Top half red, bottom half blue all the way to the edges: no letterbox.
    EXPECT_EQ(pixels.At(250, 2), 0xFFFF0000u);
    EXPECT_EQ(pixels.At(250, 200), 0xFFFF0000u);
    EXPECT_EQ(pixels.At(250, 300), 0xFF0000FFu);
    EXPECT_EQ(pixels.At(250, 497), 0xFF0000FFu);
    EXPECT_EQ(pixels.At(2, 250 - 20), 0xFFFF0000u);
}

TEST_F(ThumbnailTest, ZeroSizeMeansThePicturesOwn) {
    const Pixels own = DecodePng(MakeThumbnailPng(ReadFixture("wide_1000x500.png"), 0, -1));
    EXPECT_EQ(own.Width, 1000u);
    EXPECT_EQ(own.Height, 500u);
    const Pixels half = DecodePng(MakeThumbnailPng(ReadFixture("blue_16x8.jpg"), 0, 4));
    EXPECT_EQ(half.Width, 16u);
    EXPECT_EQ(half.Height, 4u);
}

TEST_F(ThumbnailTest, FormatsGdiplusReadsAllWork) {
    for (const char* fixture : {"blue_16x8.jpg", "green_5x3.bmp", "paletted_4x4.png", "animated_6x6.gif"}) {
        SCOPED_TRACE(fixture);
        const Pixels pixels = DecodePng(MakeThumbnailPng(ReadFixture(fixture), 50, 40));
        EXPECT_EQ(pixels.Width, 50u);
        EXPECT_EQ(pixels.Height, 40u);
    }
}

TEST_F(ThumbnailTest, UnreadableBytesGiveNothing) {
    const std::vector<uint8_t> garbage(300, 0x33);
    EXPECT_TRUE(MakeThumbnailPng(garbage, 500, 500).empty());
    EXPECT_TRUE(MakeThumbnailPng({}, 500, 500).empty());
    std::vector<uint8_t> cut = ReadFixture("wide_1000x500.png");
    cut.resize(30);
    EXPECT_TRUE(MakeThumbnailPng(cut, 500, 500).empty());
}

class CoverObjectsTest : public testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        const HRESULT hr = EnsureGraphicsObjects();
        ASSERT_EQ(hr, S_OK) << GraphicsFailureHint(hr);
        Window = std::make_unique<TestWindow>(300, 300);
        ASSERT_EQ(EnsureWindowTarget(Window->Handle()), S_OK);
    }
    void TearDown() override {
        ReleaseDeviceImages();
        gDeviceContext.Release();
        gSwapChain.Release();
        Window.reset();
    }
    std::unique_ptr<TestWindow> Window;
};

TEST_F(CoverObjectsTest, IconsDecodeAtTheirSizes) {
    const unsigned reportsBefore = ReportErrorCount();
    DecodeIcons();
    EXPECT_EQ(ReportErrorCount(), reportsBefore);
    const struct {
        IconId Id;
        UINT32 Size;
    } icons[] = {{IconId::Settings, 180}, {IconId::Home, 180}, {IconId::TamberLogo, 48},
                 {IconId::ArrowLeft, 125}, {IconId::ArrowRight, 125}};
    for (const auto& icon : icons) {
        SCOPED_TRACE(IconName(icon.Id));
        const D2D1_SIZE_U size = PixelSize(IconBitmap(icon.Id));
        EXPECT_EQ(size.width, icon.Size);
        EXPECT_EQ(size.height, icon.Size);
    }
    EXPECT_EQ(DefaultCoverPng().size() > 0, true);
}

TEST_F(CoverObjectsTest, CoverDrawsWithOrWithoutTheBlurEffect) {
    gCoverBytes.assign(DefaultCoverPng().begin(), DefaultCoverPng().end());
    const unsigned reportsBefore = ReportErrorCount();
    CreateCoverObjects();
    const D2D1_SIZE_U size = PixelSize(gCoverBitmap);
    EXPECT_EQ(size.width, 500u);
    EXPECT_EQ(size.height, 500u);
    EXPECT_FALSE(gCoverBrush.Empty());
    // Where the system has no Gaussian blur (Wine), both creations are
    // reported and the effects stay empty; elsewhere both exist.
    const bool blurAvailable = !gBackgroundBlur.Empty();
    std::printf("Gaussian blur effect: %s\n", blurAvailable ? "available" : "not registered (reported, skipped)");
    EXPECT_EQ(gCoverShadowBlur.Empty(), !blurAvailable);
    EXPECT_EQ(ReportErrorCount() - reportsBefore, blurAvailable ? 0u : 2u);
    // Without the effects the cover is blurred on the CPU instead: the
    // background at the cover's size, the halo three deviations wider each side.
    EXPECT_EQ(gBackgroundBlurBitmap.Empty(), blurAvailable);
    EXPECT_EQ(gCoverShadowBitmap.Empty(), blurAvailable);
    if (!blurAvailable) {
        EXPECT_EQ(PixelSize(gBackgroundBlurBitmap).width, 500u);
        EXPECT_EQ(PixelSize(gCoverShadowBitmap).height, 800u);
    }

    ASSERT_TRUE(gDeviceContext.BeginDraw());
    gDeviceContext.Clear(D2D1_COLOR_F{0, 0, 0, 1});
    const D2D1_POINT_2F offset{-25, -25};
    EXPECT_EQ(gDeviceContext.DrawEffect(gBackgroundBlur, &offset), blurAvailable);
    EXPECT_EQ(gDeviceContext.DrawEffect(gCoverShadowBlur), blurAvailable);
    // The cover as a rounded square filled with the brush, scaled to 250.
    gDeviceContext.SetTransform(D2D1_MATRIX_3X2_F{0.5f, 0, 0, 0.5f, 25, 25});
    EXPECT_TRUE(gDeviceContext.FillRoundedRectangle(D2D1_ROUNDED_RECT{{0, 0, 500, 500}, 50, 50}, gCoverBrush.Get()));
    gDeviceContext.SetTransform(D2D1_MATRIX_3X2_F{1, 0, 0, 1, 0, 0});
    ASSERT_TRUE(gDeviceContext.EndDraw());
    const Pixels pixels = ReadBackBuffer(gSwapChain.Get());
    // The built-in cover is light grey at its inner edge, black outside.
    const uint32_t inside = pixels.At(60, 150);
    EXPECT_GT(inside & 0xFF, 0xC0u) << std::hex << inside;
    EXPECT_EQ(pixels.At(290, 290) & 0xFFFFFF, 0u);
}

TEST_F(CoverObjectsTest, NewTrackReplacesCoverButKeepsEffects) {
    gCoverBytes.assign(DefaultCoverPng().begin(), DefaultCoverPng().end());
    CreateCoverObjects();
    ID2D1Bitmap* firstBitmap = gCoverBitmap.Get();
    ID2D1Effect* firstBlur = gBackgroundBlur.Get();

    gCoverBytes = ReadFixture("green_5x3.bmp");
    RebuildCoverObjects();
    EXPECT_NE(gCoverBitmap.Get(), firstBitmap);
    EXPECT_EQ(gBackgroundBlur.Get(), firstBlur);
    EXPECT_EQ(PixelSize(gCoverBitmap).width, 500u);
    const Pixels cover = ReadWicPixels(gCoverSource.Get());
    EXPECT_EQ(cover.At(250, 250), 0xFF00FF00u);
    if (gBackgroundBlur.Empty()) {
        // The CPU blurs follow the new cover, read row by row in the right
        // format: a flat green stays green to the background's edges, and
        // the halo fades from green to nothing at its corners.
        const struct {
            BitmapLayer* Blurred;
            uint32_t Corner;
        } blurs[] = {{&gBackgroundBlurBitmap, 0x00FF00u}, {&gCoverShadowBitmap, 0u}};
        for (const auto& blur : blurs) {
            ASSERT_FALSE(blur.Blurred->Empty());
            ASSERT_TRUE(gDeviceContext.BeginDraw());
            gDeviceContext.Clear(D2D1_COLOR_F{0, 0, 0, 1});
            gDeviceContext.DrawBitmap(blur.Blurred->Get(), D2D1_RECT_F{0, 0, 300, 300});
            ASSERT_TRUE(gDeviceContext.EndDraw());
            const Pixels drawn = ReadBackBuffer(gSwapChain.Get());
            // The halo's middle lies five deviations inside: all but a level.
            const uint32_t middle = drawn.At(150, 150);
            EXPECT_GE((middle >> 8) & 0xFF, 0xFCu) << std::hex << middle;
            EXPECT_EQ(middle & 0xFF00FF, 0u) << std::hex << middle;
            EXPECT_EQ(drawn.At(1, 1) & 0xFFFFFF, blur.Corner) << std::hex << drawn.At(1, 1);
        }
    }

    // An unreadable picture shows the built-in cover, not the last one.
    gCoverBytes.assign(100, 0x77);
    RebuildCoverObjects();
    EXPECT_TRUE(std::ranges::equal(gCoverBytes, DefaultCoverPng()));
    EXPECT_EQ(PixelSize(gCoverBitmap).width, 500u);
    EXPECT_NE(ReadWicPixels(gCoverSource.Get()).At(250, 250), 0xFF00FF00u);
    EXPECT_FALSE(gCoverBrush.Empty());
}

TEST_F(CoverObjectsTest, FailedIconsAreReportedAndSkipped) {
    // Without a WIC factory every decode fails: five reports, no bitmaps,
    // and the loop still reaches the last icon.
    WicFactoryLayer saved(std::move(gWicFactory));
    const unsigned reportsBefore = ReportErrorCount();
    DecodeIcons();
    EXPECT_EQ(ReportErrorCount() - reportsBefore, 5u);
    for (int i = 0; i < IconCount; ++i) EXPECT_TRUE(gIcons[i].Bitmap.Empty());
    gWicFactory = std::move(saved);
    DecodeIcons();
    EXPECT_FALSE(IconBitmap(IconId::ArrowRight).Empty());
}

TEST_F(CoverObjectsTest, ObjectsComeBackAfterALostDevice) {
    gCoverBytes.assign(DefaultCoverPng().begin(), DefaultCoverPng().end());
    DecodeIcons();
    CreateCoverObjects();
    ASSERT_TRUE(RecoverFromFrameResult(static_cast<HRESULT>(0x8899000C), S_OK));
    // The next paint: target, then every device object anew.
    ASSERT_EQ(EnsureWindowTarget(Window->Handle()), S_OK);
    DecodeIcons();
    CreateCoverObjects();
    EXPECT_FALSE(IconBitmap(IconId::Home).Empty());
    EXPECT_FALSE(gCoverBitmap.Empty());
    EXPECT_FALSE(gCoverBrush.Empty());
    EXPECT_NE(gBackgroundBlur.Empty(), gBackgroundBlurBitmap.Empty());  // one way or the other
    ASSERT_TRUE(gDeviceContext.BeginDraw());
    gDeviceContext.DrawBitmap(IconBitmap(IconId::Home).Get(), D2D1_RECT_F{9, 41, 39, 71});
    gDeviceContext.FillRoundedRectangle(D2D1_ROUNDED_RECT{{50, 50, 250, 250}, 20, 20}, gCoverBrush.Get());
    gDeviceContext.DrawEffect(gBackgroundBlur);
    EXPECT_TRUE(gDeviceContext.EndDraw());
}

TEST(CoverObjectsWithoutDevice, NothingIsMadeBeforeTheFirstPaint) {
    DeviceContextLayer none;
    ASSERT_TRUE(gDeviceContext.Empty());
    gCoverBytes.assign(DefaultCoverPng().begin(), DefaultCoverPng().end());
    RebuildCoverObjects();
    EXPECT_TRUE(gCoverBitmap.Empty());
    EXPECT_TRUE(gCoverBrush.Empty());
}

}  // namespace
