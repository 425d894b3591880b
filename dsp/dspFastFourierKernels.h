#pragma once

// What the transform implementations share: the tables and the narrow interface each
// implementation fills in. Internal to the FFT engine.

#include "dsp/dspFastFourier.h"

#include <cstdint>
#include <span>

namespace dsp::fft {

constexpr bool isTransformLength(int n) {
    return n >= 2 && n <= kMaxFFTLength && (n & (n - 1)) == 0;
}

// Scramble tables for every length and twiddle tables for every length from 32 up, built once
// on first use and read-only afterwards, so any thread may read them.
class Tables {
public:
    static const Tables& instance();

    // Scramble_n: position of frequency k after the forward transform of length n.
    std::span<const std::uint16_t> scramble(int n) const;
    // Its inverse: the frequency the forward transform of length n leaves at position p.
    std::span<const std::uint16_t> frequencies(int n) const;
    // Entries 0..K of the twiddle table of length n (n >= 32): entry j = (cos, sin)(2 pi j / n);
    // K = n/4 - 1 up to 512 and n/8 - 1 from 1024 up. Entry 0 is (1, 0).
    std::span<const TComplex> twiddles(int n) const;
    // w^k = e^(2 pi i k / n) for 0 <= k < n/4, read from the table of length n as the
    // transform walks it (mirrored with the parts exchanged above n/8 from 1024 up).
    TComplex twiddle(int n, int k) const;

private:
    Tables();

    static constexpr int kScrambleEntries = 2 * kMaxFFTLength - 2;
    static constexpr int kTwiddleEntries = 2168; // K + 1 summed over the nine tables

    std::uint16_t m_scramble[kScrambleEntries];
    std::uint16_t m_frequencies[kScrambleEntries];
    TComplex m_twiddles[kTwiddleEntries];
    int m_twiddleOffset[14] = {};
};

// Constants of the straight-line 8- and 16-point kernels.
constexpr float kSqrtHalf = 0.70710677f;
constexpr float kCosPi8 = 0.9238795f;
constexpr float kSinPi8 = 0.38268343f;

// One implementation of the unnormalised in-place transform. `buffer` holds n values, n a
// transform length; the SSE implementation needs it 16-byte aligned. `forward` and `inverse`
// work on scrambled-order spectra; `forwardNatural` gives the forward result in natural order,
// using `scratch` (room for n values).
struct Kernels {
    void (*forward)(TComplex* buffer, int n);
    void (*forwardNatural)(TComplex* buffer, int n, TComplex* scratch);
    void (*inverse)(TComplex* buffer, int n);
    void (*scale)(TComplex* buffer, int n, float factor);
};

const Kernels& portableKernels();
// Null when this build has no SSE implementation.
const Kernels* sseKernels();

} // namespace dsp::fft
