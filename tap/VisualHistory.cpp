#include "tap/VisualHistory.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tap {

namespace {

bool isPassThrough(const dsp::DSStream& s) {
    return s.SPDIF != 0 || s.DTS != 0;
}

void spinWhile(const std::atomic<bool>& flag) {
    while (flag.load(std::memory_order_acquire)) {
    }
}

// Sets Busy for the lifetime of the scope (streaming thread).
class BusyScope {
public:
    explicit BusyScope(std::atomic<bool>& busy)
        : m_busy(busy) {
        m_busy.store(true);
    }
    ~BusyScope() { m_busy.store(false, std::memory_order_release); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::atomic<bool>& m_busy;
};

} // namespace

VisualHistory::ReaderScope::ReaderScope(VisualHistory& h)
    : m_h(h) {
    // Announce the read first, then look at Busy: a writer that replaces the storage sets
    // Busy first, then waits for the read to end, so one of the two always sees the other.
    for (;;) {
        m_h.m_reading.store(true);
        if (!m_h.m_busy.load())
            return;
        m_h.m_reading.store(false);
        spinWhile(m_h.m_busy);
    }
}

VisualHistory::ReaderScope::~ReaderScope() {
    m_h.m_reading.store(false, std::memory_order_release);
}

void VisualHistory::waitForReader() const {
    spinWhile(m_reading);
}

// streaming (or connecting) thread
void VisualHistory::PrepareHistory(const dsp::DSStream& format, bool atConnection) {
    BusyScope busy(m_busy);
    m_fill.store(0, std::memory_order_relaxed);
    m_timeBase.store(0, std::memory_order_relaxed);
    if (atConnection)
        m_firstSample = true;
    if (format == m_prepared && !m_history.empty())
        return;

    waitForReader();
    m_prepared = format;
    const std::uint32_t bytesPerSample = format.Bits / 8;
    const std::uint32_t bytesPerSecond = format.SampleRate * format.Channels * bytesPerSample;
    m_timePerByte = bytesPerSecond == 0
                        ? 0.0
                        : 10'000'000.0 / format.SampleRate / format.Channels / bytesPerSample;
    m_historyCapacity = bytesPerSecond * 4;
    m_mirrorCapacity = format.Channels * bytesPerSample * kMirrorFrames;
    m_history.assign(std::size_t{m_historyCapacity} + 2 * std::size_t{m_mirrorCapacity}, 0);
    if (bytesPerSecond == 0)
        m_history.clear();
    m_blockAlign = bytesPerSample * format.Channels;
}

void VisualHistory::NoteBlockTime(std::uint32_t length, std::optional<std::int64_t> start) {
    m_lastDuration = static_cast<std::int64_t>(std::trunc(length * m_timePerByte));
    if (m_dvdGraph.load(std::memory_order_relaxed) || !start)
        return;
    const std::int64_t base = m_timeBase.load(std::memory_order_relaxed);
    if (base != -1 && base <= *start)
        return;
    if (m_firstSample) {
        m_timeBase.store(*start, std::memory_order_relaxed);
        m_firstSample = false;
    } else {
        m_timeBase.store(*start - m_lastDuration, std::memory_order_relaxed);
    }
}

// A block longer than the room left behind an offset is cut at the end of the storage, so an
// oversized block can never write past it.
void VisualHistory::copyTo(std::uint32_t offset, const std::uint8_t* data, std::uint32_t n) {
    if (offset >= m_history.size())
        return;
    const std::size_t room = m_history.size() - offset;
    std::memcpy(m_history.data() + offset, data, std::min<std::size_t>(n, room));
}

void VisualHistory::AppendBlock(const std::uint8_t* data, std::uint32_t n) {
    BusyScope busy(m_busy);
    if (m_history.empty() || isPassThrough(m_prepared))
        return;

    const std::uint32_t fill = m_fill.load(std::memory_order_relaxed);
    if (fill <= m_historyCapacity) {
        copyTo(fill, data, n);
        m_fill.store(fill + n, std::memory_order_relaxed);
        m_writePos.store(0, std::memory_order_relaxed);
        m_mirrorLength = 0;
        m_mirrorPos = 0;
        m_mirroring = false;
        return;
    }

    m_timeBase.fetch_add(static_cast<std::int64_t>(std::trunc(n * m_timePerByte)),
                         std::memory_order_relaxed);
    if (m_mirroring && m_mirrorLength + n < m_mirrorCapacity) {
        copyTo(m_mirrorPos, data, n);
        m_mirrorPos += n;
        m_mirrorLength += n;
    } else {
        m_mirroring = false;
    }

    const std::uint32_t writePos = m_writePos.load(std::memory_order_relaxed);
    if (writePos > m_historyCapacity) {
        m_mirroring = true;
        m_mirrorLength = n;
        m_mirrorPos = writePos + n;
        copyTo(0, data, n);
        copyTo(writePos, data, n);
        m_writePos.store(n, std::memory_order_relaxed);
    } else {
        copyTo(writePos, data, n);
        m_writePos.store(writePos + n, std::memory_order_relaxed);
    }
}

void VisualHistory::NoteEndOfStream(std::int64_t streamTime) {
    m_endTime.store(streamTime + m_timeBase.load(std::memory_order_relaxed) + 2 * m_lastDuration,
                    std::memory_order_relaxed);
    m_endSeen.store(true, std::memory_order_release);
}

// control thread
void VisualHistory::RestartFill() {
    m_fill.store(0, std::memory_order_relaxed);
}

void VisualHistory::ResetForFlush() {
    m_fill.store(0, std::memory_order_relaxed);
    m_timeBase.store(-1, std::memory_order_relaxed);
    m_mirrorLength = 0;
}

void VisualHistory::NoteRun() {
    m_endSeen.store(false, std::memory_order_release);
}

// window thread
std::optional<std::uint32_t> VisualHistory::positionAt(std::int64_t t) const {
    const std::int64_t base = m_timeBase.load(std::memory_order_relaxed);
    if (isPassThrough(m_prepared) || t < base)
        return std::nullopt;
    const std::int64_t fill = m_fill.load(std::memory_order_relaxed);
    std::int64_t p = static_cast<std::int64_t>(std::trunc((t - base) / m_timePerByte)) +
                     m_writePos.load(std::memory_order_relaxed);
    if (p > fill)
        p -= fill;
    p -= p % m_blockAlign;
    if (p > fill || p < 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(p);
}

std::optional<VisualHistory::Block>
VisualHistory::blockAt(std::optional<std::int64_t> streamTime) const {
    if (!streamTime || m_history.empty())
        return std::nullopt;
    std::int64_t t = *streamTime;
    if (m_endSeen.load(std::memory_order_acquire) && t >= m_endTime.load(std::memory_order_relaxed))
        return std::nullopt;
    // The reader scope has already waited for Busy to clear.
    if (m_dvdGraph.load(std::memory_order_relaxed))
        t = m_timeBase.load(std::memory_order_relaxed) + kDvdReadOffset;
    const std::optional<std::uint32_t> p = positionAt(t);
    if (!p)
        return std::nullopt;
    // A block near the end of the storage is handed out shorter rather than past its end.
    const std::size_t size =
        std::min<std::size_t>(std::size_t{m_blockAlign} * kVisualFrames, m_history.size() - *p);
    return Block{m_history.data() + *p, static_cast<std::uint32_t>(size)};
}

} // namespace tap
