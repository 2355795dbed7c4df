#include "session_script.h"

#include <cstdio>

namespace {

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

struct VerbName {
    std::string_view Name;
    SessionVerb Verb;
};

constexpr VerbName VerbNames[] = {
    {"add", SessionVerb::Add},       {"scan", SessionVerb::Scan},     {"play", SessionVerb::Play},
    {"toggle", SessionVerb::Toggle}, {"next", SessionVerb::Next},     {"prev", SessionVerb::Prev},
    {"seek", SessionVerb::Seek},     {"volume", SessionVerb::Volume}, {"wait", SessionVerb::Wait},
    {"waitscan", SessionVerb::WaitScan}, {"state", SessionVerb::State}, {"quit", SessionVerb::Quit},
    {"openfile", SessionVerb::OpenFile}, {"openfolder", SessionVerb::OpenFolder}, {"drop", SessionVerb::Drop},
};

}  // namespace

SessionCommand ParseSessionLine(std::string_view line) {
    line = Trim(line);
    if (line.starts_with("\xEF\xBB\xBF")) line = Trim(line.substr(3));  // a BOM on the first line
    SessionCommand command;
    if (line.empty() || line.front() == '#') return command;
    const size_t space = line.find_first_of(" \t");
    const std::string_view verb = line.substr(0, space);
    command.Argument = space == std::string_view::npos ? std::string() : std::string(Trim(line.substr(space)));
    command.Verb = SessionVerb::Unknown;
    for (const VerbName& name : VerbNames) {
        if (name.Name == verb) command.Verb = name.Verb;
    }
    if (command.Verb == SessionVerb::Unknown) command.Argument = std::string(line);
    return command;
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
