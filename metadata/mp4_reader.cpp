#include "metadata/track_info.h"

// Placeholder until the reader lands: finds nothing.
int ReadMp4File(std::string_view, TrackInfo&)
{
    return 0;
}
