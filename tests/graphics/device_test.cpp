// Device chain, window target, resize, lost-device recovery and a rendered
// frame read back, on a real window (Wine under Xvfb in the test runs).
#include "graphics_test_support.h"

#include "assets/embedded_images.h"

#include <cstdio>

namespace {

class DeviceTest : public testing::Test {
protected:
    void SetUp() override {
        REQUIRE_DISPLAY();
        const HRESULT hr = EnsureGraphicsObjects();
        ASSERT_EQ(hr, S_OK) << GraphicsFailureHint(hr);
    }
    void TearDown() override {
        gDeviceContext.Release();
        gSwapChain.Release();
    }
};

DXGI_SWAP_CHAIN_DESC1 Describe(SwapChainLayer& chain) {
    DXGI_SWAP_CHAIN_DESC1 desc{};
    if (chain) chain->GetDesc1(&desc);
    return desc;
}

TEST_F(DeviceTest, ChainAndFactoriesExist) {
    EXPECT_FALSE(gDxgiDevice.Empty());
    EXPECT_FALSE(gD2DFactory.Empty());
    EXPECT_FALSE(gD2DDevice.Empty());
    EXPECT_FALSE(gDWriteFactory.Empty());
    EXPECT_FALSE(gWicFactory.Empty());
    DxgiFactoryLayer factory;
    EXPECT_TRUE(gDxgiDevice.GetFactory(factory));
    EXPECT_FALSE(factory.Empty());
}

TEST_F(DeviceTest, WindowTargetFollowsTheClientSize) {
    TestWindow window(320, 200);
    ASSERT_NE(window.Handle(), nullptr);
    ASSERT_EQ(CreateWindowTarget(window.Handle(), gDxgiDevice, gD2DFactory, gD2DDevice, gSwapChain, gDeviceContext),
              S_OK);
    DXGI_SWAP_CHAIN_DESC1 desc = Describe(gSwapChain);
    EXPECT_EQ(desc.Width, 320u);
    EXPECT_EQ(desc.Height, 200u);
    EXPECT_EQ(desc.BufferCount, 2u);
    EXPECT_EQ(desc.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
    D2D1_SIZE_F size = gDeviceContext.GetSize();
    EXPECT_FLOAT_EQ(size.width, 320.0f);
    EXPECT_FLOAT_EQ(size.height, 200.0f);

    window.ResizeClient(400, 300);
    ResizeWindowTarget(gSwapChain, gDeviceContext);
    desc = Describe(gSwapChain);
    EXPECT_EQ(desc.Width, 400u);
    EXPECT_EQ(desc.Height, 300u);
    EXPECT_EQ(desc.BufferCount, 2u);
    EXPECT_EQ(desc.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
    size = gDeviceContext.GetSize();
    EXPECT_FLOAT_EQ(size.width, 400.0f);
    EXPECT_FLOAT_EQ(size.height, 300.0f);
    // The new target can be drawn on.
    EXPECT_TRUE(gDeviceContext.BeginDraw());
    gDeviceContext.Clear(D2D1_COLOR_F{0, 0, 0, 0});
    EXPECT_TRUE(gDeviceContext.EndDraw());
    EXPECT_TRUE(gSwapChain.Present(0, 0));
}

TEST_F(DeviceTest, LostDeviceIsRebuiltOnTheNextPaint) {
    TestWindow window(200, 120);
    ASSERT_EQ(EnsureWindowTarget(window.Handle()), S_OK);
    // A healthy frame changes nothing.
    EXPECT_FALSE(RecoverFromFrameResult(S_OK, S_OK));
    EXPECT_FALSE(gDeviceContext.Empty());

    // EndDraw reporting D2DERR_RECREATE_TARGET drops the whole chain.
    EXPECT_TRUE(RecoverFromFrameResult(static_cast<HRESULT>(0x8899000C), S_OK));
    EXPECT_TRUE(gDeviceContext.Empty());
    EXPECT_TRUE(gSwapChain.Empty());
    EXPECT_TRUE(gD2DDevice.Empty());
    EXPECT_TRUE(gDxgiDevice.Empty());
    EXPECT_FALSE(gDWriteFactory.Empty());  // device-independent, kept
    EXPECT_FALSE(gWicFactory.Empty());

    // The next paint: everything back, drawable.
    ASSERT_EQ(EnsureWindowTarget(window.Handle()), S_OK);
    EXPECT_FALSE(gD2DDevice.Empty());
    EXPECT_FALSE(gSwapChain.Empty());
    SolidBrushLayer brush;
    EXPECT_TRUE(gDeviceContext.CreateSolidColorBrush(D2D1_COLOR_F{0, 0, 0, 1}, brush));
    EXPECT_TRUE(gDeviceContext.BeginDraw());
    gDeviceContext.FillRectangle(D2D1_RECT_F{0, 0, 10, 10}, brush.Get());
    EXPECT_TRUE(gDeviceContext.EndDraw());

    // Present reporting a removed device does the same.
    EXPECT_TRUE(RecoverFromFrameResult(S_OK, static_cast<HRESULT>(0x887A0005)));
    EXPECT_TRUE(gDeviceContext.Empty());
    EXPECT_EQ(EnsureWindowTarget(window.Handle()), S_OK);
}

TEST_F(DeviceTest, ZeroSizedClientStillGetsATarget) {
    TestWindow window(0, 0);
    const HRESULT hr = EnsureWindowTarget(window.Handle());
    // Either the system sizes the chain from the window or it refuses; a
    // refusal leaves nothing half-made for the next paint to trip over.
    if (hr != S_OK) {
        EXPECT_TRUE(gDeviceContext.Empty());
        EXPECT_TRUE(gSwapChain.Empty());
    }
}

// A frame with a filled rectangle, text and a bitmap, read back from the swap
// chain's back buffer before presenting.
TEST_F(DeviceTest, RenderedFrameShowsTextAndBitmap) {
    TestWindow window(240, 160);
    ASSERT_EQ(EnsureWindowTarget(window.Handle()), S_OK);

    WicBitmapLayer logoSource;
    ASSERT_TRUE(gWicFactory.DecodeFromMemory(EmbeddedImageBytes(EmbeddedImage::TamberLogo), logoSource));
    BitmapLayer logo;
    ASSERT_TRUE(gDeviceContext.CreateBitmapFromWicBitmap(logoSource.Get(), logo));
    TextFormatLayer format;
    ASSERT_TRUE(gDWriteFactory.CreateTextFormat("Microsoft Yahei UI", 40.0f, format, DWRITE_FONT_WEIGHT_BOLD));
    SolidBrushLayer brush;
    ASSERT_TRUE(gDeviceContext.CreateSolidColorBrush(D2D1_COLOR_F{0, 0, 0, 1}, brush));

    ASSERT_TRUE(gDeviceContext.BeginDraw());
    gDeviceContext.SetDpi(96.0f, 96.0f);
    gDeviceContext.Clear(D2D1_COLOR_F{1, 1, 1, 1});
    brush.SetColor(D2D1_COLOR_F{0, 0.5f, 0, 1});
    EXPECT_TRUE(gDeviceContext.FillRectangle(D2D1_RECT_F{200, 120, 240, 160}, brush.Get()));
    brush.SetColor(D2D1_COLOR_F{0, 0, 0, 1});
    EXPECT_TRUE(gDeviceContext.DrawText("WWW", format.Get(), D2D1_RECT_F{0, 0, 200, 60}, brush.Get()));
    EXPECT_TRUE(gDeviceContext.DrawBitmap(logo.Get(), D2D1_RECT_F{100, 80, 148, 128}));
    ASSERT_TRUE(gDeviceContext.EndDraw()) << std::hex << gDeviceContext.LastResult();

    const Pixels pixels = ReadBackBuffer(gSwapChain.Get());
    ASSERT_EQ(pixels.Width, 240u);
    ASSERT_EQ(pixels.Height, 160u);
    EXPECT_EQ(pixels.At(5, 150), 0xFFFFFFFFu);   // cleared white
    EXPECT_EQ(pixels.At(220, 140), 0xFF008000u);  // the green box (0.5 -> 0x80)
    // Text: dark pixels inside its rectangle, none below it.
    int dark = 0;
    for (UINT y = 0; y < 60; ++y) {
        for (UINT x = 0; x < 200; ++x) dark += (pixels.At(x, y) & 0xFF) < 0x40;
    }
    EXPECT_GT(dark, 100);
    // The logo: blue rounded square with a white triangle; its centre-left is
    // blue, the triangle white.
    const uint32_t blueSide = pixels.At(104, 104);
    EXPECT_GT(blueSide & 0xFF, 0xC0u) << std::hex << blueSide;
    EXPECT_LT((blueSide >> 16) & 0xFF, 0x60u) << std::hex << blueSide;
    EXPECT_EQ(pixels.At(124, 104) & 0xFFFFFF, 0xFFFFFFu) << std::hex << pixels.At(124, 104);
    EXPECT_TRUE(gSwapChain.Present(0, 0));
}

}  // namespace

namespace {

// What the screen shows of a window's client area, through GDI.
Pixels CaptureClient(HWND window, bool fromScreen) {
    Pixels pixels;
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const int width = client.right, height = client.bottom;
    HDC source = fromScreen ? GetDC(nullptr) : GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, source, fromScreen ? origin.x : 0, fromScreen ? origin.y : 0, SRCCOPY);
    GdiFlush();
    pixels.Width = width;
    pixels.Height = height;
    pixels.Bgra.assign(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + static_cast<size_t>(width) * height * 4);
    for (size_t i = 3; i < pixels.Bgra.size(); i += 4) pixels.Bgra[i] = 0xFF;  // GDI leaves alpha undefined
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(fromScreen ? nullptr : window, source);
    return pixels;
}

// Writes a capture as a BMP where TAMBER_GFX_SCREENSHOT names a file, to look at.
void SaveWhenAsked(const Pixels& pixels) {
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("TAMBER_GFX_SCREENSHOT", path, sizeof path) == 0) return;
    FILE* file = std::fopen(path, "wb");
    if (!file) return;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = static_cast<LONG>(pixels.Width);
    header.biHeight = -static_cast<LONG>(pixels.Height);
    header.biPlanes = 1;
    header.biBitCount = 32;
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = static_cast<DWORD>(fileHeader.bfOffBits + pixels.Bgra.size());
    std::fwrite(&fileHeader, sizeof fileHeader, 1, file);
    std::fwrite(&header, sizeof header, 1, file);
    std::fwrite(pixels.Bgra.data(), 1, pixels.Bgra.size(), file);
    std::fclose(file);
}

// The presented frame as the screen shows it: captured with GDI from the
// window's device context and from the screen.
TEST_F(DeviceTest, PresentedFrameReachesTheWindow) {
    TestWindow window(240, 160);
    ASSERT_EQ(EnsureWindowTarget(window.Handle()), S_OK);
    WicBitmapLayer logoSource;
    ASSERT_TRUE(gWicFactory.DecodeFromMemory(EmbeddedImageBytes(EmbeddedImage::TamberLogo), logoSource));
    BitmapLayer logo;
    ASSERT_TRUE(gDeviceContext.CreateBitmapFromWicBitmap(logoSource.Get(), logo));
    TextFormatLayer format;
    ASSERT_TRUE(gDWriteFactory.CreateTextFormat("Microsoft Yahei UI", 30.0f, format));
    SolidBrushLayer brush;
    ASSERT_TRUE(gDeviceContext.CreateSolidColorBrush(D2D1_COLOR_F{0, 0, 0, 1}, brush));
    // A few frames: the first presents of a new window may land before it is mapped.
    for (int i = 0; i < 3; ++i) {
        gDeviceContext.BeginDraw();
        gDeviceContext.Clear(D2D1_COLOR_F{1, 1, 1, 1});
        brush.SetColor(D2D1_COLOR_F{0, 0.5f, 0, 1});
        gDeviceContext.FillRectangle(D2D1_RECT_F{200, 120, 240, 160}, brush.Get());
        brush.SetColor(D2D1_COLOR_F{0, 0, 0, 1});
        gDeviceContext.DrawText("Tamber \xE6\xAD\x8C\xE8\xAF\x8D", format.Get(), D2D1_RECT_F{4, 0, 236, 60}, brush.Get());  // 歌词
        gDeviceContext.DrawBitmap(logo.Get(), D2D1_RECT_F{100, 80, 148, 128});
        ASSERT_TRUE(gDeviceContext.EndDraw());
        ASSERT_TRUE(gSwapChain.Present(0, 0));
        PumpMessages(100);
    }
    for (const bool fromScreen : {false, true}) {
        SCOPED_TRACE(fromScreen ? "screen" : "window");
        const Pixels pixels = CaptureClient(window.Handle(), fromScreen);
        if (fromScreen) SaveWhenAsked(pixels);
        EXPECT_EQ(pixels.At(5, 150), 0xFFFFFFFFu);
        EXPECT_EQ(pixels.At(220, 140), 0xFF008000u);
        int dark = 0;
        for (UINT y = 0; y < 60; ++y) {
            for (UINT x = 0; x < 236; ++x) dark += (pixels.At(x, y) & 0xFF) < 0x40;
        }
        EXPECT_GT(dark, 100);
        EXPECT_EQ(pixels.At(124, 104) & 0xFFFFFF, 0xFFFFFFu);  // the logo's white triangle
        EXPECT_GT(pixels.At(104, 104) & 0xFF, 0xC0u);           // its blue square
    }
}

}  // namespace
