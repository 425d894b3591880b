#include "dsp/dspFastFourier.h"
#include "dsp/dspFastFourierKernels.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace dsp {
namespace {

using Spectrum = std::vector<std::complex<double>>;

constexpr int kLengths[] = {2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192};
constexpr TFFTImplementation kImplementations[] = {TFFTImplementation::Portable,
                                                   TFFTImplementation::SSE};

const char* nameOf(TFFTImplementation implementation) {
    return implementation == TFFTImplementation::SSE ? "SSE" : "portable";
}

std::vector<TComplex> randomSignal(int n, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<TComplex> signal(static_cast<std::size_t>(n));
    for (TComplex& c : signal) {
        c.re = float(double(generator()) / 4294967295.0 * 2.0 - 1.0);
        c.im = float(double(generator()) / 4294967295.0 * 2.0 - 1.0);
    }
    return signal;
}

// Direct forward transform in double precision, not normalised.
Spectrum directDft(const std::vector<TComplex>& x) {
    const std::size_t n = x.size();
    std::vector<double> cosines(n), sines(n);
    for (std::size_t m = 0; m < n; ++m) {
        cosines[m] = std::cos(2.0 * std::numbers::pi * double(m) / double(n));
        sines[m] = std::sin(2.0 * std::numbers::pi * double(m) / double(n));
    }
    Spectrum result(n);
    for (std::size_t k = 0; k < n; ++k) {
        double re = 0, im = 0;
        std::size_t m = 0; // k * j mod n
        for (std::size_t j = 0; j < n; ++j, m = (m + k) & (n - 1)) {
            re += x[j].re * cosines[m] - x[j].im * sines[m];
            im += x[j].re * sines[m] + x[j].im * cosines[m];
        }
        result[k] = {re, im};
    }
    return result;
}

// The inverse transform of x is its forward transform read backwards.
Spectrum mirrored(const Spectrum& forward) {
    Spectrum result(forward.size());
    for (std::size_t k = 0; k < forward.size(); ++k)
        result[k] = forward[(forward.size() - k) % forward.size()];
    return result;
}

// sqrt(sum |got - expected|^2 / sum |expected|^2), `got` read through `position`.
template <typename Position>
double relativeRms(const TComplex* got, const Spectrum& expected, Position position) {
    double error = 0, energy = 0;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const TComplex& g = got[position(k)];
        error += std::norm(std::complex<double>(g.re, g.im) - expected[k]);
        energy += std::norm(expected[k]);
    }
    return std::sqrt(error / energy);
}

// The engine stays well inside a few units of eps * log2 N (measured: below a quarter).
double allowedError(int n) {
    return std::numeric_limits<float>::epsilon() * std::log2(double(n));
}

std::vector<TComplex> run(TFFTImplementation implementation, std::vector<TComplex> data,
                          bool inverse, bool reOrder, bool scale) {
    ComplexFFT(implementation, data.data(), int(data.size()), inverse, nullptr, reOrder, scale);
    return data;
}

TEST(ScrambleTables, FollowTheDoublingRule) {
    const auto equals = [](std::span<const std::uint16_t> table, std::vector<std::uint16_t> e) {
        return std::vector<std::uint16_t>(table.begin(), table.end()) == e;
    };
    EXPECT_TRUE(equals(ScrambleTable(2), {0, 1}));
    EXPECT_TRUE(equals(ScrambleTable(4), {0, 2, 1, 3}));
    EXPECT_TRUE(equals(ScrambleTable(8), {0, 4, 2, 7, 1, 5, 3, 6}));
    EXPECT_TRUE(equals(ScrambleTable(16), {0, 8, 4, 14, 2, 10, 7, 13, 1, 9, 5, 15, 3, 11, 6, 12}));
    EXPECT_TRUE(ScrambleTable(3).empty());
    EXPECT_TRUE(ScrambleTable(16384).empty());
    for (const int n : kLengths) {
        std::vector<std::uint16_t> sorted(ScrambleTable(n).begin(), ScrambleTable(n).end());
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(sorted[std::size_t(i)], i) << "table " << n << " is not a permutation";
    }
}

