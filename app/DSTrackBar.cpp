#include "app/DSTrackBar.h"

#include <QMouseEvent>

namespace app {

TDSTrackBar::TDSTrackBar(QWidget* parent)
    : QSlider(Qt::Horizontal, parent) {
    setRange(5000, 10000);
    setPageStep(500);
    setValue(5000);
    m_timer.setInterval(static_cast<int>(m_interval));
    connect(&m_timer, &QTimer::timeout, this, &TDSTrackBar::Tick);
}

TDSTrackBar::~TDSTrackBar() {
    SetFilterGraph(nullptr);
}

void TDSTrackBar::SetFilterGraph(TFilterGraph* graph) {
    if (graph == m_graph)
        return;
    if (m_graph != nullptr)
        m_graph->RemoveControl(this);
    m_graph = graph;
    m_bound = graph != nullptr && graph->Active();
    m_timer.stop();
    if (m_graph != nullptr)
        m_graph->InsertControl(this);
}

void TDSTrackBar::GraphDestroyed() {
    m_timer.stop();
    m_graph = nullptr;
    m_bound = false;
}

void TDSTrackBar::SetTimerInterval(std::uint32_t ms) {
    m_interval = ms == 0 ? 1 : ms;
    m_timer.setInterval(static_cast<int>(m_interval));
}

void TDSTrackBar::ControlNotify(int notice, int param) {
    switch (notice) {
    case kNoticePlay:
        if (isEnabled())
            m_timer.start();
        break;
    case kNoticePause:
    case kNoticeStop:
        m_timer.stop();
        break;
    case kNoticeActivation:
        m_bound = param != 0;
        if (!m_bound)
            m_timer.stop();
        break;
    default:
        break;
    }
}

void TDSTrackBar::Tick() {
    if (m_holding || !m_bound || m_graph == nullptr)
        return;
    const auto duration = static_cast<std::uint32_t>(m_graph->StopPosition().value_or(0) / 10000);
    const auto position =
        static_cast<std::uint32_t>(m_graph->CurrentPosition().value_or(0) / 10000);
    setMinimum(0);
    setMaximum(static_cast<int>(duration / m_interval));
    setValue(static_cast<int>(position / m_interval));
    if (OnTimer)
        OnTimer(this, position, duration);
}

void TDSTrackBar::SeekToSlider() {
    // A stream shorter than one interval has Max 0: there is nothing to seek to.
    if (!m_bound || m_graph == nullptr || maximum() <= 0)
        return;
    const std::optional<std::int64_t> stop = m_graph->StopPosition();
    if (!stop)
        return;
    m_graph->SetCurrentPosition(*stop * value() / maximum());
}

void TDSTrackBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_holding = true;
    QSlider::mousePressEvent(event);
}

void TDSTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    SeekToSlider();
    m_holding = false;
}

} // namespace app
