#include "metadata/track_info.h"

// Placeholder until the reader lands: finds nothing.
int ReadOggFile(std::string_view, TrackInfo&)
{
    return 0;
}
