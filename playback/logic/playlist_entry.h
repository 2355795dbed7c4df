#pragma once
// One row of the song list. Texts are program text (UTF-8).

#include <string>
#include <vector>

struct PlaylistEntry {
    std::string Title;         // tag title, or the file name without its extension
    std::string Artist;        // possibly empty
    std::string DurationText;  // FormatDuration with "m:s"
    std::string Path;          // as it was given
    int Hovered = 0;           // the pointer is over the row
    int Selected = 0;          // the row last clicked
};

// 1-based positions for the program (entry i is element i - 1); appended
// only, duplicates allowed.
using Playlist = std::vector<PlaylistEntry>;
