#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace dsp {

// Cuts a block into chunks of SampleSize frames for a processor and, while ProcessMessages is
// set, runs the message pump after each chunk. The two properties are written on the UI
// thread and read on the streaming thread; the pump is set before the stream starts.
class BlockChunker {
public:
    bool ProcessMessages() const { return m_processMessages.load(std::memory_order_relaxed); }
    void setProcessMessages(bool value) {
        m_processMessages.store(value, std::memory_order_relaxed);
    }
    // Frames per chunk; 0 processes the whole block at once.
    std::uint32_t SampleSize() const { return m_sampleSize.load(std::memory_order_relaxed); }
    void setSampleSize(std::uint32_t value) {
        m_sampleSize.store(value, std::memory_order_relaxed);
    }
    void setMessagePump(std::function<void()> pump) { m_messagePump = std::move(pump); }

protected:
    // Calls chunk(first byte, length in bytes) for successive pieces of the block, the last
    // one shorter (streaming thread).
    template <class Chunk>
    void ForEachChunk(std::uint8_t* block, std::size_t size, std::size_t frameBytes,
                      Chunk&& chunk) const {
        const std::uint64_t frames = SampleSize();
        const std::uint64_t length = frames == 0 ? size : frameBytes * frames;
        const std::size_t piece = std::size_t(std::min<std::uint64_t>(length, size));
        for (std::size_t offset = 0; offset < size; offset += piece) {
            chunk(block + offset, std::min(piece, size - offset));
            if (ProcessMessages() && m_messagePump) {
                m_messagePump();
            }
        }
    }

private:
    std::atomic<bool> m_processMessages{false};
    std::atomic<std::uint32_t> m_sampleSize{8192};
    std::function<void()> m_messagePump;
};

} // namespace dsp
