#include "app/fInit.h"

#include "app/JpegImage.h"

#include <QFile>
#include <QLabel>
#include <QPalette>
#include <QScreen>

// The splash picture lives in this library's resources, which a static library must
// register itself.
static void registerResources() {
    static bool registered = false;
    if (!registered)
        Q_INIT_RESOURCE(tuval);
    registered = true;
}

namespace app {
namespace {

constexpr int kTextHeightPx = 29;
constexpr int kTextTop = 20;

std::optional<QImage> splashPicture() {
    registerResources();
    QFile file(":/app/images/splash.jpg");
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    return decodeJpeg({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size())});
}

} // namespace

TINIT::TINIT(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_picture(new QLabel(this))
    , m_text(new QLabel(QStringLiteral("Chargement en cours ..."), this)) {
    setObjectName("INIT");
    setFixedSize(kSize);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    m_picture->setGeometry(rect());
    if (const auto picture = splashPicture())
        m_picture->setPixmap(QPixmap::fromImage(*picture));

    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(kTextHeightPx);
    m_text->setFont(font);
    m_text->setStyleSheet(QStringLiteral("color: red; background: transparent;"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setGeometry(0, kTextTop, kSize.width(), kTextHeightPx * 3 / 2);
    centreOnScreen();
}

void TINIT::centreOnScreen() {
    if (const QScreen* where = screen())
        move(where->geometry().center() - rect().center());
}

} // namespace app
