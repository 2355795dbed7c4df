#include "lyrics/lyrics_loader.h"

#include <windows.h>

#include <string>

#include "lyrics/lyric_lines.h"
#include "lyrisk/lyrisk_abi.h"
#include "platform/text_codec.h"
#include "platform/win32/dll_binding.h"

namespace {

DllLibrary gLyriskLibrary(LYRISK_DLL_NAME, DllLocation::ProgramFolder);
DllFunction<ZoGetLrcDataFunction> gZoGetLrcData(gLyriskLibrary, LYRISK_GET_LRC_DATA_NAME);
DllFunction<ZoClearLrcDataFunction> gZoClearLrcData(gLyriskLibrary, LYRISK_CLEAR_LRC_DATA_NAME);

constexpr int32_t NoLyrics = -1;

}  // namespace

namespace {

// Copies lyrisk's entries; a failed allocation ends the copy with the lines
// made so far, as the readers give what they read before running out.
void CopyLines(const LrcEntryList& list, int32_t count) noexcept {
    try {
        gLyricLines.reserve(static_cast<size_t>(count));
    } catch (...) {  // std::bad_alloc: the lines come one by one instead
    }
    for (int32_t i = 0; i < count; ++i) {
        const LrcEntry* entry = list.Entries[i];
        if (!entry) continue;
        const auto* text = reinterpret_cast<const char16_t*>(entry->Text);
        try {
            gLyricLines.push_back(MakeLyricLine(entry->Time, entry->Duration,
                                                text ? std::u16string_view(text) : std::u16string_view(),
                                                i + 1 == count));
        } catch (...) {
            return;
        }
    }
}

}  // namespace

int LoadLyrics(std::string_view audioPath) noexcept {
    gLyricLines.clear();
    std::u16string widePath;
    try {
        widePath = ProgramTextToUtf16(audioPath);
    } catch (...) {
        return 0;
    }
    LrcEntryList* list = nullptr;
    const int32_t count = gZoGetLrcData(reinterpret_cast<const wchar_t*>(widePath.c_str()), CodePageAnsi,
                                        LYRISK_TEXT_CODE_PAGE, &list);
    if (count == NoLyrics || !list) return 0;
    if (count > 0) CopyLines(*list, count);
    // The list is lyrisk's: only it may free it, a count of 0 included.
    gZoClearLrcData(list);
    return static_cast<int>(gLyricLines.size());
}
