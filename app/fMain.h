#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTreeView;

namespace app {

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
