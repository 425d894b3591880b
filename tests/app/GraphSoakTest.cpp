// Loads, plays, seeks, pauses and clears one deck a thousand times; the live heap must not
// grow. Run by hand: ctest -L soak.

#include "EventLoopWait.h"
#include "MediaFixtures.h"
#include "app/DeckEngine.h"
#include "tap/Media.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime: bytes the program holds, without ASan's quarantine.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

std::size_t liveHeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

using fixtures::waitFor;

TEST(GraphSoak, ThousandCyclesKeepTheHeapFlat) {
    int argc = 1;
    char name[] = "test_graph_soak";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    ASSERT_TRUE(tap::initialiseMedia());
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("a.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("b.mp3"));
    ASSERT_TRUE(fixtures::writeWav(wav, 44100, 2, 0.5));
    ASSERT_TRUE(fixtures::encodeMp3(wav, mp3));

    QWidget area;
    app::TDeckEngine deck(QStringLiteral("Piste1"), QStringLiteral("P1"), &area);
    deck.Compressor().setEnabled(true);
    deck.Equalizer().SetEnabled(true);
    deck.Filter().SetOnPCMData([&](QObject*, void* b, std::uint32_t s, std::uint32_t& n,
                                   dsp::PDSStream st) { deck.FilterPCMData(b, s, n, st); });
    deck.Filter().OnFlush = [&](QObject*) {
        deck.FilterFlush();
    };
    int paused = 0;
    deck.Graph().OnDSEvent = [&](QObject*, int event, int, int) {
        if (event == app::kEcPaused)
            ++paused;
    };
    deck.Graph().SetActive(true);

    // TUVAL_SOAK_CYCLES shortens or lengthens a run by hand.
    const char* cycles = std::getenv("TUVAL_SOAK_CYCLES");
    const int kCycles = cycles != nullptr ? std::max(10, std::atoi(cycles)) : 1000;
    const int kSettled = kCycles / 10;
    std::size_t settled = 0;
    for (int i = 0; i < kCycles; ++i) {
        ASSERT_EQ(deck.Graph().RenderFile(i % 2 ? mp3 : wav), 0u) << "cycle " << i;
        deck.Graph().Play();
        ASSERT_TRUE(waitFor([&] { return deck.Graph().CurrentPosition().value_or(0) > 100'000; }))
            << "cycle " << i;
        deck.Graph().SeekToStart();
        const int before = paused;
        deck.Graph().Pause();
        ASSERT_TRUE(waitFor([&] { return paused > before; })) << "cycle " << i;
        deck.Graph().ClearGraph();
        QCoreApplication::processEvents();
        if (i + 1 == kSettled)
            settled = liveHeapBytes();
    }
    const std::size_t final = liveHeapBytes();
    const double growth = static_cast<double>(final) - static_cast<double>(settled);
    RecordProperty("heap_growth_bytes", std::to_string(growth));
    EXPECT_LT(growth, 1024.0 * 1024) << "live heap grew from " << settled << " to " << final;
}

} // namespace
