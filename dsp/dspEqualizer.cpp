#include "dsp/dspEqualizer.h"

#include "dsp/dspSampleFormat.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>

namespace dsp {

namespace {

constexpr float kUnityGain = 2.0f; // gains are stored doubled, see DesignFilter

// Sample -> real part and back. The integer formats are filtered at their own scale, so the
// filter's unity gain keeps levels; 32-bit integers are taken at 1/32768 of their value and
// written back as multiples of 32768. Floats are not clamped.
template <class S>
float toReal(const std::uint8_t* p) {
    if constexpr (std::is_same_v<S, Signed32Sample>) {
        return float(S::Load(p)) * (1.0f / 32768.0f);
    } else if constexpr (std::is_same_v<S, Float32Sample>) {
        // One NaN or infinity would spread through the transform into every later segment
        // by way of the tail; it is taken as silence instead.
        const float v = S::Load(p);
        return std::isfinite(v) ? v : 0.0f;
    } else {
        return float(S::Load(p));
    }
}

template <class S>
void fromReal(std::uint8_t* p, float y) {
    if constexpr (std::is_same_v<S, Float32Sample>) {
        S::Store(p, y);
    } else if constexpr (std::is_same_v<S, Signed32Sample>) {
        constexpr double kLimit = 1099511627776.0; // 2^40: keeps the product in 64 bits
        S::Store(p, RoundToInt(ClampFinite(y, -kLimit, kLimit)) * 32768);
    } else {
        S::StoreRounded(p, y);
    }
}

} // namespace

struct TDCEqualizer::State {
    State() {
        for (auto& channel : gains) {
            for (auto& gain : channel) {
                gain.store(kUnityGain, std::memory_order_relaxed);
            }
        }
    }

    TDCFFT fft; // the signal; Scale off because 1/N is folded into the filter spectra
    std::array<TDCFFT, kMaxChannels> filterFFT; // spectra in the transform's scrambled order
    std::array<std::array<float, kMaxFFTLength / 4>, kMaxChannels> tail{};
    std::array<std::array<std::atomic<float>, kMaxBins>, kMaxChannels> gains;
    std::array<float, kMaxFFTLength / 4 + 1> impulse{};
};

TDCEqualizer::TDCEqualizer()
    : m_state(std::make_unique<State>()) {
    m_state->fft.setScale(false);
    m_state->fft.setReOrder(false);
    for (TDCFFT& filter : m_state->filterFFT) {
        filter.setScale(true);
        filter.setReOrder(false);
    }
    ApplySize(TDCFFTSize::fts1024);
}

TDCEqualizer::~TDCEqualizer() = default;

void TDCEqualizer::SetSeperate(bool value) {
    if (m_seperate.exchange(value, std::memory_order_relaxed) != value) {
        m_filterDirty.store(true, std::memory_order_release);
    }
}

void TDCEqualizer::SetEnabled(bool value) {
    if (value == Enabled()) {
        return;
    }
    if (value) {
        Flush();
    }
    m_enabled.store(value, std::memory_order_release);
}

void TDCEqualizer::SetFFTSize(TDCFFTSize value) {
    m_requestedSize.store(value, std::memory_order_release);
}

// UI thread. The gain is written before the flag is raised, and the design lowers the flag
// before reading the gains, so a change made during a design is picked up by the next block.
void TDCEqualizer::SetBand(int channel, int index, std::int8_t value) {
    if (channel < 0 || channel >= kMaxChannels || index < 0 || index >= kMaxBins) {
        return;
    }
    const long double gain = 2.0L * std::pow(10.0L, static_cast<long double>(value) / 100.0L);
    m_state->gains[channel][index].store(float(gain), std::memory_order_relaxed);
    m_filterDirty.store(true, std::memory_order_release);
}

std::int8_t TDCEqualizer::GetBand(int channel, int index) const {
    if (channel < 0 || channel >= kMaxChannels || index < 0 || index >= kMaxBins) {
        return 0;
    }
    const float gain = m_state->gains[channel][index].load(std::memory_order_relaxed);
    const double band = std::nearbyint(100.0 * std::log10(double(gain) / 2.0));
    return std::int8_t(std::clamp(band, -128.0, 127.0));
}

void TDCEqualizer::Flush() {
    m_flushRequested.store(true, std::memory_order_release);
}

bool TDCEqualizer::Process(void* buffer, std::uint32_t size, std::uint32_t bits,
                           std::uint32_t channels, bool isFloat) {
    const SampleFormat format = ToSampleFormat(bits, isFloat);
    if (!Enabled() || format == SampleFormat::Unsupported || channels == 0 || buffer == nullptr) {
        return false;
    }
    const int filtered = int(std::min<std::uint32_t>(channels, kMaxChannels));
    ApplyRequests(Seperate() ? filtered : 1);

    auto* data = static_cast<std::uint8_t*>(buffer);
    return VisitSampleFormat(format, [&](auto sample) {
        using S = decltype(sample);
        ForEachChunk(data, size, S::kBytes * channels, [&](std::uint8_t* chunk, std::size_t bytes) {
            ProcessChunk<S>(chunk, bytes, channels);
        });
    });
}

// Streaming thread: takes up what the other threads asked for since the last block.
void TDCEqualizer::ApplyRequests(int filtersNeeded) {
    const TDCFFTSize size = m_requestedSize.load(std::memory_order_acquire);
    if (size != m_size) {
        ApplySize(size);
    }
    if (m_flushRequested.exchange(false, std::memory_order_acq_rel)) {
        for (auto& tail : m_state->tail) {
            tail.fill(0.0f);
        }
    }
    const bool dirty = m_filterDirty.exchange(false, std::memory_order_acq_rel);
    const bool seperate = Seperate();
    if (dirty || seperate != m_designedSeperate || m_designedFilters < filtersNeeded) {
        DesignFilters(filtersNeeded);
        m_designedSeperate = seperate;
    }
}

// Filters of another length would wrap the convolution around and misplace the tails, so a
// new size means new filters and empty tails.
void TDCEqualizer::ApplySize(TDCFFTSize size) {
    m_size = size;
    m_state->fft.setFFTSize(size);
    for (TDCFFT& filter : m_state->filterFFT) {
        filter.setFFTSize(size);
    }
    m_fftLength = dsp::FFTLength(size);
    m_blockLength = 3 * m_fftLength / 4;
    m_halfLength = m_fftLength / 2;
    m_tailLength = m_fftLength / 4;
    m_shiftLength = m_fftLength / 8;
    m_designedFilters = 0;
    for (auto& tail : m_state->tail) {
        tail.fill(0.0f);
    }
}

void TDCEqualizer::DesignFilters(int count) {
    for (int f = 0; f < count; ++f) {
        DesignFilter(f);
    }
    m_designedFilters = count;
}

// Frequency sampling. The inverse transform of the one-sided gain curve gives the cosine
// series r(m) = (1/N) sum_{k<N/2} gain_k cos(2 pi k m / N); bins 1..N/2-1 act with half
// their stored value there, bin 0 with all of it, which is why gains are stored doubled. The
// series, shifted by N/8 and cut to N/4 + 1 taps under a Hann window of period N/4 + 2,
// is the impulse response; its forward transform, left in scrambled order, is multiplied
// point by point with each segment's spectrum.
void TDCEqualizer::DesignFilter(int f) {
    TDCFFT& filter = m_state->filterFFT[f];
    TComplex* spectrum = filter.ComplexBuffer();
    const int n = m_fftLength;
    filter.Clear();
    for (int k = 0; k < m_halfLength; ++k) {
        spectrum[k].re = m_state->gains[f][k].load(std::memory_order_relaxed);
    }
    ComplexFFT(spectrum, n, true, filter.ReorderBuffer(), true, true);

    const int taps = m_tailLength + 1;
    const double period = double(m_tailLength + 2);
    for (int m = 0; m < taps; ++m) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * m / period);
        const float r = spectrum[(m - m_shiftLength + n) % n].re;
        m_state->impulse[m] = float(r * window);
    }
    filter.Clear();
    for (int m = 0; m < taps; ++m) {
        spectrum[m].re = m_state->impulse[m];
    }
    filter.Forward();
    // The segments' inverse transform runs unscaled: 1/N, a power of two, is applied here
    // instead, which gives the same values and saves a pass over every segment.
    ScaleComplex(spectrum, n, 1.0f / float(n));
}

