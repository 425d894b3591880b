#include "app/fMain.h"

#include "app/DeckBackground.h"
#include "app/DeckEngine.h"
#include "app/Journal.h"
#include "app/MainLayout.h"
#include "app/tuvalVersion.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

namespace app {
namespace {

constexpr int kFolderColumnWidth = 260;
constexpr int kFolderEditHeight = 24;
constexpr int kColumnGap = 4;

QPalette darkPalette(QPalette palette) {
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(220, 220, 230));
    palette.setColor(QPalette::Base, QColor(16, 16, 22));
    palette.setColor(QPalette::AlternateBase, QColor(26, 26, 34));
    palette.setColor(QPalette::Text, QColor(230, 230, 240));
    palette.setColor(QPalette::Button, QColor(40, 42, 52));
    palette.setColor(QPalette::ButtonText, QColor(235, 235, 245));
    palette.setColor(QPalette::Highlight, QColor(40, 90, 170));
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    return palette;
}

template <typename Control>
Control* named(Control* control, const char* name, QRect geometry = {}) {
    control->setObjectName(QString::fromLatin1(name));
    if (geometry.isValid())
        control->setGeometry(geometry);
    return control;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                    QRect geometry) {
    auto* control = named(new QPushButton(caption, parent), name, geometry);
    control->setToolTip(hint);
    control->setFocusPolicy(Qt::NoFocus);
    return control;
}

QLabel* deckArea(QWidget* parent, const char* name, QRect geometry, QColor accent) {
    auto* area = named(new QLabel(parent), name, geometry);
    area->setPixmap(QPixmap::fromImage(renderDeckBackground(geometry.size(), accent)));
    return area;
}

} // namespace

TMainDialogs TMainDialogs::standard() {
    return {
        [](QWidget* parent, const QString& question) {
            QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(),
                            question, QMessageBox::Yes | QMessageBox::No, parent);
            box.button(QMessageBox::Yes)->setText(QStringLiteral("Oui"));
            box.button(QMessageBox::No)->setText(QStringLiteral("Non"));
            return box.exec() == QMessageBox::Yes;
        },
        [](QWidget* parent) {
            QMessageBox::about(parent, QStringLiteral("À propos de Tuval"),
                               QStringLiteral("ZEM v1.00 béta\nTuval %1\n\n"
                                              "Lecteur de musique à deux platines.")
                                   .arg(QString::fromLatin1(kVersion)));
        },
    };
}

TMain::TMain(TMainDialogs dialogs, QWidget* parent)
    : QWidget(parent)
    , m_dialogs(std::move(dialogs)) {
    setObjectName("Main");
    setWindowTitle(QStringLiteral("ZEM v1.00 béta - Tuval %1").arg(QString::fromLatin1(kVersion)));
    setPalette(darkPalette(palette()));
    setAutoFillBackground(true);
    resize(layout::kDesignClient);

    buildUpperBand();
    buildDeckEngines();
    buildCommandPanel();
    buildMusicPages();
    alignControls();
    // Key preview: every key reaches FormKeyDown before the focused control.
    qApp->installEventFilter(this);
    loadSettings();
    FormCreate();
}

TMain::~TMain() {
    FormDestroy();
}

void TMain::buildUpperBand() {
    m_deck1 = deckArea(this, "imgPiste1", layout::kDeck1, QColor(60, 140, 255));
    m_deck2 = deckArea(this, "imgPiste2", layout::kDeck2, QColor(255, 120, 40));

    VolumeP1 = named(new QSlider(Qt::Vertical, this), "VolumeP1", {278, 14, 24, 180});
    VolumeP2 = named(new QSlider(Qt::Vertical, this), "VolumeP2", {373, 14, 24, 180});
    for (QSlider* volume : {VolumeP1, VolumeP2}) {
        volume->setRange(5000, 10000);
        volume->setValue(10000);
        volume->setFocusPolicy(Qt::NoFocus);
    }
    btAutoMix = button(this, "btAutoMix", QStringLiteral("Man."), {}, {307, 14, 62, 32});
    btAutoMix->setCheckable(true);
    btRandomTitre =
        button(this, "btRandomTitre", QStringLiteral("Aléa"),
               QStringLiteral("Change l'ordre des titres aléatoirement"), {307, 54, 62, 32});
    edTimeMix = named(new QSpinBox(this), "edTimeMix", {307, 94, 62, 28});
    edTimeMix->setRange(0, 20);
    edTimeMix->setValue(6);
    edTimeMix->setSuffix(QStringLiteral(" s"));
    btMix = button(this, "btMix", QStringLiteral("Mixage des titres"),
                   QStringLiteral("Oblige le mixage Audio entre deux titres"), {276, 204, 124, 36});
}

// What differs between the decks: names, the deck area and the handlers.
struct DeckWiring {
    const char* prefix;
    const char* suffix;
    void (TMain::*pcmData)(QObject*, void*, std::uint32_t, std::uint32_t&, dsp::PDSStream);
    void (TMain::*flush)(QObject*);
    void (TMain::*mediaTypeChanged)(QObject*, dsp::PDSStream);
};

