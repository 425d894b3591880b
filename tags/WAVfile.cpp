#include "tags/WAVfile.h"

#include "tags/ChannelName.h"
#include "tags/TagBytes.h"

#include <array>

namespace tags {

namespace {

constexpr std::size_t kFmtSizeOffset = 16;
constexpr std::size_t kFirstChunkAfterCanonicalFmt = 36;

// parse() has checked the lengths, so these reads always find their bytes.
std::uint16_t le16(ByteSpan b, std::size_t at) {
    return readU16LE(b, at).value_or(0);
}
std::uint32_t le32(ByteSpan b, std::size_t at) {
    return readU32LE(b, at).value_or(0);
}

} // namespace

std::int64_t TWAVfile::nextChunkOffset(ByteSpan header) {
    if (header.size() < kHeaderBytes || matchesAt(header, kFirstChunkAfterCanonicalFmt, "data"))
        return -1;
    // The chunk after "fmt " starts after its 8-byte chunk header and S data bytes.
    return 20 + std::int64_t{le32(header, kFmtSizeOffset)};
}

bool TWAVfile::decode(ByteSpan header, ByteSpan nextChunk) {
    Clear();
    const std::int64_t nextAt = nextChunkOffset(header);
    if (header.size() < kHeaderBytes || (nextAt >= 0 && nextChunk.size() < kNextChunkBytes))
        return false;

    if (!matchesAt(header, 0, "RIFF") || !matchesAt(header, 8, "WAVE") ||
        !matchesAt(header, 12, "fmt "))
        return true;
    const std::uint16_t channels = le16(header, 22);
    if (channels != 1 && channels != 2)
        return true;

    m_valid = true;
    m_formatTag = le16(header, 20);
    m_channels = static_cast<std::uint8_t>(channels);
    m_sampleRate = le32(header, 24);
    m_bytesPerSecond = le32(header, 28);
    m_blockAlign = le16(header, 32);
    m_bitsPerSample = header[34];
    // Only a "fact" chunk holds a sample count; other chunks found here (often "LIST")
    // start with data that would read as a count of hours.
    if (nextAt >= 0 && matchesAt(nextChunk, 0, "fact"))
        m_sampleCount = static_cast<std::int32_t>(le32(nextChunk, 8));

    const std::uint32_t fmtSize = le32(header, kFmtSizeOffset);
    m_headerSize = nextAt < 0 ? 44 : static_cast<std::uint16_t>(fmtSize + 40);
    m_fileSize = le32(header, 4) + 8u;
    if (m_fileSize < m_headerSize)
        m_headerSize = static_cast<std::uint16_t>(m_fileSize);
    return true;
}

double TWAVfile::Duration() const {
    if (!m_valid)
        return 0.0;
    if (m_sampleCount > 0 && m_sampleRate > 0)
        return double(m_sampleCount) / m_sampleRate;
    if (m_sampleCount == 0 && m_bytesPerSecond > 0)
        return double(m_fileSize - m_headerSize) / m_bytesPerSecond;
    return 0.0;
}

std::string_view TWAVfile::ChannelModeName() const {
    return channelName(m_channels);
}

bool TWAVfile::parse(ByteSource& file) {
    Clear();
    std::array<std::uint8_t, kHeaderBytes> header{};
    if (!file.readExact(0, header))
        return false;
    std::array<std::uint8_t, kNextChunkBytes> next{};
    const std::int64_t nextAt = nextChunkOffset(header);
    if (nextAt >= 0 && !file.readExact(static_cast<std::uint64_t>(nextAt), next))
        return false;
    return decode(header, nextAt >= 0 ? ByteSpan(next) : ByteSpan());
}

} // namespace tags
