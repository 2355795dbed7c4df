#include "lyrics/lyrics_loader.h"

#include <windows.h>

#include <string>

#include "lyrics/lyric_lines.h"
#include "lyrisk/lyrisk.h"
#include "platform/text_codec.h"
#include "platform/win32/dll_binding.h"

namespace {

DllLibrary gLyriskLibrary(LYRISK_DLL_NAME, DllLocation::ProgramFolder);
DllFunction<ZoGetLrcDataFunction> gZoGetLrcData(gLyriskLibrary, LYRISK_GET_LRC_DATA_NAME);
DllFunction<ZoClearLrcDataFunction> gZoClearLrcData(gLyriskLibrary, LYRISK_CLEAR_LRC_DATA_NAME);

constexpr int32_t NoLyrics = -1;

}  // namespace

int LoadLyrics(std::string_view audioPath) {
    const std::u16string widePath = ProgramTextToUtf16(audioPath);
    gLyricLines.clear();
    LrcEntryList* list = nullptr;
    const int32_t count = gZoGetLrcData(reinterpret_cast<const wchar_t*>(widePath.c_str()), CodePageAnsi,
                                        LYRISK_TEXT_CODE_PAGE, &list);
    if (count == NoLyrics || !list) return 0;
    gLyricLines.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    for (int32_t i = 0; i < count; ++i) {
        const LrcEntry* entry = list->Entries[i];
        if (!entry) continue;
        const auto* text = reinterpret_cast<const char16_t*>(entry->Text);
        gLyricLines.push_back(MakeLyricLine(entry->Time, entry->Duration,
                                            text ? std::u16string_view(text) : std::u16string_view(),
                                            i + 1 == count));
    }
    // The list is lyrisk's: only it may free it, a count of 0 included.
    gZoClearLrcData(list);
    return count < 0 ? 0 : count;
}
