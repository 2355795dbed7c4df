#include "metadata/id3v1.h"
#include "metadata/read_limits.h"
#include "metadata/text.h"
#include "metadata/track_info.h"

#include <span>

const std::array<std::string_view, GenreCount> GenreNames = {
    "Blues", "ClassicRock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop",
    "Jazz", "Metal", "NewAge", "Oldies", "Other", "Pop", "R&B", "Rap",
    "Reggae", "Rock", "Techno", "Industrial", "Alternative", "Ska", "DeathMetal", "Pranks",
    "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance",
    "Classical", "Instrumental", "Acid", "House", "Game", "SoundClip", "Gospel", "Noise",
    "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "InstrumentalPop", "InstrumentalRock",
    "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream",
    "SouthernRock", "Comedy", "Cult", "Gangsta", "Top40", "ChristianRap", "Pop/Funk", "Jungle",
    "NativeAmerican", "Cabaret", "NewWave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "AcidPunk", "AcidJazz", "Polka", "Retro", "Musical", "Rock&Roll", "HardRock",
    "Folk", "Folk-Rock", "NationalFolk", "Swing", "FastFusion", "Bebob", "Latin", "Revival",
    "Celtic", "Bluegrass", "Avantgarde", "GothicRock", "ProgessiveRock", "PsychedelicRock", "SymphonicRock", "SlowRock",
    "BigBand", "Chorus", "EasyListening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "ChamberMusic", "Sonata", "Symphony", "BootyBass", "Primus", "PornGroove", "Satire", "SlowJam",
    "Club", "Tango", "Samba", "Folklore", "Ballad", "PowerBallad", "RhythmicSoul", "Freestyle",
    "Duet", "PunkRock", "DrumSolo", "Acapella", "Euro-House", "DanceHall", "Goa", "Drum&Bass",
    "Club-House", "Hardcore", "Terror", "Indie", "BritPop", "Negerpunk", "PolskPunk", "Beat",
    "ChristianGangstaRap", "HeavyMetal", "BlackMetal", "Crossover", "ContemporaryChristian", "ChristianRock", "Merengue", "Salsa",
    "TrashMetal", "Anime", "JPop", "Synthpop",
};

namespace {

struct TextRange {
    size_t Offset;
    size_t Bytes;
    std::string TrackInfo::*Field;
};
constexpr TextRange TitleRange = {3, 30, &TrackInfo::Title};
constexpr TextRange ArtistRange = {33, 30, &TrackInfo::Artist};
constexpr TextRange AlbumRange = {63, 30, &TrackInfo::Album};
constexpr TextRange YearRange = {93, 4, &TrackInfo::Year};
constexpr size_t CommentOffset = 97;
constexpr size_t CommentBytesV10 = 30;  // v1.0: the comment runs to the genre byte
constexpr size_t CommentBytesV11 = 28;
constexpr size_t TrackMarkerOffset = 125;  // 0 in v1.1, where the track byte follows
constexpr size_t TrackOffset = 126;
constexpr size_t GenreOffset = 127;

using Tag = std::array<uint8_t, Id3v1TagBytes>;

bool ReadTag(const InputFile& file, Tag& tag)
{
    if (file.Size() < tag.size() || file.ReadAt(file.Size() - tag.size(), tag) != tag.size())
        return false;
    return tag[0] == 'T' && tag[1] == 'A' && tag[2] == 'G';
}

std::string RangeText(const Tag& tag, size_t offset, size_t bytes)
{
    return TrimText(BytesToText(std::span<const uint8_t>(tag).subspan(offset, bytes)));
}

}  // namespace

int Id3v1TagLength(const InputFile& file)
{
    Tag tag{};
    return ReadTag(file, tag) ? Id3v1TagBytes : 0;
}

int Id3v1TagLength(std::string_view path)
{
    return Id3v1TagLength(InputFile(path));
}

int ReadId3v1Tag(std::string_view path, TrackInfo& info)
{
    return WithoutThrowing([&] { return ReadId3v1Tag(InputFile(path), info); });
}

int ReadId3v1Tag(const InputFile& file, TrackInfo& info)
{
    Tag tag{};
    if (!ReadTag(file, tag))
        return 0;
    for (const TextRange& range : {TitleRange, ArtistRange, AlbumRange, YearRange})
        info.*range.Field = RangeText(tag, range.Offset, range.Bytes);
    if (tag[TrackMarkerOffset] == 0) {  // v1.1
        info.Comment = RangeText(tag, CommentOffset, CommentBytesV11);
        info.Track = std::to_string(tag[TrackOffset]);
    } else {  // v1.0: no track number, the last two bytes are comment
        info.Comment = RangeText(tag, CommentOffset, CommentBytesV10);
        info.Track.clear();
    }
    if (tag[GenreOffset] < GenreNames.size())
        info.Genre = std::string(GenreNames[tag[GenreOffset]]);
    return 1;
}
