// Portable split-radix transform, one float at a time. Intermediate values of a butterfly are
// held in double precision; every pass stores single precision.

#include "dsp/dspFastFourierKernels.h"

namespace dsp::fft {

namespace {

struct Wide {
    double re;
    double im;
};

inline Wide load(const TComplex& c) {
    return {c.re, c.im};
}
inline void store(TComplex& c, Wide w) {
    c = {float(w.re), float(w.im)};
}
inline Wide operator+(Wide a, Wide b) {
    return {a.re + b.re, a.im + b.im};
}
inline Wide operator-(Wide a, Wide b) {
    return {a.re - b.re, a.im - b.im};
}
inline Wide timesI(Wide a) {
    return {-a.im, a.re};
}
inline Wide times(Wide a, TComplex w) {
    return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}
inline Wide timesConj(Wide a, TComplex w) {
    return {a.re * w.re + a.im * w.im, a.im * w.re - a.re * w.im};
}

// a = x + y, b = x - y: the 2-point transform, the same in both directions.
inline void butterfly2(TComplex* a) {
    const Wide x = load(a[0]);
    const Wide y = load(a[1]);
    store(a[0], x + y);
    store(a[1], x - y);
}

// One forward (decimation-in-frequency) butterfly at k of a segment with quarter q.
inline void forwardButterfly(TComplex* a, int k, int q, TComplex w) {
    const Wide a0 = load(a[k]);
    const Wide a1 = load(a[k + q]);
    const Wide a2 = load(a[k + 2 * q]);
    const Wide a3 = load(a[k + 3 * q]);
    const Wide u = a0 - a2;
    const Wide iv = timesI(a1 - a3);
    store(a[k], a0 + a2);
    store(a[k + q], a1 + a3);
    store(a[k + 2 * q], times(u + iv, w));
    store(a[k + 3 * q], timesConj(u - iv, w));
}

inline void forwardButterfly1(TComplex* a, int q) {
    const Wide a0 = load(a[0]);
    const Wide a1 = load(a[q]);
    const Wide a2 = load(a[2 * q]);
    const Wide a3 = load(a[3 * q]);
    const Wide u = a0 - a2;
    const Wide iv = timesI(a1 - a3);
    store(a[0], a0 + a2);
    store(a[q], a1 + a3);
    store(a[2 * q], u + iv);
    store(a[3 * q], u - iv);
}

// One inverse (decimation-in-time) butterfly, the mirror image of forwardButterfly.
inline void inverseButterfly(TComplex* a, int k, int q, TComplex w) {
    const Wide a0 = load(a[k]);
    const Wide a1 = load(a[k + q]);
    const Wide t1 = timesConj(load(a[k + 2 * q]), w);
    const Wide t2 = times(load(a[k + 3 * q]), w);
    const Wide s = t1 + t2;
    const Wide id = timesI(t1 - t2);
    store(a[k], a0 + s);
    store(a[k + 2 * q], a0 - s);
    store(a[k + q], a1 - id);
    store(a[k + 3 * q], a1 + id);
}

inline void inverseButterfly1(TComplex* a, int q) {
    const Wide a0 = load(a[0]);
    const Wide a1 = load(a[q]);
    const Wide t1 = load(a[2 * q]);
    const Wide t2 = load(a[3 * q]);
    const Wide s = t1 + t2;
    const Wide id = timesI(t1 - t2);
    store(a[0], a0 + s);
    store(a[2 * q], a0 - s);
    store(a[q], a1 - id);
    store(a[3 * q], a1 + id);
}

constexpr TComplex kW8{kSqrtHalf, kSqrtHalf};
constexpr TComplex kW16_1{kCosPi8, kSinPi8};
constexpr TComplex kW16_3{kSinPi8, kCosPi8};

void forward4(TComplex* a) {
    forwardButterfly1(a, 1);
    butterfly2(a);
}

void forward8(TComplex* a) {
    forwardButterfly1(a, 2);
    forwardButterfly(a, 1, 2, kW8);
    forward4(a);
    butterfly2(a + 4);
    butterfly2(a + 6);
}

void forward16(TComplex* a) {
    forwardButterfly1(a, 4);
    forwardButterfly(a, 1, 4, kW16_1);
    forwardButterfly(a, 2, 4, kW8);
    forwardButterfly(a, 3, 4, kW16_3);
    forward8(a);
    forward4(a + 8);
    forward4(a + 12);
}

void inverse4(TComplex* a) {
    butterfly2(a);
    inverseButterfly1(a, 1);
}

void inverse8(TComplex* a) {
    inverse4(a);
    butterfly2(a + 4);
    butterfly2(a + 6);
    inverseButterfly1(a, 2);
    inverseButterfly(a, 1, 2, kW8);
}

void inverse16(TComplex* a) {
    inverse8(a);
    inverse4(a + 8);
    inverse4(a + 12);
    inverseButterfly1(a, 4);
    inverseButterfly(a, 1, 4, kW16_1);
    inverseButterfly(a, 2, 4, kW8);
    inverseButterfly(a, 3, 4, kW16_3);
}

void forwardSegment(TComplex* a, int n, const Tables& tables) {
    switch (n) {
    case 1:
        return;
    case 2:
        return butterfly2(a);
    case 4:
        return forward4(a);
    case 8:
        return forward8(a);
    case 16:
        return forward16(a);
    default:
        break;
    }
    const int q = n / 4;
    forwardButterfly1(a, q);
    for (int k = 1; k < q; ++k)
        forwardButterfly(a, k, q, tables.twiddle(n, k));
    forwardSegment(a, n / 2, tables);
    forwardSegment(a + 2 * q, q, tables);
    forwardSegment(a + 3 * q, q, tables);
}

void inverseSegment(TComplex* a, int n, const Tables& tables) {
    switch (n) {
    case 1:
        return;
    case 2:
        return butterfly2(a);
    case 4:
        return inverse4(a);
    case 8:
        return inverse8(a);
    case 16:
        return inverse16(a);
    default:
        break;
    }
    const int q = n / 4;
    inverseSegment(a, n / 2, tables);
    inverseSegment(a + 2 * q, q, tables);
    inverseSegment(a + 3 * q, q, tables);
    inverseButterfly1(a, q);
    for (int k = 1; k < q; ++k)
        inverseButterfly(a, k, q, tables.twiddle(n, k));
}

void forward(TComplex* buffer, int n) {
    forwardSegment(buffer, n, Tables::instance());
}
void inverse(TComplex* buffer, int n) {
    inverseSegment(buffer, n, Tables::instance());
}

void forwardNatural(TComplex* buffer, int n, TComplex* scratch) {
    forward(buffer, n);
    ReorderComplex(buffer, n, Tables::instance().scramble(n).data(), scratch, false);
}

void scale(TComplex* buffer, int n, float factor) {
    for (int i = 0; i < n; ++i) {
        buffer[i].re *= factor;
        buffer[i].im *= factor;
    }
}

} // namespace

const Kernels& portableKernels() {
    static constexpr Kernels kernels{forward, forwardNatural, inverse, scale};
    return kernels;
}

} // namespace dsp::fft
