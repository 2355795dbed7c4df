// The two exports of lyrisk.dll: a thin C layer over the portable parser.
// Nothing may escape them: allocations are checked and a failure anywhere
// gives -1, never a crash in the caller.

#include "lyrisk/lyrisk.h"

#include "lyrisk/long_path.h"

#include "lrc/lrc_file.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>
#include <string>
#include <vector>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "lyrisk passes UTF-16 as wchar_t");
#if !defined(_WIN64)
static_assert(sizeof(LrcEntry) == 20 && offsetof(LrcEntryList, Entries) == 4, "the layout the player reads");
#endif

namespace {

void FreeEntry(LrcEntry* entry)
{
    if (entry == nullptr)
        return;
    delete[] entry->Text;
    delete entry;
}

LrcEntry* NewEntry(const LrcLine& line)
{
    auto* text = new (std::nothrow) wchar_t[line.Text.size() + 1];
    if (text == nullptr)
        return nullptr;
    std::copy(line.Text.begin(), line.Text.end(), text);
    text[line.Text.size()] = L'\0';
    auto* entry = new (std::nothrow) LrcEntry{line.Time, line.Duration, text, line.JoinOffset, -1};
    if (entry == nullptr)
        delete[] text;
    return entry;
}

BOOL FreeEntryList(LrcEntryList* list)
{
    LrcEntry** slots = list->Entries;
    for (int32_t i = 0; i < list->Count; ++i)
        FreeEntry(slots[i]);
    return HeapFree(GetProcessHeap(), 0, list);
}

// The block comes from the process heap, entries and texts from our own
// allocator; only FreeEntryList takes them apart again.
LrcEntryList* NewEntryList(const std::vector<LrcLine>& lines)
{
    constexpr size_t Header = offsetof(LrcEntryList, Entries);
    constexpr size_t MaxEntries = (std::numeric_limits<size_t>::max() - Header) / sizeof(LrcEntry*);
    if (lines.size() > MaxEntries || lines.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return nullptr;
    const size_t bytes = std::max(sizeof(LrcEntryList), Header + lines.size() * sizeof(LrcEntry*));
    auto* list = static_cast<LrcEntryList*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (list == nullptr)
        return nullptr;
    list->Count = 0;
    LrcEntry** slots = list->Entries;
    for (const LrcLine& line : lines) {
        LrcEntry* entry = NewEntry(line);
        if (entry == nullptr) {
            FreeEntryList(list);  // a list with holes would mistime the lines around them
            return nullptr;
        }
        slots[list->Count++] = entry;
    }
    return list;
}

}  // namespace

extern "C" int32_t LYRISK_CALL ZoGetLrcData(const wchar_t* audioPath, uint32_t codePage, int32_t textMode,
                                            LrcEntryList** entries)
{
    if (audioPath == nullptr || entries == nullptr)
        return -1;
    try {
        const std::u16string_view audio(reinterpret_cast<const char16_t*>(audioPath), wcslen(audioPath));
        const std::u16string lrcPath = ExtendedLengthPath(LrcPathForAudio(audio));
        const std::optional<std::vector<LrcLine>> lines = ReadLrcFile(lrcPath, codePage, textMode);
        if (!lines)
            return -1;
        LrcEntryList* list = NewEntryList(*lines);
        if (list == nullptr)
            return -1;
        *entries = list;
        return list->Count;
    } catch (...) {  // std::bad_alloc while building the paths; reading and parsing never throw
        return -1;
    }
}

extern "C" int32_t LYRISK_CALL ZoClearLrcData(LrcEntryList* list)
{
    if (list == nullptr)
        return FALSE;
    return FreeEntryList(list) ? TRUE : FALSE;
}
