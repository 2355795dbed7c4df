#include "playback/logic/playback_rules.h"

#include <algorithm>

#include <cmath>

namespace {

constexpr char PathSeparator = '\\';
constexpr std::string_view PathSeparators = "\\/";

constexpr double SecondsPerDay = 86400.0;
constexpr double SecondsPerHour = 3600.0;
constexpr double SecondsPerMinute = 60.0;

// Position just after the last path separator, or 0 when there is none.
size_t FileNameStart(std::string_view path) {
    const size_t last = path.find_last_of(PathSeparators);
    return last == std::string_view::npos ? 0 : last + 1;
}

// Position of the "." that starts the file name's extension, or npos.
size_t ExtensionDot(std::string_view path) {
    const size_t nameStart = FileNameStart(path);
    const size_t dot = path.substr(nameStart).rfind('.');
    return dot == std::string_view::npos ? dot : nameStart + dot;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != b[i]) return false;
    }
    return true;
}

std::string TwoDigits(int64_t value) { return (value < 10 ? "0" : "") + std::to_string(value); }

std::string ClockText(int32_t seconds) {
    const int64_t magnitude = std::abs(int64_t{seconds});
    const int64_t hours = magnitude / 3600, minutes = magnitude / 60 % 60, secs = magnitude % 60;
    std::string text = seconds < 0 ? "-" : "";
    if (hours > 0) return text + std::to_string(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(secs);
    return text + std::to_string(minutes) + ":" + TwoDigits(secs);
}

}  // namespace

std::string FormatDuration(int32_t seconds, std::string_view templateText) {
    if (templateText == MinutesSecondsTemplate) return ClockText(seconds);
    if (templateText.empty()) templateText = DefaultDurationTemplate;
    const double total = seconds;
    const double inDay = std::fmod(total, SecondsPerDay);
    const double inHour = std::fmod(inDay, SecondsPerHour);
    const int64_t parts[] = {
        static_cast<int64_t>(total / SecondsPerDay),
        static_cast<int64_t>(inDay / SecondsPerHour),
        static_cast<int64_t>(inHour / SecondsPerMinute),
        static_cast<int64_t>(std::fmod(inHour, SecondsPerMinute)),
    };
    const char letters[] = {'d', 'h', 'm', 's'};
    std::string text(templateText);
    for (int i = 0; i < 4; ++i) {
        const size_t at = text.rfind(letters[i]);
        if (at != std::string::npos) text.replace(at, 1, std::to_string(parts[i]));
    }
    return text;
}

std::string FallbackTitle(std::string_view path) {
    std::string_view name = path.substr(FileNameStart(path));
    const size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string FolderOf(std::string_view path) { return std::string(path.substr(0, FileNameStart(path))); }

bool IsBlankPath(std::string_view path) { return path.empty() || path == " "; }

std::string DisplayTitle(std::string_view tagTitle, std::string_view path) {
    return IsBlankPath(tagTitle) ? FallbackTitle(path) : std::string(tagTitle);
}

std::string_view FileExtension(std::string_view path) {
    const size_t dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
}

std::string LyricPathFor(std::string_view trackPath) {
    const size_t dot = ExtensionDot(trackPath);
    if (dot == std::string_view::npos) return std::string(trackPath);
    return std::string(trackPath.substr(0, dot + 1)) + "lrc";
}

std::string CoverPathFor(std::string_view trackPath, std::string_view tagTitle) {
    return FolderOf(trackPath) + std::string(tagTitle) + ".jpg";
}

bool IsScannedExtension(std::string_view fileName) {
    const std::string_view extension = FileExtension(fileName);
    if (extension.empty()) return false;
    // One list for the dialog and the scan: a type the dialog offers is never missed by a scan.
    constexpr std::string_view Wildcard = "*.";
    for (std::string_view rest = OpenFileFilter; !rest.empty();) {
        const size_t end = std::min(rest.find(';'), rest.size());
        std::string_view pattern = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (pattern.starts_with(Wildcard) && EqualsIgnoringCase(extension, pattern.substr(Wildcard.size()))) return true;
    }
    return false;
}

int NextPosition(int current, int count) {
    if (count <= 0) return 0;
    return current + 1 > count ? 1 : current + 1;
}

int PreviousPosition(int current, int count) {
    if (count <= 0) return 0;
    return current - 1 < 1 || current - 1 > count ? count : current - 1;
}

int FadeInVolume(int volume, int step) { return static_cast<int>(volume / static_cast<double>(FadeInSteps) * step); }

int FadeOutVolume(int volume, int step) {
    return static_cast<int>(volume - volume / static_cast<double>(FadeOutSteps) * step);
}

int ClampVolumePercent(int percent) { return percent < 0 ? 0 : percent > 100 ? 100 : percent; }

int ProgressWidthFor(double positionSeconds, int lengthSeconds, double barWidth) {
    if (lengthSeconds == 0) return 0;
    const double width = positionSeconds / lengthSeconds * barWidth;
    // A failed position read is negative or huge; keep the bar within itself.
    if (!(width > 0.0)) return 0;
    return width > barWidth ? static_cast<int>(barWidth) : static_cast<int>(width);
}

bool EndsWithSeparator(std::string_view path) { return !path.empty() && FileNameStart(path) == path.size(); }

std::string DialogFilter(std::string_view filter) {
    std::string pieces;
    int count = 1;
    for (size_t i = 0; i < filter.size(); ++i) {
        if (filter[i] == '|') {
            pieces += '\0';
            ++count;
        } else {
            pieces += filter[i];
        }
    }
    if (count == 1) pieces += '\0' + std::string(filter);
    pieces += '\0';
    pieces += '\0';
    return pieces;
}

std::vector<std::string> DialogResultPaths(std::string_view buffer) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < buffer.size()) {
        size_t end = buffer.find('\0', start);
        if (end == std::string_view::npos) end = buffer.size();
        if (end > start) pieces.emplace_back(buffer.substr(start, end - start));
        start = end + 1;
    }
    if (pieces.size() <= 1) return pieces;
    std::string folder = pieces.front();
    if (!EndsWithSeparator(folder)) folder += PathSeparator;
    std::vector<std::string> paths;
    for (size_t i = 1; i < pieces.size(); ++i) paths.push_back(folder + pieces[i]);
    return paths;
}
