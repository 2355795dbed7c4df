#pragma once
// Monkey's Audio header and APEv2 tag reading on an open file, for the MP3
// chain, which runs every reader over one open.

#include "metadata/track_info.h"

class InputFile;

// As ReadApeFile(path, info), on a file already open; the record is not reset.
int ReadApeFile(const InputFile& file, TrackInfo& info);
