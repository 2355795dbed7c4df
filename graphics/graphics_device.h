#pragma once
// The rendering device, the factories and the main window's target: creation,
// resizing, the Windows build number, and recovery from a lost device.

#include "graphics/graphics_layer.h"

#include <cstdint>

// --- exact platform values --------------------------------------------------
inline constexpr UINT D3D11SdkVersion = 7;
inline constexpr UINT SwapChainBufferCount = 2;
inline constexpr DXGI_FORMAT TargetFormat = DXGI_FORMAT_B8G8R8A8_UNORM;  // 87
inline constexpr const wchar_t* IidDxgiDevice1Text = L"{77db970f-6276-48ba-ba28-070143b4392c}";
inline constexpr const wchar_t* IidDxgiFactory2Text = L"{50c83a1c-e072-4c48-87b0-3630fa36a6d0}";
inline constexpr const wchar_t* IidD2DFactory1Text = L"{bb12d362-daee-4b9a-aa1d-14ba401cfa1f}";
inline constexpr const wchar_t* IidDWriteFactoryText = L"{b859ee5a-d838-4b5b-a2e8-1adc7d93db48}";
inline constexpr const wchar_t* IidDxgiSurfaceText = L"{cafcb56c-6ac3-4889-bf47-9e23bbd260ec}";
inline constexpr const wchar_t* ClsidWicFactory2Text = L"{317d06e8-5f24-433d-bdf7-79ce68d8abc2}";
inline constexpr const wchar_t* IidWicFactory2Text = L"{7B816B45-1996-4476-B132-DE9E247C8AF0}";
inline constexpr const wchar_t* ClsidGaussianBlurText = L"{1feb6d69-2fe6-4ac9-8c58-1d7f93e7a6a5}";

// --- process-wide graphics objects ------------------------------------------
// Created empty; filled at start-up (device chain and factories) and at the
// main window's first paint (swap chain and device context). Main thread only.
extern DxgiDeviceLayer gDxgiDevice;
extern D2DFactoryLayer gD2DFactory;
extern D2DDeviceLayer gD2DDevice;
extern DWriteFactoryLayer gDWriteFactory;
extern WicFactoryLayer gWicFactory;
extern SwapChainLayer gSwapChain;
extern DeviceContextLayer gDeviceContext;

// Which Direct3D drivers a device may come from. Only tests refuse any.
enum class DeviceDrivers {
    HardwareThenWarp,  // WARP where no hardware device can be made (virtual machines, remote sessions, old drivers)
    WarpOnly,
    None,
};

// D3D11 device (BGRA support) -> IDXGIDevice1 -> D2D factory (single-threaded)
// -> D2D device. Returns 0 or the first failing HRESULT; warp (may be null)
// tells whether the device is WARP's.
HRESULT CreateDeviceChain(DxgiDeviceLayer& dxgiDevice, D2DFactoryLayer& factory, D2DDeviceLayer& device,
                          DeviceDrivers drivers = DeviceDrivers::HardwareThenWarp, bool* warp = nullptr);
// Shared DirectWrite factory. Returns 0 or the HRESULT.
HRESULT CreateDWriteFactory(DWriteFactoryLayer& factory);
// WIC imaging factory 2 (in-process). Returns 0 or the HRESULT.
HRESULT CreateWicFactory(WicFactoryLayer& factory);

// How the swap chain treats its buffer after a present.
enum class SwapKind {
    // Two buffers, discarded: every frame must fill the whole buffer. What a
    // system backdrop composes with.
    Discard,
    // One buffer that keeps its pixels (sequential): a frame may draw and
    // present only what changed. Only where no system backdrop shows.
    KeepContents,
};

// Swap chain (client size, BGRA, of the kind given), device context and its
// target bitmap for a window. Returns 0 or an HRESULT.
HRESULT CreateWindowTarget(HWND window, DxgiDeviceLayer& dxgiDevice, D2DFactoryLayer& factory,
                           D2DDeviceLayer& device, SwapChainLayer& swapChain, DeviceContextLayer& context,
                           SwapKind kind = SwapKind::Discard);
// After a size change: drop the target, resize the buffers to the window,
// make a new target. Results are not examined.
void ResizeWindowTarget(SwapChainLayer& swapChain, DeviceContextLayer& context);

// Low 16 bits of the Windows build number (RtlGetNtVersionNumbers of ntdll);
// 0 when it cannot be read.
uint32_t ReadWindowsBuild();

// --- lost device ------------------------------------------------------------
// D2DERR_RECREATE_TARGET and the DXGI device-removed family: the device and
// everything made on it must be rebuilt.
bool IsDeviceLost(HRESULT hr);

// Releases the main window's swap chain and device context and the device
// chain (DXGI device, D2D factory, D2D device). The DirectWrite and WIC
// factories do not depend on the device and stay.
void DropDeviceObjects();

// The results of a frame's EndDraw and Present: when either reports a lost
// device, drops the device objects and returns true. The next paint then finds
// no device context and rebuilds everything through EnsureWindowTarget.
bool RecoverFromFrameResult(HRESULT endDrawResult, HRESULT presentResult);

// What a paint calls when gDeviceContext is empty: rebuilds the device chain
// if it was dropped, then the window target of the main window. Returns 0 or
// the failing HRESULT (the window then stays blank and the next paint retries).
HRESULT EnsureWindowTarget(HWND window, SwapKind kind = SwapKind::Discard);
