#include "dsp/allocationCounter.h"
#include "dsp/dspEqualizer.h"
#include "dsp/pcmBlocks.h"

#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

namespace {

using dsp::TDCEqualizer;
using dsp::TDCFFTSize;

constexpr double kRate = 44100.0;
constexpr std::uint32_t kStereo = 2;
constexpr int kBinsAt1024 = 512;
const pcm::Format& kFloat = pcm::kFormats[4];

bool process(TDCEqualizer& eq, const pcm::Format& f, std::vector<std::uint8_t>& block,
             std::uint32_t channels) {
    return eq.Process(block.data(), std::uint32_t(block.size()), f.bits, channels, f.isFloat);
}

// Runs the signal through in blocks of `blockFrames` frames and returns the decoded output.
std::vector<double> run(TDCEqualizer& eq, const pcm::Format& f, const std::vector<double>& in,
                        std::uint32_t channels, std::size_t blockFrames) {
    std::vector<double> out;
    const std::size_t step = blockFrames * channels;
    for (std::size_t at = 0; at < in.size(); at += step) {
        auto block = pcm::encode(f, std::span(in).subspan(at, std::min(step, in.size() - at)));
        process(eq, f, block, channels);
        const auto decoded = pcm::decode(f, block);
        out.insert(out.end(), decoded.begin(), decoded.end());
    }
    return out;
}

void enable(TDCEqualizer& eq) {
    eq.SetEnabled(true);
}

// Impulse response of channel 0, mono, float.
std::vector<double> impulseResponse(TDCEqualizer& eq, std::size_t length = 1024) {
    std::vector<double> in(length, 0.0);
    in[0] = 1.0;
    return run(eq, kFloat, in, 1, length);
}

double responseDB(const std::vector<double>& h, double frequency) {
    std::complex<double> sum;
    for (std::size_t m = 0; m < h.size(); ++m) {
        sum += h[m] * std::polar(1.0, -2.0 * std::numbers::pi * frequency * double(m) / kRate);
    }
    return pcm::decibels(std::abs(sum));
}

void setBands(TDCEqualizer& eq, int channel, int first, int last, std::int8_t value) {
    for (int k = first; k <= last; ++k) {
        eq.SetBand(channel, k, value);
    }
}

// A few bands boosted and cut, so that the filter is far from flat.
void shape(TDCEqualizer& eq, int channel = 0) {
    setBands(eq, channel, 0, 10, 60);
    setBands(eq, channel, 11, 60, -40);
    setBands(eq, channel, 61, 200, 30);
    setBands(eq, channel, 201, kBinsAt1024 - 1, -80);
}

TEST(Equalizer, ValuesAfterCreate) {
    const TDCEqualizer eq;
    EXPECT_FALSE(eq.Seperate());
    EXPECT_FALSE(eq.Enabled());
    EXPECT_FALSE(eq.ProcessMessages());
    EXPECT_EQ(eq.SampleSize(), 8192u);
    EXPECT_EQ(eq.FFTSize(), TDCFFTSize::fts1024);
    EXPECT_EQ(eq.FFTLength(), 1024);
    for (int c : {0, 9}) {
        for (int k : {0, 511, 8191}) {
            EXPECT_EQ(eq.GetBand(c, k), 0);
        }
    }
}

TEST(Equalizer, BandValuesRoundTripAndOutOfRangeIndicesAreIgnored) {
    TDCEqualizer eq;
    for (std::int8_t v : {std::int8_t(-128), std::int8_t(-100), std::int8_t(-1), std::int8_t(1),
                          std::int8_t(57), std::int8_t(100), std::int8_t(127)}) {
        eq.SetBand(3, 77, v);
        EXPECT_EQ(eq.GetBand(3, 77), v);
    }
    eq.SetBand(10, 0, 50);
    eq.SetBand(-1, 0, 50);
    eq.SetBand(0, 8192, 50);
    eq.SetBand(0, -1, 50);
    EXPECT_EQ(eq.GetBand(10, 0), 0);
    EXPECT_EQ(eq.GetBand(0, 8192), 0);
    EXPECT_EQ(eq.GetBand(0, 0), 0);
    EXPECT_EQ(eq.GetBand(9, 8191), 0);
}

// All bands at 0: the output is the input delayed by N/8 = 128 samples, the main tap is the
// Hann window's value there, 0.99985, and the response is flat from 1 to 20 kHz; bin 0 counts
// twice (about +1 dB near 20 Hz) and the Nyquist bin is left out (about -1 dB at 22 kHz).
TEST(Equalizer, FlatFilterIsADelayOf128SamplesWithAFlatResponse) {
    TDCEqualizer eq;
    enable(eq);
    const auto h = impulseResponse(eq);
    EXPECT_NEAR(h[128], 0.99985, 1e-5);
    for (std::size_t m = 257; m < h.size(); ++m) {
        ASSERT_NEAR(h[m], 0.0, 1e-7) << m; // N/4 + 1 taps only
    }
    for (double f = 1000.0; f <= 20000.0; f += 250.0) {
        ASSERT_NEAR(responseDB(h, f), 0.0, 0.01) << f;
    }
    EXPECT_NEAR(responseDB(h, 20.0), 1.0, 0.3);
    EXPECT_NEAR(responseDB(h, 22000.0), -1.0, 0.5);
}

TEST(Equalizer, FlatFilterDelaysEveryFormat) {
    const auto in = pcm::sine(3000, kStereo, 1000.0, 0.5);
    for (const pcm::Format& f : pcm::kFormats) {
        SCOPED_TRACE(f.name);
        TDCEqualizer eq;
        enable(eq);
        const auto reference = pcm::decode(f, pcm::encode(f, in));
        const auto out = run(eq, f, in, kStereo, 1152);
        // From frame 256 on, every tap of the filter sees the signal.
        for (std::size_t i = 256 * kStereo; i < in.size(); ++i) {
            ASSERT_NEAR(out[i], reference[i - 128 * kStereo], 1e-3 + 2.0 * f.step()) << i;
        }
    }
}

TEST(Equalizer, ThirtyTwoBitIntegersAreWrittenAsMultiplesOf32768) {
    TDCEqualizer eq;
    enable(eq);
    shape(eq);
    const pcm::Format& f = pcm::kFormats[3];
    auto block = pcm::encode(f, pcm::sine(2000, kStereo, 3000.0, 0.3));
    ASSERT_TRUE(process(eq, f, block, kStereo));
    std::vector<std::int32_t> out(block.size() / 4);
    std::memcpy(out.data(), block.data(), block.size());
    for (std::int32_t v : out) {
        ASSERT_EQ(v % 32768, 0) << v;
    }
    EXPECT_NE(*std::max_element(out.begin(), out.end()), 0);
}

// The carried tails make the output independent of how the stream is cut: one call of 1000
// frames, calls of 400 and 600, and calls shorter than N/4 all give the same samples.
TEST(Equalizer, OutputDoesNotDependOnHowTheStreamIsCut) {
    std::mt19937 random(11);
    std::vector<double> in(3000 * kStereo);
    for (double& v : in) {
        v = std::uniform_real_distribution<double>(-0.5, 0.5)(random);
    }
    auto cut = [&](std::initializer_list<std::size_t> frames, std::uint32_t sampleSize) {
        TDCEqualizer eq;
        enable(eq);
        shape(eq);
        eq.setSampleSize(sampleSize);
        std::vector<double> out;
        std::size_t at = 0;
        for (std::size_t n : frames) {
            auto part =
                run(eq, kFloat, {in.begin() + at, in.begin() + at + n * kStereo}, kStereo, n);
            out.insert(out.end(), part.begin(), part.end());
            at += n * kStereo;
        }
        return out;
    };
    const auto whole = cut({1000, 2000}, 8192);
    const std::vector<std::vector<double>> others{
        cut({400, 600, 2000}, 8192),
        cut({1000, 2000}, 0),
        cut({1000, 2000}, 100),
        cut({100, 37, 200, 1, 255, 407, 1000, 1000}, 8192),
    };
    for (const auto& other : others) {
        ASSERT_EQ(other.size(), whole.size());
        for (std::size_t i = 0; i < whole.size(); ++i) {
            ASSERT_NEAR(other[i], whole[i], 1e-6) << i;
        }
    }
}

TEST(Equalizer, BandValueOf100RaisesItsBinsByTwentyDecibels) {
    TDCEqualizer eq;
    enable(eq);
    setBands(eq, 0, 20, 45, 100); // 861 .. 1938 Hz
    const auto h = impulseResponse(eq);
    for (double fr :
         {100.0, 150.0, 200.0, 250.0, 300.0, 400.0, 500.0, 2500.0, 3000.0, 4000.0, 6000.0})
        std::printf("%g %g\n", fr, responseDB(h, fr));
    EXPECT_NEAR(responseDB(h, 1400.0), 20.0, 0.1);
    EXPECT_NEAR(responseDB(h, 6000.0), 0.0, 0.1);
    EXPECT_NEAR(responseDB(h, 4000.0), 0.0, 0.05);

    const auto in = pcm::sine(8000, kStereo, 1400.0, 0.05);
    const auto out = run(eq, pcm::kFormats[1], in, kStereo, 1152);
    const double gain =
        pcm::rms(std::span(out).subspan(2000)) / pcm::rms(std::span(in).subspan(2000));
    EXPECT_NEAR(pcm::decibels(gain), 20.0, 0.1);
}

TEST(Equalizer, BinsAboveHalfTheLengthHaveNoEffect) {
    TDCEqualizer flat;
    enable(flat);
    TDCEqualizer eq;
    enable(eq);
    setBands(eq, 0, kBinsAt1024, 8191, 100);
    EXPECT_EQ(impulseResponse(eq), impulseResponse(flat));
}

TEST(Equalizer, FloatsAreNotClamped) {
    TDCEqualizer eq;
    enable(eq);
    setBands(eq, 0, 0, kBinsAt1024 - 1, 100);
    const auto out = run(eq, kFloat, pcm::sine(4000, kStereo, 1000.0, 0.9), kStereo, 4000);
    EXPECT_GT(*std::max_element(out.begin(), out.end()), 5.0);
}

TEST(Equalizer, IntegerFormatsSaturate) {
    for (std::size_t i = 0; i < 4; ++i) {
        const pcm::Format& f = pcm::kFormats[i];
        SCOPED_TRACE(f.name);
        TDCEqualizer eq;
        enable(eq);
        setBands(eq, 0, 0, kBinsAt1024 - 1, 100);
        const auto out = run(eq, f, pcm::sine(4000, kStereo, 1000.0, 0.9), kStereo, 4000);
        EXPECT_NEAR(*std::max_element(out.begin(), out.end()), 1.0, 1.5 * f.step());
        EXPECT_NEAR(*std::min_element(out.begin(), out.end()), -1.0, 1.5 * f.step());
    }
}

TEST(Equalizer, DisabledOrUnsupportedBlocksAreUntouched) {
    std::mt19937 random(5);
    std::vector<std::uint8_t> original(6000);
    for (auto& b : original) {
        b = std::uint8_t(random());
    }
    for (const pcm::Format& f : pcm::kFormats) {
        SCOPED_TRACE(f.name);
        TDCEqualizer eq;
        shape(eq);
        auto block = original;
        EXPECT_FALSE(process(eq, f, block, kStereo));
        EXPECT_EQ(block, original);
    }
    TDCEqualizer eq;
    enable(eq);
    shape(eq);
    auto block = original;
    EXPECT_FALSE(eq.Process(block.data(), std::uint32_t(block.size()), 12, 2, false));
    EXPECT_FALSE(eq.Process(block.data(), std::uint32_t(block.size()), 16, 0, false));
    EXPECT_EQ(block, original);
}

TEST(Equalizer, SwitchingOnAndFlushClearTheTails) {
    const auto loud = pcm::sine(1000, kStereo, 2000.0, 0.8);
    const std::vector<double> silence(1000 * kStereo, 0.0);
    auto tailAfter = [&](auto&& between) {
        TDCEqualizer eq;
        enable(eq);
        run(eq, kFloat, loud, kStereo, 1000);
        between(eq);
        const auto out = run(eq, kFloat, silence, kStereo, 1000);
        return pcm::rms(out);
    };
    EXPECT_GT(tailAfter([](TDCEqualizer&) {}), 0.01); // the tail rings on
    EXPECT_EQ(tailAfter([](TDCEqualizer& eq) { eq.Flush(); }), 0.0);
    EXPECT_EQ(tailAfter([](TDCEqualizer& eq) {
                  eq.SetEnabled(false);
                  eq.SetEnabled(true);
              }),
              0.0);
}

TEST(Equalizer, SeperateFiltersEachChannelWithItsOwnBands) {
    TDCEqualizer eq;
    enable(eq);
    eq.SetSeperate(true);
    setBands(eq, 1, 0, kBinsAt1024 - 1, -100); // channel 1: -20 dB everywhere
    setBands(eq, 2, 0, kBinsAt1024 - 1, 50);   // only exists in the three-channel stream
    const auto stereo = pcm::sine(4000, kStereo, 1000.0, 0.5);
    auto out = run(eq, kFloat, stereo, kStereo, 4000);
    auto levelOf = [](const std::vector<double>& v, std::size_t c, std::size_t channels) {
        std::vector<double> one;
        for (std::size_t i = 1000 * channels + c; i < v.size(); i += channels) {
            one.push_back(v[i]);
        }
        return pcm::decibels(pcm::rms(one) / (0.5 / std::sqrt(2.0)));
    };
    EXPECT_NEAR(levelOf(out, 0, 2), 0.0, 0.05);
    EXPECT_NEAR(levelOf(out, 1, 2), -20.0, 0.05);

    // A third channel appears: its filter is designed too, not left silent.
    eq.Flush();
    const auto three = pcm::sine(4000, 3, 1000.0, 0.5);
    out = run(eq, kFloat, three, 3, 4000);
    EXPECT_NEAR(levelOf(out, 2, 3), 10.0, 0.05);

    eq.SetSeperate(false); // channel 0's bands for everyone
    eq.Flush();
    out = run(eq, kFloat, three, 3, 4000);
    for (std::size_t c = 0; c < 3; ++c) {
        EXPECT_NEAR(levelOf(out, c, 3), 0.0, 0.05);
    }
}

TEST(Equalizer, ChannelsBeyondTheTenthPassThrough) {
    TDCEqualizer eq;
    enable(eq);
    const auto in = pcm::sine(2000, 12, 1000.0, 0.5);
    const auto out = run(eq, kFloat, in, 12, 2000);
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (i % 12 >= 10) {
            ASSERT_NEAR(out[i], in[i], 1e-7) << i;
        } else if (i >= 256 * 12) {
            ASSERT_NEAR(out[i], in[i - 128 * 12], 1e-3) << i;
        }
    }
}

