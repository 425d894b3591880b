#pragma once

#include "app/FilterGraph.h"

#include <QSlider>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace app {

// A deck's position slider bound to its graph (UI thread). It ticks only while the graph
// plays; each tick sets Min 0, Max and Position in TimerInterval units (whole seconds with
// 1000) and raises OnTimer with the position and the duration in ms. Dragging and releasing
// with the left button seeks; while held it does not follow the graph.
class TDSTrackBar : public QSlider, public IDSControlComponent {
    Q_OBJECT

public:
    using TTimerEvent =
        std::function<void(QObject* Sender, std::uint32_t CurrentPos, std::uint32_t StopPos)>;

    explicit TDSTrackBar(QWidget* parent = nullptr);
    ~TDSTrackBar() override;
    TDSTrackBar(const TDSTrackBar&) = delete;
    TDSTrackBar& operator=(const TDSTrackBar&) = delete;

    TFilterGraph* FilterGraph() const { return m_graph; }
    void SetFilterGraph(TFilterGraph* graph);
    std::uint32_t TimerInterval() const { return m_interval; }
    void SetTimerInterval(std::uint32_t ms);
    bool Ticking() const { return m_timer.isActive(); }

    TTimerEvent OnTimer;

    // One tick, as the timer runs it.
    void Tick();
    // The left-button release: seeks to the slider's position.
    void SeekToSlider();

    // IDSControlComponent
    void ControlNotify(int notice, int param) override;
    void ControlEvent(int, int, int) override {}
    void GraphDestroyed() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TFilterGraph* m_graph = nullptr;
    QTimer m_timer;
    std::uint32_t m_interval = 1000;
    bool m_bound = false;   // bound to the graph's seeking interface
    bool m_holding = false; // the operator holds the slider
};

} // namespace app
