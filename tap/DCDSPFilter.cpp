#include "tap/DCDSPFilter.h"

#include "tap/DSAudioFilter.h"
#include "tap/Media.h"

namespace tap {

TDCDSPFilter::TDCDSPFilter(QObject* parent)
    : QObject(parent) {
    initialiseMedia();
    m_element = gst_element_factory_make(kAudioFilterFactory, nullptr);
    if (m_element != nullptr) {
        gst_object_ref_sink(m_element);
        m_core = AudioFilterCoreOf(m_element);
    }
    m_timer.setInterval(m_visualInterval);
    connect(&m_timer, &QTimer::timeout, this, &TDCDSPFilter::VisualTick);
}

TDCDSPFilter::~TDCDSPFilter() {
    m_timer.stop();
    SetFilterGraph(nullptr);
    if (m_core != nullptr)
        m_core->SetCallback(nullptr);
    if (m_element != nullptr) {
        gst_element_set_state(m_element, GST_STATE_NULL);
        gst_object_unref(m_element);
    }
}

void TDCDSPFilter::SetVisualEnabled(bool v) {
    if (v == m_visualEnabled)
        return;
    m_visualEnabled = v;
    if (v)
        m_timer.start();
    else
        m_timer.stop();
}

void TDCDSPFilter::SetVisualInterval(int ms) {
    if (ms == m_visualInterval)
        return;
    m_visualInterval = ms;
    m_timer.setInterval(ms);
}

void TDCDSPFilter::SetVisualAfterDSP(bool v) {
    if (v == m_visualAfterDSP)
        return;
    m_visualAfterDSP = v;
    if (m_core != nullptr)
        m_core->SetVisualAfterDSP(v);
}

bool TDCDSPFilter::DelayEnabled() const {
    return m_core != nullptr && m_core->GetDelayEnabled();
}

void TDCDSPFilter::SetDelayEnabled(bool v) {
    if (m_core != nullptr)
        m_core->SetDelayEnabled(v);
}

int TDCDSPFilter::Delay() const {
    return m_core != nullptr ? m_core->GetDelay() : 0;
}

void TDCDSPFilter::SetDelay(int ms) {
    if (m_core != nullptr)
        m_core->SetDelay(ms);
}

void TDCDSPFilter::SetFilterGraph(IDSFilterList* graph) {
    if (graph == m_graph)
        return;
    if (m_graph != nullptr)
        m_graph->RemoveFilter(this);
    m_graph = graph;
    if (m_graph != nullptr)
        m_graph->InsertFilter(this);
}

void TDCDSPFilter::SetOnPCMData(TPCMNotifyEvent handler) {
    const std::lock_guard lock(m_lock);
    m_onPCMData = std::move(handler);
}

// UI thread
void TDCDSPFilter::FilterListNotify(int code) {
    if (m_core == nullptr)
        return;
    if (code == kAfterAdd) {
        m_core->SetCallback(this);
        m_core->SetVisualAfterDSP(m_visualAfterDSP);
    } else if (code == kBeforeRemove) {
        gst_element_set_state(m_element, GST_STATE_NULL);
    }
}

// UI thread
void TDCDSPFilter::VisualTick() {
    if (m_core == nullptr || !OnVisualData)
        return;
    m_core->GetVisualData(CurrentStreamTime(m_element),
                          [this](const void* buffer, std::uint32_t size, dsp::PDSStream stream) {
                              OnVisualData(this, buffer, size, stream);
                          });
}

// streaming thread
std::int32_t TDCDSPFilter::PCMData(void* Buffer, std::uint32_t Size, std::uint32_t& NewSize,
                                   dsp::PDSStream Stream) {
    NewSize = Size;
    if (!m_dspEnabled.load(std::memory_order_relaxed))
        return kS_OK;
    const std::lock_guard lock(m_lock);
    if (!m_onPCMData)
        return kS_OK;
    // A failing handler must not unwind into the streaming thread's C frames.
    try {
        m_onPCMData(this, Buffer, Size, NewSize, Stream);
    } catch (...) {
        NewSize = Size;
    }
    return kS_OK;
}

std::int32_t TDCDSPFilter::MediaTypeChanged(dsp::PDSStream Stream) {
    if (OnMediaTypeChanged)
        OnMediaTypeChanged(this, Stream);
    return kS_OK;
}

std::int32_t TDCDSPFilter::Flush() {
    if (OnFlush)
        OnFlush(this);
    return kS_OK;
}

} // namespace tap
