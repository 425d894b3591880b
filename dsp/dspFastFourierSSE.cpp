// SSE split-radix transform: interleaved complex data, two values per 4-float vector, aligned
// 16-byte accesses. The butterflies and their order are those of the portable implementation,
// so both leave the same values at the same positions; segments of 32 and fewer values are
// transformed in registers.

#include "dsp/dspFastFourierKernels.h"

#if defined(__SSE__)

#include <cstddef>
#include <cstdint>
#include <memory>
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

int lengthBits(int n) {
    return __builtin_ctz(unsigned(n));
}

// Widened twiddle tables for every length from 8 up: entry p of length n holds w^(2p) and
// w^(2p+1), 0 <= 2p < n/4, with the values the portable transform uses (the kernel constants
// below 32, the mirrored table walk from 1024 up).
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
        for (int n = 8; n <= kMaxFFTLength; n *= 2) {
            m_offset[lengthBits(n)] = total;
            total += n / 8;
        }
        m_entries = std::make_unique<Twiddle[]>(std::size_t(total));
        m_entries[m_offset[3]] = widen({1, 0}, {kSqrtHalf, kSqrtHalf});
        m_entries[m_offset[4]] = widen({1, 0}, {kCosPi8, kSinPi8});
        m_entries[m_offset[4] + 1] = widen({kSqrtHalf, kSqrtHalf}, {kSinPi8, kCosPi8});
        const Tables& tables = Tables::instance();
        for (int n = 32; n <= kMaxFFTLength; n *= 2) {
            Twiddle* entry = m_entries.get() + m_offset[lengthBits(n)];
            for (int k = 0; k < n / 4; k += 2)
                entry[k / 2] = widen(tables.twiddle(n, k), tables.twiddle(n, k + 1));
        }
    }

    std::unique_ptr<Twiddle[]> m_entries; // 16-byte aligned by the vector type
    int m_offset[14] = {};
};

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

// The straight-line kernels work on registers: v[j] holds values 2j and 2j + 1.
inline void forward4(V* v) {
    const V s = add(v[0], v[1]); // (x0 + x2, x1 + x3)
    const V d = sub(v[0], v[1]); // (u, v)
    v[0] = butterfly2(s);
    // (u + iv, u - iv)
    const V uu = _mm_movelh_ps(d, d);
    const V iv =
        _mm_xor_ps(_mm_shuffle_ps(d, d, _MM_SHUFFLE(2, 3, 2, 3)), signs(true, false, false, true));
    v[1] = add(uu, iv);
}

inline void inverse4(V* v) {
    const V x = butterfly2(v[0]);
    const V sd = butterfly2(v[1]); // (s, d) = (x2 + x3, x2 - x3)
    // (s, -i d)
    const V z = _mm_xor_ps(_mm_shuffle_ps(sd, sd, _MM_SHUFFLE(2, 3, 1, 0)),
                           signs(false, false, false, true));
    v[0] = add(x, z);
    v[1] = sub(x, z);
}

inline void forward8(V* v, const WideTwiddles& wide) {
    forwardButterfly(v[0], v[1], v[2], v[3], wide.forLength(8)[0]);
    forward4(v);
    v[2] = butterfly2(v[2]);
    v[3] = butterfly2(v[3]);
}

inline void inverse8(V* v, const WideTwiddles& wide) {
    inverse4(v);
    v[2] = butterfly2(v[2]);
    v[3] = butterfly2(v[3]);
    inverseButterfly(v[0], v[1], v[2], v[3], wide.forLength(8)[0]);
}

inline void forward16(V* v, const WideTwiddles& wide) {
    const Twiddle* w = wide.forLength(16);
    forwardButterfly(v[0], v[2], v[4], v[6], w[0]);
    forwardButterfly(v[1], v[3], v[5], v[7], w[1]);
    forward8(v, wide);
    forward4(v + 4);
    forward4(v + 6);
}

inline void inverse16(V* v, const WideTwiddles& wide) {
    const Twiddle* w = wide.forLength(16);
    inverse8(v, wide);
    inverse4(v + 4);
    inverse4(v + 6);
    inverseButterfly(v[0], v[2], v[4], v[6], w[0]);
    inverseButterfly(v[1], v[3], v[5], v[7], w[1]);
}

