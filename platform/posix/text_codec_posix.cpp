#include "platform/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace {

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
