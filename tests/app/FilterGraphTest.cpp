#include "app/FilterGraph.h"

#include "EventLoopWait.h"
#include "MediaFixtures.h"
#include "app/DSTrackBar.h"
#include "app/DeckEngine.h"
#include "tap/DCDSPFilter.h"
#include "tap/Media.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "test_filter_graph";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

using fixtures::waitFor;

// One deck's engine parts, wired as the main window wires them.
struct Deck {
    app::TFilterGraph graph;
    tap::TDCDSPFilter filter;
    std::vector<int> events;
    std::atomic<int> blocks{0};
    std::atomic<bool> formatOk{true};
    dsp::DSStream seen{};
    bool eventsOnUiThread = true;

    Deck() {
        filter.setObjectName(QStringLiteral("Piste1Filter"));
        filter.SetDSPEnabled(true);
        filter.SetOnPCMData(
            [this](QObject*, void*, std::uint32_t size, std::uint32_t& newSize, dsp::PDSStream s) {
                newSize = size;
                seen = *s;
                if (s->Size != size || size % (s->Channels * (s->Bits / 8)) != 0)
                    formatOk = false;
                ++blocks;
            });
        graph.OnDSEvent = [this](QObject*, int event, int, int) {
            eventsOnUiThread =
                eventsOnUiThread && QThread::currentThread() == application().thread();
            events.push_back(event);
        };
        filter.SetFilterGraph(&graph);
        graph.SetActive(true);
    }
    bool saw(int event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    bool waitEvent(int event) {
        return waitFor([&] { return saw(event); });
    }
};

class FilterGraphTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        application();
        ASSERT_TRUE(tap::initialiseMedia());
        s_dir = new QTemporaryDir;
        ASSERT_TRUE(fixtures::writeWav(path("tone.wav"), 44100, 2, 0.6));
        ASSERT_TRUE(fixtures::writeWav(path("mono.wav"), 22050, 1, 0.4));
        ASSERT_TRUE(fixtures::encodeMp3(path("tone.wav"), path("tone.mp3")));
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path(const char* name) { return s_dir->filePath(QString::fromLatin1(name)); }
    static QTemporaryDir* s_dir;
};
QTemporaryDir* FilterGraphTest::s_dir = nullptr;

TEST(VolumeMapping, ClampsAndSendsHundredthsOfADecibel) {
    struct Case {
        int volume;
        int hundredths;
        double gain;
    };
    const Case cases[] = {{12000, 0, 1.0},
                          {10000, 0, 1.0},
                          {5000, -5000, std::pow(10.0, -2.5)},
                          {0, -10000, 0.0},
                          {-5, -10000, 0.0}};
    for (const Case& c : cases) {
        EXPECT_EQ(app::VolumeToHundredthsDb(c.volume), c.hundredths) << c.volume;
        EXPECT_NEAR(app::HundredthsDbToGain(app::VolumeToHundredthsDb(c.volume)), c.gain, 1e-9)
            << c.volume;
    }
    EXPECT_DOUBLE_EQ(app::BalanceToPanorama(0), 0.0);
    EXPECT_NEAR(app::BalanceToPanorama(-10000), -1.0, 1e-9); // right side silent
    EXPECT_NEAR(app::BalanceToPanorama(2000), 0.9, 1e-9);    // left side at -20 dB
}

TEST_F(FilterGraphTest, InactiveGraphReportsNothingAndIgnoresClear) {
    app::TFilterGraph graph;
    EXPECT_EQ(graph.State(), 0);
    EXPECT_EQ(graph.Duration(), 0u);
    graph.ClearGraph();
    EXPECT_NE(graph.RenderFile(path("tone.wav")), 0u);
    graph.SetVolume(12000);
    EXPECT_EQ(graph.Volume(), 10000);
    graph.SetVolume(-5);
    EXPECT_EQ(graph.Volume(), 0);
    graph.SetBalance(-20000);
    EXPECT_EQ(graph.Balance(), -10000);
}

