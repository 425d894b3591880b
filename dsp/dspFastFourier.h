#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace dsp {

// One complex value: real part first, 8 bytes; arrays are interleaved (re0, im0, re1, ...).
struct TComplex {
    float re = 0.0f;
    float im = 0.0f;
};

// Transform length N = 2^(ordinal + 1).
enum class TDCFFTSize : std::uint8_t {
    fts2,
    fts4,
    fts8,
    fts16,
    fts32,
    fts64,
    fts128,
    fts256,
    fts512,
    fts1024,
    fts2048,
    fts4096,
    fts8192,
};

constexpr int kMaxFFTLength = 8192;

constexpr int FFTLength(TDCFFTSize size) {
    return 2 << static_cast<int>(size);
}

// Position at which the forward transform without reordering leaves frequency k, for every k
// of length n (2..8192, powers of two); empty for any other n. The inverse transform without
// reordering expects frequency k at the same position.
std::span<const std::uint16_t> ScrambleTable(int n);

// Forward: X_k = sum x_n e^(+2 pi i k n / N); inverse: x_n = sum X_k e^(-2 pi i k n / N);
// neither normalised. With `reOrder` the forward output and the inverse input are in natural
// order, otherwise in scrambled order (see ScrambleTable). With `scale` the inverse first
// multiplies by 1/N. `scratch` (room for n values) is used for reordering; when null a
// temporary block is allocated. Does nothing unless n is a power of two in 2..8192.
// Fastest with a 16-byte aligned buffer.
void ComplexFFT(TComplex* buffer, int n, bool inverse, TComplex* scratch, bool reOrder, bool scale);

// Copies n values to `scratch` (a temporary block when null), then gathers
// (buffer[i] = scratch[table[i]]) or, with `inverse`, scatters (buffer[table[i]] = scratch[i]).
void ReorderComplex(TComplex* buffer, int n, const std::uint16_t* table, TComplex* scratch,
                    bool inverse);

// Multiplies the 2n floats of the buffer by `factor`.
void ScaleComplex(TComplex* buffer, int n, float factor);

// The implementations of the transform. One is chosen once from the processor features; the
// others stay reachable so that they can be compared and measured.
enum class TFFTImplementation : std::uint8_t { Portable, SSE };

TFFTImplementation ChosenFFTImplementation();
bool FFTImplementationAvailable(TFFTImplementation implementation);

// ComplexFFT through a given implementation (the chosen one when it is not available).
void ComplexFFT(TFFTImplementation implementation, TComplex* buffer, int n, bool inverse,
                TComplex* scratch, bool reOrder, bool scale);

// In-place FFT over an owned work buffer of 8192 values (16-byte aligned, zero-filled at
// creation); only the first FFTSizeInt() values take part in a transform.
// Not safe for concurrent use: each user owns its instances.
class TDCFFT {
public:
    TDCFFT();

    TComplex* ComplexBuffer() { return m_buffers->complex; }
    const TComplex* ComplexBuffer() const { return m_buffers->complex; }
    // Scratch used when reordering; its contents are meaningless between calls.
    TComplex* ReorderBuffer() { return m_buffers->reorder; }

    bool Scale() const { return m_scale; }
    void setScale(bool scale) { m_scale = scale; }
    bool ReOrder() const { return m_reOrder; }
    void setReOrder(bool reOrder) { m_reOrder = reOrder; }
    TDCFFTSize FFTSize() const { return m_size; }
    void setFFTSize(TDCFFTSize size) { m_size = size; }
    int FFTSizeInt() const { return FFTLength(m_size); }

    void Forward();
    void Inverse();
    // Zero-fills the whole work buffer, whatever the size.
    void Clear();

private:
    struct Buffers {
        alignas(64) TComplex reorder[kMaxFFTLength];
        alignas(64) TComplex complex[kMaxFFTLength];
    };

    std::unique_ptr<Buffers> m_buffers;
    bool m_scale = true;
    bool m_reOrder = true;
    TDCFFTSize m_size = TDCFFTSize::fts512;
};

} // namespace dsp