template <int Count>
inline void loadAll(const TComplex* a, V* v) {
    for (int j = 0; j < Count; ++j)
        v[j] = load(a + 2 * j);
}

template <int Count>
inline void storeAll(TComplex* a, const V* v) {
    for (int j = 0; j < Count; ++j)
        store(a + 2 * j, v[j]);
}

// The 32-point kernels, their pass included, on sixteen registers.
inline void forward32(V* v, const WideTwiddles& wide) {
    const Twiddle* w = wide.forLength(32);
    for (int j = 0; j < 4; ++j)
        forwardButterfly(v[j], v[j + 4], v[j + 8], v[j + 12], w[j]);
    forward16(v, wide);
    forward8(v + 8, wide);
    forward8(v + 12, wide);
}

inline void inverse32(V* v, const WideTwiddles& wide) {
    const Twiddle* w = wide.forLength(32);
    inverse16(v, wide);
    inverse8(v + 8, wide);
    inverse8(v + 12, wide);
    for (int j = 0; j < 4; ++j)
        inverseButterfly(v[j], v[j + 4], v[j + 8], v[j + 12], w[j]);
}

// Where the forward leaves put their results: back in place, at the same positions of
// another block, or straight at the natural position of each frequency in the output block.
struct InPlace {
    template <int Count>
    void put(TComplex* a, const V* v) const {
        storeAll<Count>(a, v);
    }
};

struct Relocated {
    const TComplex* base; // start of the transformed block
    TComplex* out;        // start of the other block, any alignment

    template <int Count>
    void put(TComplex* a, const V* v) const {
        TComplex* target = out + (a - base);
        for (int j = 0; j < Count; ++j)
            _mm_storeu_ps(reinterpret_cast<float*>(target + 2 * j), v[j]);
    }
};

struct NaturalOrder {
    const TComplex* base;           // start of the transformed block
    TComplex* out;                  // start of the output block
    const std::uint16_t* frequency; // frequency left at each position of the block

    template <int Count>
    void put(TComplex* a, const V* v) const {
        const std::uint16_t* at = frequency + (a - base);
        for (int j = 0; j < Count; ++j) {
            _mm_storel_pi(reinterpret_cast<__m64*>(out + at[2 * j]), v[j]);
            _mm_storeh_pi(reinterpret_cast<__m64*>(out + at[2 * j + 1]), v[j]);
        }
    }
};

// One pass over a segment of n >= 64 (quarter q = n/4; two k per vector, four per step),
// reading `from` and writing `to`, which may be the same block.
template <void (*Butterfly)(V&, V&, V&, V&, const Twiddle&)>
void pass(const TComplex* from, TComplex* to, int n, const Twiddle* w) {
    const int q = n / 4;
    const TComplex* s0 = from;
    const TComplex* s1 = from + q;
    const TComplex* s2 = from + 2 * q;
    const TComplex* s3 = from + 3 * q;
    TComplex* p0 = to;
    TComplex* p1 = to + q;
    TComplex* p2 = to + 2 * q;
    TComplex* p3 = to + 3 * q;
    for (int k = 0; k < q; k += 4, w += 2) {
        V a0 = load(s0 + k), a1 = load(s1 + k), a2 = load(s2 + k), a3 = load(s3 + k);
        V b0 = load(s0 + k + 2), b1 = load(s1 + k + 2), b2 = load(s2 + k + 2),
          b3 = load(s3 + k + 2);
        Butterfly(a0, a1, a2, a3, w[0]);
        Butterfly(b0, b1, b2, b3, w[1]);
        store(p0 + k, a0), store(p1 + k, a1), store(p2 + k, a2), store(p3 + k, a3);
        store(p0 + k + 2, b0), store(p1 + k + 2, b1), store(p2 + k + 2, b2), store(p3 + k + 2, b3);
    }
}

