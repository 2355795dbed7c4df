#pragma once
// The binary interface of lyrisk.dll, for the library and for its callers,
// which bind it by name (LYRISK_DLL_NAME and the decorated names below) and
// never link it: the entry list's layout, the calling convention, the text
// modes and the two functions' types. The x86_64 build exports the very
// same names. Calls must not overlap.
//
// Ownership: the list, its entries and their texts belong to the library.
// Read them, then hand the list to ZoClearLrcData exactly once; never change,
// keep or free any part of it.

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define LYRISK_CALL __stdcall
#else
#define LYRISK_CALL
#endif

typedef struct LrcEntry {
    float Time;          // seconds from the start of the track, never negative
    float Duration;      // seconds until the next entry's Time; -1.0 for the last entry
    wchar_t* Text;       // NUL-terminated UTF-16; joined lines separated by "\r\n"
    int32_t JoinOffset;  // -1 if never joined; else units of Text before the last "\r\n" joined in
    int32_t Reserved;    // always -1
} LrcEntry;

// A count followed by that many entry pointers, ascending by Time.
typedef struct LrcEntryList {
    int32_t Count;
    LrcEntry* Entries[1];  // really Count of them (none when Count is 0)
} LrcEntryList;

// textMode: how a lyric file without a byte-order mark is read.
#define LYRISK_TEXT_CODE_PAGE 0  // in codePage (0: the system's ANSI code page)
#define LYRISK_TEXT_UTF8 1       // any other value: UTF-16 little-endian

// ZoGetLrcData(audioPath, codePage, textMode, entries): finds the ".lrc"
// beside audioPath and parses it. Returns the number of entries and sets
// *entries to the list, or returns -1 (no lyrics could be read) and leaves
// *entries untouched. ZoClearLrcData(list): releases a list from
// ZoGetLrcData (a count of 0 included); non-zero when the list block was
// released.
typedef int32_t(LYRISK_CALL* ZoGetLrcDataFunction)(const wchar_t*, uint32_t, int32_t, LrcEntryList**);
typedef int32_t(LYRISK_CALL* ZoClearLrcDataFunction)(LrcEntryList*);

// The exported names, for GetProcAddress.
#define LYRISK_DLL_NAME "lyrisk.dll"
#define LYRISK_GET_LRC_DATA_NAME "_ZoGetLrcData@16"
#define LYRISK_CLEAR_LRC_DATA_NAME "_ZoClearLrcData@4"

#ifdef __cplusplus
}
#endif