TEST(TwiddleTables, HoldAnEighthFrom1024UpAndAreWalkedMirrored) {
    const fft::Tables& tables = fft::Tables::instance();
    const int lengths[] = {32, 64, 128, 256, 512, 1024, 2048, 4096, 8192};
    const int entries[] = {7, 15, 31, 63, 127, 127, 255, 511, 1023};
    for (int t = 0; t < 9; ++t) {
        const int n = lengths[t];
        const auto table = tables.twiddles(n);
        ASSERT_EQ(int(table.size()), entries[t] + 1) << n;
        const double step = 2.0 * std::numbers::pi / n;
        for (int j = 0; j <= entries[t]; ++j) {
            ASSERT_NEAR(table[j].re, std::cos(j * step), 6e-8) << n << " " << j;
            ASSERT_NEAR(table[j].im, std::sin(j * step), 6e-8) << n << " " << j;
        }
        for (int k = 0; k < n / 4; ++k) {
            const TComplex w = tables.twiddle(n, k);
            ASSERT_NEAR(w.re, std::cos(k * step), 6e-8) << n << " " << k;
            ASSERT_NEAR(w.im, std::sin(k * step), 6e-8) << n << " " << k;
        }
    }
    EXPECT_TRUE(tables.twiddles(16).empty());
    // Above an eighth the entry of the mirrored angle serves with its parts exchanged.
    EXPECT_EQ(tables.twiddle(1024, 128).re, 0.70710677f);
    EXPECT_EQ(tables.twiddle(1024, 200).re, tables.twiddles(1024)[56].im);
    EXPECT_EQ(tables.twiddle(1024, 200).im, tables.twiddles(1024)[56].re);
}

TEST(Forward, Length4ScrambledLayout) {
    for (const TFFTImplementation implementation : kImplementations) {
        const std::vector<TComplex> x{{1, 2}, {3, 5}, {7, 11}, {13, 17}};
        const std::vector<TComplex> y = run(implementation, x, false, false, true);
        // X0, X2, X1, X3 with X1 = (x0 - x2) + i (x1 - x3).
        const TComplex expected[] = {{24, 35}, {-8, -9}, {6, -19}, {-18, 1}};
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(y[k].re, expected[k].re) << nameOf(implementation) << " position " << k;
            EXPECT_EQ(y[k].im, expected[k].im) << nameOf(implementation) << " position " << k;
        }
    }
}

TEST(Forward, ImpulseAtOneGivesPositiveExponent) {
    for (const TFFTImplementation implementation : kImplementations) {
        for (const int n : kLengths) {
            std::vector<TComplex> x(static_cast<std::size_t>(n));
            x[1] = {1, 0};
            const std::vector<TComplex> y = run(implementation, x, false, true, true);
            for (int k = 0; k < n; ++k) {
                const double angle = 2.0 * std::numbers::pi * k / n;
                ASSERT_NEAR(y[k].re, std::cos(angle), 1e-6) << n << " " << k;
                ASSERT_NEAR(y[k].im, std::sin(angle), 1e-6) << n << " " << k;
            }
            if (n > 2) {
                EXPECT_GT(y[1].im, 0.0f);
            }
        }
    }
}

// Both directions, both orders, both implementations, every length, against the direct sum.
TEST(Accuracy, MatchesTheDirectTransformAtEveryLength) {
    for (const int n : kLengths) {
        const std::vector<TComplex> x = randomSignal(n, 1000u + unsigned(n));
        const Spectrum forward = directDft(x);
        const Spectrum inverse = mirrored(forward);
        const auto scramble = ScrambleTable(n);
        for (const TFFTImplementation implementation : kImplementations) {
            SCOPED_TRACE(testing::Message() << nameOf(implementation) << " n=" << n);
            const auto natural = [](std::size_t k) {
                return k;
            };
            const auto scrambled = [&](std::size_t k) {
                return scramble[k];
            };
            EXPECT_LT(
                relativeRms(run(implementation, x, false, true, true).data(), forward, natural),
                allowedError(n));
            EXPECT_LT(
                relativeRms(run(implementation, x, false, false, true).data(), forward, scrambled),
                allowedError(n));
            // The inverse takes natural-order input with reordering, scrambled without.
            std::vector<TComplex> shuffled(x.size());
            for (int k = 0; k < n; ++k)
                shuffled[scramble[k]] = x[std::size_t(k)];
            EXPECT_LT(
                relativeRms(run(implementation, x, true, true, false).data(), inverse, natural),
                allowedError(n));
            EXPECT_LT(relativeRms(run(implementation, shuffled, true, false, false).data(), inverse,
                                  natural),
                      allowedError(n));
        }
    }
}

