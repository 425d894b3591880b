// SSE split-radix transform: interleaved complex data, two values per 4-float vector, aligned
// 16-byte accesses. The same butterflies as the portable implementation, in the same order of
// passes, so both leave the same values at the same positions.

#include "dsp/dspFastFourierKernels.h"

#if defined(__SSE__)

#include <memory>
#include <new>
#include <xmmintrin.h>

namespace dsp::fft {

namespace {

using V = __m128;

inline V load(const TComplex* p) {
    return _mm_load_ps(reinterpret_cast<const float*>(p));
}
inline void store(TComplex* p, V v) {
    _mm_store_ps(reinterpret_cast<float*>(p), v);
}
inline V add(V a, V b) {
    return _mm_add_ps(a, b);
}
inline V sub(V a, V b) {
    return _mm_sub_ps(a, b);
}
inline V mul(V a, V b) {
    return _mm_mul_ps(a, b);
}

inline V signs(bool s0, bool s1, bool s2, bool s3) {
    return _mm_setr_ps(s0 ? -0.0f : 0.0f, s1 ? -0.0f : 0.0f, s2 ? -0.0f : 0.0f, s3 ? -0.0f : 0.0f);
}

// (re, im) -> (im, re) in both halves.
inline V swapParts(V a) {
    return _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1));
}

// i * a for both values.
inline V timesI(V a) {
    return _mm_xor_ps(swapParts(a), signs(true, false, true, false));
}

// A pair of twiddle factors w_0, w_1 widened for interleaved data:
// cc = (c0, c0, c1, c1), ss = (-s0, s0, -s1, s1).
struct Twiddle {
    V cc;
    V ss;
};

inline V times(V a, const Twiddle& w) {
    return add(mul(a, w.cc), mul(swapParts(a), w.ss));
}
inline V timesConj(V a, const Twiddle& w) {
    return sub(mul(a, w.cc), mul(swapParts(a), w.ss));
}

Twiddle widen(TComplex w0, TComplex w1) {
    return {_mm_setr_ps(w0.re, w0.re, w1.re, w1.re), _mm_setr_ps(-w0.im, w0.im, -w1.im, w1.im)};
}

// Widened copies of the twiddle tables, for every length from 32 up: entry p of length n
// holds w^(2p) and w^(2p+1), 0 <= 2p < n/4, read as the portable transform reads them.
class WideTwiddles {
public:
    static const WideTwiddles& instance() {
        static const WideTwiddles wide;
        return wide;
    }

    const Twiddle* forLength(int n) const { return m_entries.get() + m_offset[lengthBits(n)]; }

private:
    WideTwiddles() {
        int total = 0;
        for (int n = 32; n <= kMaxFFTLength; n *= 2) {
            m_offset[lengthBits(n)] = total;
            total += n / 8;
        }
        m_entries.reset(new Twiddle[std::size_t(total)]);
        const Tables& tables = Tables::instance();
        for (int n = 32; n <= kMaxFFTLength; n *= 2) {
            Twiddle* entry = m_entries.get() + m_offset[lengthBits(n)];
            for (int k = 0; k < n / 4; k += 2)
                entry[k / 2] = widen(tables.twiddle(n, k), tables.twiddle(n, k + 1));
        }
    }

    static int lengthBits(int n) { return __builtin_ctz(unsigned(n)); }

    std::unique_ptr<Twiddle[]> m_entries; // 16-byte aligned by the vector type
    int m_offset[14] = {};
};

// The constant twiddle pairs of the 8- and 16-point kernels.
const Twiddle& kernelTwiddle01_8() {
    static const Twiddle w = widen({1, 0}, {kSqrtHalf, kSqrtHalf});
    return w;
}

const Twiddle& kernelTwiddle01_16() {
    static const Twiddle w = widen({1, 0}, {kCosPi8, kSinPi8});
    return w;
}

const Twiddle& kernelTwiddle23_16() {
    static const Twiddle w = widen({kSqrtHalf, kSqrtHalf}, {kSinPi8, kCosPi8});
    return w;
}

