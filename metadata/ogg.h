#pragma once
// Ogg page headers, shared by the Ogg reader and the audio library's length
// probe.

#include "metadata/byte_reader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

inline constexpr size_t OggPageHeaderBytes = 27;  // up to and including the segment count
inline constexpr uint64_t OggNoGranule = ~uint64_t{0};
inline constexpr uint8_t OggBeginOfStream = 0x02;
inline constexpr uint8_t OggEndOfStream = 0x04;

struct OggPageHeader {
    uint8_t Version = 0;
    uint8_t Type = 0;
    uint64_t Granule = 0;
    uint32_t Serial = 0;
    uint8_t Segments = 0;
};

// The page header at the reader's position ("OggS" first); the reader is
// left after it, before the segment table.
inline bool ReadOggPageHeader(ByteReader& reader, OggPageHeader& page)
{
    if (!reader.Match("OggS"))
        return false;
    OggPageHeader read;
    read.Version = reader.U8();
    read.Type = reader.U8();
    read.Granule = reader.U64LE();
    read.Serial = reader.U32LE();
    reader.Skip(4 + 4);  // sequence number, CRC
    read.Segments = reader.U8();
    if (reader.Failed())
        return false;
    page = read;
    return true;
}

// The last whole page header in bytes that accept takes, searched from the
// end backwards: the last page of a stream carries its final granule.
template <typename Accept>
std::optional<OggPageHeader> FindLastOggPage(std::span<const uint8_t> bytes, Accept accept)
{
    for (size_t at = bytes.size() >= OggPageHeaderBytes ? bytes.size() - OggPageHeaderBytes + 1 : 0; at-- > 0;) {
        if (bytes[at] != 'O')
            continue;
        ByteReader reader(bytes.subspan(at));
        OggPageHeader page;
        if (ReadOggPageHeader(reader, page) && accept(page))
            return page;
    }
    return std::nullopt;
}
