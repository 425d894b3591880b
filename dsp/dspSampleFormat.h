#pragma once

#include "dsp/dspUtils.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Sample formats of the PCM blocks the processors work on, in one place: a format value,
// one type per format with its load and saturating store, and one switch that runs a
// function template for the format of a block.
namespace dsp {

static_assert(std::endian::native == std::endian::little, "samples are loaded as host words");

enum class SampleFormat : std::uint8_t {
    Unsupported,
    Unsigned8,
    Signed16,
    Signed24,
    Signed32,
    Float32
};

// 8-bit samples are unsigned, the others signed little-endian; 32 bits are floats when
// `isFloat` is set.
constexpr SampleFormat ToSampleFormat(std::uint32_t bits, bool isFloat) {
    switch (bits) {
    case 8:
        return SampleFormat::Unsigned8;
    case 16:
        return SampleFormat::Signed16;
    case 24:
        return SampleFormat::Signed24;
    case 32:
        return isFloat ? SampleFormat::Float32 : SampleFormat::Signed32;
    default:
        return SampleFormat::Unsupported;
    }
}

// Nearest integer, ties to even, for |value| < 2^51 (the caller clamps first). Adding and
// removing 1.5 * 2^52 leaves the integer part rounded by the FPU's default mode; it is much
// cheaper than the library's rint, which is an out-of-line call.
inline std::int64_t RoundToInt(double value) {
    constexpr double kShifter = 6755399441055744.0;
    return static_cast<std::int64_t>((value + kShifter) - kShifter);
}

// The value clamped to [lo, hi]; NaN gives 0.
constexpr double ClampFinite(double value, double lo, double hi) {
    return value >= lo ? (value <= hi ? value : hi) : (value < lo ? lo : 0.0);
}

// Each sample type: kBytes per sample, kFullScale the magnitude that maps to 1.0, Load gives the
// integer value (the float for floats), StoreRounded rounds to nearest-even and saturates as the
// format's clip routine does.
struct Unsigned8Sample {
    static constexpr double kFullScale = 128.0;
    static constexpr std::size_t kBytes = 1;
    static std::int32_t Load(const std::uint8_t* p) { return std::int32_t(p[0]) - 128; }
    static void StoreRounded(std::uint8_t* p, double value) {
        p[0] =
            std::uint8_t(Clip8(std::int32_t(RoundToInt(ClampFinite(value, -129.0, 128.0)))) + 128);
    }
};

struct Signed16Sample {
    static constexpr double kFullScale = 32768.0;
    static constexpr std::size_t kBytes = 2;
    static std::int32_t Load(const std::uint8_t* p) {
        std::int16_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void StoreRounded(std::uint8_t* p, double value) {
        const std::int16_t v =
            Clip16(std::int32_t(RoundToInt(ClampFinite(value, -32769.0, 32768.0))));
        std::memcpy(p, &v, sizeof v);
    }
};

struct Signed24Sample {
    static constexpr double kFullScale = 8388608.0;
    static constexpr std::size_t kBytes = 3;
    static std::int32_t Load(const std::uint8_t* p) { return Read24(p); }
    static void StoreRounded(std::uint8_t* p, double value) {
        Write24(Clip24(std::int32_t(RoundToInt(ClampFinite(value, -8388609.0, 8388608.0)))), p);
    }
};

struct Signed32Sample {
    static constexpr double kFullScale = 2147483648.0;
    static constexpr std::size_t kBytes = 4;
    static std::int32_t Load(const std::uint8_t* p) {
        std::int32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void Store(std::uint8_t* p, std::int64_t value) {
        const std::int32_t v = Clip32(value);
        std::memcpy(p, &v, sizeof v);
    }
    static void StoreRounded(std::uint8_t* p, double value) {
        Store(p, RoundToInt(ClampFinite(value, -2147483649.0, 2147483648.0)));
    }
};

struct Float32Sample {
    static constexpr double kFullScale = 1.0;
    static constexpr std::size_t kBytes = 4;
    static float Load(const std::uint8_t* p) {
        float v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void Store(std::uint8_t* p, float value) { std::memcpy(p, &value, sizeof value); }
};

// Runs fn(SampleType{}) for the format; false (and nothing run) when it is unsupported.
template <class Fn>
bool VisitSampleFormat(SampleFormat format, Fn&& fn) {
    switch (format) {
    case SampleFormat::Unsigned8:
        fn(Unsigned8Sample{});
        return true;
    case SampleFormat::Signed16:
        fn(Signed16Sample{});
        return true;
    case SampleFormat::Signed24:
        fn(Signed24Sample{});
        return true;
    case SampleFormat::Signed32:
        fn(Signed32Sample{});
        return true;
    case SampleFormat::Float32:
        fn(Float32Sample{});
        return true;
    case SampleFormat::Unsupported:
        break;
    }
    return false;
}

} // namespace dsp
