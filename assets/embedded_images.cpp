#include "assets/embedded_images.h"

#include <windows.h>

namespace {

const char* ResourceName(EmbeddedImage image) {
    switch (image) {
    case EmbeddedImage::Settings: return "TAMBER_SETTINGS_PNG";
    case EmbeddedImage::Home: return "TAMBER_HOME_PNG";
    case EmbeddedImage::TamberLogo: return "TAMBER_LOGO_PNG";
    case EmbeddedImage::ArrowLeft: return "TAMBER_ARROW_LEFT_PNG";
    case EmbeddedImage::ArrowRight: return "TAMBER_ARROW_RIGHT_PNG";
    case EmbeddedImage::DefaultCover: return "TAMBER_DEFAULT_COVER_PNG";
    }
    return "";
}

}  // namespace

std::span<const uint8_t> EmbeddedImageBytes(EmbeddedImage image) {
    // The resources are linked into the program file itself.
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceA(module, ResourceName(image), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return {};
    return {static_cast<const uint8_t*>(data), size};
}
