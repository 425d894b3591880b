#pragma once

#include "tags/ByteSource.h"
#include "tags/FileRange.h"
#include "tags/TagBytes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tags {

// Reads the header of a Windows Media Audio file (Advanced Systems Format): walks the
// header objects for the maximum bit rate, the audio stream's format and the two
// description objects, then decides whether the stream is usable.
class TWMAfile {
public:
    TWMAfile() = default;

    bool LoadFromFile(const std::string& path) {
        Clear();
        return parseFile(*this, path);
    }
    void Clear() { *this = TWMAfile(); }

    // The header walk over any source. True when the walk reached its end (whether or
    // not the bytes are ASF); false when the source ends before a field the walk needs.
    bool parse(ByteSource& source);
    bool parse(ByteSpan fileBytes) { return parseBytes(*this, fileBytes); }

    bool Valid() const { return m_valid; }
    std::int64_t FileSize() const { return m_fileSize; }
    std::uint8_t Channels() const { return m_channels; }
    std::int32_t SampleRate() const { return m_sampleRate; }
    double Duration() const { return m_duration; }
    std::int32_t BitRate() const { return m_bitRate; }
    const std::u16string& Title() const { return m_title; }
    const std::u16string& Artist() const { return m_artist; }
    const std::u16string& Album() const { return m_album; }
    std::int32_t Track() const { return m_track; }
    const std::u16string& Year() const { return m_year; }
    const std::u16string& Genre() const { return m_genre; }
    const std::u16string& Comment() const { return m_comment; }

    // "Unknown", "Mono", "Stereo" for 0, 1 and 2 channels.
    std::string_view ChannelModeName() const;

private:
    bool m_valid = false;
    std::int64_t m_fileSize = 0;
    std::uint8_t m_channels = 0;
    std::int32_t m_sampleRate = 0;
    double m_duration = 0.0;
    std::int32_t m_bitRate = 0;
    std::u16string m_title;
    std::u16string m_artist;
    std::u16string m_album;
    std::int32_t m_track = 0;
    std::u16string m_year;
    std::u16string m_genre;
    std::u16string m_comment;
};

} // namespace tags