TEST_F(FilterGraphTest, VolumeAndBalanceReachTheEngineAndSurviveARender) {
    Deck deck;
    deck.graph.SetVolume(5000);
    deck.graph.SetBalance(2000);
    deck.graph.RenderFile(path("tone.wav"));
    EXPECT_NEAR(deck.graph.EngineGain(), std::pow(10.0, -2.5), 1e-6);
    EXPECT_NEAR(deck.graph.EnginePanorama(), 0.9, 1e-6);
    deck.graph.SetVolume(0);
    EXPECT_EQ(deck.graph.EngineGain(), 0.0);
}

struct PlayCase {
    const char* file;
    std::uint32_t rate;
    std::uint32_t channels;
};

TEST_F(FilterGraphTest, PlaysWavAndMp3ThroughTheTap) {
    const PlayCase cases[] = {
        {"tone.wav", 44100, 2}, {"mono.wav", 22050, 1}, {"tone.mp3", 44100, 2}};
    Deck deck;
    for (const PlayCase& c : cases) {
        deck.events.clear();
        deck.blocks = 0;
        ASSERT_EQ(deck.graph.RenderFile(path(c.file)), 0u) << c.file;
        EXPECT_EQ(deck.graph.State(), 1);
        EXPECT_NEAR(deck.graph.Duration(), c.rate == 44100 ? 600 : 400, 60) << c.file;
        EXPECT_TRUE(deck.graph.Play());
        EXPECT_EQ(deck.graph.State(), 3);
        ASSERT_TRUE(deck.waitEvent(app::kEcComplete)) << c.file;
        EXPECT_GT(deck.blocks.load(), 0) << c.file;
        EXPECT_TRUE(deck.formatOk.load());
        EXPECT_EQ(deck.seen.SampleRate, c.rate) << c.file;
        EXPECT_EQ(deck.seen.Channels, c.channels) << c.file;
        EXPECT_TRUE(deck.seen.Bits == 16 || deck.seen.Bits == 32) << c.file;
        EXPECT_TRUE(deck.eventsOnUiThread);
    }
}

TEST_F(FilterGraphTest, PauseRaisesEventFourteenOnTheUiThread) {
    Deck deck;
    ASSERT_EQ(deck.graph.RenderFile(path("tone.wav")), 0u);
    deck.graph.Pause(); // the cueing pause after a load
    ASSERT_TRUE(deck.waitEvent(app::kEcPaused));
    EXPECT_EQ(deck.graph.State(), 2);
    deck.events.clear();
    deck.graph.Play();
    ASSERT_TRUE(waitFor([&] { return deck.blocks.load() > 0; }));
    deck.graph.Pause();
    ASSERT_TRUE(deck.waitEvent(app::kEcPaused));
    EXPECT_EQ(std::count(deck.events.begin(), deck.events.end(), app::kEcPaused), 1);
    EXPECT_TRUE(deck.eventsOnUiThread);
}

TEST_F(FilterGraphTest, ClearGraphKeepsTheTapForTheNextRender) {
    Deck deck;
    ASSERT_EQ(deck.graph.RenderFile(path("tone.wav")), 0u);
    deck.graph.Play();
    ASSERT_TRUE(deck.waitEvent(app::kEcComplete));
    deck.graph.ClearGraph();
    EXPECT_EQ(deck.graph.State(), 1);
    EXPECT_EQ(deck.graph.Duration(), 0u);
    EXPECT_NE(GST_OBJECT_PARENT(deck.filter.PlatformFilter()), nullptr);
    deck.blocks = 0;
    deck.events.clear();
    ASSERT_EQ(deck.graph.RenderFile(path("tone.mp3")), 0u);
    deck.graph.Play();
    ASSERT_TRUE(deck.waitEvent(app::kEcComplete));
    EXPECT_GT(deck.blocks.load(), 0);
}

