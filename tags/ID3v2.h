#pragma once

// The ID3 version 2 tag at the start of a file (versions 2.2, 2.3 and 2.4): the header, the
// tag's total size, and the texts of sixteen frame kinds.

#include "tags/ByteSource.h"
#include "tags/FileRange.h"
#include "tags/TagBytes.h"

#include <cstdint>
#include <string>

namespace tags {

class TID3v2 {
public:
    TID3v2() = default;

    // Clears, then reads the header and walks the frames. True when the 10 header bytes could
    // be read, tag or not.
    bool LoadFromFile(const std::string& path) {
        Clear();
        return parseFile(*this, path);
    }
    // The same over an open file or a buffer holding a whole file.
    bool parse(ByteSource& file);
    bool parse(ByteSpan fileBytes) { return parseBytes(*this, fileBytes); }
    void Clear() { *this = TID3v2(); }

    bool Found() const { return m_found; }
    std::uint8_t VersionId() const { return m_versionId; }
    // Header, body and footer in bytes; 0 when there is no tag or it claims more than the file.
    std::int32_t Size() const { return m_size; }
    const std::string& Title() const { return m_title; } // texts are UTF-8
    const std::string& Artist() const { return m_artist; }
    const std::string& Album() const { return m_album; }
    std::uint16_t Track() const { return m_track; }
    const std::string& TrackText() const { return m_trackText; }
    const std::string& Year() const { return m_year; }
    const std::string& Genre() const { return m_genre; }
    const std::string& Comment() const { return m_comment; }
    const std::string& Composer() const { return m_composer; }
    const std::string& Encoder() const { return m_encoder; }
    const std::string& Copyright() const { return m_copyright; }
    const std::string& Language() const { return m_language; }
    const std::string& Link() const { return m_link; }

    static constexpr std::size_t kHeaderSize = 10;
    static constexpr std::size_t kFrameBufferSize = 500;

private:
    bool m_found = false;
    std::uint8_t m_versionId = 0;
    std::int32_t m_size = 0;
    std::string m_title;
    std::string m_artist;
    std::string m_album;
    std::uint16_t m_track = 0;
    std::string m_trackText;
    std::string m_year;
    std::string m_genre;
    std::string m_comment;
    std::string m_composer;
    std::string m_encoder;
    std::string m_copyright;
    std::string m_language;
    std::string m_link;
};

} // namespace tags
