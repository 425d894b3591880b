#pragma once

// Random access to the bytes of a file (FileRange) or of a buffer (MemorySource). Readers parse
// through this interface, so tests feed them byte tables and a reader that owns other readers
// can share one open file with them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tags {

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Length in bytes, taken when the source was opened.
    virtual std::uint64_t size() const = 0;
    // Copies up to out.size() bytes starting at offset; the count copied, short at the end and 0
    // at or past the end; nullopt on a read failure.
    virtual std::optional<std::size_t> readAt(std::uint64_t offset,
                                              std::span<std::uint8_t> out) = 0;

    // True only when all out.size() bytes at offset were read.
    bool readExact(std::uint64_t offset, std::span<std::uint8_t> out);
    // All out.size() bytes that start `distance` bytes before the end.
    bool readFromEnd(std::uint64_t distance, std::span<std::uint8_t> out);
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes) {}

    std::uint64_t size() const override { return m_bytes.size(); }
    std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    std::span<const std::uint8_t> m_bytes;
};

// Runs reader.parse over the bytes of a whole file held in memory.
template <typename Reader>
bool parseBytes(Reader& reader, std::span<const std::uint8_t> fileBytes) {
    MemorySource source(fileBytes);
    return reader.parse(source);
}

} // namespace tags
