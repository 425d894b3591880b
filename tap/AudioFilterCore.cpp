#include "tap/AudioFilterCore.h"

#include <algorithm>

namespace tap {

namespace {

constexpr std::uint32_t flag(bool v) {
    return v ? dsp::DSStream::kTrue : 0u;
}

bool isFloat(const MediaType& t) {
    return t.subtype == MediaType::Subtype::IeeeFloat || t.FormatTag == kWaveFormatIeeeFloat ||
           (t.FormatTag == kWaveFormatExtensible && t.ExtensibleFloat);
}

} // namespace

std::uint32_t AudioFilterCore::CheckInputType(const MediaType& type) {
    if (!type.Audio)
        return kVFW_E_INVALIDMEDIATYPE;
    if (type.subtype == MediaType::Subtype::Other)
        return kVFW_E_INVALIDSUBTYPE;
    if (!type.WaveFormatEx)
        return kVFW_E_TYPE_NOT_ACCEPTED;
    m_stream.SampleRate = type.SampleRate;
    m_stream.Channels = type.Channels;
    m_stream.Bits = type.Bits;
    if (type.Bits != 8 && type.Bits != 16 && type.Bits != 24 && type.Bits != 32)
        return kVFW_E_TYPE_NOT_ACCEPTED;
    // A record the history cannot size is refused as well: it would divide by zero.
    if (type.SampleRate == 0 || type.Channels == 0)
        return kVFW_E_TYPE_NOT_ACCEPTED;
    m_stream.Float = flag(isFloat(type));
    m_stream.SPDIF =
        flag(type.FormatTag == kWaveFormatDolbyAc3Spdif || type.FormatTag == kWaveFormatRaw2000);
    m_stream.DTS = flag(type.FormatTag == kWaveFormatDts || type.FormatTag == kWaveFormatRaw2001);
    IDCDSPFilterCallBack* callback = m_callback.load();
    if (callback != nullptr && !(m_stream == m_notified))
        callback->MediaTypeChanged(&m_stream);
    m_notified = m_stream;
    return kS_OK;
}

void AudioFilterCore::CompleteConnect() {
    m_history.SetDvdGraph(false); // no DVD-like sources exist in these pipelines
    m_history.PrepareHistory(m_stream, true);
}

std::uint32_t AudioFilterCore::ChangeFormat(const MediaType& type) {
    m_inFormatChange.store(true);
    const std::uint32_t result = CheckInputType(type);
    if (result == kS_OK)
        m_history.PrepareHistory(m_stream, false);
    m_inFormatChange.store(false);
    return result;
}

// streaming thread
std::uint32_t AudioFilterCore::Transform(std::uint8_t* data, std::uint32_t length,
                                         std::optional<std::int64_t> start) {
    m_history.NoteBlockTime(length, start);
    const bool afterDSP = m_visualAfterDSP.load(std::memory_order_relaxed);
    if (!afterDSP)
        m_history.AppendBlock(data, length);
    m_stream.Size = length;
    IDCDSPFilterCallBack* callback = m_callback.load(std::memory_order_acquire);
    if (m_stream.SPDIF == 0 && m_stream.DTS == 0 && callback != nullptr) {
        std::uint32_t newSize = length;
        callback->PCMData(data, length, newSize, &m_stream);
        // A processor may shorten the block, never lengthen it past the buffer.
        length = std::min(newSize, length);
    }
    if (afterDSP)
        m_history.AppendBlock(data, length);
    return length;
}

// control thread
void AudioFilterCore::Run() {
    m_running.store(true);
    m_history.NoteRun();
}

void AudioFilterCore::Stop() {
    m_running.store(false);
    m_history.RestartFill();
}

void AudioFilterCore::BeginFlush() {
    m_flushing.store(true);
    m_history.ResetForFlush();
    if (IDCDSPFilterCallBack* callback = m_callback.load())
        callback->Flush();
}

void AudioFilterCore::SetDelay(std::int32_t ms) {
    m_delay.store(std::clamp(ms, -kMaxDelay, kMaxDelay));
}

std::int64_t AudioFilterCore::TimeShift() const {
    if (!m_delayEnabled.load(std::memory_order_relaxed))
        return 0;
    return std::int64_t{m_delay.load(std::memory_order_relaxed)} * 10'000;
}

} // namespace tap
