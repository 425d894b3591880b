#include "app/Application.h"
#include "app/Journal.h"
#include "app/SingleInstance.h"
#include "app/fInit.h"
#include "app/fMain.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <fstream>
#include <memory>

using app::Application;
using app::TInstanceLock;
using app::TMain;

namespace {

// Answers the main window's questions and counts them.
struct Operator {
    bool answer = true;
    int questions = 0;
    int aboutBoxes = 0;
    QString lastQuestion;

    app::TMainDialogs dialogs() {
        return {
            [this](QWidget*, const QString& question) {
                ++questions;
                lastQuestion = question;
                return answer;
            },
            [this](QWidget*) { ++aboutBoxes; },
        };
    }
};

// Counts the key presses a control receives.
class KeyCounter : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            ++presses;
        return false;
    }
};

template <typename T>
T* child(TMain& main, const char* name) {
    T* control = main.findChild<T*>(QString::fromLatin1(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<app::TJournal> m_journal;
    std::unique_ptr<app::JournalScope> m_scope;
    Operator m_operator;

    std::filesystem::path folder() const { return m_folder->path().toStdString(); }

    // Journal messages written so far, as "Label] text" without the time stamp.
    QStringList journal() const {
        std::ifstream in(m_journal->fileName(), std::ios::binary);
        QStringList messages;
        for (std::string line; std::getline(in, line);) {
            const auto cut = line.find("][");
            if (cut != std::string::npos)
                messages << QString::fromStdString(line.substr(cut + 2)).trimmed();
        }
        return messages;
    }
    int count(const QString& message) const { return journal().filter(message).size(); }

    // A started and shown first copy.
    std::unique_ptr<Application> startShown(const TInstanceLock& lock) {
        auto shell = std::make_unique<Application>(lock, m_operator.dialogs());
        if (!shell->start() || !shell->showMain())
            qFatal("the first copy did not start");
        if (!QTest::qWaitForWindowExposed(&shell->main()))
            qFatal("the main window was not shown");
        return shell;
    }

private slots:
    void init() {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        m_journal = std::make_unique<app::TJournal>(folder(), "tuval");
        QVERIFY(m_journal->isWriting());
        m_scope = std::make_unique<app::JournalScope>(*m_journal);
        m_operator = Operator{};
    }

    void cleanup() {
        m_scope.reset();
        m_journal.reset();
        m_folder.reset();
    }

    void lockIsNamedAfterTheExecutableInUpperCase() {
        QCOMPARE(TInstanceLock::lockNameFor("/usr/local/bin/tuval"), std::string("TUVAL"));
        QCOMPARE(TInstanceLock::lockNameFor("Zem.exe"), std::string("ZEM.EXE"));
    }

    void lockIsHeldByOneCopyAtATime() {
        auto first = std::make_unique<TInstanceLock>("TUVAL", folder());
        QVERIFY(!first->isSecondInstance());
        QVERIFY(TInstanceLock("TUVAL", folder()).isSecondInstance());
        QVERIFY(!TInstanceLock("OTHER", folder()).isSecondInstance());
        first.reset();
        QVERIFY(!TInstanceLock("TUVAL", folder()).isSecondInstance());
    }

    void secondCopyKnocksOnTheFirst() {
        const TInstanceLock firstLock("TUVAL", folder());
        app::TSingleInstance first(firstLock);
        QSignalSpy knocks(&first, &app::TSingleInstance::activationRequested);
        // A socket left by a copy that crashed does not stop the next one from listening.
        QLocalServer stale;
        QVERIFY(stale.listen(firstLock.socketPath()));
        stale.close();
        QVERIFY(first.listen());

        const TInstanceLock secondLock("TUVAL", folder());
        const app::TSingleInstance second(secondLock);
        QVERIFY(second.isSecondInstance());
        QVERIFY(!app::TSingleInstance(secondLock).listen());
        QVERIFY(second.activateFirst());
        QTRY_COMPARE(knocks.size(), 1);
    }

    void secondCopyWithoutFirstReachesNobody() {
        const TInstanceLock lock("TUVAL", folder());
        QVERIFY(!app::TSingleInstance(lock).activateFirst());
    }

    void splashIsABorderlessBlackPictureWithItsText() {
        app::TINIT splash;
        QCOMPARE(splash.size(), QSize(640, 480));
        QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(splash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(splash.palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(splash.geometry().center(), splash.screen()->geometry().center());

        QLabel* picture = nullptr;
        QLabel* text = nullptr;
        for (QLabel* label : splash.findChildren<QLabel*>())
            (label->text().isEmpty() ? picture : text) = label;
        QVERIFY(picture && text);
        QCOMPARE(picture->pixmap().size(), QSize(640, 480));
        QCOMPARE(text->text(), QStringLiteral("Chargement en cours ..."));
        QCOMPARE(text->font().family(), QStringLiteral("Arial"));
        QVERIFY(text->font().bold());
        QCOMPARE(text->font().pixelSize(), 29);
        QVERIFY(text->geometry().bottom() < 240);
    }

    void mainWindowLayout() {
        const TInstanceLock lock("TUVAL", folder());
        auto shell = startShown(lock);
        TMain& main = shell->main();
        QVERIFY(main.windowTitle().startsWith(QStringLiteral("ZEM v1.00 béta")));
        QVERIFY(main.windowState().testFlag(Qt::WindowMaximized));
        QCOMPARE(main.palette().color(QPalette::Window), QColor(Qt::black));

        const QSize client = main.size();
        QCOMPARE(child<QWidget>(main, "PanelCommand")->geometry(),
                 QRect(client.width() - 283, 0, 283, client.height() - 274));
        auto* pages = child<QTabWidget>(main, "pgMusic");
        QCOMPARE(pages->geometry(), QRect(0, client.height() - 274, client.width(), 274));
        QCOMPARE(pages->tabPosition(), QTabWidget::East);
        QCOMPARE(pages->count(), 2);
        QCOMPARE(pages->tabText(0), QStringLiteral("Navigation"));
        QCOMPARE(pages->tabText(1), QStringLiteral("Indexation"));
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("tabNavigation"));
        QCOMPARE(child<QWidget>(main, "imgPiste1")->geometry(), QRect(11, 8, 260, 232));
        QCOMPARE(child<QWidget>(main, "imgPiste2")->geometry(), QRect(404, 8, 260, 232));
        QCOMPARE(child<QWidget>(main, "edTime")->pos(), QPoint(844, 75));
        QCOMPARE(child<QPushButton>(main, "btQuitte")->toolTip(), QStringLiteral("Quitter"));
        for (const char* name :
             {"VolumeP1", "VolumeP2", "btAutoMix", "btRandomTitre", "edTimeMix", "btMix",
              "btEquaAudio", "btCompresseurAudio", "ListMusic", "btFindPlAudio"})
            QVERIFY2(main.findChild<QWidget*>(name), name);
    }

    void navigationListsAfterStart() {
        const TInstanceLock lock("TUVAL", folder());
        auto shell = startShown(lock);
        TMain& main = shell->main();
        const int tabHeight = child<QWidget>(main, "tabNavigation")->height();
        const int editHeight = child<QLineEdit>(main, "cbDir")->height();
        auto* files = child<QListWidget>(main, "lbFiles");
        auto* playlist = child<QListWidget>(main, "lbPlAudio");
        QCOMPARE(child<QTreeView>(main, "lbDossier")->height(), tabHeight - editHeight);
        QCOMPARE(files->height(), tabHeight);
        QCOMPARE(playlist->height(), tabHeight);
        QCOMPARE(files->y(), 0);
        QVERIFY(files->isVisible());
        QVERIFY(playlist->y() + playlist->height() <= 0);
        QVERIFY(playlist->y() > -playlist->height() - 155);
    }

    void startThenQuitWritesFormCreateToFormClose() {
        {
            const TInstanceLock lock("TUVAL", folder());
            auto shell = startShown(lock);
            QVERIFY(shell->main().ConfirmClose());
            QSignalSpy closed(&shell->main(), &TMain::closed);
            QTest::mouseClick(child<QPushButton>(shell->main(), "btQuitte"), Qt::LeftButton);
            QCOMPARE(m_operator.questions, 1);
            QCOMPARE(m_operator.lastQuestion, QStringLiteral("Désirez-vous quitter?"));
            QCOMPARE(closed.size(), 1);
            QVERIFY(!shell->main().isVisible());
        }
        const QStringList lines = journal();
        QVERIFY(lines.first().startsWith("Start  ] Processus"));
        const auto create = lines.indexOf("Begin  ] Form Create");
        const auto resize = lines.indexOf("Info   ] Resize Form : Main");
        const auto close = lines.indexOf(QRegularExpression(
            QStringLiteral("^End    \\] Form Close - Temps écoulé: \\d\\d:\\d\\d:\\d\\d$")));
        QVERIFY(create > 0);
        QVERIFY(resize > create);
        QVERIFY(close > resize);
        QCOMPARE(close, lines.size() - 1);
    }

    void quitAnsweredNoKeepsRunning() {
        const TInstanceLock lock("TUVAL", folder());
        auto shell = startShown(lock);
        m_operator.answer = false;
        QSignalSpy closed(&shell->main(), &TMain::closed);
        QTest::mouseClick(child<QPushButton>(shell->main(), "btQuitte"), Qt::LeftButton);
        QVERIFY(!shell->main().close());
        QCOMPARE(m_operator.questions, 2);
        QCOMPARE(closed.size(), 0);
        QVERIFY(shell->main().isVisible());
        QCOMPARE(count("Form Close"), 0);

        m_operator.answer = true;
        QVERIFY(shell->main().close());
        QCOMPARE(closed.size(), 1);
        QCOMPARE(count("Form Close"), 1);
    }

    void closingBeforeTheFirstShowAsksNothing() {
        TMain main(m_operator.dialogs());
        QVERIFY(!main.ConfirmClose());
        QVERIFY(main.close());
        QCOMPARE(m_operator.questions, 0);
        QCOMPARE(count("Form Close"), 1);
    }

    void functionKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("handled");
        QTest::addColumn<int>("resizeLines");
        QTest::addColumn<int>("aboutBoxes");
        QTest::newRow("F1 about box") << int(Qt::Key_F1) << true << 0 << 1;
        QTest::newRow("F3 index search") << int(Qt::Key_F3) << true << 0 << 0;
        QTest::newRow("F9 layout") << int(Qt::Key_F9) << true << 1 << 0;
        for (const int key :
             {Qt::Key_F2, Qt::Key_F4, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8, Qt::Key_F10})
            QTest::newRow(qPrintable(QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1)))
                << key << false << 0 << 0;
    }

    void functionKeys() {
        QFETCH(int, key);
        QFETCH(bool, handled);
        QFETCH(int, resizeLines);
        QFETCH(int, aboutBoxes);
        const TInstanceLock lock("TUVAL", folder());
        auto shell = startShown(lock);
        auto* focused = child<QLineEdit>(shell->main(), "cbDir");
        KeyCounter counter;
        focused->installEventFilter(&counter);
        const int resizesBefore = count("Resize Form : Main");
        const QSize sizeBefore = shell->main().size();

        QTest::keyClick(focused, Qt::Key(key));
        QCOMPARE(counter.presses, handled ? 0 : 1);
        QCOMPARE(count("Resize Form : Main") - resizesBefore, resizeLines);
        QCOMPARE(m_operator.aboutBoxes, aboutBoxes);
        QCOMPARE(shell->main().size(), sizeBefore);
        QCOMPARE(m_operator.questions, 0);
    }

    void secondCopyEndsAtOnceAndBringsTheFirstForward_data() {
        QTest::addColumn<bool>("minimised");
        QTest::newRow("first copy minimised") << true;
        QTest::newRow("first copy behind another window") << false;
    }

    void secondCopyEndsAtOnceAndBringsTheFirstForward() {
        QFETCH(bool, minimised);
        const TInstanceLock firstLock("TUVAL", folder());
        auto first = startShown(firstLock);
        QWidget other;
        if (minimised) {
            first->main().showMinimized();
            QTRY_VERIFY(first->main().isMinimized());
        } else {
            other.show();
            other.activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), &other);
        }

        const TInstanceLock secondLock("TUVAL", folder());
        QVERIFY(secondLock.isSecondInstance());
        {
            Application second(secondLock, m_operator.dialogs());
            QVERIFY(!second.start());
            QVERIFY(!second.showMain());
            QCOMPARE(second.run(), 0);
            QVERIFY(!second.main().isVisible());
        }
        if (minimised)
            QTRY_VERIFY(!first->main().isMinimized());
        QTRY_COMPARE(QApplication::activeWindow(), &first->main());
        QVERIFY(first->main().isVisible());
        QCOMPARE(m_operator.questions, 0);
        QCOMPARE(count("Form Close"), 0);
        QCOMPARE(count("Form Create"), 2);
    }
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
