#pragma once

// The APE tag (versions 1.0 and 2.0) at the end of a file, before an ID3v1 tag when there is
// one: the 32-byte footer and eight of its items.

#include "tags/ByteSource.h"
#include "tags/FileRange.h"
#include "tags/TagBytes.h"

#include <cstdint>
#include <string>

namespace tags {

class TAPEtag {
public:
    TAPEtag() = default;

    // Clears, then looks for the footer and reads the items. False when the file cannot be
    // opened, is shorter than 128 bytes or has no 32 footer bytes; true otherwise, tag or not.
    bool LoadFromFile(const std::string& path) {
        Clear();
        return parseFile(*this, path);
    }
    // The same over an open file or a buffer holding a whole file.
    bool parse(ByteSource& file);
    bool parse(ByteSpan fileBytes) { return parseBytes(*this, fileBytes); }
    void Clear() { *this = TAPEtag(); }

    bool Found() const { return m_found; }
    std::int32_t Version() const { return m_version; }   // 1000 or 2000
    std::int32_t Size() const { return m_size; }         // items and footer
    const std::string& Title() const { return m_title; } // texts are UTF-8
    const std::string& Artist() const { return m_artist; }
    const std::string& Album() const { return m_album; }
    std::uint8_t Track() const { return m_track; }
    const std::string& Year() const { return m_year; }
    const std::string& Genre() const { return m_genre; }
    const std::string& Comment() const { return m_comment; }
    const std::string& Copyright() const { return m_copyright; }

    static constexpr std::size_t kFooterSize = 32;
    static constexpr std::size_t kValueBufferSize = 250;

private:
    bool m_found = false;
    std::int32_t m_version = 0;
    std::int32_t m_size = 0;
    std::string m_title;
    std::string m_artist;
    std::string m_album;
    std::uint8_t m_track = 0;
    std::string m_year;
    std::string m_genre;
    std::string m_comment;
    std::string m_copyright;
};

} // namespace tags
