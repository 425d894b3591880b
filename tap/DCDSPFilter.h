#pragma once

#include "dsp/dspTypes.h"
#include "tap/AudioFilterCore.h"
#include "tap/FilterComponent.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <mutex>

namespace tap {

using TPCMNotifyEvent = std::function<void(QObject* Sender, void* Buffer, std::uint32_t Size,
                                           std::uint32_t& NewSize, dsp::PDSStream Stream)>;
using TVisualNotifyEvent = std::function<void(QObject* Sender, const void* Buffer,
                                              std::uint32_t Size, dsp::PDSStream Stream)>;
using TMediaTypeNotifyEvent = std::function<void(QObject* Sender, dsp::PDSStream Stream)>;
using TNotifyEvent = std::function<void(QObject* Sender)>;

// The component half of a deck's PCM tap. Owns the tap element, exposes its settings, raises
// its events, and every VisualInterval ms hands the block being heard to OnVisualData.
//
// Threads: properties, the filter-graph binding and OnVisualData belong to the UI thread.
// OnPCMData runs on the streaming thread under the component's lock (its setter takes the
// lock too). OnMediaTypeChanged and OnFlush may run on the streaming thread or on the thread
// that seeks; assign them before the graph becomes active.
class TDCDSPFilter : public QObject, public IDSFilterComponent, private IDCDSPFilterCallBack {
    Q_OBJECT
    Q_PROPERTY(bool VisualEnabled READ VisualEnabled WRITE SetVisualEnabled)
    Q_PROPERTY(int VisualInterval READ VisualInterval WRITE SetVisualInterval)
    Q_PROPERTY(bool VisualAfterDSP READ VisualAfterDSP WRITE SetVisualAfterDSP)
    Q_PROPERTY(bool DSPEnabled READ DSPEnabled WRITE SetDSPEnabled)
    Q_PROPERTY(bool DelayEnabled READ DelayEnabled WRITE SetDelayEnabled)
    Q_PROPERTY(int Delay READ Delay WRITE SetDelay)

public:
    explicit TDCDSPFilter(QObject* parent = nullptr);
    ~TDCDSPFilter() override;
    TDCDSPFilter(const TDCDSPFilter&) = delete;
    TDCDSPFilter& operator=(const TDCDSPFilter&) = delete;

    bool VisualEnabled() const { return m_visualEnabled; }
    void SetVisualEnabled(bool v);
    int VisualInterval() const { return m_visualInterval; }
    void SetVisualInterval(int ms);
    bool VisualAfterDSP() const { return m_visualAfterDSP; }
    void SetVisualAfterDSP(bool v);
    bool DSPEnabled() const { return m_dspEnabled.load(); }
    void SetDSPEnabled(bool v) { m_dspEnabled.store(v); }
    bool DelayEnabled() const;
    void SetDelayEnabled(bool v);
    int Delay() const;
    void SetDelay(int ms);

    IDSFilterList* FilterGraph() const { return m_graph; }
    void SetFilterGraph(IDSFilterList* graph);

    void SetOnPCMData(TPCMNotifyEvent handler);
    TVisualNotifyEvent OnVisualData;
    TMediaTypeNotifyEvent OnMediaTypeChanged;
    TNotifyEvent OnFlush;

    // The tap's core, for the visual read and for tests.
    AudioFilterCore* Core() const { return m_core; }

    // IDSFilterComponent (UI thread)
    GstElement* PlatformFilter() override { return m_element; }
    QString ComponentName() const override { return objectName(); }
    void FilterListNotify(int code) override;
    void GraphDestroyed() override { m_graph = nullptr; }

    // One visual tick, as the timer runs it.
    void VisualTick();

private:
    // IDCDSPFilterCallBack
    std::int32_t PCMData(void* Buffer, std::uint32_t Size, std::uint32_t& NewSize,
                         dsp::PDSStream Stream) override;
    std::int32_t MediaTypeChanged(dsp::PDSStream Stream) override;
    std::int32_t Flush() override;

    GstElement* m_element = nullptr; // owned reference
    AudioFilterCore* m_core = nullptr;
    IDSFilterList* m_graph = nullptr;
    QTimer m_timer;
    std::mutex m_lock;
    TPCMNotifyEvent m_onPCMData;
    bool m_visualEnabled = false;
    int m_visualInterval = 40;
    bool m_visualAfterDSP = false;
    std::atomic<bool> m_dspEnabled{false};
};

} // namespace tap
