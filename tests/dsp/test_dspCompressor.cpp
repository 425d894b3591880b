#include "dsp/allocationCounter.h"
#include "dsp/dspCompressor.h"
#include "dsp/pcmBlocks.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

using dsp::TDCCompressor;

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kStereo = 2;
// 882 Hz repeats every 50 frames, which is exactly the detector's 100 interleaved samples:
// the RMS level of a steady stereo sine is then constant.
constexpr double kSteadyFrequency = 882.0;

bool process(TDCCompressor& c, const pcm::Format& f, std::vector<std::uint8_t>& block,
             std::uint32_t channels = kStereo) {
    return c.Process(block.data(), std::uint32_t(block.size()), kRate, f.bits, channels, f.isFloat);
}

// Runs the signal through in blocks of `blockFrames` and returns the decoded output.
std::vector<double> run(TDCCompressor& c, const pcm::Format& f, const std::vector<double>& in,
                        std::size_t blockFrames = 4096) {
    std::vector<double> out;
    const std::size_t step = blockFrames * kStereo;
    for (std::size_t at = 0; at < in.size(); at += step) {
        const std::span<const double> part(in.data() + at, std::min(step, in.size() - at));
        auto block = pcm::encode(f, part);
        process(c, f, block);
        const auto decoded = pcm::decode(f, block);
        out.insert(out.end(), decoded.begin(), decoded.end());
    }
    return out;
}

// Enabled, with the threshold the main window gives both decks.
void setUp(TDCCompressor& c) {
    c.setEnabled(true);
    c.setThresholdDB(-14.0f);
}

TEST(Compressor, ValuesAfterCreate) {
    const TDCCompressor c;
    EXPECT_FALSE(c.Enabled());
    EXPECT_FALSE(c.ProcessMessages());
    EXPECT_EQ(c.SampleSize(), 8192u);
    EXPECT_FLOAT_EQ(c.AttackTime(), 0.2f);
    EXPECT_FLOAT_EQ(c.DecayTime(), 1.0f);
    EXPECT_FLOAT_EQ(c.ThresholdDB(), -12.0f);
    EXPECT_FLOAT_EQ(c.Ratio(), 2.0f);
    EXPECT_FLOAT_EQ(c.GainDB(), 0.0f);
    EXPECT_EQ(c.LastEnvelope(), 0.0);
}

TEST(Compressor, CoefficientsOfTheFormValuesAtCdRateStereo) {
    TDCCompressor c;
    setUp(c);
    c.setGainDB(6.0f);
    std::vector<std::uint8_t> block(400, 0);
    ASSERT_TRUE(process(c, pcm::kFormats[1], block));
    EXPECT_NEAR(c.ThresholdLevel(), 0.0398107, 1e-7);
    EXPECT_NEAR(c.MakeupGain(), 1.9952623, 1e-7);
    EXPECT_NEAR(c.AttackFactor(), 1.0003917, 1e-7);
    EXPECT_NEAR(c.DecayFactor(), 0.99992168, 1e-8);
}

TEST(Compressor, DisabledOrUnsupportedBlocksAreUntouched) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> original(3000);
    for (auto& b : original) {
        b = std::uint8_t(random());
    }
    for (const pcm::Format& f : pcm::kFormats) {
        SCOPED_TRACE(f.name);
        TDCCompressor c;
        c.setGainDB(12.0f);
        auto block = original;
        EXPECT_FALSE(process(c, f, block));
        EXPECT_EQ(block, original);
    }
    TDCCompressor c;
    setUp(c);
    c.setGainDB(12.0f);
    auto block = original;
    EXPECT_FALSE(c.Process(block.data(), std::uint32_t(block.size()), kRate, 12, 2, false));
    EXPECT_FALSE(c.Process(block.data(), std::uint32_t(block.size()), kRate, 16, 0, false));
    EXPECT_EQ(block, original);
}

