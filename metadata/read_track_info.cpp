#include "metadata/track_info.h"
#include "metadata/ape.h"
#include "metadata/id3v1.h"
#include "metadata/id3v2.h"
#include "metadata/mpeg.h"
#include "metadata/read_limits.h"
#include "metadata/text.h"

#include "platform/input_file.h"

#include <cmath>

void ResetTrackInfo(TrackInfo& info)
{
    info = TrackInfo{};
}

namespace {

// The text after the last "." upper-cased; the whole path when it has none
// (which matches no reader).
std::string Extension(std::string_view path)
{
    const size_t dot = path.rfind('.');
    return UpperAscii(dot == std::string_view::npos ? path : path.substr(dot + 1));
}

// The MP3 chain reads one open file; each step keeps its own failures in, so
// a failed allocation in one still lets the others run.
void ReadMp3File(std::string_view path, TrackInfo& info)
{
    const InputFile file(path);  // read-only, denying writers
    // The APEv2 reader runs first so that ID3v2 frames win over its items.
    WithoutThrowing([&] { return ReadApeFile(file, info); });
    if (WithoutThrowing([&] { return ReadId3v2Tag(file, info); }) == 0 || info.Title.empty())
        WithoutThrowing([&] { return ReadId3v1Tag(file, info); });
    WithoutThrowing([&] { return ReadMpegStream(file, info); });  // last: its Encoder text wins
}

int ReadByExtension(std::string_view path, TrackInfo& info)
{
    const std::string extension = Extension(path);
    if (extension == "MP3") {
        ReadMp3File(path, info);
    } else if (extension == "WMA") {
        ReadWmaFile(path, info);
    } else if (extension == "APE" || extension == "AAC" || extension == "WAV") {
        ReadApeFile(path, info);
    } else if (extension == "OGG" || extension == "OGA") {
        ReadOggFile(path, info);
    } else if (extension == "FLAC" || extension == "FLA") {
        ReadFlacFile(path, info);
    } else if (extension == "M4A" || extension == "MP4") {
        ReadMp4File(path, info);
        return 0;
    }
    return 1;
}

}  // namespace

int ReadTrackInfo(std::string_view path, TrackInfo& info)
{
    ResetTrackInfo(info);
    // The readers keep their own failures in; this catches the dispatch's.
    return WithoutThrowing([&] { return ReadByExtension(path, info); }, 1);
}

std::string FormatMinutesSeconds(int seconds)
{
    const int minutes = seconds / 60;
    const int rest = seconds % 60;
    std::string text = minutes < 10 ? "0" : "";
    text += std::to_string(minutes);
    text += rest < 10 ? ":0" : ":";
    text += std::to_string(rest);
    return text;
}

int SplitMinutesSeconds(double seconds, bool wantSeconds)
{
    if (!(seconds >= -2147483648.0 && seconds < 2147483648.0))  // NaN or out of range
        return 0;
    return static_cast<int>(wantSeconds ? std::fmod(seconds, 60.0) : seconds / 60.0);
}
