#include "lrc/lrc_parser.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>

namespace {

constexpr size_t NotFound = std::u16string_view::npos;
constexpr float SecondsPerMinute = 60.0f;
constexpr float MillisecondsPerSecond = 1000.0f;
constexpr std::u16string_view JoinSeparator = u"\r\n";

// A line with many tags copies its text once per tag. Real files stay far
// below this many copied units per unit of input; a hostile one stops here,
// and at MaxLrcCopiedUnits in all, instead of asking for gigabytes.
constexpr size_t MaxCopiedUnitsPerInputUnit = 16;
constexpr size_t MinCopiedUnitsBudget = 1 << 16;

bool IsNumberLeadingBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }

bool IsTrimmedBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000'; }

void TrimBlanks(std::u16string& text)
{
    size_t first = 0;
    while (first < text.size() && IsTrimmedBlank(text[first]))
        ++first;
    size_t end = text.size();
    while (end > first && IsTrimmedBlank(text[end - 1]))
        --end;
    if (first == 0 && end == text.size())
        return;  // the common case after the first join costs nothing
    text.erase(end);
    text.erase(0, first);
}

int32_t ClampToInt32(size_t value)
{
    constexpr auto Max = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(std::min(value, Max));
}

class LineReader {
public:
    LineReader(std::vector<LrcLine>& lines, size_t budget) : Lines(lines), BudgetUnits(budget) {}

    // Tags are read left to right; a text between tags belongs to the tags
    // before it, and tags written back to back share the text that follows.
    void Read(std::u16string_view line)
    {
        size_t open = line.find(u'[');
        if (open == NotFound)
            return;
        size_t close = line.find(u']');
        if (close == NotFound || close < open)
            return;
        Pending.clear();
        for (;;) {
            AddTag(line.substr(open + 1, close - open - 1));
            const size_t next = line.find(u'[', close + 1);
            if (next == NotFound) {
                Emit(line.substr(close + 1));
                return;
            }
            if (next != close + 1) {
                Emit(line.substr(close + 1, next - close - 1));
                Pending.clear();
            }
            open = next;
            close = line.find(u']', open + 1);
            if (close == NotFound) {
                // An unclosed tag after back-to-back tags: those tags keep the raw line.
                Emit(line);
                return;
            }
        }
    }

private:
    // Only time tags are kept, and no more than could still become lines: a
    // line of a million back-to-back tags costs no more than the lines kept.
    void AddTag(std::u16string_view content)
    {
        if (Pending.size() >= MaxLrcLines - std::min(Lines.size(), MaxLrcLines))
            return;
        if (const std::optional<float> time = ReadLrcTime(content))
            Pending.push_back(*time);
    }

    void Emit(std::u16string_view text)
    {
        for (const float time : Pending) {
            if (Lines.size() >= MaxLrcLines)
                return;
            if (text.size() > BudgetUnits)
                continue;
            try {
                Lines.push_back(LrcLine{time, -1.0f, std::u16string(text), -1});
            } catch (const std::bad_alloc&) {
                continue;  // the line is dropped, the others stay
            }
            BudgetUnits -= text.size();
        }
    }

    std::vector<LrcLine>& Lines;
    size_t BudgetUnits;
    std::vector<float> Pending;  // times of the tags awaiting their text; reused across lines
};

// Calls visit for each non-empty piece between line separators.
template <class Visit>
void ForEachLrcLine(std::u16string_view text, Visit&& visit)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        if (end > start)
            visit(text.substr(start, end - start));
        size_t next = end + 1;
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            next = end + 2;
        start = next;
    }
}