// The forward transform of the segment read from `from` and written to `a` (the same block
// or another one); below the first pass it runs in place in `a`.
template <typename Sink>
void forwardSegment(const TComplex* from, TComplex* a, int n, const Sink& sink,
                    const WideTwiddles& wide) {
    V v[16];
    switch (n) {
    case 4:
        loadAll<2>(from, v);
        forward4(v);
        return sink.template put<2>(a, v);
    case 8:
        loadAll<4>(from, v);
        forward8(v, wide);
        return sink.template put<4>(a, v);
    case 16:
        loadAll<8>(from, v);
        forward16(v, wide);
        return sink.template put<8>(a, v);
    case 32:
        loadAll<16>(from, v);
        forward32(v, wide);
        return sink.template put<16>(a, v);
    default:
        break;
    }
    pass<forwardButterfly>(from, a, n, wide.forLength(n));
    forwardSegment(a, a, n / 2, sink, wide);
    forwardSegment(a + n / 2, a + n / 2, n / 4, sink, wide);
    forwardSegment(a + 3 * n / 4, a + 3 * n / 4, n / 4, sink, wide);
}

void inverseSegment(TComplex* a, int n, const WideTwiddles& wide) {
    V v[16];
    switch (n) {
    case 4:
        loadAll<2>(a, v);
        inverse4(v);
        return storeAll<2>(a, v);
    case 8:
        loadAll<4>(a, v);
        inverse8(v, wide);
        return storeAll<4>(a, v);
    case 16:
        loadAll<8>(a, v);
        inverse16(v, wide);
        return storeAll<8>(a, v);
    case 32:
        loadAll<16>(a, v);
        inverse32(v, wide);
        return storeAll<16>(a, v);
    default:
        break;
    }
    inverseSegment(a, n / 2, wide);
    inverseSegment(a + n / 2, n / 4, wide);
    inverseSegment(a + 3 * n / 4, n / 4, wide);
    pass<inverseButterfly>(a, a, n, wide.forLength(n));
}

void forward(TComplex* a, int n) {
    if (n == 2)
        return store(a, butterfly2(load(a)));
    forwardSegment(a, a, n, InPlace{}, WideTwiddles::instance());
}

inline V loadPair(const TComplex* low, const TComplex* high) {
    const V v = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(low));
    return _mm_loadh_pi(v, reinterpret_cast<const __m64*>(high));
}

// a[i] = scrambled[table[i]]. Frequencies k + t*n/8 (t = 0..7) sit in one run of 8 positions,
// so taking them one after the other reads each cache line of `scrambled` in one go.
void gather(TComplex* a, int n, const TComplex* scrambled) {
    const std::uint16_t* table = Tables::instance().scramble(n).data();
    const int e = n / 8;
    for (int k = 0; k < e; k += 2) {
        for (int t = 0; t < 8; ++t) {
            const int i = k + t * e;
            store(a + i, loadPair(scrambled + table[i], scrambled + table[i + 1]));
        }
    }
}

// Storing each leaf value at its frequency scatters writes over the whole output; that pays
// while the data and the scratch block stay in the first-level cache together.
constexpr int kScatterLimit = 4096;

// Up to kScatterLimit the first pass moves the data to `scratch`, the rest of the transform
// runs there and the leaves store each frequency at its place in `a`: reordering costs
// little beyond the scrambled transform (segments of 32 and fewer go from registers straight
// back to `a`). Above, the leaves leave the scrambled result in `scratch` and one
// cache-friendly gather brings it back.
void forwardNatural(TComplex* a, int n, TComplex* scratch) {
    if (n <= 2)
        return forward(a, n);
    const WideTwiddles& wide = WideTwiddles::instance();
    const bool aligned = reinterpret_cast<std::uintptr_t>(scratch) % 16 == 0;
    if (n <= 32 || (n <= kScatterLimit && aligned)) {
        const NaturalOrder sink{scratch, a, Tables::instance().frequencies(n).data()};
        return forwardSegment(a, scratch, n, sink, wide);
    }
    forwardSegment(a, a, n, Relocated{a, scratch}, wide);
    gather(a, n, scratch);
}

void inverse(TComplex* a, int n) {
    if (n == 2)
        return store(a, butterfly2(load(a)));
    inverseSegment(a, n, WideTwiddles::instance());
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
    static constexpr Kernels kernels{forward, forwardNatural, inverse, scale};
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