// (x0, x1) -> (x0 + x1, x0 - x1): the 2-point transform of one vector.
inline V butterfly2(V x) {
    const V low = _mm_movelh_ps(x, x);
    const V high = _mm_movehl_ps(x, x);
    return add(low, _mm_xor_ps(high, signs(false, false, true, true)));
}

// Forward butterfly on four quarter vectors holding k and k+1.
inline void forwardButterfly(V& a0, V& a1, V& a2, V& a3, const Twiddle& w) {
    const V u = sub(a0, a2);
    const V iv = timesI(sub(a1, a3));
    a0 = add(a0, a2);
    a1 = add(a1, a3);
    a2 = times(add(u, iv), w);
    a3 = timesConj(sub(u, iv), w);
}

inline void inverseButterfly(V& a0, V& a1, V& a2, V& a3, const Twiddle& w) {
    const V t1 = timesConj(a2, w);
    const V t2 = times(a3, w);
    const V s = add(t1, t2);
    const V id = timesI(sub(t1, t2));
    const V b0 = a0;
    const V b1 = a1;
    a0 = add(b0, s);
    a2 = sub(b0, s);
    a1 = sub(b1, id);
    a3 = add(b1, id);
}

// 4 points in two vectors (x0, x1), (x2, x3).
inline void forward4(V& x, V& y) {
    const V s = add(x, y); // (x0 + x2, x1 + x3)
    const V d = sub(x, y); // (u, v)
    x = butterfly2(s);
    // (u + iv, u - iv)
    const V uu = _mm_movelh_ps(d, d);
    const V iv =
        _mm_xor_ps(_mm_shuffle_ps(d, d, _MM_SHUFFLE(2, 3, 2, 3)), signs(true, false, false, true));
    y = add(uu, iv);
}

inline void inverse4(V& x, V& y) {
    x = butterfly2(x);
    const V sd = butterfly2(y); // (s, d) = (x2 + x3, x2 - x3)
    // (s, -i d)
    const V z = _mm_xor_ps(_mm_shuffle_ps(sd, sd, _MM_SHUFFLE(2, 3, 1, 0)),
                           signs(false, false, false, true));
    y = sub(x, z);
    x = add(x, z);
}

inline void forward8(V& v0, V& v1, V& v2, V& v3) {
    forwardButterfly(v0, v1, v2, v3, kernelTwiddle01_8());
    forward4(v0, v1);
    v2 = butterfly2(v2);
    v3 = butterfly2(v3);
}

inline void inverse8(V& v0, V& v1, V& v2, V& v3) {
    inverse4(v0, v1);
    v2 = butterfly2(v2);
    v3 = butterfly2(v3);
    inverseButterfly(v0, v1, v2, v3, kernelTwiddle01_8());
}

void forward16(TComplex* a) {
    V v0 = load(a), v1 = load(a + 2), v2 = load(a + 4), v3 = load(a + 6);
    V v4 = load(a + 8), v5 = load(a + 10), v6 = load(a + 12), v7 = load(a + 14);
    forwardButterfly(v0, v2, v4, v6, kernelTwiddle01_16());
    forwardButterfly(v1, v3, v5, v7, kernelTwiddle23_16());
    forward8(v0, v1, v2, v3);
    forward4(v4, v5);
    forward4(v6, v7);
    store(a, v0), store(a + 2, v1), store(a + 4, v2), store(a + 6, v3);
    store(a + 8, v4), store(a + 10, v5), store(a + 12, v6), store(a + 14, v7);
}

void inverse16(TComplex* a) {
    V v0 = load(a), v1 = load(a + 2), v2 = load(a + 4), v3 = load(a + 6);
    V v4 = load(a + 8), v5 = load(a + 10), v6 = load(a + 12), v7 = load(a + 14);
    inverse8(v0, v1, v2, v3);
    inverse4(v4, v5);
    inverse4(v6, v7);
    inverseButterfly(v0, v2, v4, v6, kernelTwiddle01_16());
    inverseButterfly(v1, v3, v5, v7, kernelTwiddle23_16());
    store(a, v0), store(a + 2, v1), store(a + 4, v2), store(a + 6, v3);
    store(a + 8, v4), store(a + 10, v5), store(a + 12, v6), store(a + 14, v7);
}

