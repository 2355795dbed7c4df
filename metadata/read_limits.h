#pragma once
// What a reader may allocate from a size read in a file. A file can claim
// anything up to its own size, and a 32-bit process, its address space
// fragmented by a long run, cannot always find that much in one piece. An
// item above its cap is skipped by seeking, as if it were absent; items that
// no field uses are skipped whatever their size.

#include "metadata/track_info.h"
#include "platform/file_reader.h"

#include <cstdint>
#include <span>
#include <vector>

// A whole item holding a picture (APIC frame, APE cover, covr, FLAC PICTURE):
// covers scanned at print size stay well below this.
inline constexpr uint64_t MaxPictureBytes = 64ull << 20;
// A text item (frame, APE item, MP4 item, Vorbis comment): pages of lyrics
// are a few dozen KiB.
inline constexpr uint64_t MaxTextBytes = 1ull << 20;
// An Ogg header packet as reassembled from its pages; more is read as if the
// file ended there (comments after a huge embedded picture are lost).
inline constexpr uint64_t MaxOggHeaderPacketBytes = 16ull << 20;
// A known ASF header object; more is read as if the file ended there. Its
// items carry 16-bit lengths, so real objects stay far below this.
inline constexpr uint64_t MaxAsfObjectBytes = 16ull << 20;
// FLAC blocks need no cap of their own: a 24-bit size keeps them below 16 MiB.

// The next count bytes of an item (at most what the file holds). When memory
// for them cannot be had, the item reads as empty and the walk goes on, so a
// cover too large for what is left still lets the texts after it be read.
inline std::vector<uint8_t> ReadItemBytes(FileReader& reader, uint64_t count) noexcept
{
    try {
        return reader.ReadBytes(count);
    } catch (...) {  // std::bad_alloc, or a length no vector can have
        reader.Skip(count);
        return {};
    }
}

// Makes item (the whole item as read) the record's picture: the bytes of
// picture, which lie inside item, are moved to its front, so a picture
// costs one buffer, never a copy. An empty picture empties the record's.
inline void TakePicture(std::vector<uint8_t>&& item, std::span<const uint8_t> picture, TrackInfo& info)
{
    if (picture.empty()) {
        info.Picture.clear();
        return;
    }
    const auto first = item.begin() + (picture.data() - item.data());
    item.erase(first + static_cast<std::ptrdiff_t>(picture.size()), item.end());
    item.erase(item.begin(), first);
    info.Picture = std::move(item);
}

// Runs a reader so that nothing escapes it: a failed allocation ends it as
// a damaged file would, keeping what it stored, with the result failed.
template <class Read>
int WithoutThrowing(Read&& read, int failed = 0) noexcept
{
    try {
        return read();
    } catch (...) {
        return failed;
    }
}