TEST(Implementations, AgreeWithinSinglePrecisionRounding) {
    if (!FFTImplementationAvailable(TFFTImplementation::SSE))
        GTEST_SKIP() << "no SSE implementation on this processor";
    for (const int n : kLengths) {
        const std::vector<TComplex> x = randomSignal(n, 7u * unsigned(n));
        for (const bool inverse : {false, true}) {
            const auto a = run(TFFTImplementation::Portable, x, inverse, false, false);
            const auto b = run(TFFTImplementation::SSE, x, inverse, false, false);
            double worst = 0;
            for (int k = 0; k < n; ++k)
                worst = std::max({worst, double(std::abs(a[k].re - b[k].re)),
                                  double(std::abs(a[k].im - b[k].im))});
            // Values grow to about sqrt(n); allow one rounding per pass at that size.
            EXPECT_LT(worst, std::numeric_limits<float>::epsilon() * std::sqrt(double(n)) *
                                 std::log2(double(n)))
                << "n=" << n << (inverse ? " inverse" : " forward");
        }
    }
}

TEST(TDCFFT, StartsWithDefaultsAndZeroedAlignedBuffers) {
    TDCFFT fft;
    EXPECT_EQ(fft.FFTSize(), TDCFFTSize::fts512);
    EXPECT_EQ(fft.FFTSizeInt(), 512);
    EXPECT_TRUE(fft.Scale());
    EXPECT_TRUE(fft.ReOrder());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(fft.ComplexBuffer()) % 16, 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(fft.ReorderBuffer()) % 16, 0u);
    for (int i = 0; i < kMaxFFTLength; ++i) {
        ASSERT_EQ(fft.ComplexBuffer()[i].re, 0.0f);
        ASSERT_EQ(fft.ComplexBuffer()[i].im, 0.0f);
    }
    for (int s = 0; s <= 12; ++s) {
        fft.setFFTSize(TDCFFTSize(s));
        EXPECT_EQ(fft.FFTSizeInt(), 2 << s);
    }
}

void expectRoundTrip(TDCFFT& fft, float factor, float tolerance) {
    const int n = fft.FFTSizeInt();
    const std::vector<TComplex> x = randomSignal(n, 99u + unsigned(n));
    std::copy(x.begin(), x.end(), fft.ComplexBuffer());
    fft.Forward();
    fft.Inverse();
    float worst = 0;
    for (int i = 0; i < n; ++i) {
        worst = std::max(worst, std::abs(fft.ComplexBuffer()[i].re - factor * x[i].re));
        worst = std::max(worst, std::abs(fft.ComplexBuffer()[i].im - factor * x[i].im));
    }
    EXPECT_LT(worst, tolerance) << "n=" << n << " reorder=" << fft.ReOrder()
                                << " scale=" << fft.Scale();
}

TEST(TDCFFT, RoundTripsWithAndWithoutReordering) {
    TDCFFT fft;
    for (int s = 0; s <= 12; ++s) {
        fft.setFFTSize(TDCFFTSize(s));
        for (const bool reOrder : {true, false}) {
            fft.setReOrder(reOrder);
            fft.setScale(true);
            expectRoundTrip(fft, 1.0f, 1e-5f);
            fft.setScale(false);
            const float n = float(fft.FFTSizeInt());
            expectRoundTrip(fft, n, 1e-5f * n);
        }
    }
}

