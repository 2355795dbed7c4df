#include "metadata/stream_text.h"

#include "metadata/track_info.h"

#include <climits>

std::string SampleDurationText(uint64_t samples, uint64_t rate)
{
    if (samples == 0 || rate == 0)
        return {};
    const uint64_t seconds = samples / rate;
    return FormatMinutesSeconds(seconds > INT_MAX ? INT_MAX : static_cast<int>(seconds));
}

std::string SecondsDurationText(double seconds)
{
    if (!(seconds > 0))  // also NaN
        return {};
    return FormatMinutesSeconds(seconds >= INT_MAX ? INT_MAX : static_cast<int>(seconds));
}