void forwardPass(TComplex* a, int n, const Twiddle* w) {
    const int q = n / 4;
    for (int k = 0; k < q; k += 2, ++w) {
        V a0 = load(a + k), a1 = load(a + k + q), a2 = load(a + k + 2 * q),
          a3 = load(a + k + 3 * q);
        forwardButterfly(a0, a1, a2, a3, *w);
        store(a + k, a0), store(a + k + q, a1), store(a + k + 2 * q, a2), store(a + k + 3 * q, a3);
    }
}

void inversePass(TComplex* a, int n, const Twiddle* w) {
    const int q = n / 4;
    for (int k = 0; k < q; k += 2, ++w) {
        V a0 = load(a + k), a1 = load(a + k + q), a2 = load(a + k + 2 * q),
          a3 = load(a + k + 3 * q);
        inverseButterfly(a0, a1, a2, a3, *w);
        store(a + k, a0), store(a + k + q, a1), store(a + k + 2 * q, a2), store(a + k + 3 * q, a3);
    }
}

void forward8At(TComplex* a) {
    V v0 = load(a), v1 = load(a + 2), v2 = load(a + 4), v3 = load(a + 6);
    forward8(v0, v1, v2, v3);
    store(a, v0), store(a + 2, v1), store(a + 4, v2), store(a + 6, v3);
}

void inverse8At(TComplex* a) {
    V v0 = load(a), v1 = load(a + 2), v2 = load(a + 4), v3 = load(a + 6);
    inverse8(v0, v1, v2, v3);
    store(a, v0), store(a + 2, v1), store(a + 4, v2), store(a + 6, v3);
}

// Segments of 32 and more; every sub-segment of 8 values or more stays 16-byte aligned.
void forwardSegment(TComplex* a, int n, const WideTwiddles& wide) {
    if (n == 16)
        return forward16(a);
    if (n == 8)
        return forward8At(a);
    forwardPass(a, n, wide.forLength(n));
    forwardSegment(a, n / 2, wide);
    forwardSegment(a + n / 2, n / 4, wide);
    forwardSegment(a + 3 * n / 4, n / 4, wide);
}

void inverseSegment(TComplex* a, int n, const WideTwiddles& wide) {
    if (n == 16)
        return inverse16(a);
    if (n == 8)
        return inverse8At(a);
    inverseSegment(a, n / 2, wide);
    inverseSegment(a + n / 2, n / 4, wide);
    inverseSegment(a + 3 * n / 4, n / 4, wide);
    inversePass(a, n, wide.forLength(n));
}

void forward(TComplex* a, int n) {
    if (n == 2) {
        store(a, butterfly2(load(a)));
    } else if (n == 4) {
        V x = load(a), y = load(a + 2);
        forward4(x, y);
        store(a, x), store(a + 2, y);
    } else {
        forwardSegment(a, n, WideTwiddles::instance());
    }
}

void inverse(TComplex* a, int n) {
    if (n == 2) {
        store(a, butterfly2(load(a)));
    } else if (n == 4) {
        V x = load(a), y = load(a + 2);
        inverse4(x, y);
        store(a, x), store(a + 2, y);
    } else {
        inverseSegment(a, n, WideTwiddles::instance());
    }
}

void scale(TComplex* buffer, int n, float factor) {
    const V f = _mm_set1_ps(factor);
    int i = 0;
    for (; i + 2 <= n; i += 2)
        store(buffer + i, mul(load(buffer + i), f));
    for (; i < n; ++i)
        buffer[i] = {buffer[i].re * factor, buffer[i].im * factor};
}

} // namespace

const Kernels* sseKernels() {
    static constexpr Kernels kernels{forward, inverse, scale};
    return &kernels;
}

} // namespace dsp::fft

#else

namespace dsp::fft {

const Kernels* sseKernels() {
    return nullptr;
}

} // namespace dsp::fft

#endif
