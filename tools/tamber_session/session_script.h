#pragma once
// The command lines of a tamber-session script and the JSON text of its
// state lines. UTF-8 throughout.

#include <string>
#include <string_view>

enum class SessionVerb { None, Add, Scan, Play, Toggle, Next, Prev, Seek, Volume, Wait, WaitScan, State, Quit,
                         OpenFile, OpenFolder, Drop, Unknown };

struct SessionCommand {
    SessionVerb Verb = SessionVerb::None;
    std::string Argument;  // the rest of the line, trimmed (a path may hold blanks)
};

// Blank lines and "#" comments give SessionVerb::None.
SessionCommand ParseSessionLine(std::string_view line);

// text as a JSON string literal, quotes included.
std::string JsonString(std::string_view utf8);
