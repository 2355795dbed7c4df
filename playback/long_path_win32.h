#pragma once
// File look-ups of the playback code (lyric and cover files beside a track,
// folder scans) for paths of any length: program text goes to the wide
// functions, with the \\?\ prefix from MAX_PATH units on.

#include <cstdint>
#include <string>
#include <string_view>

std::wstring WideFilePath(std::string_view path);
// A directory search for the path finds an entry (file or folder).
bool PathEntryExists(std::string_view path);
// A directory search for the path finds a file (not a folder).
bool FileExistsAt(std::string_view path);
// The whole file, at most maxBytes; false when it cannot be read or is larger.
bool ReadFileAt(std::string_view path, std::string& bytes, uint64_t maxBytes);
