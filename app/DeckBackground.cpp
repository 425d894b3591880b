#include "app/DeckBackground.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace app {

QImage renderDeckBackground(QSize size, QColor accent) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(image.rect()).adjusted(1, 1, -1, -1);

    QLinearGradient panel(frame.topLeft(), frame.bottomLeft());
    panel.setColorAt(0, QColor(38, 40, 48));
    panel.setColorAt(0.5, QColor(18, 19, 24));
    panel.setColorAt(1, QColor(8, 8, 10));
    painter.setPen(QPen(accent.darker(160), 2));
    painter.setBrush(panel);
    painter.drawRoundedRect(frame, 10, 10);

    // Brushed-metal streaks.
    painter.setPen(QPen(QColor(255, 255, 255, 10), 1));
    for (int y = 6; y < size.height() - 6; y += 3)
        painter.drawLine(QPointF(8, y), QPointF(size.width() - 8, y));

    const qreal radius = size.height() * 0.42;
    const QPointF centre(size.width() - radius * 0.55, size.height() - radius * 0.55);
    QRadialGradient platter(centre, radius);
    QColor glow = accent;
    glow.setAlpha(70);
    platter.setColorAt(0, glow);
    platter.setColorAt(0.25, QColor(0, 0, 0, 40));
    platter.setColorAt(1, QColor(0, 0, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(platter);
    painter.setClipRect(frame.adjusted(2, 2, -2, -2));
    painter.drawEllipse(centre, radius, radius);
    painter.setBrush(Qt::NoBrush);
    for (qreal r = radius * 0.3; r < radius; r += 9) {
        painter.setPen(QPen(QColor(accent.red(), accent.green(), accent.blue(), 28), 1));
        painter.drawEllipse(centre, r, r);
    }
    return image;
}

} // namespace app
