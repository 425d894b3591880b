// CPU cost of the tap: one deck plays a generated 10-minute MP3 to the end as fast as the
// machine allows (sink not synchronised), once through the tap with the compressor and the
// equaliser on, once through the same pipeline without the tap. Reports CPU seconds per
// second of audio for both and their ratio.

#include "app/FilterGraph.h"
#include "dsp/dspCompressor.h"
#include "dsp/dspEqualizer.h"
#include "tap/DCDSPFilter.h"
#include "tap/Media.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace {

constexpr int kSeconds = 600;

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A 10-minute stereo MP3, made once next to the program.
QString tenMinuteMp3() {
    const QString path = QDir(QCoreApplication::applicationDirPath())
                             .filePath(QStringLiteral("bench_tap_10min.mp3"));
    if (QFileInfo::exists(path))
        return path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("aevalsrc=0.4*sin(2*PI*(220+110*sin(t/7))*t)|"
                                 "0.4*sin(2*PI*(330+55*sin(t/5))*t):s=44100:d=%1")
                      .arg(kSeconds),
                  QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
                  QStringLiteral("192k"), path});
    ffmpeg.waitForFinished(-1);
    return ffmpeg.exitCode() == 0 ? path : QString();
}

// Plays the file to its end and returns the CPU seconds the process spent.
double playToEnd(app::TFilterGraph& graph, const QString& file) {
    bool done = false;
    graph.OnDSEvent = [&](QObject*, int event, int, int) {
        done = done || event == app::kEcComplete || event == app::kEcErrorAbort;
    };
    graph.RenderFile(file);
    const double start = processCpuSeconds();
    graph.Play();
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    const double used = processCpuSeconds() - start;
    graph.ClearGraph();
    return used;
}

struct TappedDeck {
    app::TFilterGraph graph;
    tap::TDCDSPFilter filter;
    dsp::TDCCompressor compressor;
    dsp::TDCEqualizer equalizer;

    TappedDeck() {
        compressor.setEnabled(true);
        equalizer.SetEnabled(true);
        for (int band = 0; band < 512; ++band)
            equalizer.SetBand(0, band, static_cast<std::int8_t>(band % 2 ? 20 : -20));
        filter.SetDSPEnabled(true);
        filter.SetOnPCMData([this](QObject*, void* buffer, std::uint32_t size,
                                   std::uint32_t& newSize, dsp::PDSStream s) {
            newSize = size;
            compressor.Process(buffer, newSize, *s);
            equalizer.Process(buffer, newSize, *s);
        });
        filter.SetFilterGraph(&graph);
        graph.SetActive(true);
    }
};

void BM_DeckCpuPerAudioSecond(benchmark::State& state) {
    const QString file = tenMinuteMp3();
    if (file.isEmpty()) {
        state.SkipWithError("cannot generate the MP3 with ffmpeg");
        return;
    }
    double tapped = 0;
    double plain = 0;
    for (auto _ : state) {
        TappedDeck deck;
        tapped = playToEnd(deck.graph, file);
        app::TFilterGraph bare;
        bare.SetActive(true);
        plain = playToEnd(bare, file);
        state.SetIterationTime(tapped + plain);
    }
    state.counters["with_tap_cpu_s_per_audio_s"] = tapped / kSeconds;
    state.counters["without_tap_cpu_s_per_audio_s"] = plain / kSeconds;
    state.counters["ratio"] = plain > 0 ? tapped / plain : 0;
}
BENCHMARK(BM_DeckCpuPerAudioSecond)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    setenv("TUVAL_AUDIO_SINK", "fakesink sync=false", 1);
    QCoreApplication app(argc, argv);
    tap::initialiseMedia();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
