#pragma once

#include <cstdint>

namespace dsp {

// Analysis windows of the spectrum analyser.
enum class TWindowMode : std::uint8_t {
    wmRectangular,
    wmHanning,
    wmBartlett,
    wmHamming,
    wmGaussian,
    wmBlackman,
    wmBlackmanHarris,
};

// 24-bit samples: three bytes, low byte first, two's complement.
constexpr std::int32_t Read24(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
    return std::int32_t(b0) + 256 * std::int32_t(b1) + 65536 * std::int32_t(std::int8_t(b2));
}

inline std::int32_t Read24(const std::uint8_t* source) {
    return Read24(source[0], source[1], source[2]);
}

inline void Write24(std::int32_t value, std::uint8_t* destination) {
    const auto bits = std::uint32_t(value);
    destination[0] = std::uint8_t(bits);
    destination[1] = std::uint8_t(bits >> 8);
    destination[2] = std::uint8_t(bits >> 16);
}

constexpr std::int8_t Clip8(std::int32_t value) {
    return std::int8_t(value < -128 ? -128 : value > 127 ? 127 : value);
}

constexpr std::int16_t Clip16(std::int32_t value) {
    return std::int16_t(value < -32768 ? -32768 : value > 32767 ? 32767 : value);
}

constexpr std::int32_t Clip24(std::int32_t value) {
    return value < -8388608 ? -8388608 : value > 8388607 ? 8388607 : value;
}

// The lower bound is -2147483647 so that the range is symmetric.
constexpr std::int32_t Clip32(std::int64_t value) {
    constexpr std::int64_t kBound = 2147483647;
    return std::int32_t(value < -kBound ? -kBound : value > kBound ? kBound : value);
}

constexpr float ClipFloat(float value) {
    return value > 1.0f ? 1.0f : value < -1.0f ? -1.0f : value;
}

constexpr std::int32_t ClipUnsigned16(std::int32_t value) {
    return value < 0 ? 0 : value > 65535 ? 65535 : value;
}

// The value multiplied by the weight of window `mode` at index i of n (0 <= i < n); windows
// of fewer than two points leave the value unchanged.
float ApplyWindow(int i, int n, TWindowMode mode, float value);

// sqrt(re^2 + im^2), rounded to single precision.
float Magnitude(float re, float im);

struct TProcessorFeatures {
    bool HasSSE = false;
    bool Has3DNow = false;
    bool Has3DNowExt = false;
};

// What the processor identification instruction reports, as far as the feature flags need it.
struct TProcessorIdentification {
    bool available = false;                // the identification instruction exists
    std::uint32_t leaf1Edx = 0;            // EDX of leaf 1
    std::uint32_t highestExtendedLeaf = 0; // EAX of leaf 0x80000000
    std::uint32_t extendedLeaf1Edx = 0;    // EDX of leaf 0x80000001
};

// Reads the identification instruction (all zero and unavailable off x86).
TProcessorIdentification IdentifyProcessor();

TProcessorFeatures DecodeProcessorFeatures(const TProcessorIdentification& identification);

// Runs the detection once; later calls return the first result.
const TProcessorFeatures& DetectProcessorFeatures();

inline bool HasSSE() {
    return DetectProcessorFeatures().HasSSE;
}
inline bool Has3DNow() {
    return DetectProcessorFeatures().Has3DNow;
}
inline bool Has3DNowExt() {
    return DetectProcessorFeatures().Has3DNowExt;
}

} // namespace dsp
