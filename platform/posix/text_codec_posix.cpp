#include "platform/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace {

constexpr char16_t Replacement = u'\xFFFD';

void AppendCodePoint(std::u16string& out, uint32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Malformed sequences give one replacement character per maximal bad subpart,
// as Windows does.
std::u16string DecodeUtf8(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<uint8_t>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        int length = 0;
        uint32_t cp = 0;
        uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, cp = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            if (lead == 0xED)
                high = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, cp = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F;
        } else {
            out.push_back(Replacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (int k = 1; k < length; ++k, ++j) {
            if (j >= bytes.size()) {
                ok = false;
                break;
            }
            const auto b = static_cast<uint8_t>(bytes[j]);
            const uint8_t min = k == 1 ? low : 0x80;
            const uint8_t max = k == 1 ? high : 0xBF;
            if (b < min || b > max) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (ok)
            AppendCodePoint(out, cp);
        else
            out.push_back(Replacement);
        i = j;
    }
    return out;
}

std::string EncodeUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = Replacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// The host stands in for a Chinese Windows: the ANSI code page is 936.
const char* IconvName(unsigned codePage)
{
    switch (codePage) {
    case CodePageAnsi:
    case CodePageGbk:
        return "CP936";
    case 1252:
        return "CP1252";
    case 950:
        return "CP950";
    case 932:
        return "CP932";
    default:
        return nullptr;
    }
}

class Converter {
public:
    Converter(const char* to, const char* from) : Handle(iconv_open(to, from)) {}
    ~Converter()
    {
        if (Valid())
            iconv_close(Handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Valid() const { return Handle != reinterpret_cast<iconv_t>(-1); }
    // Converts as much as it can; returns false on an invalid or incomplete sequence.
    bool Convert(const char*& in, size_t& inLeft, std::string& out)
    {
        while (inLeft > 0) {
            char buffer[256];
            char* to = buffer;
            size_t toLeft = sizeof buffer;
            const size_t result = iconv(Handle, const_cast<char**>(&in), &inLeft, &to, &toLeft);
            out.append(buffer, static_cast<size_t>(to - buffer));
            if (result == static_cast<size_t>(-1) && errno != E2BIG)
                return false;
        }
        return true;
    }

private:
    iconv_t Handle;
};

}  // namespace

std::u16string DecodeToUtf16(std::string_view bytes, unsigned codePage)
{
    if (codePage == CodePageUtf8)
        return DecodeUtf8(bytes);
    const char* name = IconvName(codePage);
    if (name == nullptr || bytes.empty())
        return {};
    Converter converter("UTF-16LE", name);
    if (!converter.Valid())
        return {};
    std::string utf16;
    const char* in = bytes.data();
    size_t left = bytes.size();
    while (!converter.Convert(in, left, utf16)) {
        utf16.append("\xFD\xFF", 2);  // U+FFFD for the byte that failed
        ++in;
        --left;
    }
    std::u16string text(utf16.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<uint8_t>(utf16[2 * i]) | static_cast<uint8_t>(utf16[2 * i + 1]) << 8);
    return text;
}

std::string EncodeFromUtf16(std::u16string_view text, unsigned codePage)
{
    if (codePage == CodePageUtf8)
        return EncodeUtf8(text);
    const char* name = IconvName(codePage);
    if (name == nullptr)
        return {};
    Converter converter(name, "UTF-16LE");
    if (!converter.Valid())
        return {};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] < 0x80) {
            out.push_back(static_cast<char>(text[i]));
            continue;
        }
        size_t units = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            units = 2;
        char bytes[4];
        for (size_t k = 0; k < units; ++k) {
            bytes[2 * k] = static_cast<char>(text[i + k] & 0xFF);
            bytes[2 * k + 1] = static_cast<char>(text[i + k] >> 8);
        }
        const char* in = bytes;
        size_t left = 2 * units;
        std::string encoded;
        if (converter.Convert(in, left, encoded) && !encoded.empty())
            out += encoded;
        else
            out.push_back('?');
        i += units - 1;
    }
    return out;
}
