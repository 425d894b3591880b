#pragma once

// The fixed 128-byte ID3 version 1 tag at the end of a file (versions 1.0 and 1.1).

#include "tags/ByteSource.h"
#include "tags/FileRange.h"
#include "tags/TagBytes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tags {

class TID3v1 {
public:
    TID3v1() = default;

    // Clears, then reads the last 128 bytes. True when they could be read, tag or not.
    bool LoadFromFile(const std::string& path) {
        Clear();
        return parseFile(*this, path);
    }
    // The same over an open file or a buffer holding a whole file.
    bool parse(ByteSource& file);
    bool parse(ByteSpan fileBytes) { return parseBytes(*this, fileBytes); }
    // Decodes the last 128 bytes of a file (Found false when they hold no tag).
    void decode(std::span<const std::uint8_t, 128> tag);
    void Clear() { *this = TID3v1(); }

    bool Found() const { return m_found; }
    std::uint8_t VersionId() const { return m_versionId; } // 1 = 1.0, 2 = 1.1
    const std::string& Title() const { return m_title; }   // texts are UTF-8
    const std::string& Artist() const { return m_artist; }
    const std::string& Album() const { return m_album; }
    const std::string& Year() const { return m_year; }
    const std::string& Comment() const { return m_comment; }
    std::uint8_t Track() const { return m_track; }
    std::uint8_t GenreId() const { return m_genreId; } // 255 = no genre

    static constexpr std::uint8_t kVersion10 = 1;
    static constexpr std::uint8_t kVersion11 = 2;
    static constexpr std::size_t kTagSize = 128;

    // The name of a genre number, empty above 147.
    static std::string_view genreName(std::uint8_t genreId);

private:
    bool m_found = false;
    std::uint8_t m_versionId = kVersion10;
    std::string m_title;
    std::string m_artist;
    std::string m_album;
    std::string m_year;
    std::string m_comment;
    std::uint8_t m_track = 0;
    std::uint8_t m_genreId = 255;
};

} // namespace tags
