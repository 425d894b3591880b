#include "dsp/dspUtils.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

namespace dsp {
namespace {

TEST(Samples24, ReadSignExtendsTheHighByte) {
    struct Case {
        std::array<std::uint8_t, 3> bytes;
        std::int32_t value;
    };
    const Case cases[] = {
        {{0xFF, 0xFF, 0x7F}, 8388607}, {{0x00, 0x00, 0x80}, -8388608}, {{0xFF, 0xFF, 0xFF}, -1},
        {{0x00, 0x00, 0x00}, 0},       {{0x56, 0x34, 0x12}, 0x123456}, {{0x01, 0x00, 0x00}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Read24(c.bytes[0], c.bytes[1], c.bytes[2]), c.value);
        EXPECT_EQ(Read24(c.bytes.data()), c.value);
    }
}

TEST(Samples24, WriteKeepsTheLowThreeBytesAndRoundTrips) {
    for (const std::int32_t value : {0, 1, -1, 8388607, -8388608, 0x123456, -70000}) {
        std::array<std::uint8_t, 4> bytes{0xAA, 0xAA, 0xAA, 0xAA};
        Write24(value, bytes.data());
        EXPECT_EQ(bytes[3], 0xAA) << "wrote past three bytes";
        EXPECT_EQ(Read24(bytes.data()), value);
    }
    std::array<std::uint8_t, 3> bytes{};
    Write24(0x7F123456, bytes.data());
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 3>{0x56, 0x34, 0x12}));
}

TEST(Clips, SaturateAtTheirExactBounds) {
    EXPECT_EQ(Clip8(200), 127);
    EXPECT_EQ(Clip8(-200), -128);
    EXPECT_EQ(Clip8(127), 127);
    EXPECT_EQ(Clip8(-128), -128);
    EXPECT_EQ(Clip8(-5), -5);

    EXPECT_EQ(Clip16(32768), 32767);
    EXPECT_EQ(Clip16(-32769), -32768);
    EXPECT_EQ(Clip16(-32768), -32768);
    EXPECT_EQ(Clip16(1234), 1234);

    EXPECT_EQ(Clip24(8388608), 8388607);
    EXPECT_EQ(Clip24(-8388609), -8388608);
    EXPECT_EQ(Clip24(-8388608), -8388608);
    EXPECT_EQ(Clip24(std::numeric_limits<std::int32_t>::min()), -8388608);

    EXPECT_EQ(Clip32(-2147483648LL), -2147483647);
    EXPECT_EQ(Clip32(2147483648LL), 2147483647);
    EXPECT_EQ(Clip32(std::numeric_limits<std::int64_t>::min()), -2147483647);
    EXPECT_EQ(Clip32(-2147483647LL), -2147483647);
    EXPECT_EQ(Clip32(42), 42);

    EXPECT_EQ(ClipUnsigned16(-5), 0);
    EXPECT_EQ(ClipUnsigned16(70000), 65535);
    EXPECT_EQ(ClipUnsigned16(65535), 65535);
    EXPECT_EQ(ClipUnsigned16(300), 300);

    EXPECT_EQ(ClipFloat(1.5f), 1.0f);
    EXPECT_EQ(ClipFloat(-1.0001f), -1.0f);
    EXPECT_EQ(ClipFloat(0.25f), 0.25f);
    EXPECT_EQ(ClipFloat(-1.0f), -1.0f);
}

long double referenceWeight(int i, int n, TWindowMode mode) {
    const long double pi = std::numbers::pi_v<long double>;
    const long double x = i, len = n;
    switch (mode) {
    case TWindowMode::wmRectangular:
        return 1;
    case TWindowMode::wmHanning:
        return 0.5L - 0.5L * std::cos(2 * pi * x / len);
    case TWindowMode::wmBartlett:
        return i < n / 2 ? 2 * x / (len - 1) : 2 - 2 * x / (len - 1);
    case TWindowMode::wmHamming:
        return 0.54L - 0.46L * std::cos(2 * pi * x / len);
    case TWindowMode::wmGaussian:
        return std::exp(-5 * (2 * x - len) * (2 * x - len) / (len * len));
    case TWindowMode::wmBlackman:
        return 0.42L - 0.5L * std::cos(2 * pi * x / len) + 0.08L * std::cos(4 * pi * x / len);
    case TWindowMode::wmBlackmanHarris:
        return 0.35875L - 0.48829L * std::cos(2 * pi * (x + 0.5L) / len) +
               0.14128L * std::cos(4 * pi * (x + 0.5L) / len) -
               0.01168L * std::cos(6 * pi * (x + 0.5L) / len);
    }
    return 0;
}