// A new size redesigns the filters for that size: the flat filter then delays by N/8.
TEST(Equalizer, NewSizeTakesEffectAtTheNextBlock) {
    TDCEqualizer eq;
    enable(eq);
    impulseResponse(eq);
    for (auto [size, delay] :
         {std::pair{TDCFFTSize::fts2048, 256}, std::pair{TDCFFTSize::fts256, 32}}) {
        eq.SetFFTSize(size);
        EXPECT_EQ(eq.FFTSize(), size);
        const auto h = impulseResponse(eq, 4096);
        EXPECT_EQ(eq.FFTLength(), 8 * delay);
        const double window =
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * delay / (2 * delay + 2));
        EXPECT_NEAR(h[delay], window, 1e-5) << delay;
        const double others = pcm::rms(std::span(h).subspan(delay + 1));
        EXPECT_LT(others, 0.01) << delay;
    }
}

TEST(Equalizer, NonFiniteFloatSamplesDoNotPoisonTheStream) {
    TDCEqualizer eq;
    enable(eq);
    auto in = pcm::sine(4000, kStereo, 1000.0, 0.5);
    in[100] = std::numeric_limits<double>::quiet_NaN();
    in[201] = std::numeric_limits<double>::infinity();
    const auto out = run(eq, kFloat, in, kStereo, 1152);
    for (double v : out) {
        ASSERT_TRUE(std::isfinite(v));
    }
}

TEST(Equalizer, AllocatesNothingWhileProcessing) {
    TDCEqualizer eq;
    enable(eq);
    eq.SetSeperate(true);
    shape(eq, 0);
    shape(eq, 1);
    auto block = pcm::encode(pcm::kFormats[1], pcm::sine(16384, kStereo, 1000.0, 0.5));
    const std::size_t before = alloc::count();
    for (int i = 0; i < 3; ++i) {
        process(eq, pcm::kFormats[1], block, kStereo);
        setBands(eq, 0, 5, 9, 20); // redesign
    }
    EXPECT_EQ(alloc::count(), before);
}

TEST(Equalizer, MessagePumpRunsAfterEachChunkWhenAsked) {
    TDCEqualizer eq;
    enable(eq);
    int pumped = 0;
    eq.setMessagePump([&] { ++pumped; });
    eq.setSampleSize(1000);
    auto block = pcm::encode(kFloat, std::vector<double>(2 * 2500, 0.1));
    process(eq, kFloat, block, kStereo);
    EXPECT_EQ(pumped, 0);
    eq.setProcessMessages(true);
    process(eq, kFloat, block, kStereo);
    EXPECT_EQ(pumped, 3); // 1000, 1000, 500 frames
}
} // namespace
