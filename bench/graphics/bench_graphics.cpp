// Timing of the cover pipeline and of a lyrics-heavy frame, under Wine or
// Windows. A plain program: prints one line per figure.
//   cover: RefreshCoverBitmap of a 3000 x 3000 JPEG (GDI+ thumbnail, WIC
//          decode, Direct2D bitmap)
//   frame: one frame that creates, measures and draws 200 lyric-sized text
//          layouts (what the now-playing view does on every frame)
#include "graphics/graphics_device.h"
#include "ui/cover_art.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr UINT CoverSide = 3000;
constexpr int CoverRuns = 5;
constexpr int LyricLines = 200;
constexpr int FrameRuns = 20;

double NowMs() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// A 3000 x 3000 JPEG with a busy pattern, so the decoder has real work.
std::vector<uint8_t> MakeLargeJpeg() {
    std::vector<uint8_t> pixels(static_cast<size_t>(CoverSide) * CoverSide * 4);
    for (UINT y = 0; y < CoverSide; ++y) {
        for (UINT x = 0; x < CoverSide; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * CoverSide + x) * 4];
            p[0] = static_cast<uint8_t>(x * 7 + y);
            p[1] = static_cast<uint8_t>((x ^ y) * 3);
            p[2] = static_cast<uint8_t>(y * 5 - x);
            p[3] = 255;
        }
    }
    std::vector<uint8_t> result;
    GraphicsLayer<IWICBitmap> bitmap;
    if (gWicFactory->CreateBitmapFromMemory(CoverSide, CoverSide, GUID_WICPixelFormat32bppBGRA, CoverSide * 4,
                                            static_cast<UINT>(pixels.size()), pixels.data(), bitmap.Put()) != S_OK) {
        return result;
    }
    GraphicsLayer<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    GraphicsLayer<IWICBitmapEncoder> encoder;
    GraphicsLayer<IWICBitmapFrameEncode> frame;
    if (!stream || gWicFactory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Put()) != S_OK ||
        encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache) != S_OK ||
        encoder->CreateNewFrame(frame.Put(), nullptr) != S_OK || frame->Initialize(nullptr) != S_OK ||
        frame->SetSize(CoverSide, CoverSide) != S_OK) {
        return result;
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    frame->SetPixelFormat(&format);
    if (frame->WriteSource(bitmap.Get(), nullptr) != S_OK || frame->Commit() != S_OK || encoder->Commit() != S_OK) {
        return result;
    }
    HGLOBAL block = nullptr;
    GetHGlobalFromStream(stream.Get(), &block);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    if (const void* data = block ? GlobalLock(block) : nullptr) {
        const auto* first = static_cast<const uint8_t*>(data);
        result.assign(first, first + stat.cbSize.QuadPart);
        GlobalUnlock(block);
    }
    return result;
}

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow(int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = BenchWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TamberGraphicsBench";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    if (window) ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

void Report(const char* name, std::vector<double> samples) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    double sum = 0;
    for (double s : samples) sum += s;
    std::printf("%-44s median %8.2f ms  mean %8.2f ms  min %8.2f ms  (%zu runs)\n", name,
                samples[samples.size() / 2], sum / samples.size(), samples.front(), samples.size());
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (CreateWicFactory(gWicFactory) != S_OK || CreateDWriteFactory(gDWriteFactory) != S_OK) {
        std::printf("bench_graphics: the WIC or DirectWrite factory is missing\n");
        return 1;
    }
    gCoverBytes = MakeLargeJpeg();
    std::printf("cover: %u x %u JPEG, %zu bytes\n", CoverSide, CoverSide, gCoverBytes.size());
    if (gCoverBytes.empty()) return 1;

    // The device-free half of the cover path, measurable without a display.
    std::vector<double> thumbnailMs;
    for (int i = 0; i < CoverRuns; ++i) {
        const double start = NowMs();
        const std::vector<uint8_t> png = MakeThumbnailPng(gCoverBytes, CoverThumbnailSize, CoverThumbnailSize);
        WicBitmapLayer source;
        gWicFactory.DecodeFromMemory(png, source);
        thumbnailMs.push_back(NowMs() - start);
    }
    Report("MakeThumbnailPng + DecodeFromMemory", thumbnailMs);

    char display[256];
    if (GetEnvironmentVariableA("DISPLAY", display, sizeof display) == 0 && GetSystemMetrics(SM_CXSCREEN) <= 0) {
        std::printf("bench_graphics: no display, device figures skipped\n");
        return 0;
    }
    HWND window = MakeWindow(1000, 700);
    if (!window || EnsureWindowTarget(window) != S_OK) {
        std::printf("bench_graphics: no Direct3D device, device figures skipped\n");
        return 0;
    }

    std::vector<double> coverMs;
    for (int i = 0; i < CoverRuns; ++i) {
        const double start = NowMs();
        RefreshCoverBitmap();
        coverMs.push_back(NowMs() - start);
    }
    Report("RefreshCoverBitmap (3000 x 3000 JPEG)", coverMs);

    TextFormatLayer format;
    gDWriteFactory.CreateTextFormat("Microsoft Yahei UI", 17.0f, format, DWRITE_FONT_WEIGHT_NORMAL);
    format.SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    format.SetWordWrapping(DWRITE_WORD_WRAPPING_WRAP);
    SolidBrushLayer brush;
    gDeviceContext.CreateSolidColorBrush(D2D1_COLOR_F{0, 0, 0, 1}, brush);
    std::vector<std::wstring> lines;
    for (int i = 0; i < LyricLines; ++i) {
        lines.push_back(L"Line " + std::to_wstring(i + 1) + L" of the lyrics, long enough to wrap once or twice");
    }

    std::vector<double> layoutMs, frameMs;
    for (int run = 0; run < FrameRuns; ++run) {
        const double start = NowMs();
        gDeviceContext.BeginDraw();
        gDeviceContext.Clear(D2D1_COLOR_F{1, 1, 1, 1});
        float y = 0;
        double layoutsOnly = 0;
        for (const std::wstring& line : lines) {
            const double layoutStart = NowMs();
            TextLayoutLayer layout;
            gDWriteFactory.CreateTextLayout(line.c_str(), format.Get(), 400.0f, 1000.0f, layout);
            DWRITE_TEXT_METRICS metrics{};
            layout.GetMetrics(metrics);
            layoutsOnly += NowMs() - layoutStart;
            gDeviceContext.DrawTextLayout(D2D1_POINT_2F{50, y}, layout.Get(), brush.Get());
            y += metrics.height;
        }
        gDeviceContext.EndDraw();
        gSwapChain.Present(0, 0);
        frameMs.push_back(NowMs() - start);
        layoutMs.push_back(layoutsOnly);
    }
    Report("frame: 200 text layouts created + drawn", frameMs);
    Report("  of which CreateTextLayout + GetMetrics", layoutMs);

    ReleaseDeviceImages();
    DropDeviceObjects();
    DestroyWindow(window);
    gDWriteFactory.Release();
    gWicFactory.Release();
    CoUninitialize();
    return 0;
}
