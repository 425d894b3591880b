#pragma once

// The one place of the readers that touches files: an open file read by byte ranges with
// pread. Small reads are served from two cached blocks, so a reader walking a tag's frames, or
// several readers looking at the head and the tail of the same file, cost a few system calls.

#include "tags/ByteSource.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tags {

class FileRange final : public ByteSource {
public:
    // nullopt when the path cannot be opened as a regular file.
    static std::optional<FileRange> open(const std::string& path);

    FileRange(FileRange&& other) noexcept;
    FileRange& operator=(FileRange&& other) noexcept;
    FileRange(const FileRange&) = delete;
    FileRange& operator=(const FileRange&) = delete;
    ~FileRange() override;

    std::uint64_t size() const override { return m_size; }
    std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

    // Convenience for callers that want a buffer: the bytes at offset, possibly fewer at the end.
    std::optional<std::vector<std::uint8_t>> read(std::uint64_t offset, std::size_t length);

    // Large enough that the head block holds a small ID3v2 tag and the MPEG frame search
    // after it, and the tail block the tags and the encoder search at the end.
    static constexpr std::size_t kBlockSize = 8192;
    // The tail tags and the encoder search need less than this at the end.
    static constexpr std::size_t kTailBlockSize = kBlockSize / 2;

private:
    struct Block {
        std::uint64_t start = 0;
        std::size_t length = 0;
        std::array<std::uint8_t, kBlockSize> data; // filled before it is read
    };
    struct Cache {
        std::array<Block, 2> blocks;
        std::size_t next = 0; // block to refill next
    };

    FileRange(int fd, std::uint64_t size)
        : m_fd(fd)
        , m_size(size) {}
    std::optional<std::size_t> readDirect(std::uint64_t offset, std::span<std::uint8_t> out);
    const Block* cachedBlock(std::uint64_t offset, std::size_t count) const;
    const Block* fillBlock(std::uint64_t offset);

    int m_fd = -1;
    std::uint64_t m_size = 0;
    std::unique_ptr<Cache> m_cache;
};

// Opens `path` and runs reader.parse over it; false when the file cannot be opened.
template <typename Reader>
bool parseFile(Reader& reader, const std::string& path) {
    auto file = FileRange::open(path);
    return file && reader.parse(*file);
}

} // namespace tags
