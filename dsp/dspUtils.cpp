#include "dsp/dspUtils.h"

#include <cmath>
#include <numbers>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace dsp {

namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

long double windowWeight(int i, int n, TWindowMode mode) {
    const long double x = static_cast<long double>(i);
    const long double len = static_cast<long double>(n);
    switch (mode) {
    case TWindowMode::wmRectangular:
        return 1.0L;
    case TWindowMode::wmHanning:
        return 0.5L - 0.5L * std::cos(kTwoPi * x / len);
    case TWindowMode::wmBartlett:
        return i < n / 2 ? 2.0L * x / (len - 1.0L) : 2.0L - 2.0L * x / (len - 1.0L);
    case TWindowMode::wmHamming:
        return 0.54L - 0.46L * std::cos(kTwoPi * x / len);
    case TWindowMode::wmGaussian: {
        const long double d = 2.0L * x - len;
        return std::exp(-5.0L * d * d / (len * len));
    }
    case TWindowMode::wmBlackman:
        return 0.42L - 0.5L * std::cos(kTwoPi * x / len) +
               0.08L * std::cos(2.0L * kTwoPi * x / len);
    case TWindowMode::wmBlackmanHarris: {
        const long double a = kTwoPi * (x + 0.5L) / len;
        return 0.35875L - 0.48829L * std::cos(a) + 0.14128L * std::cos(2.0L * a) -
               0.01168L * std::cos(3.0L * a);
    }
    }
    return 1.0L;
}

} // namespace

float ApplyWindow(int i, int n, TWindowMode mode, float value) {
    // The formulas divide by n (and Bartlett by n - 1): a window of one point, or of none,
    // passes the value instead of turning it into NaN.
    if (n <= 1)
        return value;
    return static_cast<float>(static_cast<long double>(value) * windowWeight(i, n, mode));
}

float Magnitude(float re, float im) {
    const double r = re;
    const double m = im;
    return static_cast<float>(std::sqrt(r * r + m * m));
}

TProcessorIdentification IdentifyProcessor() {
    TProcessorIdentification id;
#if defined(__i386__) || defined(__x86_64__)
    // __get_cpuid_max toggles the identification flag on 32-bit processors and gives 0 when
    // the instruction is missing.
    if (__get_cpuid_max(0, nullptr) == 0)
        return id;
    id.available = true;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        id.leaf1Edx = edx;
    __cpuid(0x80000000u, eax, ebx, ecx, edx);
    id.highestExtendedLeaf = eax;
    if (id.highestExtendedLeaf > 0x80000000u) {
        __cpuid(0x80000001u, eax, ebx, ecx, edx);
        id.extendedLeaf1Edx = edx;
    }
#endif
    return id;
}

TProcessorFeatures DecodeProcessorFeatures(const TProcessorIdentification& id) {
    TProcessorFeatures features;
    if (!id.available)
        return features;
    features.HasSSE = (id.leaf1Edx >> 25) & 1u;
    if (id.highestExtendedLeaf > 0x80000000u) {
        features.Has3DNow = (id.extendedLeaf1Edx >> 31) & 1u;
        features.Has3DNowExt = (id.extendedLeaf1Edx >> 30) & 1u;
    }
    return features;
}

const TProcessorFeatures& DetectProcessorFeatures() {
    static const TProcessorFeatures features = DecodeProcessorFeatures(IdentifyProcessor());
    return features;
}

} // namespace dsp