TEST_F(FilterGraphTest, FailedRendersCarryTheEngineMessageAndLeaveTheDeckUsable) {
    ASSERT_TRUE(fixtures::writeFile(path("corrupt.mp3"), QByteArray(20000, '\x5a')));
    ASSERT_TRUE(
        fixtures::writeFile(path("notes.txt"), QByteArray("Liste des titres\n").repeated(400)));
    QByteArray wav = fixtures::wavBytes(44100, 2, 100, fixtures::tone());
    wav[8] = 'X'; // not a WAVE header any more
    ASSERT_TRUE(fixtures::writeFile(path("broken.wav"), wav));
    const char* bad[] = {"corrupt.mp3", "notes.txt", "broken.wav", "vanished.mp3"};
    const QRegularExpression form(QStringLiteral("^.+ \\(\\$[0-9a-f]+\\)\\.$"));
    Deck deck;
    for (const char* file : bad) {
        try {
            deck.graph.RenderFile(path(file));
            ADD_FAILURE() << file << " rendered";
        } catch (const app::TFilterGraphError& e) {
            EXPECT_TRUE(form.match(QString::fromUtf8(e.what())).hasMatch()) << e.what();
            EXPECT_NE(e.Code(), 0u);
        }
        EXPECT_EQ(deck.graph.State(), 1) << file;
        ASSERT_EQ(deck.graph.RenderFile(path("tone.wav")), 0u) << "after " << file;
    }
    try {
        deck.graph.RenderFile(path("vanished.mp3"));
    } catch (const app::TFilterGraphError& e) {
        EXPECT_EQ(e.Code(), app::kFileNotFound);
    }
}

TEST_F(FilterGraphTest, DecodeErrorHalfWayEndsThePlayAndTheDeckGoesOn) {
    QFile mp3(path("tone.mp3"));
    ASSERT_TRUE(mp3.open(QIODevice::ReadOnly));
    QByteArray bytes = mp3.readAll();
    for (int i = bytes.size() / 2; i < bytes.size(); i += 3)
        bytes[i] = static_cast<char>(i * 31);
    ASSERT_TRUE(fixtures::writeFile(path("halfbad.mp3"), bytes));
    Deck deck;
    ASSERT_EQ(deck.graph.RenderFile(path("halfbad.mp3")), 0u);
    deck.graph.Play();
    ASSERT_TRUE(
        waitFor([&] { return deck.saw(app::kEcComplete) || deck.saw(app::kEcErrorAbort); }));
    deck.events.clear();
    ASSERT_EQ(deck.graph.RenderFile(path("tone.wav")), 0u);
    deck.graph.Play();
    EXPECT_TRUE(deck.waitEvent(app::kEcComplete));
}

// Left channel: number of the 100-ms step; right channel: milliseconds into the step.
TEST_F(FilterGraphTest, VisualBlockIsTheAudioBeingHeard) {
    constexpr std::uint32_t kRate = 16000;
    ASSERT_TRUE(
        fixtures::writeWav(path("steps.wav"), kRate, 2, 2.5, [](std::uint32_t f, std::uint32_t c) {
            const std::uint32_t ms = f * 1000 / kRate;
            return static_cast<std::int16_t>(c == 0 ? (ms / 100) * 1000 : ms % 100);
        }));
    Deck deck;
    std::vector<std::int64_t> offsets;
    deck.filter.OnVisualData = [&](QObject*, const void* buffer, std::uint32_t size,
                                   dsp::PDSStream) {
        const auto position = deck.graph.CurrentPosition();
        if (!position || size < 4)
            return;
        const auto* s = static_cast<const std::int16_t*>(buffer);
        const std::int64_t heardMs = std::int64_t{s[0] / 1000} * 100 + s[1];
        offsets.push_back(heardMs - *position / 10000);
    };
    deck.filter.SetVisualInterval(45);
    deck.filter.SetVisualEnabled(true);
    ASSERT_EQ(deck.graph.RenderFile(path("steps.wav")), 0u);
    deck.graph.Play();
    ASSERT_TRUE(deck.waitEvent(app::kEcComplete));
    deck.filter.SetVisualEnabled(false);
    ASSERT_GT(offsets.size(), 10u);
    const auto [lo, hi] = std::minmax_element(offsets.begin(), offsets.end());
    RecordProperty("offset_ms_min", static_cast<int>(*lo));
    RecordProperty("offset_ms_max", static_cast<int>(*hi));
    for (std::int64_t d : offsets)
        EXPECT_LE(std::abs(d), 50) << "visual block " << d << " ms from the position";
}

