#pragma once

#include "tags/ByteSource.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tags {

// Sequential reads with seeks over a ByteSource, for readers that walk a structure of
// nested lengths. Seeking past the end is allowed; a read that would run past the end
// fails and consumes nothing.
class SourceReader {
public:
    explicit SourceReader(ByteSource& source)
        : m_source(source) {}

    std::uint64_t position() const { return m_position; }
    void seek(std::uint64_t position) { m_position = position; }
    void skip(std::uint64_t count) { m_position += count; }

    bool read(std::span<std::uint8_t> out);
    std::optional<std::uint16_t> u16le();
    std::optional<std::uint32_t> u32le();
    std::optional<std::uint64_t> u64le();

private:
    ByteSource& m_source;
    std::uint64_t m_position = 0;
};

} // namespace tags
