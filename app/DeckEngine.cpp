#include "app/DeckEngine.h"

namespace app {

TDeckEngine::TDeckEngine(const QString& prefix, const QString& suffix, QWidget* trackParent)
    : m_track(new TDSTrackBar(trackParent)) {
    m_graph.setObjectName(prefix);
    m_filter.setObjectName(prefix + QStringLiteral("Filter"));
    m_track->setObjectName(QStringLiteral("Track") + suffix);
    // Form values of both decks' taps.
    m_filter.SetVisualInterval(45);
    m_filter.SetVisualAfterDSP(false);
    m_filter.SetDSPEnabled(true);
    m_filter.SetVisualEnabled(true);
    m_filter.SetFilterGraph(&m_graph);
    m_track->SetFilterGraph(&m_graph);
}

TDeckEngine::~TDeckEngine() {
    m_track->SetFilterGraph(nullptr);
    m_graph.SetActive(false);
}

// streaming thread
void TDeckEngine::FilterPCMData(void* Buffer, std::uint32_t Size, std::uint32_t& NewSize,
                                dsp::PDSStream Stream) {
    NewSize = Size;
    m_compressor.Process(Buffer, NewSize, Stream->SampleRate, Stream->Bits, Stream->Channels,
                         Stream->Float != 0);
    m_equalizer.Process(Buffer, NewSize, Stream->Bits, Stream->Channels, Stream->Float != 0);
}

} // namespace app
