#include "tags/FileRange.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tags {

std::optional<FileRange> FileRange::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return FileRange(fd, static_cast<std::uint64_t>(st.st_size));
}

FileRange::FileRange(FileRange&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_size(other.m_size)
    , m_cache(std::move(other.m_cache)) {}

FileRange& FileRange::operator=(FileRange&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_size = other.m_size;
        m_cache = std::move(other.m_cache);
    }
    return *this;
}

FileRange::~FileRange() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<std::size_t> FileRange::readDirect(std::uint64_t offset,
                                                 std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got =
            ::pread(m_fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break; // the file ended earlier than when it was opened
        done += static_cast<std::size_t>(got);
    }
    return done;
}

const FileRange::Block* FileRange::cachedBlock(std::uint64_t offset, std::size_t count) const {
    for (const Block& b : m_cache->blocks) {
        if (b.length > 0 && offset >= b.start && offset - b.start + count <= b.length)
            return &b;
    }
    return nullptr;
}

const FileRange::Block* FileRange::fillBlock(std::uint64_t offset) {
    Block& b = m_cache->blocks[m_cache->next];
    m_cache->next = (m_cache->next + 1) % m_cache->blocks.size();
    // Reads near the end take the file's last kTailBlockSize bytes, so the tail tags share
    // one read; other reads take a whole block from where they start.
    const bool nearEnd = m_size - offset <= kTailBlockSize;
    b.start = nearEnd ? (m_size > kTailBlockSize ? m_size - kTailBlockSize : 0) : offset;
    b.length = 0;
    const auto got =
        readDirect(b.start, std::span(b.data).first(nearEnd ? kTailBlockSize : kBlockSize));
    if (!got)
        return nullptr;
    b.length = *got;
    return &b;
}

std::optional<std::size_t> FileRange::readAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (m_fd < 0)
        return std::nullopt;
    if (offset >= m_size || out.empty())
        return 0;
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_size - offset));
    const Block* b = m_cache ? cachedBlock(offset, count) : nullptr;
    if (!b && count > kBlockSize / 2)
        return readDirect(offset, out.first(count));
    if (!m_cache)
        m_cache = std::make_unique_for_overwrite<Cache>();
    if (!b)
        b = fillBlock(offset);
    if (!b)
        return std::nullopt;
    if (offset < b->start || offset - b->start >= b->length)
        return 0; // the file shrank under us
    const std::size_t from = static_cast<std::size_t>(offset - b->start);
    const std::size_t copied = std::min(count, b->length - from);
    std::memcpy(out.data(), b->data.data() + from, copied);
    return copied;
}

std::optional<std::vector<std::uint8_t>> FileRange::read(std::uint64_t offset, std::size_t length) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(
        std::min<std::uint64_t>(length, offset < m_size ? m_size - offset : 0)));
    const auto got = readAt(offset, bytes);
    if (!got)
        return std::nullopt;
    bytes.resize(*got);
    return bytes;
}

} // namespace tags
