#pragma once
// Opening a file for a reader that fills the whole record.

#include "metadata/track_info.h"
#include "platform/input_file.h"

#include <string_view>

// A path that names nothing leaves the record as it was; any other path
// resets it, opened or not. One open in the common case: the existence
// check runs only when the open fails.
inline InputFile OpenAndResetRecord(std::string_view path, TrackInfo& info)
{
    InputFile file(path);
    if (file.IsOpen() || PathExists(path))
        ResetTrackInfo(info);
    return file;
}
