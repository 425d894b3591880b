#include "dsp/dspFastFourier.h"

#include "dsp/dspFastFourierKernels.h"
#include "dsp/dspUtils.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace dsp {

namespace {

const fft::Kernels& kernelsOf(TFFTImplementation implementation) {
    if (implementation == TFFTImplementation::SSE && fft::sseKernels() != nullptr)
        return *fft::sseKernels();
    return fft::portableKernels();
}

// The vector implementations read the data with aligned 16-byte accesses; a buffer that is
// not aligned goes through the portable one, which gives the same values.
const fft::Kernels& kernelsFor(TFFTImplementation implementation, const TComplex* buffer) {
    const bool aligned = reinterpret_cast<std::uintptr_t>(buffer) % 16 == 0;
    return aligned ? kernelsOf(implementation) : fft::portableKernels();
}

void transform(const fft::Kernels& kernels, TComplex* buffer, int n, bool inverse,
               TComplex* scratch, bool reOrder, bool scale) {
    std::vector<TComplex> temporary;
    if (reOrder && scratch == nullptr) {
        temporary.resize(static_cast<std::size_t>(n));
        scratch = temporary.data();
    }
    if (!inverse) {
        if (reOrder)
            kernels.forwardNatural(buffer, n, scratch);
        else
            kernels.forward(buffer, n);
        return;
    }
    if (scale)
        kernels.scale(buffer, n, 1.0f / float(n));
    if (reOrder)
        ReorderComplex(buffer, n, fft::Tables::instance().scramble(n).data(), scratch, true);
    kernels.inverse(buffer, n);
}

} // namespace

std::span<const std::uint16_t> ScrambleTable(int n) {
    return fft::Tables::instance().scramble(n);
}

TFFTImplementation ChosenFFTImplementation() {
    // The order of preference puts the vector implementations first; SSE is the only one
    // this engine carries.
    static const TFFTImplementation chosen = HasSSE() && fft::sseKernels() != nullptr
                                                 ? TFFTImplementation::SSE
                                                 : TFFTImplementation::Portable;
    return chosen;
}

bool FFTImplementationAvailable(TFFTImplementation implementation) {
    return implementation == TFFTImplementation::Portable ||
           (fft::sseKernels() != nullptr && HasSSE());
}

void ComplexFFT(TFFTImplementation implementation, TComplex* buffer, int n, bool inverse,
                TComplex* scratch, bool reOrder, bool scale) {
    if (buffer == nullptr || !fft::isTransformLength(n))
        return;
    if (!FFTImplementationAvailable(implementation))
        implementation = ChosenFFTImplementation();
    transform(kernelsFor(implementation, buffer), buffer, n, inverse, scratch, reOrder, scale);
}

void ComplexFFT(TComplex* buffer, int n, bool inverse, TComplex* scratch, bool reOrder,
                bool scale) {
    ComplexFFT(ChosenFFTImplementation(), buffer, n, inverse, scratch, reOrder, scale);
}

void ReorderComplex(TComplex* buffer, int n, const std::uint16_t* table, TComplex* scratch,
                    bool inverse) {
    if (buffer == nullptr || table == nullptr || n <= 0)
        return;
    std::vector<TComplex> temporary;
    if (scratch == nullptr) {
        temporary.resize(static_cast<std::size_t>(n));
        scratch = temporary.data();
    }
    std::copy_n(buffer, n, scratch);
    if (inverse) {
        for (int i = 0; i < n; ++i)
            buffer[table[i]] = scratch[i];
    } else {
        for (int i = 0; i < n; ++i)
            buffer[i] = scratch[table[i]];
    }
}

void ScaleComplex(TComplex* buffer, int n, float factor) {
    if (buffer == nullptr || n <= 0)
        return;
    kernelsFor(HasSSE() ? TFFTImplementation::SSE : TFFTImplementation::Portable, buffer)
        .scale(buffer, n, factor);
}

TDCFFT::TDCFFT()
    : m_buffers(std::make_unique<Buffers>()) {}

void TDCFFT::Forward() {
    ComplexFFT(ComplexBuffer(), FFTSizeInt(), false, ReorderBuffer(), m_reOrder, m_scale);
}

void TDCFFT::Inverse() {
    ComplexFFT(ComplexBuffer(), FFTSizeInt(), true, ReorderBuffer(), m_reOrder, m_scale);
}

void TDCFFT::Clear() {
    std::fill_n(ComplexBuffer(), kMaxFFTLength, TComplex{});
}

} // namespace dsp
