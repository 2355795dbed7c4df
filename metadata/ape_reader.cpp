#include "metadata/track_info.h"

// Placeholder until the reader lands: finds nothing.
int ReadApeFile(std::string_view, TrackInfo&)
{
    return 0;
}
