#pragma once
// ASF (WMA) header object identifiers and the attribute names the reader
// recognises.

#include <array>
#include <cstdint>
#include <string_view>

using AsfGuid = std::array<uint8_t, 16>;  // in the file's byte order

extern const AsfGuid AsfHeaderObjectId;
extern const AsfGuid AsfContentDescriptionId;
extern const AsfGuid AsfExtendedContentDescriptionId;
extern const AsfGuid AsfCodecListId;
extern const AsfGuid AsfFilePropertiesId;
extern const AsfGuid AsfStreamPropertiesId;
extern const AsfGuid AsfAudioMediaId;

class ByteReader;

// The figures of a File Properties object that give the length.
struct AsfFileProperties {
    uint64_t PlayDuration = 0;  // 100-ns units, the preroll included
    uint64_t PrerollMs = 0;
    bool Broadcast = false;     // durations are not valid
};

// body: the object after its GUID and size. False when it is cut.
bool ReadAsfFileProperties(ByteReader body, AsfFileProperties& properties);

enum class WmaAttribute { Album, EncodedBy, Genre, Lyrics, Year, Url, UserWebUrl, SdkVersion, TrackNumber, Picture };

struct WmaAttributeName {
    std::string_view Name;  // compared exactly
    WmaAttribute Attribute;
};
extern const std::array<WmaAttributeName, 10> WmaAttributeNames;