// Threshold -14 dB, ratio 2, a settled full-scale sine: the envelope equals the RMS level
// 0.7071 and the gain is (0.0398107 / 0.7071)^(1/2) = 0.2373, -12.5 dB.
TEST(Compressor, SettledFullScaleSineIsLoweredByTwelveAndAHalfDecibels) {
    const auto in = pcm::sine(3 * kRate, kStereo, kSteadyFrequency, 1.0);
    // The level is 24.99 dB above the threshold; ratio R keeps 1/R of that excess.
    const struct {
        float ratio;
        double gainDB;
    } cases[] = {{2.0f, -12.495}, {3.0f, -8.330}, {1.0f, -24.990}};
    for (const auto& [ratio, expected] : cases) {
        for (const pcm::Format& f : pcm::kFormats) {
            SCOPED_TRACE(testing::Message() << f.name << " ratio " << ratio);
            TDCCompressor c;
            setUp(c);
            c.setRatio(ratio);
            const auto out = run(c, f, in);
            const std::span<const double> tailIn(in.end() - kRate, in.end());
            const std::span<const double> tailOut(out.end() - kRate, out.end());
            const double gain = pcm::decibels(pcm::rms(tailOut) / pcm::rms(tailIn));
            EXPECT_NEAR(gain, expected, f.bits == 8 ? 0.3 : 0.01);
            EXPECT_NEAR(c.LastEnvelope(), std::sqrt(0.5), 0.01);
        }
    }
}

TEST(Compressor, BelowTheThresholdOnlyTheMakeUpGainApplies) {
    for (const pcm::Format& f : pcm::kFormats) {
        SCOPED_TRACE(f.name);
        TDCCompressor c;
        setUp(c);
        c.setGainDB(6.0f);
        const auto in = pcm::sine(kRate, kStereo, 440.0, 0.02); // RMS 0.014 < 0.0398
        const auto out = run(c, f, in);
        for (std::size_t i = 0; i < in.size(); ++i) {
            ASSERT_NEAR(out[i], in[i] * 1.9952623, 1.5 * f.step() + 1e-6) << i;
        }
    }
}

TEST(Compressor, MakeUpGainSaturatesSixteenBitSamplesWithoutWrapping) {
    TDCCompressor c;
    setUp(c);
    c.setThresholdDB(0.0f);
    c.setGainDB(40.0f);
    const pcm::Format& f = pcm::kFormats[1];
    std::vector<double> in = pcm::sine(8192, kStereo, 1000.0, 0.9);
    in[100] = 1.0;
    in[101] = -1.0;
    auto block = pcm::encode(f, in);
    ASSERT_TRUE(process(c, f, block));
    std::vector<std::int16_t> out(in.size());
    std::memcpy(out.data(), block.data(), block.size());
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 32767);
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), -32768);
    const auto encoded = pcm::decode(f, pcm::encode(f, in));
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(encoded[i] > 0, out[i] > 0) << i;
        ASSERT_EQ(encoded[i] < 0, out[i] < 0) << i;
    }
}

TEST(Compressor, ThirtyTwoBitFullScaleRoundTripsClampedToSymmetricRange) {
    TDCCompressor c;
    setUp(c);
    c.setThresholdDB(0.0f); // never exceeded: unity gain
    const pcm::Format& f = pcm::kFormats[3];
    std::vector<std::int32_t> samples(400);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = i % 2 ? std::numeric_limits<std::int32_t>::min()
                           : std::numeric_limits<std::int32_t>::max();
    }
    samples[2] = 1 << 20;
    std::vector<std::uint8_t> block(samples.size() * 4);
    std::memcpy(block.data(), samples.data(), block.size());
    ASSERT_TRUE(process(c, f, block));
    std::memcpy(samples.data(), block.data(), block.size());
    EXPECT_EQ(samples[0], 2147483647);
    EXPECT_EQ(samples[1], -2147483647);
    EXPECT_EQ(samples[2], 1 << 20);
}

