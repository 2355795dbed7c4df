#pragma once
// Shared pieces of the Windows graphics tests: COM, the display check, a test
// window, fixtures and pixel reading.

#include "graphics/graphics_device.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// The X display Wine draws on; tests that open windows need one.
bool HaveDisplay();
// Fails the current test with a clear message when there is no display.
#define REQUIRE_DISPLAY()                                                                              \
    do {                                                                                               \
        if (!HaveDisplay()) GTEST_FAIL() << "no display: run under Xvfb (DISPLAY is not set)";        \
    } while (0)

// The process-wide device chain and factories, created once for all tests
// (gDxgiDevice, gD2DFactory, gD2DDevice, gDWriteFactory, gWicFactory).
// Returns the first failing HRESULT, 0 when all exist.
HRESULT EnsureGraphicsObjects();
// Why EnsureGraphicsObjects failed, for the failure message.
std::string GraphicsFailureHint(HRESULT hr);

// A plain top-level window with a client area of the given size, shown.
class TestWindow {
public:
    TestWindow(int clientWidth, int clientHeight);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND Handle() const { return Window; }
    void ResizeClient(int clientWidth, int clientHeight);

private:
    HWND Window = nullptr;
};

// Pumps the thread's messages for about ms milliseconds.
void PumpMessages(int ms);

// Bytes of tests/graphics/fixtures/<name>; empty when missing.
std::vector<uint8_t> ReadFixture(const char* name);

// Pixels of a WIC bitmap as 32-bit BGRA rows (width * 4 bytes per row).
struct Pixels {
    UINT Width = 0;
    UINT Height = 0;
    std::vector<uint8_t> Bgra;
    uint32_t At(UINT x, UINT y) const;  // 0xAARRGGBB
};
Pixels ReadWicPixels(IWICBitmapSource* bitmap);

// The current back buffer of a swap chain, copied through a staging texture.
Pixels ReadBackBuffer(IDXGISwapChain1* swapChain);
