#include "graphics_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class ComEnvironment : public testing::Environment {
public:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override {
        // Wrappers of the process-wide state go before COM does.
        DropDeviceObjects();
        gDWriteFactory.Release();
        gWicFactory.Release();
        CoUninitialize();
    }
};
const auto* const gComEnvironment = testing::AddGlobalTestEnvironment(new ComEnvironment);

constexpr const wchar_t* TestWindowClass = L"TamberGraphicsTest";

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool HaveDisplay() {
    char value[256];
    return GetEnvironmentVariableA("DISPLAY", value, sizeof value) > 0;
}

HRESULT EnsureGraphicsObjects() {
    if (!gD2DDevice) {
        const HRESULT hr = CreateDeviceChain(gDxgiDevice, gD2DFactory, gD2DDevice);
        if (hr != S_OK) return hr;
    }
    if (!gDWriteFactory) {
        const HRESULT hr = CreateDWriteFactory(gDWriteFactory);
        if (hr != S_OK) return hr;
    }
    if (!gWicFactory) {
        const HRESULT hr = CreateWicFactory(gWicFactory);
        if (hr != S_OK) return hr;
    }
    return S_OK;
}

std::string GraphicsFailureHint(HRESULT hr) {
    char text[300];
    if (hr == static_cast<HRESULT>(0x887A0004)) {  // DXGI_ERROR_UNSUPPORTED
        // Wine lists display adapters from the session's first process; a
        // wineserver started without DISPLAY has none for every later process.
        std::snprintf(text, sizeof text,
                      "no Direct3D 11 adapter (0x887A0004): is the Wine session's wineserver running without a "
                      "display? Stop it (wineserver -k) and start the tests under Xvfb");
    } else {
        std::snprintf(text, sizeof text, "graphics objects could not be created: 0x%08lX",
                      static_cast<unsigned long>(hr));
    }
    return text;
}

TestWindow::TestWindow(int clientWidth, int clientHeight) {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = TestWindowClass;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    RECT rect{0, 0, clientWidth, clientHeight};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    Window = CreateWindowExW(0, TestWindowClass, L"Tamber graphics test", WS_OVERLAPPEDWINDOW, 10, 10,
                             rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (Window) {
        ShowWindow(Window, SW_SHOWNORMAL);
        UpdateWindow(Window);
        PumpMessages(50);
    }
}

TestWindow::~TestWindow() {
    if (Window) DestroyWindow(Window);
}

void TestWindow::ResizeClient(int clientWidth, int clientHeight) {
    RECT rect{0, 0, clientWidth, clientHeight};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    SetWindowPos(Window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages(50);
}

void PumpMessages(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

std::vector<uint8_t> ReadFixture(const char* name) {
    std::string path = TAMBER_SOURCE_DIR "/tests/graphics/fixtures/";
    path += name;
    for (char& c : path) c = c == '/' ? '\\' : c;
    // Under Wine the source tree is reached through drive Z:.
    if (!path.empty() && path[0] == '\\') path = "Z:" + path;
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    return bytes;
}

uint32_t Pixels::At(UINT x, UINT y) const {
    if (x >= Width || y >= Height) return 0;
    const uint8_t* p = &Bgra[(static_cast<size_t>(y) * Width + x) * 4];
    return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 |
           p[0];
}

Pixels ReadWicPixels(IWICBitmapSource* bitmap) {
    Pixels pixels;
    if (!bitmap || bitmap->GetSize(&pixels.Width, &pixels.Height) != S_OK) return pixels;
    pixels.Bgra.resize(static_cast<size_t>(pixels.Width) * pixels.Height * 4);
    if (bitmap->CopyPixels(nullptr, pixels.Width * 4, static_cast<UINT>(pixels.Bgra.size()), pixels.Bgra.data()) !=
        S_OK) {
        pixels = {};
    }
    return pixels;
}

Pixels ReadBackBuffer(IDXGISwapChain1* swapChain) {
    Pixels pixels;
    GraphicsLayer<ID3D11Texture2D> buffer;
    if (!swapChain || swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), buffer.PutVoid()) != S_OK) return pixels;
    GraphicsLayer<ID3D11Device> device;
    buffer->GetDevice(device.Put());
    GraphicsLayer<ID3D11DeviceContext> context;
    device->GetImmediateContext(context.Put());

    D3D11_TEXTURE2D_DESC desc{};
    buffer->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    GraphicsLayer<ID3D11Texture2D> staging;
    if (device->CreateTexture2D(&desc, nullptr, staging.Put()) != S_OK) return pixels;
    context->CopyResource(staging.Get(), buffer.Get());
    D3D11_MAPPED_SUBRESOURCE mapped{};
    if (context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped) != S_OK) return pixels;
    pixels.Width = desc.Width;
    pixels.Height = desc.Height;
    pixels.Bgra.resize(static_cast<size_t>(desc.Width) * desc.Height * 4);
    for (UINT y = 0; y < desc.Height; ++y) {
        std::memcpy(&pixels.Bgra[static_cast<size_t>(y) * desc.Width * 4],
                    static_cast<const uint8_t*>(mapped.pData) + static_cast<size_t>(y) * mapped.RowPitch,
                    desc.Width * 4);
    }
    context->Unmap(staging.Get(), 0);
    return pixels;
}
