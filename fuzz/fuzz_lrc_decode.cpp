// The lyric file decoder over every code page and text mode a caller may
// pass: no crash or leak, and the promises of each path hold (marks win
// over the mode, the text ends before its first NUL, no text grows beyond
// its bytes).

#include "lrc/lrc_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr unsigned CodePages[] = {0, 936, 65001, 1252, 950, 932, 12345 /* no such code page */};
constexpr int32_t TextModes[] = {LrcTextInCodePage, LrcTextUtf8, 2, -1};

void Check(bool promise)
{
    if (!promise)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool markDecides = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xEF\xBB\xBF");
    std::optional<std::u16string> first;
    bool haveFirst = false;
    for (const int32_t textMode : TextModes) {
        for (const unsigned codePage : CodePages) {
            const std::optional<std::u16string> text = DecodeLrcBytes(bytes, codePage, textMode);
            const bool utf16 = bytes.starts_with("\xFF\xFE") || (!markDecides && textMode != LrcTextInCodePage &&
                                                                 textMode != LrcTextUtf8);
            // UTF-16 never fails; a code page may only fail when it is unknown.
            Check(text || (!utf16 && codePage == 12345 && textMode == LrcTextInCodePage && !markDecides));
            if (!text)
                continue;
            Check(text->find(u'\0') == std::u16string::npos);
            Check(text->size() <= (utf16 ? (size + 1) / 2 : size));
            // With a mark, neither the mode nor the code page changes anything.
            if (markDecides) {
                if (haveFirst)
                    Check(text == first);
                first = text;
                haveFirst = true;
            }
        }
        // Mode 1 is code page 65001 under mode 0, and every mode above 1 is UTF-16.
        if (!markDecides && textMode == LrcTextUtf8)
            Check(DecodeLrcBytes(bytes, 65001, LrcTextInCodePage) == DecodeLrcBytes(bytes, 936, textMode));
        if (!markDecides && textMode == -1)
            Check(DecodeLrcBytes(bytes, 0, 2) == DecodeLrcBytes(bytes, 1252, textMode));
    }
    return 0;
}