TEST(Windows, MatchTheirFormulasEverywhere) {
    for (int m = 0; m <= 6; ++m) {
        const auto mode = static_cast<TWindowMode>(m);
        for (const int n : {2, 7, 64, 512}) {
            for (int i = 0; i < n; ++i) {
                const float expected = float(0.75L * referenceWeight(i, n, mode));
                EXPECT_FLOAT_EQ(ApplyWindow(i, n, mode, 0.75f), expected)
                    << "mode " << m << " i " << i << " n " << n;
            }
        }
    }
}

TEST(Windows, KnownPoints) {
    EXPECT_EQ(ApplyWindow(0, 512, TWindowMode::wmHanning, 0.8f), 0.0f);
    EXPECT_EQ(ApplyWindow(256, 512, TWindowMode::wmHanning, 0.8f), 0.8f);
    EXPECT_EQ(ApplyWindow(17, 512, TWindowMode::wmRectangular, -0.3f), -0.3f);
    // Bartlett divides by n - 1 and turns at n div 2.
    EXPECT_FLOAT_EQ(ApplyWindow(2, 5, TWindowMode::wmBartlett, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(ApplyWindow(1, 5, TWindowMode::wmBartlett, 1.0f), 0.5f);
    EXPECT_FLOAT_EQ(ApplyWindow(3, 5, TWindowMode::wmBartlett, 1.0f), 0.5f);
    EXPECT_FLOAT_EQ(ApplyWindow(0, 8, TWindowMode::wmHamming, 1.0f), 0.08f);
    EXPECT_FLOAT_EQ(ApplyWindow(4, 8, TWindowMode::wmGaussian, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(ApplyWindow(0, 8, TWindowMode::wmGaussian, 1.0f), float(std::exp(-5.0)));
}

TEST(Windows, OfOnePointOrNoneKeepTheValue) {
    for (int m = 0; m <= 6; ++m) {
        EXPECT_EQ(ApplyWindow(0, 1, static_cast<TWindowMode>(m), 0.6f), 0.6f) << m;
        EXPECT_EQ(ApplyWindow(0, 0, static_cast<TWindowMode>(m), 0.6f), 0.6f) << m;
    }
}

TEST(Magnitude, IsTheEuclideanNorm) {
    EXPECT_EQ(Magnitude(3.0f, 4.0f), 5.0f);
    EXPECT_EQ(Magnitude(-3.0f, -4.0f), 5.0f);
    EXPECT_EQ(Magnitude(0.0f, 0.0f), 0.0f);
    // No overflow in the squares for large single values.
    EXPECT_FLOAT_EQ(Magnitude(3e30f, 4e30f), 5e30f);
}

TEST(ProcessorFeatures, DecodeTheIdentificationBits) {
    TProcessorIdentification id;
    id.available = false;
    id.leaf1Edx = ~0u;
    id.highestExtendedLeaf = 0x80000008u;
    id.extendedLeaf1Edx = ~0u;
    TProcessorFeatures f = DecodeProcessorFeatures(id);
    EXPECT_FALSE(f.HasSSE || f.Has3DNow || f.Has3DNowExt) << "no identification, no flags";

    id = {true, 1u << 25, 0x80000001u, (1u << 31) | (1u << 30)};
    f = DecodeProcessorFeatures(id);
    EXPECT_TRUE(f.HasSSE);
    EXPECT_TRUE(f.Has3DNow);
    EXPECT_TRUE(f.Has3DNowExt);

    id = {true, 0, 0x80000001u, 1u << 31};
    f = DecodeProcessorFeatures(id);
    EXPECT_FALSE(f.HasSSE);
    EXPECT_TRUE(f.Has3DNow);
    EXPECT_FALSE(f.Has3DNowExt);

    // The extended leaf is read only when the highest extended leaf is above 0x80000000.
    id = {true, 1u << 25, 0x80000000u, ~0u};
    f = DecodeProcessorFeatures(id);
    EXPECT_TRUE(f.HasSSE);
    EXPECT_FALSE(f.Has3DNow || f.Has3DNowExt);
}

TEST(ProcessorFeatures, DetectionRunsOnceAndMatchesThisProcessor) {
    const TProcessorFeatures& first = DetectProcessorFeatures();
    EXPECT_EQ(&first, &DetectProcessorFeatures());
    const TProcessorFeatures direct = DecodeProcessorFeatures(IdentifyProcessor());
    EXPECT_EQ(first.HasSSE, direct.HasSSE);
    EXPECT_EQ(first.Has3DNow, direct.Has3DNow);
    EXPECT_EQ(first.Has3DNowExt, direct.Has3DNowExt);
#if defined(__x86_64__)
    EXPECT_TRUE(HasSSE()) << "SSE is part of every x86-64 processor";
#endif
}

} // namespace
} // namespace dsp
