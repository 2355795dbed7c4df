#pragma once
// Long paths for the file functions of Windows.

#include <string>

// Paths of MAX_PATH units or more open only with the \\?\ prefix unless the
// program opted into long paths, which a DLL cannot do for it. Such a path is
// made full (the prefix turns off normalisation) and prefixed; shorter or
// already prefixed paths come back unchanged.
std::u16string ExtendedLengthPath(const std::u16string& path);
