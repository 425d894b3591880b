#pragma once

#include "dsp/dspTypes.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace tap {

// The last four seconds of a deck's audio, with the mapping from stream time to a position in
// them, so that the window thread can fetch the block of audio being heard right now.
//
// Contract (single producer, single consumer):
// - The streaming thread is the only writer: PrepareHistory, NoteBlockTime, AppendBlock and
//   NoteEndOfStream. RestartFill, ResetForFlush and NoteRun come from the thread that changes
//   the pipeline's state or flushes it; the pipeline guarantees no block is appended meanwhile.
// - The window thread is the only reader: ReadVisualData.
// - The writer holds Busy (release on clear) around every append; the reader spins (no sleep)
//   until Busy is clear (acquire) before it maps a time to a position.
// - The block handed to the reader is a pointer into the storage and is not copied: appends
//   that follow may overwrite parts of it while it is analysed (torn data is tolerated).
//   The storage itself is only replaced on a format change, and never while the reader is
//   inside ReadVisualData: the writer waits for the reader to leave first.
//
// Times are in 100-ns units, lengths in bytes.
//
// Layout of the storage: [ cycle of HistoryCapacity (+ one block) | mirror ]. After a wrap the
// blocks written at offset 0 are also copied behind the old end of the cycle, up to
// MirrorCapacity bytes, so a read that starts just before the end runs on into the new audio.
class VisualHistory {
public:
    struct Block {
        const std::uint8_t* Buffer = nullptr;
        std::uint32_t Size = 0;
    };

    static constexpr std::uint32_t kVisualFrames = 16384;
    static constexpr std::uint32_t kMirrorFrames = 65536;
    static constexpr std::int64_t kDvdReadOffset = 36'200'000;

    // streaming (or connecting) thread
    void PrepareHistory(const dsp::DSStream& format, bool atConnection);
    void NoteBlockTime(std::uint32_t length, std::optional<std::int64_t> start);
    void AppendBlock(const std::uint8_t* data, std::uint32_t n);
    void NoteEndOfStream(std::int64_t streamTime);

    // control thread
    void RestartFill();
    void ResetForFlush();
    void NoteRun();
    void SetDvdGraph(bool dvd) { m_dvdGraph.store(dvd, std::memory_order_relaxed); }

    // window thread: calls use(Block) with the block heard at streamTime and returns true, or
    // returns false when there is none. The storage stays in place while use runs.
    template <typename Use>
    bool ReadVisualData(std::optional<std::int64_t> streamTime, Use&& use) {
        ReaderScope scope(*this);
        const std::optional<Block> block = blockAt(streamTime);
        if (!block)
            return false;
        use(*block);
        return true;
    }

    double TimePerByte() const { return m_timePerByte; }
    std::uint32_t BlockAlign() const { return m_blockAlign; }
    std::uint32_t HistoryCapacity() const { return m_historyCapacity; }
    std::uint32_t MirrorCapacity() const { return m_mirrorCapacity; }
    std::size_t StorageSize() const { return m_history.size(); }
    std::uint32_t Fill() const { return m_fill.load(std::memory_order_relaxed); }
    std::uint32_t WritePos() const { return m_writePos.load(std::memory_order_relaxed); }
    std::int64_t TimeBase() const { return m_timeBase.load(std::memory_order_relaxed); }
    const std::uint8_t* Storage() const { return m_history.data(); }

private:
    // Marks the window thread inside a read; entering waits for an append to finish.
    class ReaderScope {
    public:
        explicit ReaderScope(VisualHistory& h);
        ~ReaderScope();
        ReaderScope(const ReaderScope&) = delete;
        ReaderScope& operator=(const ReaderScope&) = delete;

    private:
        VisualHistory& m_h;
    };

    std::optional<Block> blockAt(std::optional<std::int64_t> streamTime) const;
    std::optional<std::uint32_t> positionAt(std::int64_t t) const;
    void copyTo(std::uint32_t offset, const std::uint8_t* data, std::uint32_t n);
    void waitForReader() const;

    dsp::DSStream m_prepared{};
    double m_timePerByte = 0.0;
    std::uint32_t m_blockAlign = 0;
    std::uint32_t m_historyCapacity = 0;
    std::uint32_t m_mirrorCapacity = 0;
    std::vector<std::uint8_t> m_history;

    // Read by the window thread while the streaming thread writes them.
    std::atomic<std::uint32_t> m_fill{0};
    std::atomic<std::uint32_t> m_writePos{0};
    std::atomic<std::int64_t> m_timeBase{0};
    std::atomic<std::int64_t> m_endTime{0};
    std::atomic<bool> m_endSeen{false};
    std::atomic<bool> m_dvdGraph{false};
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_reading{false};

    bool m_mirroring = false;
    std::uint32_t m_mirrorLength = 0;
    std::uint32_t m_mirrorPos = 0;
    std::int64_t m_lastDuration = 0;
    bool m_firstSample = true;
};

} // namespace tap
