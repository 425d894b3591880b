#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace app {

// The picture a deck's controls are drawn over: a dark brushed panel with a bevelled frame
// and a faint platter in the accent colour.
QImage renderDeckBackground(QSize size, QColor accent);

} // namespace app
