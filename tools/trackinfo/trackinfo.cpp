// trackinfo FILE...: what the player reads from each file, one JSON object
// per line, the TrackInfo fields in record order, texts in UTF-8.

#include "sha256.h"

#include "metadata/track_info.h"
#include "platform/text_codec.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

struct NamedField {
    const char* Name;
    std::string TrackInfo::*Field;
};

constexpr NamedField TextFields[] = {
    {"Artist", &TrackInfo::Artist},
    {"Title", &TrackInfo::Title},
    {"Album", &TrackInfo::Album},
    {"Copyright", &TrackInfo::Copyright},
    {"Comment", &TrackInfo::Comment},
    {"Track", &TrackInfo::Track},
    {"Encoder", &TrackInfo::Encoder},
    {"Genre", &TrackInfo::Genre},
    {"Lyrics", &TrackInfo::Lyrics},
    {"Year", &TrackInfo::Year},
    {"Url", &TrackInfo::Url},
    {"Composer", &TrackInfo::Composer},
    {"SdkVersion", &TrackInfo::SdkVersion},
    {"BitRateText", &TrackInfo::BitRateText},
    {"SampleRateText", &TrackInfo::SampleRateText},
    {"ChannelsText", &TrackInfo::ChannelsText},
    {"Performer", &TrackInfo::Performer},
    {"Description", &TrackInfo::Description},
    {"DurationText", &TrackInfo::DurationText},
};

// A path as the shell gave it, as program text: UTF-8 on POSIX systems, the
// ANSI code page (936) on Chinese Windows; valid UTF-8 is taken as it is.
std::string PathToProgramText(std::string_view path)
{
    return Utf8ToProgramText(path) == path ? std::string(path) : GbkToProgramText(path);
}

std::string JsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string path = PathToProgramText(argv[i]);
        TrackInfo info;
        const int result = ReadTrackInfo(path, info);
        std::string line = "{\"path\": " + JsonString(path) + ", \"result\": " + std::to_string(result);
        // Program text is UTF-8 already.
        for (const NamedField& field : TextFields)
            line += std::string(", \"") + field.Name + "\": " + JsonString(info.*field.Field);
        line += ", \"Picture\": {\"bytes\": " + std::to_string(info.Picture.size()) + ", \"sha256\": \"" +
                (info.Picture.empty() ? std::string() : Sha256Hex(info.Picture)) + "\"}}\n";
        std::fputs(line.c_str(), stdout);
    }
    return 0;
}
