// ReadTrackInfo on arbitrary bytes. The first byte picks the extension, and
// with it the readers; the rest is the file's content.

#include "metadata/track_info.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 11> Extensions = {"mp3", "wma", "ape", "aac", "wav", "ogg",
                                                         "oga", "flac", "fla", "m4a", "mp4"};

// One file name per extension and process: parallel fuzzing jobs don't clash.
std::string TempPath(std::string_view extension)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/fuzz_trackinfo_" + std::to_string(getpid()) + "." +
           std::string(extension);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string path = TempPath(Extensions[data[0] % Extensions.size()]);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);
    TrackInfo info;
    ReadTrackInfo(path, info);
    std::remove(path.c_str());
    return 0;
}
