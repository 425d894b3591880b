#include "dsp/dspFastFourierKernels.h"

#include <cmath>
#include <numbers>

namespace dsp::fft {

namespace {

constexpr int log2Of(int n) {
    int bits = 0;
    while ((1 << bits) < n)
        ++bits;
    return bits;
}

// The table of length n in storage that holds the tables of every length one after the other.
std::span<const std::uint16_t> tableOfLength(const std::uint16_t* storage, int n) {
    if (!isTransformLength(n))
        return {};
    return {storage + (n - 2), static_cast<std::size_t>(n)};
}

int twiddleCount(int n) {
    return n <= 512 ? n / 4 - 1 : n / 8 - 1;
}

} // namespace

const Tables& Tables::instance() {
    static const Tables tables;
    return tables;
}

Tables::Tables() {
    // Each table of length 2n is the table of length n doubled and written twice, plus one
    // over a window that moves with a toggling start.
    m_scramble[0] = 0;
    m_scramble[1] = 1;
    int toggle = 1;
    int start = 1;
    for (int n = 2; n < kMaxFFTLength; n *= 2) {
        const std::uint16_t* previous = m_scramble + (n - 2);
        std::uint16_t* next = m_scramble + (2 * n - 2);
        toggle = 1 - toggle;
        start = 2 * start - toggle;
        const int length = 2 * n;
        for (int i = 0; i < n; ++i) {
            next[i] = std::uint16_t(2 * previous[i]);
            next[i + n] = next[i];
        }
        for (int i = start; i < start + length / 2; ++i)
            ++next[i];
    }
    for (int n = 2; n <= kMaxFFTLength; n *= 2) {
        const int first = n - 2;
        for (int k = 0; k < n; ++k)
            m_frequencies[first + m_scramble[first + k]] = std::uint16_t(k);
    }

    int offset = 0;
    for (int n = 32; n <= kMaxFFTLength; n *= 2) {
        m_twiddleOffset[log2Of(n)] = offset;
        // The step is rounded to double first; the functions run in extended precision.
        const double step = static_cast<double>(2.0L * std::numbers::pi_v<long double> / n);
        for (int j = 0; j <= twiddleCount(n); ++j) {
            const long double angle = static_cast<long double>(j) * static_cast<long double>(step);
            m_twiddles[offset + j] = {static_cast<float>(std::cos(angle)),
                                      static_cast<float>(std::sin(angle))};
        }
        offset += twiddleCount(n) + 1;
    }
}

std::span<const std::uint16_t> Tables::scramble(int n) const {
    return tableOfLength(m_scramble, n);
}

std::span<const std::uint16_t> Tables::frequencies(int n) const {
    return tableOfLength(m_frequencies, n);
}

std::span<const TComplex> Tables::twiddles(int n) const {
    if (!isTransformLength(n) || n < 32)
        return {};
    return {m_twiddles + m_twiddleOffset[log2Of(n)], static_cast<std::size_t>(twiddleCount(n) + 1)};
}

TComplex Tables::twiddle(int n, int k) const {
    const TComplex* table = m_twiddles + m_twiddleOffset[log2Of(n)];
    if (n <= 512 || k < n / 8)
        return table[k];
    if (k == n / 8)
        return {kSqrtHalf, kSqrtHalf};
    const TComplex mirrored = table[n / 4 - k];
    return {mirrored.im, mirrored.re};
}

} // namespace dsp::fft