template <class S>
void TDCEqualizer::ProcessChunk(std::uint8_t* data, std::size_t size, std::uint32_t channels) {
    // Trailing bytes that do not make a whole frame are left as they are.
    const std::size_t frames = size / channels / S::kBytes;
    const int filtered = int(std::min<std::uint32_t>(channels, kMaxChannels));
    int c = 0;
    if (!m_designedSeperate) {
        for (; c + 1 < filtered; c += 2) {
            FilterChannels<S, true>(data, frames, channels, c);
        }
    }
    for (; c < filtered; ++c) {
        FilterChannels<S, false>(data, frames, channels, c);
    }
}

// Overlap-add: each segment of at most 3N/4 frames convolved with the N/4 + 1 taps fits in
// N points without wrapping around; the last N/4 results carry over to the next segment.
// The filter is real, so two channels that share it go through one transform together:
// channel c in the real parts, channel c + 1 in the imaginary parts, and each comes back in
// its own part, the same values as two transforms of their own up to float rounding.
template <class S, bool kPair>
void TDCEqualizer::FilterChannels(std::uint8_t* data, std::size_t frames, std::uint32_t channels,
                                  int c) {
    TDCFFT& fft = m_state->fft;
    TComplex* work = fft.ComplexBuffer();
    const TComplex* filter = m_state->filterFFT[m_designedSeperate ? c : 0].ComplexBuffer();
    float* tail = m_state->tail[c].data();
    float* pairTail = kPair ? m_state->tail[c + 1].data() : nullptr;
    const std::size_t n = std::size_t(m_fftLength);
    const std::size_t tailLength = std::size_t(m_tailLength);
    const std::size_t stride = channels * S::kBytes;
    for (std::size_t done = 0; done < frames; done += std::size_t(m_blockLength)) {
        const std::size_t count = std::min(frames - done, std::size_t(m_blockLength));
        std::uint8_t* first = data + (done * channels + std::size_t(c)) * S::kBytes;
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t* p = first + i * stride;
            work[i] = TComplex{toReal<S>(p), kPair ? toReal<S>(p + S::kBytes) : 0.0f};
        }
        std::fill(work + count, work + n, TComplex{});
        fft.Forward();
        for (std::size_t k = 0; k < n; ++k) {
            const TComplex x = work[k];
            const TComplex h = filter[k];
            work[k] = TComplex{x.re * h.re - x.im * h.im, x.re * h.im + x.im * h.re};
        }
        fft.Inverse();
        for (std::size_t k = 0; k < tailLength; ++k) {
            work[k].re += tail[k];
            if constexpr (kPair) {
                work[k].im += pairTail[k];
            }
        }
        for (std::size_t k = 0; k < tailLength; ++k) {
            tail[k] = work[count + k].re;
            if constexpr (kPair) {
                pairTail[k] = work[count + k].im;
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t* p = first + i * stride;
            fromReal<S>(p, work[i].re);
            if constexpr (kPair) {
                fromReal<S>(p + S::kBytes, work[i].im);
            }
        }
    }
}

} // namespace dsp