void TMain::buildDeckEngines() {
    const DeckWiring wiring[] = {
        {"Piste1", "P1", &TMain::Piste1FilterPCMData, &TMain::Piste1FilterFlush,
         &TMain::Piste1FilterMediaTypeChanged},
        {"Piste2", "P2", &TMain::Piste2FilterPCMData, &TMain::Piste2FilterFlush,
         &TMain::Piste2FilterMediaTypeChanged},
    };
    QLabel* areas[] = {m_deck1, m_deck2};
    for (std::size_t i = 0; i < m_engines.size(); ++i) {
        const DeckWiring& w = wiring[i];
        m_engines[i] = std::make_unique<TDeckEngine>(QString::fromLatin1(w.prefix),
                                                     QString::fromLatin1(w.suffix), areas[i]);
        TDeckEngine& engine = *m_engines[i];
        engine.Track().setGeometry(8, areas[i]->height() - 28, areas[i]->width() - 16, 20);
        engine.Filter().SetOnPCMData([this, w](QObject* sender, void* buffer, std::uint32_t size,
                                               std::uint32_t& newSize, dsp::PDSStream stream) {
            (this->*w.pcmData)(sender, buffer, size, newSize, stream);
        });
        engine.Filter().OnFlush = [this, w](QObject* sender) {
            (this->*w.flush)(sender);
        };
        engine.Filter().OnMediaTypeChanged = [this, w](QObject* sender, dsp::PDSStream stream) {
            (this->*w.mediaTypeChanged)(sender, stream);
        };
    }
    Piste1 = &Deck(1).Graph();
    Piste2 = &Deck(2).Graph();
    Piste1Filter = &Deck(1).Filter();
    Piste2Filter = &Deck(2).Filter();
    TrackP1 = &Deck(1).Track();
    TrackP2 = &Deck(2).Track();
}

// streaming thread
void TMain::Piste1FilterPCMData(QObject*, void* Buffer, std::uint32_t Size, std::uint32_t& NewSize,
                                dsp::PDSStream Stream) {
    Deck(1).FilterPCMData(Buffer, Size, NewSize, Stream);
}

// streaming thread
void TMain::Piste2FilterPCMData(QObject*, void* Buffer, std::uint32_t Size, std::uint32_t& NewSize,
                                dsp::PDSStream Stream) {
    Deck(2).FilterPCMData(Buffer, Size, NewSize, Stream);
}

void TMain::Piste1FilterFlush(QObject*) {
    Deck(1).FilterFlush();
}
void TMain::Piste2FilterFlush(QObject*) {
    Deck(2).FilterFlush();
}
void TMain::Piste1FilterMediaTypeChanged(QObject*, dsp::PDSStream) {
    Deck(1).FilterMediaTypeChanged();
}
void TMain::Piste2FilterMediaTypeChanged(QObject*, dsp::PDSStream) {
    Deck(2).FilterMediaTypeChanged();
}

void TMain::buildCommandPanel() {
    PanelCommand = named(new QWidget(this), "PanelCommand");
    QPalette black = PanelCommand->palette();
    black.setColor(QPalette::Window, Qt::black);
    PanelCommand->setPalette(black);
    PanelCommand->setAutoFillBackground(true);
    btEquaAudio = button(PanelCommand, "btEquaAudio", QStringLiteral("Equalizer"),
                         QStringLiteral("Parametrage de l'Equalizer Audio"), {12, 150, 124, 36});
    btCompresseurAudio =
        button(PanelCommand, "btCompresseurAudio", QStringLiteral("Compresseur"),
               QStringLiteral("Parametrage du Compresseur Audio"), {147, 150, 124, 36});
    btQuitte = button(PanelCommand, "btQuitte", QStringLiteral("Quitter"),
                      QStringLiteral("Quitter"), {191, 196, 80, 40});
    connect(btQuitte, &QPushButton::clicked, this, &TMain::btQuitteClick);

    // The wall clock stands on the window, over the command panel's area.
    edTime = named(new QLabel(QStringLiteral("00:00"), this), "edTime", layout::kClock);
    edTime->setAlignment(Qt::AlignCenter);
    edTime->setStyleSheet(QStringLiteral("background: #400000; color: #ffff00;"
                                         "font: bold 24px 'Liberation Mono';"));
}

void TMain::buildMusicPages() {
    pgMusic = named(new QTabWidget(this), "pgMusic");
    pgMusic->setTabPosition(QTabWidget::East);
    pgMusic->setFocusPolicy(Qt::NoFocus);

    tabNavigation = named(new QWidget, "tabNavigation");
    cbDir = named(new QLineEdit(tabNavigation), "cbDir");
    lbDossier = named(new QTreeView(tabNavigation), "lbDossier");
    lbDossier->setHeaderHidden(true);
    lbFiles = named(new QListWidget(tabNavigation), "lbFiles");
    lbPlAudio = named(new QListWidget(tabNavigation), "lbPlAudio");
    pgMusic->addTab(tabNavigation, QStringLiteral("Navigation"));

    tabIndexation = named(new QWidget, "tabIndexation");
    ListMusic = named(new QTableView(tabIndexation), "ListMusic");
    ListMusic->horizontalHeader()->setStretchLastSection(true);
    btFindPlAudio = button(tabIndexation, "btFindPlAudio", QStringLiteral("Rechercher"),
                           QStringLiteral("Rechercher dans l'index"), {});
    connect(btFindPlAudio, &QPushButton::clicked, this, &TMain::btFindPlAudioClick);
    auto* indexColumn = new QVBoxLayout;
    indexColumn->addWidget(btFindPlAudio);
    indexColumn->addStretch();
    auto* indexRow = new QHBoxLayout(tabIndexation);
    indexRow->setContentsMargins(0, 0, 0, 0);
    indexRow->addWidget(ListMusic, 1);
    indexRow->addLayout(indexColumn);
    pgMusic->addTab(tabIndexation, QStringLiteral("Indexation"));

    pgMusic->setCurrentWidget(tabNavigation);
}