TEST(TDCFFT, ScrambledSpectraMultiplyIntoACircularConvolution) {
    constexpr int kN = 64;
    const std::vector<TComplex> x = randomSignal(kN, 5), h = randomSignal(kN, 6);
    TDCFFT a, b;
    for (TDCFFT* fft : {&a, &b}) {
        fft->setFFTSize(TDCFFTSize::fts64);
        fft->setReOrder(false);
    }
    std::copy(x.begin(), x.end(), a.ComplexBuffer());
    std::copy(h.begin(), h.end(), b.ComplexBuffer());
    a.Forward();
    b.Forward();
    for (int k = 0; k < kN; ++k) {
        const std::complex<float> p =
            std::complex<float>(a.ComplexBuffer()[k].re, a.ComplexBuffer()[k].im) *
            std::complex<float>(b.ComplexBuffer()[k].re, b.ComplexBuffer()[k].im);
        a.ComplexBuffer()[k] = {p.real(), p.imag()};
    }
    a.Inverse();
    for (int m = 0; m < kN; ++m) {
        std::complex<double> expected;
        for (int j = 0; j < kN; ++j) {
            const TComplex& xj = x[std::size_t(j)];
            const TComplex& hj = h[std::size_t((m - j + kN) % kN)];
            expected += std::complex<double>(xj.re, xj.im) * std::complex<double>(hj.re, hj.im);
        }
        EXPECT_NEAR(a.ComplexBuffer()[m].re, expected.real(), 1e-4) << m;
        EXPECT_NEAR(a.ComplexBuffer()[m].im, expected.imag(), 1e-4) << m;
    }
}

TEST(TDCFFT, ClearZeroesTheWholeBufferWhateverTheSize) {
    TDCFFT fft;
    fft.setFFTSize(TDCFFTSize::fts2);
    std::fill_n(fft.ComplexBuffer(), kMaxFFTLength, TComplex{1.5f, -2.5f});
    fft.Clear();
    for (int i = 0; i < kMaxFFTLength; ++i) {
        ASSERT_EQ(fft.ComplexBuffer()[i].re, 0.0f) << i;
        ASSERT_EQ(fft.ComplexBuffer()[i].im, 0.0f) << i;
    }
}

TEST(TDCFFT, TwoPointInverseIsTheScaledButterfly) {
    TDCFFT fft;
    fft.setFFTSize(TDCFFTSize::fts2);
    for (const bool reOrder : {true, false}) {
        fft.setReOrder(reOrder);
        fft.ComplexBuffer()[0] = {3.0f, -1.0f};
        fft.ComplexBuffer()[1] = {1.0f, 5.0f};
        fft.Inverse();
        EXPECT_EQ(fft.ComplexBuffer()[0].re, 2.0f);
        EXPECT_EQ(fft.ComplexBuffer()[0].im, 2.0f);
        EXPECT_EQ(fft.ComplexBuffer()[1].re, 1.0f);
        EXPECT_EQ(fft.ComplexBuffer()[1].im, -3.0f);
    }
}

TEST(TDCFFT, TransformsOnlyTheFirstNValues) {
    TDCFFT fft;
    fft.setFFTSize(TDCFFTSize::fts16);
    std::fill_n(fft.ComplexBuffer(), 32, TComplex{1.0f, 0.0f});
    fft.Forward();
    EXPECT_EQ(fft.ComplexBuffer()[0].re, 16.0f);
    for (int i = 16; i < 32; ++i)
        EXPECT_EQ(fft.ComplexBuffer()[i].re, 1.0f) << i;
}

TEST(FreeRoutines, ComplexFFTIgnoresLengthsItCannotTransform) {
    std::vector<TComplex> data = randomSignal(16384, 3);
    const std::vector<TComplex> original = data;
    for (const int n : {0, 1, 3, 6, 12, 100, 16384, -8}) {
        ComplexFFT(data.data(), n, false, nullptr, true, true);
        ComplexFFT(data.data(), n, true, nullptr, true, true);
    }
    EXPECT_TRUE(std::equal(data.begin(), data.end(), original.begin(),
                           [](auto a, auto b) { return a.re == b.re && a.im == b.im; }));
}

