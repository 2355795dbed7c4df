#pragma once
// Loading the current track's lyrics through lyrisk.dll, which is bound by
// name from the program's folder on the first load (a missing library or
// export is fatal, as for every bound function). UI thread only: lyrisk must
// not be called from two threads at once.

#include <string_view>

// Fills gLyricLines from the ".lrc" beside audioPath (program text); the
// number of lines, 0 when lyrisk finds none or refuses the file; fewer when
// memory runs out on the way. Pumps no messages, so nothing sees a
// half-filled list.
int LoadLyrics(std::string_view audioPath) noexcept;
