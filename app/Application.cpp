#include "app/Application.h"

#include "app/SingleInstance.h"
#include "app/fInit.h"
#include "dsp/formAudioCompressor.h"
#include "dsp/formAudioEqualizer.h"
#include "library/fAlpha.h"
#include "library/fClavier.h"
#include "library/fData.h"

#include <QApplication>
#include <QScreen>

namespace app {

Application::Application(const TInstanceLock& lock, TMainDialogs dialogs)
    : m_instance(std::make_unique<TSingleInstance>(lock))
    , m_dialogs(std::move(dialogs)) {
    QGuiApplication::setApplicationDisplayName(kApplicationTitle);
    // The program ends when the main window closes, whatever other window is open.
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

Application::~Application() = default;

bool Application::isSecondInstance() const {
    return m_instance->isSecondInstance();
}

bool Application::start() {
    auto splash = std::make_unique<TINIT>();
    splash->show();
    QCoreApplication::processEvents();

    m_main = std::make_unique<TMain>(m_dialogs);
    m_clavier = std::make_unique<library::TClavier>();
    m_data = std::make_unique<library::TData>();
    m_alpha = std::make_unique<library::TAlpha>();
    m_equalizerAudio = std::make_unique<dsp::TEqualizerAudio>();
    m_compressorAudio = std::make_unique<dsp::TCompressorAudio>();

    splash->hide();
    splash.reset();
    m_started = true;

    if (isSecondInstance()) {
        m_instance->activateFirst();
        return false;
    }
    m_instance->listen();
    QObject::connect(m_instance.get(), &TSingleInstance::activationRequested, m_main.get(),
                     &TMain::bringToFront);
    return true;
}

bool Application::showMain() {
    if (!m_started || isSecondInstance())
        return false;
    // Without a window manager a maximise request is not honoured: take the screen too.
    if (const QScreen* screen = m_main->screen())
        m_main->setGeometry(screen->availableGeometry());
    m_main->showMaximized();
    return true;
}

int Application::run() {
    if (!showMain())
        return 0;
    QObject::connect(m_main.get(), &TMain::closed, [] { QCoreApplication::exit(0); });
    return QCoreApplication::exec();
}

} // namespace app
