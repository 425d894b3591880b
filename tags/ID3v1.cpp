#include "tags/ID3v1.h"

#include <array>

namespace tags {

namespace {

// Genre numbers 0 to 147.
constexpr std::array<std::string_view, 148> kGenres = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop", // 0
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap", // 8
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal", // 16
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk", // 23
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game", // 30
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space", // 37
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic", // 45
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream", // 50
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap", // 56
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic", // 62
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz", // 68
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk-Rock", // 75
    "National Folk",
    "Swing",
    "Fast Fusion",
    "Bebob",
    "Latin",
    "Revival",
    "Celtic", // 82
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progessive Rock",
    "Psychedelic Rock", // 89
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic", // 94
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony", // 100
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango", // 107
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle", // 114
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A capella",
    "Euro-House",
    "Dance Hall",
    "Goa", // 120
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror",
    "Indie",
    "BritPop", // 127
    "Negerpunk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal", // 133
    "Black Metal",
    "Crossover",
    "Contemporary Christian",
    "Christian Rock", // 138
    "Merengue",
    "Salsa",
    "Trash Metal",
    "Anime",
    "JPop",
    "Synthpop", // 142
};

// A field without its trailing bytes 0 to 32. Many writers store UTF-8 in these fields, so
// bytes that are valid UTF-8 with at least one multi-byte sequence are read as UTF-8 (a
// sequence cut by the end of a full field is dropped); anything else is Windows-1252.
std::string fieldText(ByteSpan field) {
    const ByteSpan text = untilNul(trimTrailingControls(field));
    const Utf8Scan scan = scanUtf8(text);
    const bool fillsField = text.size() == field.size();
    if (scan.multiByte && (scan.validLength == text.size() || (scan.cutAtEnd && fillsField)))
        return utf8ToUtf8(text.first(scan.validLength));
    return windows1252ToUtf8(text);
}

} // namespace

std::string_view TID3v1::genreName(std::uint8_t genreId) {
    return genreId < kGenres.size() ? kGenres[genreId] : std::string_view();
}

bool TID3v1::parse(ByteSource& file) {
    Clear();
    std::array<std::uint8_t, kTagSize> tag{};
    if (!file.readFromEnd(kTagSize, tag))
        return false;
    decode(tag);
    return true;
}

void TID3v1::decode(std::span<const std::uint8_t, 128> tag) {
    Clear();
    const ByteSpan t(tag);
    if (!matchesAt(t, 0, "TAG"))
        return;
    m_found = true;
    const bool v11 = (t[125] == 0 && t[126] != 0) || (t[125] == 32 && t[126] != 32);
    m_versionId = v11 ? kVersion11 : kVersion10;
    m_title = fieldText(t.subspan(3, 30));
    m_artist = fieldText(t.subspan(33, 30));
    m_album = fieldText(t.subspan(63, 30));
    m_year = fieldText(t.subspan(93, 4));
    m_comment = fieldText(t.subspan(97, v11 ? 28 : 30));
    m_track = v11 ? t[126] : 0;
    m_genreId = t[127];
}

} // namespace tags