TEST(FreeRoutines, ComplexFFTAcceptsAnUnalignedBuffer) {
    for (const TFFTImplementation implementation : kImplementations) {
        const std::vector<TComplex> x = randomSignal(256, 11);
        std::vector<TComplex> storage(257);
        TComplex* shifted = storage.data() + 1; // 8 bytes off a 16-byte boundary
        if (reinterpret_cast<std::uintptr_t>(shifted) % 16 == 0)
            shifted = storage.data();
        std::copy(x.begin(), x.end(), shifted);
        ComplexFFT(implementation, shifted, 256, false, nullptr, true, true);
        const std::vector<TComplex> y = run(implementation, x, false, true, true);
        for (int k = 0; k < 256; ++k)
            ASSERT_NEAR(shifted[k].re, y[k].re, 1e-4) << k;
    }
}

TEST(FreeRoutines, NaturalOrderDoesNotDependOnTheScratchBlock) {
    for (const TFFTImplementation implementation : kImplementations) {
        for (const int n : {4, 32, 64, 1024}) {
            const std::vector<TComplex> x = randomSignal(n, 23u + unsigned(n));
            const std::vector<TComplex> reference = run(implementation, x, false, true, true);
            std::vector<TComplex> data = x;
            std::vector<TComplex> scratch(std::size_t(n) + 1);
            TComplex* shifted = scratch.data() + 1; // any alignment will do
            ComplexFFT(implementation, data.data(), n, false, shifted, true, true);
            for (int k = 0; k < n; ++k) {
                ASSERT_EQ(data[k].re, reference[k].re) << nameOf(implementation) << " " << n;
                ASSERT_EQ(data[k].im, reference[k].im) << nameOf(implementation) << " " << n;
            }
        }
    }
}

// Natural order is reached by other routes than the scrambled transform (values stored at
// their frequency by the last stages, or gathered afterwards): it must still be exactly that
// result, reordered, with an aligned scratch block or not.
TEST(FreeRoutines, NaturalOrderIsTheScrambledResultReordered) {
    TDCFFT fft;
    std::vector<TComplex> unaligned(kMaxFFTLength + 1);
    for (const TFFTImplementation implementation : kImplementations) {
        for (const int n : kLengths) {
            SCOPED_TRACE(testing::Message() << nameOf(implementation) << " n=" << n);
            const std::vector<TComplex> x = randomSignal(n, 41u + unsigned(n));
            const std::vector<TComplex> scrambled = run(implementation, x, false, false, true);
            const auto scramble = ScrambleTable(n);
            for (TComplex* scratch : {fft.ReorderBuffer(), unaligned.data() + 1}) {
                std::copy(x.begin(), x.end(), fft.ComplexBuffer());
                ComplexFFT(implementation, fft.ComplexBuffer(), n, false, scratch, true, true);
                for (int k = 0; k < n; ++k) {
                    ASSERT_EQ(fft.ComplexBuffer()[k].re, scrambled[scramble[k]].re) << k;
                    ASSERT_EQ(fft.ComplexBuffer()[k].im, scrambled[scramble[k]].im) << k;
                }
            }
        }
    }
}

TEST(FreeRoutines, ReorderGathersOrScattersWithOrWithoutScratch) {
    const std::uint16_t table[] = {2, 0, 3, 1};
    const std::vector<TComplex> x{{0, 10}, {1, 11}, {2, 12}, {3, 13}};
    std::vector<TComplex> scratch(4);
    for (TComplex* s : {scratch.data(), static_cast<TComplex*>(nullptr)}) {
        std::vector<TComplex> gathered = x;
        ReorderComplex(gathered.data(), 4, table, s, false);
        std::vector<TComplex> scattered = x;
        ReorderComplex(scattered.data(), 4, table, s, true);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(gathered[i].re, float(table[i])) << i;
            EXPECT_EQ(scattered[table[i]].re, float(i)) << i;
            EXPECT_EQ(scattered[table[i]].im, float(i + 10)) << i;
        }
    }
}

TEST(FreeRoutines, ScaleMultipliesEveryPart) {
    for (const int n : {1, 2, 3, 5, 8192}) {
        std::vector<TComplex> data = randomSignal(n, 17);
        const std::vector<TComplex> original = data;
        ScaleComplex(data.data(), n, 0.125f);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(data[i].re, original[i].re * 0.125f);
            ASSERT_EQ(data[i].im, original[i].im * 0.125f);
        }
    }
}

} // namespace
} // namespace dsp
