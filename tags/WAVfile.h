#pragma once

#include "tags/ByteSource.h"
#include "tags/FileRange.h"
#include "tags/TagBytes.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tags {

// Reads the fixed-layout start of a RIFF WAVE file: the canonical 44-byte header, or a
// longer "fmt " chunk followed by a "fact" chunk holding the sample count. The chunk list
// is not walked.
class TWAVfile {
public:
    // Bytes of the file start that parse() looks at (offsets 0 to 39).
    static constexpr std::size_t kHeaderBytes = 40;
    // Bytes of the chunk after "fmt " that parse() needs: its identifier, its size and
    // the first four data bytes (the sample count of a "fact" chunk).
    static constexpr std::size_t kNextChunkBytes = 12;

    TWAVfile() = default;

    bool LoadFromFile(const std::string& path) {
        Clear();
        return parseFile(*this, path);
    }
    void Clear() { *this = TWAVfile(); }

    // File offset of the chunk following "fmt " when the header needs it (offset 36 does
    // not hold "data"), or -1 when it does not. Needs kHeaderBytes of header.
    static std::int64_t nextChunkOffset(ByteSpan header);

    // Reads the header bytes from an open file or a buffer holding a whole file. False
    // when the bytes needed are missing; Valid tells whether the file is a usable WAV file.
    bool parse(ByteSource& file);
    bool parse(ByteSpan fileBytes) { return parseBytes(*this, fileBytes); }
    // Decodes the header. `nextChunk` holds the kNextChunkBytes at nextChunkOffset()
    // (empty when that is -1); false when either holds too few bytes.
    bool decode(ByteSpan header, ByteSpan nextChunk);

    bool Valid() const { return m_valid; }
    std::uint16_t FormatTag() const { return m_formatTag; }
    std::uint8_t Channels() const { return m_channels; }
    std::uint32_t SampleRate() const { return m_sampleRate; }
    std::uint32_t BytesPerSecond() const { return m_bytesPerSecond; }
    std::uint16_t BlockAlign() const { return m_blockAlign; }
    std::uint8_t BitsPerSample() const { return m_bitsPerSample; }
    std::int32_t SampleCount() const { return m_sampleCount; }
    std::uint16_t HeaderSize() const { return m_headerSize; }
    std::uint32_t FileSize() const { return m_fileSize; }
    double Duration() const;

    // "Unknown", "Mono", "Stereo" for 0, 1 and 2 channels.
    std::string_view ChannelModeName() const;

private:
    bool m_valid = false;
    std::uint16_t m_formatTag = 0;
    std::uint8_t m_channels = 0;
    std::uint32_t m_sampleRate = 0;
    std::uint32_t m_bytesPerSecond = 0;
    std::uint16_t m_blockAlign = 0;
    std::uint8_t m_bitsPerSample = 0;
    std::int32_t m_sampleCount = 0;
    std::uint16_t m_headerSize = 0;
    std::uint32_t m_fileSize = 0;
};

} // namespace tags
