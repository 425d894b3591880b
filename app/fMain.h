#pragma once

#include "dsp/dspTypes.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTreeView;

namespace tap {
class TDCDSPFilter;
}

namespace app {

class TDeckEngine;
class TDSTrackBar;
class TFilterGraph;

// The questions and boxes the main window puts to the operator. Tests answer them without
// a modal loop.
struct TMainDialogs {
    // Yes/No question with the question-mark icon; true for Yes.
    std::function<bool(QWidget* parent, const QString& question)> confirm;
    std::function<void(QWidget* parent)> about;

    static TMainDialogs standard();
};

// The main window: both decks in the upper band with the mixing controls between them, the
// command panel at the right, the music pages at the bottom. It composes the controls and
// forwards their events; the work lives in the objects it owns. Its components carry their
// names as object names. UI thread only.
class TMain : public QWidget {
    Q_OBJECT
public:
    explicit TMain(TMainDialogs dialogs = TMainDialogs::standard(), QWidget* parent = nullptr);
    ~TMain() override;

    // False until the window is first shown; then closing asks the operator.
    bool ConfirmClose() const { return m_confirmClose; }

    // A second copy of the program asked this one to come forward.
    void bringToFront();

    void FormCreate();
    void FormShow();
    void FormResize();
    bool FormCloseQuery();
    void FormClose();
    void FormDestroy();
    // Keys seen before the focused control; true when the key was handled here.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void btQuitteClick();
    void btFindPlAudioClick();

    // The decks' taps (PCM data on the streaming thread).
    void Piste1FilterPCMData(QObject* Sender, void* Buffer, std::uint32_t Size,
                             std::uint32_t& NewSize, dsp::PDSStream Stream);
    void Piste2FilterPCMData(QObject* Sender, void* Buffer, std::uint32_t Size,
                             std::uint32_t& NewSize, dsp::PDSStream Stream);
    void Piste1FilterFlush(QObject* Sender);
    void Piste2FilterFlush(QObject* Sender);
    void Piste1FilterMediaTypeChanged(QObject* Sender, dsp::PDSStream Stream);
    void Piste2FilterMediaTypeChanged(QObject* Sender, dsp::PDSStream Stream);

    TDeckEngine& Deck(int number) { return *m_engines.at(static_cast<std::size_t>(number - 1)); }

signals:
    // The window has closed after FormClose: the program ends.
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUpperBand();
    void buildDeckEngines();
    void buildCommandPanel();
    void buildMusicPages();
    void alignControls();
    void layOutNavigation();

    // Steps of the window's life whose work belongs to the settings, decks, mixing,
    // browser, index and visual panels.
    void loadSettings();
    void saveSettings();
    void readEqualizerBands();
    void applyEqualizerBands();
    void writeEqualizerBands();
    void resetLastPositions();
    void hookIndexGrid();
    void deactivateGraphs();
    void clearGraphs();
    void resetCrossfade();
    void createVisualImages();
    void freeVisualImages();
    void setVisualModeSpectrum();
    void recomputeFadeInterval();
    void listCurrentFolder();
    void stopTimers();

    TMainDialogs m_dialogs;
    bool m_confirmClose = false;

    // Both decks' engines; the per-deck pointers below look into them.
    std::array<std::unique_ptr<TDeckEngine>, 2> m_engines;
    TFilterGraph* Piste1 = nullptr;
    TFilterGraph* Piste2 = nullptr;
    tap::TDCDSPFilter* Piste1Filter = nullptr;
    tap::TDCDSPFilter* Piste2Filter = nullptr;
    TDSTrackBar* TrackP1 = nullptr;
    TDSTrackBar* TrackP2 = nullptr;

    // Components, children of this window.
    QLabel* m_deck1 = nullptr;
    QLabel* m_deck2 = nullptr;
    QSlider* VolumeP1 = nullptr;
    QSlider* VolumeP2 = nullptr;
    QPushButton* btAutoMix = nullptr;
    QPushButton* btRandomTitre = nullptr;
    QSpinBox* edTimeMix = nullptr;
    QPushButton* btMix = nullptr;
    QWidget* PanelCommand = nullptr;
    QPushButton* btEquaAudio = nullptr;
    QPushButton* btCompresseurAudio = nullptr;
    QPushButton* btQuitte = nullptr;
    QLabel* edTime = nullptr;
    QTabWidget* pgMusic = nullptr;
    QWidget* tabNavigation = nullptr;
    QLineEdit* cbDir = nullptr;
    QTreeView* lbDossier = nullptr;
    QListWidget* lbFiles = nullptr;
    QListWidget* lbPlAudio = nullptr;
    QWidget* tabIndexation = nullptr;
    QTableView* ListMusic = nullptr;
    QPushButton* btFindPlAudio = nullptr;
};

} // namespace app
