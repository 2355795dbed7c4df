#pragma once
// Byte builders for the container reader tests: APEv2 tags and Monkey's
// Audio headers, Ogg pages, FLAC blocks, MP4 atoms and ASF objects.

#include "metadata/track_info.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

using ByteVector = std::vector<uint8_t>;

// Byte by byte: GCC 12 warns falsely about vector::insert of a few bytes
// (-Wstringop-overflow / -Warray-bounds) once it is inlined.
inline void AppendLe(ByteVector& out, uint64_t value, size_t bytes)
{
    for (size_t i = 0; i < bytes; ++i)
        out.push_back(i < 8 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
}
inline void AppendBe(ByteVector& out, uint64_t value, size_t bytes)
{
    for (size_t i = bytes; i-- > 0;)
        out.push_back(i < 8 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
}
inline void Append(ByteVector& out, std::string_view text)
{
    for (const char c : text)
        out.push_back(static_cast<uint8_t>(c));
}
inline void Append(ByteVector& out, const ByteVector& bytes)
{
    out.reserve(out.size() + bytes.size());
    for (const uint8_t b : bytes)
        out.push_back(b);
}
inline ByteVector Concat(std::initializer_list<ByteVector> parts)
{
    ByteVector out;
    for (const ByteVector& part : parts)
        Append(out, part);
    return out;
}

// UTF-16LE of ASCII/BMP text given as UTF-16, optionally with a zero unit.
inline ByteVector Utf16Le(std::u16string_view text, bool terminator = true)
{
    ByteVector out;
    for (const char16_t unit : text)
        AppendLe(out, unit, 2);
    if (terminator)
        AppendLe(out, 0, 2);
    return out;
}

// The files made by the real tools (tests/fixtures/metadata/make_*.sh).
inline std::string FixturePath(std::string_view name)
{
    return std::string(TAMBER_SOURCE_DIR) + "/tests/fixtures/metadata/" + std::string(name);
}
inline ByteVector FixtureBytes(std::string_view name)
{
    std::ifstream in(FixturePath(name), std::ios::binary);
    return ByteVector(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes bytes to a temporary file with the extension and runs a reader.
using Reader = int (*)(std::string_view, TrackInfo&);
struct ReadResult {
    int Result = 0;
    TrackInfo Info;
};
inline ReadResult ReadBytesWith(Reader reader, const ByteVector& bytes, std::string_view extension)
{
    TempFile file(bytes, extension);
    ReadResult read;
    read.Result = reader(file.Path(), read.Info);
    return read;
}

// Every prefix of bytes (in steps, for large inputs) must read without a
// fault; the sanitizers of the host build catch overruns.
inline void ReadEveryPrefix(Reader reader, const ByteVector& bytes, std::string_view extension, size_t step = 1)
{
    TempFile file(ByteVector{}, extension);
    for (size_t length = 0; length <= bytes.size(); length += step) {
        file.Write(std::span<const uint8_t>(bytes).first(length));
        TrackInfo info;
        reader(file.Path(), info);
    }
}

// Words the readers show (program text, UTF-8).
inline constexpr std::string_view ShownMono = "\xE5\x8D\x95\xE5\xA3\xB0\xE9\x81\x93";    // 单声道
inline constexpr std::string_view ShownStereo = "\xE7\xAB\x8B\xE4\xBD\x93\xE5\xA3\xB0";  // 立体声
inline constexpr std::string_view ShownMulti = "\xE5\xA4\x9A\xE5\xA3\xB0\xE9\x81\x93";   // 多声道
inline constexpr std::string_view ShownUnknown = "\xE6\x9C\xAA\xE7\x9F\xA5";              // 未知
inline constexpr std::string_view Utf8Chinese = "\xE4\xB8\xAD\xE6\x96\x87";              // 中文 in UTF-8
