#include "tags/ByteSource.h"

#include <algorithm>

namespace tags {

bool ByteSource::readExact(std::uint64_t offset, std::span<std::uint8_t> out) {
    const auto got = readAt(offset, out);
    return got && *got == out.size();
}

bool ByteSource::readFromEnd(std::uint64_t distance, std::span<std::uint8_t> out) {
    const std::uint64_t length = size();
    return distance <= length && readExact(length - distance, out);
}

std::optional<std::size_t> MemorySource::readAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset >= m_bytes.size())
        return 0;
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_bytes.size() - offset));
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), count, out.begin());
    return count;
}

} // namespace tags
