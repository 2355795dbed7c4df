#pragma once
// Small builders for MP3 test files: ID3v2 tags and frame bodies, ID3v1 tags
// and MPEG frames with optional Xing/VBRI headers.

#include "test_files.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using ByteVector = std::vector<uint8_t>;

inline ByteVector operator+(ByteVector a, const ByteVector& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline ByteVector BigEndian32(uint32_t value)
{
    return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value)};
}

inline ByteVector Syncsafe32(uint32_t value)
{
    return {static_cast<uint8_t>(value >> 21 & 0x7F), static_cast<uint8_t>(value >> 14 & 0x7F),
            static_cast<uint8_t>(value >> 7 & 0x7F), static_cast<uint8_t>(value & 0x7F)};
}

// UTF-16 units as bytes, without a BOM.
inline ByteVector Utf16Le(std::u16string_view text)
{
    ByteVector bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}
inline ByteVector Utf16Be(std::u16string_view text)
{
    ByteVector bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
        bytes.push_back(static_cast<uint8_t>(unit));
    }
    return bytes;
}

// Frame bodies: encoding byte + text.
inline ByteVector Latin1(std::string_view text) { return ByteVector{0x00} + Bytes(text); }
inline ByteVector Utf16Bom(std::u16string_view text) { return ByteVector{0x01, 0xFF, 0xFE} + Utf16Le(text); }
inline ByteVector Utf16BeBody(std::u16string_view text) { return ByteVector{0x02} + Utf16Be(text); }
inline ByteVector Utf8(std::string_view text) { return ByteVector{0x03} + Bytes(text); }

// ID3v2 tag of major version 2, 3 or 4; frame sizes written the version's way.
class Id3v2 {
public:
    explicit Id3v2(uint8_t major) : Major(major) {}

    Id3v2& Frame(std::string_view id, const ByteVector& body)
    {
        Content = Content + Bytes(id);
        if (Major < 3) {
            const auto size = static_cast<uint32_t>(body.size());
            Content = Content + ByteVector{static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 8),
                                           static_cast<uint8_t>(size)};
        } else {
            Content = Content + (Major >= 4 ? Syncsafe32(static_cast<uint32_t>(body.size()))
                                            : BigEndian32(static_cast<uint32_t>(body.size())));
            Content = Content + ByteVector{0x00, 0x00};  // frame flags
        }
        Content = Content + body;
        return *this;
    }
    // Bytes placed as they are (hand-made frame headers, padding).
    Id3v2& Raw(const ByteVector& bytes)
    {
        Content = Content + bytes;
        return *this;
    }
    Id3v2& Padding(size_t bytes) { return Raw(ByteVector(bytes, 0)); }

    ByteVector Build() const { return BuildWithSize(static_cast<uint32_t>(Content.size())); }
    // The header claims size (syncsafe) whatever the content holds.
    ByteVector BuildWithSize(uint32_t size) const
    {
        return Bytes("ID3") + ByteVector{Major, 0x00, 0x00} + Syncsafe32(size) + Content;
    }

private:
    uint8_t Major;
    ByteVector Content;
};

// A 128-byte ID3v1 tag.
struct Id3v1Fields {
    std::string Title, Artist, Album, Year, Comment;
    int TrackMarker = 0;  // byte 125
    int Track = 0;        // byte 126
    int Genre = 255;      // byte 127
};

inline ByteVector Id3v1Tag(const Id3v1Fields& f)
{
    ByteVector tag(128, 0);
    tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
    auto put = [&](size_t offset, size_t length, const std::string& text) {
        std::copy_n(text.begin(), std::min(length, text.size()), tag.begin() + static_cast<ptrdiff_t>(offset));
    };
    put(3, 30, f.Title);
    put(33, 30, f.Artist);
    put(63, 30, f.Album);
    put(93, 4, f.Year);
    put(97, 30, f.Comment);
    tag[125] = static_cast<uint8_t>(f.TrackMarker);
    tag[126] = static_cast<uint8_t>(f.Track);
    tag[127] = static_cast<uint8_t>(f.Genre);
    return tag;
}

// One MPEG frame: header, optional VBR header 32 bytes in (where encoders put
// it for MPEG 1 stereo), zero filler up to frameBytes.
inline ByteVector MpegFrame(ByteVector header, size_t frameBytes, const ByteVector& vbrHeader = {})
{
    constexpr size_t VbrOffset = 4 + 32;
    ByteVector frame = std::move(header);
    frame.resize(std::max(frameBytes, VbrOffset + vbrHeader.size()), 0);
    std::copy(vbrHeader.begin(), vbrHeader.end(), frame.begin() + VbrOffset);
    return frame;
}

inline ByteVector XingHeader(std::string_view magic, uint32_t flags, uint32_t frames, uint32_t bytes)
{
    ByteVector header = Bytes(magic) + BigEndian32(flags);
    if (flags & 1)
        header = header + BigEndian32(frames);
    if (flags & 2)
        header = header + BigEndian32(bytes);
    return header;
}

inline ByteVector VbriHeader(uint32_t bytes, uint32_t frames)
{
    return Bytes("VBRI") + ByteVector{0x00, 0x01, 0x00, 0x00, 0x00, 0x50}  // version, delay, quality
           + BigEndian32(bytes) + BigEndian32(frames);
}

// MPEG 1 Layer III, 128 kbit/s, 44100 Hz, joint stereo; frame length 417.
inline const ByteVector Mpeg1Layer3Header = {0xFF, 0xFB, 0x90, 0x64};
