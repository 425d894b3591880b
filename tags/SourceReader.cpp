#include "tags/SourceReader.h"

#include "tags/TagBytes.h"

#include <array>

namespace tags {

bool SourceReader::read(std::span<std::uint8_t> out) {
    if (!m_source.readExact(m_position, out))
        return false;
    m_position += out.size();
    return true;
}

std::optional<std::uint16_t> SourceReader::u16le() {
    std::array<std::uint8_t, 2> b;
    return read(b) ? readU16LE(b, 0) : std::nullopt;
}

std::optional<std::uint32_t> SourceReader::u32le() {
    std::array<std::uint8_t, 4> b;
    return read(b) ? readU32LE(b, 0) : std::nullopt;
}

std::optional<std::uint64_t> SourceReader::u64le() {
    std::array<std::uint8_t, 8> b;
    return read(b) ? readU64LE(b, 0) : std::nullopt;
}

} // namespace tags