TEST_F(FilterGraphTest, SeekFlushesTheTapAndTheEqualiserHook) {
    Deck deck;
    std::atomic<int> flushes{0};
    deck.filter.OnFlush = [&](QObject*) {
        ++flushes;
    };
    ASSERT_EQ(deck.graph.RenderFile(path("tone.wav")), 0u);
    deck.graph.Play();
    ASSERT_TRUE(waitFor([&] { return deck.blocks.load() > 0; }));
    deck.graph.SeekToStart();
    EXPECT_TRUE(waitFor([&] { return flushes.load() > 0; }));
}

TEST_F(FilterGraphTest, TrackBarTicksOnlyWhilePlaying) {
    Deck deck;
    app::TDSTrackBar track;
    track.SetFilterGraph(&deck.graph);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ticks;
    track.OnTimer = [&](QObject*, std::uint32_t pos, std::uint32_t stop) {
        ticks.emplace_back(pos, stop);
    };
    ASSERT_EQ(deck.graph.RenderFile(path("tone.wav")), 0u);
    EXPECT_FALSE(track.Ticking());
    deck.graph.Play();
    EXPECT_TRUE(track.Ticking());
    track.Tick();
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_NEAR(ticks[0].second, 600u, 60u);
    EXPECT_EQ(track.minimum(), 0);
    EXPECT_EQ(track.maximum(), 0); // shorter than one interval
    track.SeekToSlider();          // Max 0 never fails
    deck.graph.Pause();
    EXPECT_FALSE(track.Ticking());
    deck.graph.Play();
    deck.graph.Stop();
    EXPECT_FALSE(track.Ticking());
    track.SetFilterGraph(nullptr);
}

TEST_F(FilterGraphTest, TrackBarSeeksToTheReleasedPosition) {
    ASSERT_TRUE(fixtures::writeWav(path("long.wav"), 8000, 1, 4.0));
    Deck deck;
    app::TDSTrackBar track;
    track.SetFilterGraph(&deck.graph);
    ASSERT_EQ(deck.graph.RenderFile(path("long.wav")), 0u);
    deck.graph.Pause();
    ASSERT_TRUE(deck.waitEvent(app::kEcPaused));
    track.Tick();
    EXPECT_EQ(track.maximum(), 4);
    track.setValue(2);
    track.SeekToSlider();
    ASSERT_TRUE(waitFor([&] {
        const auto p = deck.graph.CurrentPosition();
        return p && std::abs(*p / 10000 - 2000) < 50;
    }));
    track.SetFilterGraph(nullptr);
}

TEST_F(FilterGraphTest, DeckEngineNamesItsPartsAndRunsCompressorThenEqualiser) {
    QWidget area;
    area.resize(200, 100);
    app::TDeckEngine deck(QStringLiteral("Piste2"), QStringLiteral("P2"), &area);
    EXPECT_EQ(deck.Graph().objectName(), QStringLiteral("Piste2"));
    EXPECT_EQ(deck.Filter().objectName(), QStringLiteral("Piste2Filter"));
    EXPECT_EQ(deck.Track().objectName(), QStringLiteral("TrackP2"));
    EXPECT_EQ(deck.Track().parent(), &area);
    EXPECT_EQ(deck.Filter().VisualInterval(), 45);
    EXPECT_TRUE(deck.Filter().VisualEnabled());
    EXPECT_TRUE(deck.Filter().DSPEnabled());
    EXPECT_FALSE(deck.Filter().VisualAfterDSP());

    dsp::DSStream stream;
    stream.SampleRate = 44100;
    stream.Channels = 2;
    stream.Bits = 16;
    std::vector<std::int16_t> block(4096, 1000);
    std::uint32_t newSize = 0;
    const auto size = static_cast<std::uint32_t>(block.size() * 2);
    stream.Size = size;
    deck.Compressor().setEnabled(false);
    deck.Equalizer().SetEnabled(false);
    deck.FilterPCMData(block.data(), size, newSize, &stream);
    EXPECT_EQ(newSize, size);
    EXPECT_EQ(block[100], 1000); // both processors off: untouched
    deck.Compressor().setEnabled(true);
    deck.Compressor().setGainDB(6.0f);
    deck.FilterPCMData(block.data(), size, newSize, &stream);
    EXPECT_EQ(newSize, size);
    EXPECT_NE(block[100], 1000);
    deck.FilterFlush();
    deck.FilterMediaTypeChanged();
}

} // namespace