// The two bands follow the window's edges; everything else keeps its design place.
void TMain::alignControls() {
    const BandGeometry bands = alignBands(size());
    PanelCommand->setGeometry(bands.commandPanel);
    pgMusic->setGeometry(bands.musicPages);
    btQuitte->move(bands.commandPanel.width() - btQuitte->width() - 12,
                   bands.commandPanel.height() - btQuitte->height() - 12);
    edTime->raise();
}

void TMain::layOutNavigation() {
    const NavigationHeights heights = navigationHeights(tabNavigation->height(), kFolderEditHeight);
    const int listLeft = kFolderColumnWidth + kColumnGap;
    const int listWidth = std::max(0, tabNavigation->width() - listLeft);
    cbDir->setGeometry(0, 0, kFolderColumnWidth, kFolderEditHeight);
    lbDossier->setGeometry(0, kFolderEditHeight, kFolderColumnWidth, heights.folderTree);
    lbFiles->setGeometry(listLeft, lbFiles->y(), listWidth, heights.fileList);
    lbPlAudio->setGeometry(listLeft, lbPlAudio->y(), listWidth, heights.playlist);
}

void TMain::FormCreate() {
    Journal().WriteLine("Form Create", JournalLevel::Begin);
    // Drags start only past the platform's drag threshold: Qt's views and sliders do so.
    m_confirmClose = false;
    readEqualizerBands();
    resetLastPositions();
    hookIndexGrid();
    deactivateGraphs();
    resetCrossfade();
    // Qt widgets are double-buffered already.
    createVisualImages();
    applyEqualizerBands();
    setVisualModeSpectrum();
}

void TMain::FormShow() {
    m_confirmClose = true;
    loadSettings();
    recomputeFadeInterval();
    listCurrentFolder();
    lbPlAudio->move(lbPlAudio->x(), lbFiles->y());
    FormResize();
    lbPlAudio->move(lbPlAudio->x(), hiddenPlaylistTop(lbPlAudio->y(), lbPlAudio->height()));
}

void TMain::FormResize() {
    Journal().WriteLine("Resize Form : Main", JournalLevel::Info);
    layOutNavigation();
}

bool TMain::FormCloseQuery() {
    if (!m_confirmClose)
        return true;
    return m_dialogs.confirm(this, QStringLiteral("Désirez-vous quitter?"));
}

void TMain::FormClose() {
    writeEqualizerBands();
    stopTimers();
    clearGraphs();
    saveSettings();
    Journal().WriteLine("Form Close", JournalLevel::End);
}

void TMain::FormDestroy() {
    freeVisualImages();
}

bool TMain::FormKeyDown(int key, Qt::KeyboardModifiers) {
    switch (key) {
    case Qt::Key_F1:
        m_dialogs.about(this);
        return true;
    case Qt::Key_F3:
        btFindPlAudioClick();
        return true;
    case Qt::Key_F9:
        FormResize();
        return true;
    default:
        return false;
    }
}

void TMain::btQuitteClick() {
    close();
}

void TMain::btFindPlAudioClick() {}

void TMain::bringToFront() {
    if (isMinimized()) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
    } else {
        raise();
        activateWindow();
    }
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    if (static_cast<QWidget*>(watched)->window() != this)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    return FormKeyDown(key->key(), key->modifiers());
}

void TMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    alignControls();
    FormResize();
}

void TMain::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    saveSettings();
    FormClose();
    event->accept();
    emit closed();
}

void TMain::loadSettings() {}
void TMain::saveSettings() {}
void TMain::readEqualizerBands() {}
void TMain::applyEqualizerBands() {}
void TMain::writeEqualizerBands() {}
void TMain::resetLastPositions() {}
void TMain::hookIndexGrid() {}
void TMain::deactivateGraphs() {
    Piste1->SetActive(false);
    Piste2->SetActive(false);
}

void TMain::clearGraphs() {
    Piste1->ClearGraph();
    Piste2->ClearGraph();
}
void TMain::resetCrossfade() {}
void TMain::createVisualImages() {}
void TMain::freeVisualImages() {}
void TMain::setVisualModeSpectrum() {}
void TMain::recomputeFadeInterval() {}
void TMain::listCurrentFolder() {}
void TMain::stopTimers() {}

} // namespace app
