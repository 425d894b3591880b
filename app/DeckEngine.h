#pragma once

#include "app/DSTrackBar.h"
#include "app/FilterGraph.h"
#include "dsp/dspCompressor.h"
#include "dsp/dspEqualizer.h"
#include "tap/DCDSPFilter.h"

#include <QString>
#include <cstdint>

namespace app {

// One deck's audio engine, written once and instantiated per deck: the playback graph
// (Piste1), its tap (Piste1Filter), its position slider (TrackP1) and its processors
// (Piste1Compressor, Piste1Equalizer). Everything that differs between the decks is the
// prefix given at construction. UI thread, except the PCM hook.
class TDeckEngine {
public:
    // prefix "Piste1" and suffix "P1" name the components; the slider becomes a child of
    // trackParent.
    TDeckEngine(const QString& prefix, const QString& suffix, QWidget* trackParent);
    ~TDeckEngine();
    TDeckEngine(const TDeckEngine&) = delete;
    TDeckEngine& operator=(const TDeckEngine&) = delete;

    TFilterGraph& Graph() { return m_graph; }
    tap::TDCDSPFilter& Filter() { return m_filter; }
    TDSTrackBar& Track() { return *m_track; }
    dsp::TDCCompressor& Compressor() { return m_compressor; }
    dsp::TDCEqualizer& Equalizer() { return m_equalizer; }

    // The tap's hooks (streaming thread for PCM data): compressor, then equaliser, in
    // place and at the same length.
    void FilterPCMData(void* Buffer, std::uint32_t Size, std::uint32_t& NewSize,
                       dsp::PDSStream Stream);
    void FilterFlush() { m_equalizer.Flush(); }
    void FilterMediaTypeChanged() { FilterFlush(); }

private:
    TFilterGraph m_graph;
    tap::TDCDSPFilter m_filter;
    TDSTrackBar* m_track; // owned by its parent widget
    dsp::TDCCompressor m_compressor;
    dsp::TDCEqualizer m_equalizer;
};

} // namespace app
