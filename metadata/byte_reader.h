#pragma once
// Bounds-checked reading of bytes held in memory. Sizes read from files are
// only claims: every read is checked against what is left, and a failed read
// makes the reader fail for good (check once after a group of reads).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> bytes) : Bytes(bytes) {}

    bool Failed() const { return HasFailed; }
    size_t Position() const { return Pos; }
    size_t Size() const { return Bytes.size(); }
    size_t Remaining() const { return HasFailed ? 0 : Bytes.size() - Pos; }

    uint8_t U8()
    {
        const uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    uint16_t U16LE()
    {
        const uint8_t* p = Take(2);
        return p ? static_cast<uint16_t>(p[0] | p[1] << 8) : 0;
    }
    uint16_t U16BE()
    {
        const uint8_t* p = Take(2);
        return p ? static_cast<uint16_t>(p[0] << 8 | p[1]) : 0;
    }
    uint32_t U24BE()
    {
        const uint8_t* p = Take(3);
        return p ? static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2] : 0;
    }
    uint32_t U32LE()
    {
        const uint8_t* p = Take(4);
        return p ? static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                       static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24
                 : 0;
    }
    uint32_t U32BE()
    {
        const uint8_t* p = Take(4);
        return p ? static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                       static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3])
                 : 0;
    }
    uint64_t U64LE()
    {
        const uint64_t low = U32LE();
        return low | static_cast<uint64_t>(U32LE()) << 32;
    }

    // The next n bytes; empty (and failed) when fewer remain.
    std::span<const uint8_t> Span(size_t n)
    {
        const uint8_t* p = Take(n);
        return p ? std::span<const uint8_t>(p, n) : std::span<const uint8_t>();
    }
    // Everything that is left.
    std::span<const uint8_t> Rest() { return Span(Remaining()); }
    // The next n bytes as a child reader; the parent moves past them.
    ByteReader Sub(size_t n)
    {
        const uint8_t* p = Take(n);
        if (!p) {
            ByteReader failed;
            failed.HasFailed = true;
            return failed;
        }
        return ByteReader(std::span<const uint8_t>(p, n));
    }
    bool Skip(size_t n) { return Take(n) != nullptr; }
    // True (and consumed) when the next bytes equal text.
    bool Match(std::string_view text)
    {
        if (text.size() > Remaining() || std::string_view(reinterpret_cast<const char*>(Bytes.data() + Pos), text.size()) != text)
            return false;
        Pos += text.size();
        return true;
    }

private:
    const uint8_t* Take(size_t n)
    {
        if (n > Remaining()) {  // never Pos + n > size: that sum can wrap
            HasFailed = true;
            return nullptr;
        }
        static constexpr uint8_t NoBytes = 0;  // a valid pointer for empty reads
        const uint8_t* p = Bytes.empty() ? &NoBytes : Bytes.data() + Pos;
        Pos += n;
        return p;
    }
    std::span<const uint8_t> Bytes;
    size_t Pos = 0;
    bool HasFailed = false;
};
