#pragma once
// lyrisk.dll: reads the LRC lyric file beside an audio file into timed
// entries. Its two exports, over the binary interface of lyrisk_abi.h.

#include "lyrisk/lyrisk_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

// What each does: lyrisk_abi.h, beside their function types.
int32_t LYRISK_CALL ZoGetLrcData(const wchar_t* audioPath, uint32_t codePage, int32_t textMode,
                                 LrcEntryList** entries);

int32_t LYRISK_CALL ZoClearLrcData(LrcEntryList* list);

#ifdef __cplusplus
}
#endif