// A steady quiet tone, then a burst in the middle of a chunk: the envelope of the samples
// just before the onset is raised along the attack ramp that ends at the burst's level, so
// their gain falls already, more so towards the onset; no more than 48 samples back.
TEST(Compressor, GainFallsAlongTheAttackRampBeforeABurst) {
    TDCCompressor c;
    setUp(c);
    c.setSampleSize(0);
    c.SetAttackTime(0.001f); // a steep ramp, so that it meets the quiet envelope
    const pcm::Format& f = pcm::kFormats[4];
    run(c, f, std::vector<double>(20000, 0.01)); // settle the envelope on the quiet level
    constexpr std::size_t kOnset = 1000;
    std::vector<double> in(4000, 0.01);
    std::fill(in.begin() + kOnset, in.end(), 0.9);
    const auto out = run(c, f, in, in.size());
    for (std::size_t i = 0; i < kOnset - 48; ++i) {
        ASSERT_NEAR(out[i], 0.01, 1e-7) << i;
    }
    for (std::size_t i = kOnset - 48; i < kOnset; ++i) {
        ASSERT_LE(out[i], out[i - 1]) << i;
    }
    EXPECT_LT(out[kOnset - 1], 0.01 * 0.9);
    EXPECT_LT(out[kOnset], 0.9 * 0.9);
}

// With the usual attack of 0.2 s the ramp down from a loud onset cannot meet a quiet
// envelope within 48 samples: the envelope climbs from the quiet level at the attack rate
// instead, so the onset itself passes at unity gain and the gain falls over the attack time.
TEST(Compressor, LoudOnsetAfterQuietClimbsAtTheAttackRate) {
    TDCCompressor c;
    setUp(c);
    c.setSampleSize(0);
    const pcm::Format& f = pcm::kFormats[4];
    run(c, f, std::vector<double>(20000, 0.01));
    constexpr std::size_t kOnset = 1000;
    std::vector<double> in(12000, 0.01);
    std::fill(in.begin() + kOnset, in.end(), 0.9);
    const auto out = run(c, f, in, in.size());
    for (std::size_t i = 0; i < kOnset + 100; ++i) {
        ASSERT_NEAR(out[i], in[i], 1e-6) << i;
    }
    // 0.01 x 1.0003917^k passes the threshold 0.0398 after about 3530 samples.
    EXPECT_NEAR(out[kOnset + 3400], 0.9, 1e-6);
    EXPECT_LT(out[kOnset + 3700], 0.9 * 0.999);
    EXPECT_LT(out.back(), out[kOnset + 3700]);
}

TEST(Compressor, ChunksCoverTheBlockAndLeaveAPartialSampleAlone) {
    for (std::uint32_t sampleSize : {0u, 1u, 7u, 8192u}) {
        SCOPED_TRACE(sampleSize);
        TDCCompressor c;
        setUp(c);
        c.setGainDB(6.0f);
        c.setSampleSize(sampleSize);
        const pcm::Format& f = pcm::kFormats[1];
        auto block = pcm::encode(f, std::vector<double>(301, 0.01));
        block.push_back(0x5A); // half a sample
        ASSERT_TRUE(process(c, f, block));
        const auto out = pcm::decode(f, block);
        EXPECT_NEAR(out[0], 0.02, 2.0 / 32768.0);
        EXPECT_NEAR(out[300], 0.02, 2.0 / 32768.0);
        EXPECT_EQ(block.back(), 0x5A);
    }
}

// Changing the attack time never disturbs the detector: after loud music and a change of
// attack time, silence lets the level fall to the floor again and a quiet tone gets unity
// gain.
TEST(Compressor, AttackTimeChangeKeepsTheDetectorConsistent) {
    TDCCompressor c;
    setUp(c);
    const pcm::Format& f = pcm::kFormats[4];
    c.SetAttackTime(0.05f); // before any block, as when the settings are loaded
    run(c, f, pcm::sine(kRate, kStereo, kSteadyFrequency, 1.0));
    c.SetAttackTime(0.5f); // the dialog's slider moves during loud music
    EXPECT_GE(c.SquareSum(), 49.0);
    const auto out = run(c, f, std::vector<double>(8 * kRate, 0.0));
    EXPECT_NEAR(c.SquareSum(), 0.0, 1e-9);
    EXPECT_DOUBLE_EQ(c.LastEnvelope(), TDCCompressor::kFloor);
    const auto in = pcm::sine(kRate, kStereo, 440.0, 0.01);
    const auto quiet = run(c, f, in);
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_NEAR(quiet[i], in[i], 1e-7) << i;
    }
}