// Runs of equal times become one line: the first of the run (the earliest in
// the file, the sort being stable) takes the others' texts in file order.
std::vector<LrcLine> JoinEqualTimes(std::vector<LrcLine>& sorted)
{
    std::vector<LrcLine> joined;
    joined.reserve(sorted.size());
    for (size_t first = 0; first < sorted.size();) {
        size_t end = first + 1;
        while (end < sorted.size() && sorted[end].Time == sorted[first].Time)
            ++end;
        LrcLine head = std::move(sorted[first]);
        for (size_t member = first + 1; member < end; ++member) {
            std::u16string& text = sorted[member].Text;
            TrimBlanks(head.Text);
            TrimBlanks(text);
            if (head.Text.empty()) {
                head.Text = std::move(text);
                head.JoinOffset = -1;
            } else if (!text.empty()) {
                try {
                    head.Text.reserve(head.Text.size() + JoinSeparator.size() + text.size());
                } catch (const std::bad_alloc&) {
                    continue;  // the member is dropped, the head stays as it was
                }
                head.JoinOffset = ClampToInt32(head.Text.size());
                head.Text += JoinSeparator;
                head.Text += text;
            }
        }
        joined.push_back(std::move(head));
        first = end;
    }
    return joined;
}

}  // namespace

std::vector<std::u16string_view> SplitLrcLines(std::u16string_view text)
{
    std::vector<std::u16string_view> lines;
    ForEachLrcLine(text, [&](std::u16string_view line) { lines.push_back(line); });
    return lines;
}

std::optional<int32_t> ReadLrcInteger(std::u16string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsNumberLeadingBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i >= text.size() || text[i] < u'0' || text[i] > u'9')
        return std::nullopt;
    uint32_t value = 0;  // unsigned: overflow wraps instead of being undefined
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - u'0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

std::optional<float> ReadLrcTime(std::u16string_view tagContent)
{
    const size_t colon = tagContent.find(u':');
    if (colon == NotFound)
        return std::nullopt;
    size_t separator = tagContent.find(u':', colon + 1);
    if (separator == NotFound)
        separator = tagContent.find(u'.', colon + 1);

    const std::optional<int32_t> minutes = ReadLrcInteger(tagContent.substr(0, colon));
    const size_t secondsEnd = separator == NotFound ? tagContent.size() : separator;
    const std::optional<int32_t> seconds = ReadLrcInteger(tagContent.substr(colon + 1, secondsEnd - colon - 1));
    if (!minutes || !seconds)
        return std::nullopt;

    int32_t milliseconds = 0;
    if (separator != NotFound) {
        // One character is tenths and two are hundredths: pad them to
        // milliseconds. Longer fractions are read as milliseconds unchanged.
        std::u16string_view fraction = tagContent.substr(separator + 1);
        std::array<char16_t, 3> padded{u'0', u'0', u'0'};
        if (fraction.size() == 1 || fraction.size() == 2) {
            std::copy(fraction.begin(), fraction.end(), padded.begin());
            fraction = std::u16string_view(padded.data(), padded.size());
        }
        const std::optional<int32_t> value = ReadLrcInteger(fraction);
        if (!value)
            return std::nullopt;
        milliseconds = *value;
    }

    // Step by step in single precision: the player compares these times as floats.
    float time = static_cast<float>(*minutes) * SecondsPerMinute;
    time = time + static_cast<float>(*seconds);
    time = time + static_cast<float>(milliseconds) / MillisecondsPerSecond;
    if (time < 0.0f)
        return std::nullopt;
    return time;
}

std::vector<LrcLine> ParseLrc(std::u16string_view text) noexcept
{
    try {
        std::vector<LrcLine> lines;
        const size_t budget = text.size() > MaxLrcCopiedUnits / MaxCopiedUnitsPerInputUnit
                                  ? MaxLrcCopiedUnits
                                  : std::max(MinCopiedUnitsBudget, text.size() * MaxCopiedUnitsPerInputUnit);
        LineReader reader(lines, budget);
        ForEachLrcLine(text, [&](std::u16string_view line) { reader.Read(line); });

        std::stable_sort(lines.begin(), lines.end(),
                         [](const LrcLine& a, const LrcLine& b) { return a.Time < b.Time; });
        std::vector<LrcLine> joined = JoinEqualTimes(lines);

        for (size_t i = 0; i + 1 < joined.size(); ++i)
            joined[i].Duration = joined[i + 1].Time - joined[i].Time;
        if (!joined.empty())
            joined.back().Duration = -1.0f;
        return joined;
    } catch (...) {  // what the list needs beyond its lines could not be had
        return {};
    }
}
