#pragma once
// The track-info record every tag and stream reader fills, and the dispatch
// that picks the readers by file extension.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Display fields of a track. Texts are program text (UTF-8).
struct TrackInfo {
    std::string Artist;
    std::string Title;
    std::string Album;
    std::string Copyright;
    std::string Comment;
    std::string Track;
    std::string Encoder;
    std::string Genre;
    std::string Lyrics;
    std::string Year;
    std::string Url;
    std::string Composer;
    std::string SdkVersion;
    std::string BitRateText;
    std::string SampleRateText;
    std::string ChannelsText;
    std::string Performer;
    std::string Description;
    std::string DurationText;
    std::vector<uint8_t> Picture;  // encoded cover picture, empty when none
};

void ResetTrackInfo(TrackInfo& info);

// Resets info, then runs the readers the path's extension selects.
// 0 after an MP4/M4A file, 1 otherwise. Nothing throws out of it or out of
// the readers: a failed allocation ends a reader as a damaged file would.
int ReadTrackInfo(std::string_view path, TrackInfo& info);

// The readers: 1 when the file held what the reader looks for, else 0.
int ReadId3v2Tag(std::string_view path, TrackInfo& info);
int ReadId3v1Tag(std::string_view path, TrackInfo& info);
int ReadMpegStream(std::string_view path, TrackInfo& info);
int ReadApeFile(std::string_view path, TrackInfo& info);
int ReadOggFile(std::string_view path, TrackInfo& info);
int ReadFlacFile(std::string_view path, TrackInfo& info);
int ReadMp4File(std::string_view path, TrackInfo& info);
int ReadWmaFile(std::string_view path, TrackInfo& info);

// "mm:ss"; minutes are not limited to two digits (7507 gives 125:07).
std::string FormatMinutesSeconds(int seconds);
// Whole minutes of seconds, or with wantSeconds the whole seconds within the minute.
int SplitMinutesSeconds(double seconds, bool wantSeconds);