// Any sequence of parameters, including absurd ones, and any input, including NaN and
// infinite floats: every output sample is finite and within full scale, and the detector's
// running sum stays a valid sum of at most 100 squares of full-scale samples.
TEST(Compressor, RandomParametersAndInputNeverProduceNaNOrInfinity) {
    std::mt19937 random(2024);
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              0.0f,
                              -0.0f,
                              1e-30f,
                              -1e30f,
                              1e30f,
                              std::numeric_limits<float>::denorm_min()};
    auto parameter = [&](float lo, float hi) {
        if (random() % 5 == 0) {
            return specials[random() % std::size(specials)];
        }
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    TDCCompressor c;
    c.setEnabled(true);
    for (int round = 0; round < 400; ++round) {
        c.SetAttackTime(parameter(-1.0f, 3.0f));
        c.setDecayTime(parameter(-1.0f, 5.0f));
        c.setThresholdDB(parameter(-80.0f, 10.0f));
        c.setRatio(parameter(-4.0f, 20.0f));
        c.setGainDB(parameter(-40.0f, 40.0f));
        c.setSampleSize(random() % 3 == 0 ? 0 : random() % 2000);
        const pcm::Format& f = pcm::kFormats[random() % pcm::kFormats.size()];
        const std::uint32_t channels = 1 + random() % 3;
        const std::size_t samples = channels * (random() % 3000);
        std::vector<std::uint8_t> block(samples * f.bytes());
        if (f.isFloat) {
            std::vector<float> values(samples);
            for (float& v : values) {
                v = random() % 50 == 0 ? specials[random() % std::size(specials)]
                                       : std::uniform_real_distribution<float>(-2.0f, 2.0f)(random);
            }
            std::memcpy(block.data(), values.data(), block.size());
        } else {
            for (auto& b : block) {
                b = std::uint8_t(random());
            }
        }
        c.Process(block.data(), std::uint32_t(block.size()), 1 + random() % 192000, f.bits,
                  channels, f.isFloat);
        ASSERT_TRUE(std::isfinite(c.SquareSum())) << round;
        ASSERT_GE(c.SquareSum(), -1e-9) << round;
        ASSERT_LE(c.SquareSum(), 100.0 + 1e-9) << round;
        ASSERT_TRUE(std::isfinite(c.LastEnvelope())) << round;
        if (f.isFloat) {
            for (double v : pcm::decode(f, block)) {
                ASSERT_TRUE(std::isfinite(v)) << round;
                ASSERT_LE(std::abs(v), 1.0) << round;
            }
        }
    }
}

TEST(Compressor, AllocatesNothingOnceItsBuffersHaveGrown) {
    TDCCompressor c;
    setUp(c);
    c.setSampleSize(0);
    const pcm::Format& f = pcm::kFormats[1];
    auto large = pcm::encode(f, pcm::sine(16384, kStereo, 1000.0, 1.0));
    auto small = pcm::encode(f, pcm::sine(1152, kStereo, 1000.0, 1.0));
    process(c, f, large);
    const std::size_t before = alloc::count();
    for (int i = 0; i < 4; ++i) {
        process(c, f, small);
        process(c, f, large);
    }
    EXPECT_EQ(alloc::count(), before);
}

TEST(Compressor, MessagePumpRunsAfterEachChunkWhenAsked) {
    TDCCompressor c;
    setUp(c);
    int pumped = 0;
    c.setMessagePump([&] { ++pumped; });
    c.setSampleSize(100);
    const pcm::Format& f = pcm::kFormats[1];
    auto block = pcm::encode(f, std::vector<double>(2 * 450, 0.1));
    process(c, f, block);
    EXPECT_EQ(pumped, 0);
    c.setProcessMessages(true);
    process(c, f, block);
    EXPECT_EQ(pumped, 5); // 100, 100, 100, 100, 50 frames
}
} // namespace
