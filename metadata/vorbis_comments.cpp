#include "metadata/vorbis_comments.h"

#include "metadata/byte_reader.h"
#include "metadata/read_limits.h"
#include "metadata/text.h"

#include <algorithm>

VorbisCommentList ParseVorbisComments(std::span<const uint8_t> bytes)
{
    VorbisCommentList list;
    ByteReader reader(bytes);
    const uint32_t vendorBytes = reader.U32LE();
    list.Vendor = reader.Span(vendorBytes);
    if (reader.Failed())
        return list;
    list.HasVendor = true;
    // The count is only a claim: the loop ends with the bytes, and nothing is
    // reserved from it.
    const uint32_t count = reader.U32LE();
    for (uint32_t i = 0; i < count && !reader.Failed(); ++i) {
        const uint32_t length = reader.U32LE();
        const std::span<const uint8_t> comment = reader.Span(length);
        if (reader.Failed())
            break;
        const auto equals = std::find(comment.begin(), comment.end(), uint8_t{'='});
        if (equals == comment.end())
            continue;
        const size_t nameBytes = static_cast<size_t>(equals - comment.begin());
        list.Comments.push_back({std::string_view(reinterpret_cast<const char*>(comment.data()), nameBytes),
                                 comment.subspan(nameBytes + 1)});
    }
    return list;
}

void ApplyVorbisComments(const VorbisCommentList& list, std::span<const VorbisCommentField> fields, TrackInfo& info)
{
    for (const VorbisComment& comment : list.Comments) {
        if (comment.Value.size() > MaxTextBytes)
            continue;  // a picture stored as a comment, or no text at all
        for (const VorbisCommentField& field : fields) {
            if (EqualsIgnoreCase(comment.Name, field.Name)) {
                info.*field.Field = Utf8ToText(comment.Value);
                break;
            }
        }
    }
}
