#pragma once
// The Vorbis comment list shared by Ogg Vorbis and FLAC: vendor string, then
// NAME=value comments, all counts little-endian.

#include "metadata/track_info.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct VorbisComment {
    std::string_view Name;           // bytes before the first "="
    std::span<const uint8_t> Value;  // everything after it (may hold "=")
};

struct VorbisCommentList {
    bool HasVendor = false;
    std::span<const uint8_t> Vendor;
    std::vector<VorbisComment> Comments;  // file order; comments without "=" left out
};

// Parses what bytes hold; a count or length past the end ends the list there.
// The spans point into bytes.
VorbisCommentList ParseVorbisComments(std::span<const uint8_t> bytes);

struct VorbisCommentField {
    std::string_view Name;  // matched ignoring ASCII case
    std::string TrackInfo::*Field;
};

// Stores each recognised comment's value, decoded from UTF-8, in its field;
// a later comment of the same name wins. Values above MaxTextBytes are passed over.
void ApplyVorbisComments(const VorbisCommentList& list, std::span<const VorbisCommentField> fields, TrackInfo& info);
