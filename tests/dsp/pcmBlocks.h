#pragma once

// Test blocks of PCM samples in every format the processors take, built from normalised
// values (full scale 1.0) and read back the same way. Written independently of dsp/ so that
// the processors' own conversions are checked against it.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <span>
#include <string_view>
#include <vector>

namespace pcm {

struct Format {
    std::string_view name;
    std::uint32_t bits;
    bool isFloat;
    double fullScale; // integer value of +1.0

    std::size_t bytes() const { return bits / 8; }
    double step() const { return isFloat ? 0.0 : 1.0 / fullScale; } // one quantisation step
};

inline constexpr std::array<Format, 5> kFormats{{
    {"u8", 8, false, 128.0},
    {"s16", 16, false, 32768.0},
    {"s24", 24, false, 8388608.0},
    {"s32", 32, false, 2147483648.0},
    {"f32", 32, true, 1.0},
}};

inline std::int64_t saturate(double v, std::int64_t lo, std::int64_t hi) {
    const double r = std::nearbyint(v);
    return r < double(lo) ? lo : r > double(hi) ? hi : std::int64_t(r);
}

inline std::vector<std::uint8_t> encode(const Format& f, std::span<const double> values) {
    std::vector<std::uint8_t> out(values.size() * f.bytes());
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint8_t* p = out.data() + i * f.bytes();
        if (f.isFloat) {
            const float v = float(values[i]);
            std::memcpy(p, &v, 4);
            continue;
        }
        const auto hi = std::int64_t(f.fullScale) - 1;
        const std::int64_t v = saturate(values[i] * f.fullScale, -hi - 1, hi);
        const auto u = std::uint64_t(f.bits == 8 ? v + 128 : v);
        for (std::size_t b = 0; b < f.bytes(); ++b) {
            p[b] = std::uint8_t(u >> (8 * b));
        }
    }
    return out;
}

inline std::vector<double> decode(const Format& f, std::span<const std::uint8_t> bytes) {
    std::vector<double> out(bytes.size() / f.bytes());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint8_t* p = bytes.data() + i * f.bytes();
        if (f.isFloat) {
            float v;
            std::memcpy(&v, p, 4);
            out[i] = v;
            continue;
        }
        std::uint64_t u = 0;
        for (std::size_t b = 0; b < f.bytes(); ++b) {
            u |= std::uint64_t(p[b]) << (8 * b);
        }
        std::int64_t v = std::int64_t(u);
        if (f.bits == 8) {
            v -= 128;
        } else if (u >> (f.bits - 1)) {
            v -= std::int64_t(1) << f.bits; // sign extension
        }
        out[i] = double(v) / f.fullScale;
    }
    return out;
}

// Interleaved sine of `frames` frames, the same on every channel.
inline std::vector<double> sine(std::size_t frames, std::size_t channels, double frequency,
                                double amplitude, double sampleRate = 44100.0,
                                std::size_t firstFrame = 0) {
    std::vector<double> out(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2.0 * std::numbers::pi * frequency *
                                              double(firstFrame + i) / sampleRate);
        for (std::size_t c = 0; c < channels; ++c) {
            out[i * channels + c] = v;
        }
    }
    return out;
}

inline double rms(std::span<const double> values) {
    double sum = 0.0;
    for (double v : values) {
        sum += v * v;
    }
    return values.empty() ? 0.0 : std::sqrt(sum / double(values.size()));
}

inline double decibels(double ratio) {
    return 20.0 * std::log10(ratio);
}

} // namespace pcm
