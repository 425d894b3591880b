#pragma once

#include "dsp/dspTypes.h"
#include "tap/VisualHistory.h"

#include <atomic>
#include <cstdint>
#include <optional>

namespace tap {

// Status codes exchanged by the tap's two halves (0 success, 1 nothing, failures negative).
constexpr std::int32_t kS_OK = 0;
constexpr std::int32_t kS_FALSE = 1;
constexpr std::uint32_t kVFW_E_INVALIDMEDIATYPE = 0x80040200u;
constexpr std::uint32_t kVFW_E_INVALIDSUBTYPE = 0x80040201u;
constexpr std::uint32_t kVFW_E_TYPE_NOT_ACCEPTED = 0x8004022Au;

constexpr std::uint16_t kWaveFormatPcm = 0x0001;
constexpr std::uint16_t kWaveFormatIeeeFloat = 0x0003;
constexpr std::uint16_t kWaveFormatDts = 0x0008;
constexpr std::uint16_t kWaveFormatDolbyAc3Spdif = 0x0092;
constexpr std::uint16_t kWaveFormatRaw2000 = 0x2000;
constexpr std::uint16_t kWaveFormatRaw2001 = 0x2001;
constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;

// A proposed media type, as far as the tap looks at it.
struct MediaType {
    enum class Subtype { Pcm, IeeeFloat, Null, Other };
    bool Audio = true;
    Subtype subtype = Subtype::Pcm;
    bool WaveFormatEx = true;
    std::uint16_t FormatTag = kWaveFormatPcm;
    bool ExtensibleFloat = false; // extensible format whose sub-format is IEEE float
    std::uint32_t SampleRate = 0;
    std::uint32_t Channels = 0;
    std::uint32_t Bits = 0;
};

// Implemented by the component half; called on the streaming thread (PCMData, and
// MediaTypeChanged for in-stream changes) or on the thread that flushes (Flush).
class IDCDSPFilterCallBack {
public:
    virtual ~IDCDSPFilterCallBack() = default;
    virtual std::int32_t PCMData(void* Buffer, std::uint32_t Size, std::uint32_t& NewSize,
                                 dsp::PDSStream Stream) = 0;
    virtual std::int32_t MediaTypeChanged(dsp::PDSStream Stream) = 0;
    virtual std::int32_t Flush() = 0;
};

// The tap's state and per-block work, free of any pipeline: the element forwards its hooks
// here, and tests drive it directly.
class AudioFilterCore {
public:
    // negotiating thread: 0 or a VFW_E code
    std::uint32_t CheckInputType(const MediaType& type);
    // the output side is connected: a fresh history for a new stream
    void CompleteConnect();
    // streaming thread: an accepted in-stream format change; 0 or the check's failure
    std::uint32_t ChangeFormat(const MediaType& type);

    // streaming thread: processes one block in place and returns its new length
    std::uint32_t Transform(std::uint8_t* data, std::uint32_t length,
                            std::optional<std::int64_t> start);
    void EndOfStream(std::int64_t streamTime) { m_history.NoteEndOfStream(streamTime); }

    // control thread
    void Run();
    void Pause() { m_running.store(false); }
    void Stop();
    void BeginFlush();
    void EndFlush() { m_flushing.store(false); }

    // window thread: calls use(Buffer, Size, Stream) with the block heard at streamTime
    template <typename Use>
    std::int32_t GetVisualData(std::optional<std::int64_t> streamTime, Use&& use) {
        if (m_inFormatChange.load() || m_flushing.load() || !m_running.load())
            return kS_FALSE;
        const bool found = m_history.ReadVisualData(
            streamTime, [&](VisualHistory::Block b) { use(b.Buffer, b.Size, &m_stream); });
        return found ? kS_OK : kS_FALSE;
    }

    void SetCallback(IDCDSPFilterCallBack* callback) { m_callback.store(callback); }
    dsp::PDSStream GetStream() { return &m_stream; }
    bool GetVisualAfterDSP() const { return m_visualAfterDSP.load(); }
    void SetVisualAfterDSP(bool v) { m_visualAfterDSP.store(v); }
    bool GetDelayEnabled() const { return m_delayEnabled.load(); }
    void SetDelayEnabled(bool v) { m_delayEnabled.store(v); }
    std::int32_t GetDelay() const { return m_delay.load(); }
    void SetDelay(std::int32_t ms);
    // Delay in 100-ns units while enabled, else 0.
    std::int64_t TimeShift() const;

    bool Running() const { return m_running.load(); }
    VisualHistory& History() { return m_history; }

    static constexpr std::int32_t kMaxDelay = 214'748; // Delay x 10,000 fits in 32 bits

private:
    dsp::DSStream m_stream{};
    dsp::DSStream m_notified{};
    VisualHistory m_history;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_flushing{false};
    std::atomic<bool> m_inFormatChange{false};
    std::atomic<bool> m_visualAfterDSP{false};
    std::atomic<bool> m_delayEnabled{false};
    std::atomic<std::int32_t> m_delay{0};
    std::atomic<IDCDSPFilterCallBack*> m_callback{nullptr};
};

} // namespace tap
