// Forward transforms of our engine (SSE and portable, natural and scrambled order) against
// FFTW (measured plan, in place, interleaved complex) and KissFFT, in one run.
//
// The buffers hold zeros: the kernels' speed does not depend on the values, and zeros keep
// repeated in-place forward transforms finite (any other input overflows within a few dozen
// iterations).

#include "dsp/dspFastFourier.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fftw3.h>
#include <kiss_fft.h>
#include <map>
#include <utility>
#include <vector>
#include <xmmintrin.h>

namespace {

using dsp::TComplex;
using dsp::TFFTImplementation;

constexpr int kSizes[] = {64, 256, 1024, 4096, 8192};

void tuval(benchmark::State& state, TFFTImplementation implementation, bool reOrder) {
    if (!dsp::FFTImplementationAvailable(implementation)) {
        state.SkipWithError("implementation not available");
        return;
    }
    const int n = int(state.range(0));
    dsp::TDCFFT fft; // aligned buffers
    for (auto _ : state) {
        dsp::ComplexFFT(implementation, fft.ComplexBuffer(), n, false, fft.ReorderBuffer(), reOrder,
                        true);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

// Runs `transform` `runs` times in one block and keeps in `best` the fastest time per run seen
// so far, in nanoseconds.
template <typename Transform>
void fastestBlock(double& best, int runs, Transform&& transform) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i)
        transform();
    benchmark::ClobberMemory();
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count() / runs);
}

double nanosecondsPerRun(fftwf_plan plan) {
    double best = 1e30;
    for (int round = 0; round < 20; ++round)
        fastestBlock(best, 20, [plan] { fftwf_execute(plan); });
    return best;
}

// FFTW's aligned buffer of n zeros; freed with fftwf_free.
fftwf_complex* zeroedBuffer(int n) {
    auto* data = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * std::size_t(n)));
    for (int i = 0; i < n; ++i)
        data[i][0] = data[i][1] = 0.0f;
    return data;
}

// On a busy machine FFTW_MEASURE can settle on a slow plan; planning a few times from fresh
// wisdom and keeping the fastest plan gives FFTW its best showing.
fftwf_plan bestMeasuredPlan(int n, fftwf_complex* data) {
    fftwf_plan best = nullptr;
    double bestTime = 1e30;
    for (int attempt = 0; attempt < 3; ++attempt) {
        fftwf_forget_wisdom();
        // FFTW's backward sign is e^(+i...), the sign of our forward transform.
        fftwf_plan plan = fftwf_plan_dft_1d(n, data, data, FFTW_BACKWARD, FFTW_MEASURE);
        const double time = nanosecondsPerRun(plan);
        if (time < bestTime) {
            std::swap(best, plan);
            bestTime = time;
        }
        if (plan != nullptr)
            fftwf_destroy_plan(plan);
    }
    return best;
}

void fftw(benchmark::State& state) {
    const int n = int(state.range(0));
    fftwf_complex* data = zeroedBuffer(n);
    // Planned once per size, whatever the number of repetitions.
    static std::map<int, fftwf_plan> plans;
    if (plans.find(n) == plans.end())
        plans[n] = bestMeasuredPlan(n, data);
    for (auto _ : state) {
        fftwf_execute_dft(plans[n], data, data);
        benchmark::ClobberMemory();
    }
    fftwf_free(data);
    state.SetItemsProcessed(state.iterations());
}

void kiss(benchmark::State& state) {
    const int n = int(state.range(0));
    kiss_fft_cfg config = kiss_fft_alloc(n, 1, nullptr, nullptr);
    // Out of place: KissFFT copies through a temporary buffer when run in place.
    const auto length = static_cast<std::size_t>(n);
    std::vector<kiss_fft_cpx> in(length, kiss_fft_cpx{0, 0});
    std::vector<kiss_fft_cpx> out(length);
    for (auto _ : state) {
        kiss_fft(config, in.data(), out.data());
        benchmark::ClobberMemory();
    }
    kiss_fft_free(config);
    state.SetItemsProcessed(state.iterations());
}

