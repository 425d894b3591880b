#pragma once

#include "app/fMain.h"

#include <QString>
#include <memory>

namespace dsp {
class TCompressorAudio;
class TEqualizerAudio;
} // namespace dsp
namespace library {
class TAlpha;
class TClavier;
class TData;
} // namespace library

namespace app {

class TINIT;
class TInstanceLock;
class TSingleInstance;

// The application's title, by which a second copy finds the first.
inline const QString kApplicationTitle = QStringLiteral("Brelt Tuval");

// The program's windows and their order of life: splash, windows in order, splash freed,
// message loop until the main window closes, windows destroyed in reverse order. The
// journal and the single-instance lock exist before it and outlive it. UI thread only.
class Application {
public:
    // Needs the QApplication object; sets the application's title.
    explicit Application(const TInstanceLock& lock,
                         TMainDialogs dialogs = TMainDialogs::standard());
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Shows the splash, creates the windows, frees the splash. A second copy then asks the
    // first to come forward; false for it, it ends without showing anything.
    bool start();
    // Shows the main window maximised; false (nothing shown) for a second copy.
    bool showMain();
    // Shows the main window and runs the message loop until it closes; a second copy
    // returns at once. The exit code.
    int run();

    TMain& main() { return *m_main; }
    bool isSecondInstance() const;

private:
    std::unique_ptr<TSingleInstance> m_instance;
    TMainDialogs m_dialogs;
    bool m_started = false;
    std::unique_ptr<TMain> m_main;
    std::unique_ptr<library::TClavier> m_clavier;
    std::unique_ptr<library::TData> m_data;
    std::unique_ptr<library::TAlpha> m_alpha;
    std::unique_ptr<dsp::TEqualizerAudio> m_equalizerAudio;
    std::unique_ptr<dsp::TCompressorAudio> m_compressorAudio;
};

} // namespace app