// Vector additions the SSE transform issues: the pass of a segment of n takes n of them, the
// straight-line kernels their fixed counts.
int sseAdditions(int n) {
    switch (n) {
    case 2:
        return 1;
    case 4:
        return 4;
    case 8:
        return 14;
    case 16:
        return 38;
    case 32:
        return 98;
    default:
        return n + sseAdditions(n / 2) + 2 * sseAdditions(n / 4);
    }
}

// Issues `count` independent 4-float additions and nothing else: the time the additions of a
// transform take at the processor's addition throughput, a floor no SSE code can go under.
void additionsAlone(int count) {
#if defined(__x86_64__)
    __m128 one = _mm_set1_ps(1.0f);
    __m128 sum[8] = {};
    for (int i = 0; i < count; i += 8) {
        for (__m128& s : sum)
            asm volatile("addps %1, %0" : "+x"(s) : "x"(one));
    }
    benchmark::DoNotOptimize(sum);
#else
    (void)count;
#endif
}

// Our SSE transform and FFTW's plan timed in alternating blocks within one benchmark, so that
// the ratio is not skewed by the machine speeding up or slowing down between benchmarks; the
// fastest block of each side is kept. The additions of our transform alone are timed the same
// way, for the best ratio any SSE code could reach.
void versusFFTW(benchmark::State& state, bool reOrder) {
    if (!dsp::FFTImplementationAvailable(TFFTImplementation::SSE)) {
        state.SkipWithError("implementation not available");
        return;
    }
    const int n = int(state.range(0));
    dsp::TDCFFT fft;
    fftwf_complex* data = zeroedBuffer(n);
    const fftwf_plan plan = bestMeasuredPlan(n, data);
    const int runs = std::max(4, 32768 / n);
    double ours = 1e30;
    double theirs = 1e30;
    double floor = 1e30;
    for (auto _ : state) {
        fastestBlock(floor, runs, [n] { additionsAlone(sseAdditions(n)); });
        fastestBlock(ours, runs, [&] {
            dsp::ComplexFFT(TFFTImplementation::SSE, fft.ComplexBuffer(), n, false,
                            fft.ReorderBuffer(), reOrder, true);
        });
        fastestBlock(theirs, runs, [&] { fftwf_execute(plan); });
    }
    state.counters["ours_ns"] = ours;
    state.counters["fftw_ns"] = theirs;
    state.counters["ratio"] = ours / theirs;
    // The ratio an SSE transform would reach if it did its additions and nothing else.
    state.counters["floor_ratio"] = floor / theirs;
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}

// The machine is shared: the fastest of several repetitions is the figure least disturbed
// by other work (run with --benchmark_repetitions=N).
double fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

void sizes(benchmark::internal::Benchmark* b) {
    for (const int n : kSizes)
        b->Arg(n);
    b->ComputeStatistics("min", fastest);
}

BENCHMARK_CAPTURE(tuval, SSE_scrambled, TFFTImplementation::SSE, false)->Apply(sizes);
BENCHMARK_CAPTURE(tuval, SSE_natural, TFFTImplementation::SSE, true)->Apply(sizes);
BENCHMARK_CAPTURE(tuval, portable_scrambled, TFFTImplementation::Portable, false)->Apply(sizes);
BENCHMARK_CAPTURE(tuval, portable_natural, TFFTImplementation::Portable, true)->Apply(sizes);
BENCHMARK(fftw)->Apply(sizes);
BENCHMARK(kiss)->Apply(sizes);
BENCHMARK_CAPTURE(versusFFTW, SSE_scrambled, false)->Apply(sizes)->MinTime(1.0);
BENCHMARK_CAPTURE(versusFFTW, SSE_natural, true)->Apply(sizes)->MinTime(1.0);

} // namespace

BENCHMARK_MAIN();
