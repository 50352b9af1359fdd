// The FFT algorithm, written once over a vector vocabulary (simd/*.h): a radix-4 Stockham
// auto-sort transform on split arrays, finished by a radix-4 or radix-8 pass without twiddles.
//
// Stage of length n (m = n/4 butterflies, stride s = N/n): for p < m, q < s
//   a, b, c, d = x[q + s(p + km)], k = 0..3
//   y[q + s(4p + k)] = w^(kp) * DFT4(a, b, c, d)[k],  w = e^(-2 pi i / n)
// so every stage reads and writes contiguous runs of s elements and the result comes out in
// natural order without a bit-reversal pass. Runs of s >= lanes are vectorised along q; the
// first stage (s = 1) is vectorised along p and transposed on the way out.
//
// Everything here is a template over the vocabulary, and each path's translation unit
// instantiates it with its own vector types, so no code compiled for one instruction set can
// be shared with another by the linker.
#pragma once

namespace ns_primitives::fft_kernels {

// A stage's twiddles: six arrays of m floats, re and im of w^p, w^2p and w^3p for p < m.
constexpr int k_twiddle_arrays = 6;

template <class V>
struct cvec {
    V re;
    V im;
};

template <class V>
cvec<V> load(const float* re, const float* im, int at) {
    return {V::load(re + at), V::load(im + at)};
}

template <class V>
void store(float* re, float* im, int at, cvec<V> z) {
    store(re + at, z.re);
    store(im + at, z.im);
}

template <class V>
cvec<V> operator+(cvec<V> a, cvec<V> b) {
    return {a.re + b.re, a.im + b.im};
}

template <class V>
cvec<V> operator-(cvec<V> a, cvec<V> b) {
    return {a.re - b.re, a.im - b.im};
}

template <class V>
cvec<V> operator*(cvec<V> z, cvec<V> w) {
    return {z.re * w.re - z.im * w.im, z.re * w.im + z.im * w.re};
}

// a - i b and a + i b.
template <class V>
cvec<V> subtract_i_times(cvec<V> a, cvec<V> b) {
    return {a.re + b.im, a.im - b.re};
}

template <class V>
cvec<V> add_i_times(cvec<V> a, cvec<V> b) {
    return {a.re - b.im, a.im + b.re};
}

// y[k] = sum_j x[j] e^(-2 pi i jk/4).
template <class V>
void dft4(cvec<V> a, cvec<V> b, cvec<V> c, cvec<V> d, cvec<V>* y) {
    const cvec<V> a_plus_c = a + c;
    const cvec<V> a_minus_c = a - c;
    const cvec<V> b_plus_d = b + d;
    const cvec<V> b_minus_d = b - d;
    y[0] = a_plus_c + b_plus_d;
    y[1] = subtract_i_times(a_minus_c, b_minus_d);
    y[2] = a_plus_c - b_plus_d;
    y[3] = add_i_times(a_minus_c, b_minus_d);
}

// Butterflies of the twiddle-free p = 0 column: inputs `in_stride` apart, outputs `out_stride`
// apart, `count` (a multiple of the lanes) columns. In place when the strides are equal.
template <class V>
void dft4_columns(const float* xr, const float* xi, int in_stride, float* yr, float* yi,
                  int out_stride, int count) {
    for (int q = 0; q < count; q += V::lanes) {
        cvec<V> y[4];
        dft4(load<V>(xr, xi, q), load<V>(xr, xi, q + in_stride), load<V>(xr, xi, q + 2 * in_stride),
             load<V>(xr, xi, q + 3 * in_stride), y);
        for (int k = 0; k < 4; ++k)
            store(yr, yi, q + k * out_stride, y[k]);
    }
}

// Eight-point DFTs of `count` columns, elements `stride` apart, in place (x may equal y):
// one radix-2 step with the eighth roots of unity, then two four-point DFTs.
template <class V>
void dft8_columns(const float* xr, const float* xi, float* yr, float* yi, int stride, int count) {
    const V half_sqrt2 = V::splat(0.70710678118654752f);
    for (int q = 0; q < count; q += V::lanes) {
        cvec<V> x[8];
        for (int k = 0; k < 8; ++k)
            x[k] = load<V>(xr, xi, q + k * stride);
        cvec<V> sum[4];
        cvec<V> diff[4];
        for (int k = 0; k < 4; ++k) {
            sum[k] = x[k] + x[k + 4];
            diff[k] = x[k] - x[k + 4];
        }
        // diff[k] * e^(-2 pi i k/8)
        const cvec<V> d1 = {(diff[1].re + diff[1].im) * half_sqrt2,
                            (diff[1].im - diff[1].re) * half_sqrt2};
        const cvec<V> d2 = {diff[2].im, V::splat(0.0f) - diff[2].re};
        const cvec<V> d3 = {(diff[3].im - diff[3].re) * half_sqrt2,
                            V::splat(0.0f) - (diff[3].re + diff[3].im) * half_sqrt2};
        cvec<V> even[4];
        cvec<V> odd[4];
        dft4(sum[0], sum[1], sum[2], sum[3], even);
        dft4(diff[0], d1, d2, d3, odd);
        for (int k = 0; k < 4; ++k) {
            store(yr, yi, q + 2 * k * stride, even[k]);
            store(yr, yi, q + (2 * k + 1) * stride, odd[k]);
        }
    }
}

// A stage with s >= lanes: twiddles broadcast per p, vectors along q.
template <class V>
void column_stage(const float* xr, const float* xi, float* yr, float* yi, int m, int s,
                  const float* twiddles) {
    const int quarter = s * m;
    dft4_columns<V>(xr, xi, quarter, yr, yi, s, s);
    for (int p = 1; p < m; ++p) {
        cvec<V> w[3];
        for (int k = 0; k < 3; ++k)
            w[k] = {V::splat(twiddles[2 * k * m + p]), V::splat(twiddles[(2 * k + 1) * m + p])};
        const int in = s * p;
        const int out = 4 * s * p;
        for (int q = 0; q < s; q += V::lanes) {
            cvec<V> y[4];
            dft4(load<V>(xr, xi, in + q), load<V>(xr, xi, in + q + quarter),
                 load<V>(xr, xi, in + q + 2 * quarter), load<V>(xr, xi, in + q + 3 * quarter), y);
            store(yr, yi, out + q, y[0]);
            for (int k = 1; k < 4; ++k)
                store(yr, yi, out + q + k * s, y[k] * w[k - 1]);
        }
    }
}

// The first stage (s = 1): vectors along p, twiddles loaded as vectors, outputs transposed so
// that y[4p + k] lands in memory order. m must be a multiple of the lanes.
template <class V>
void row_stage(const float* xr, const float* xi, float* yr, float* yi, int m,
               const float* twiddles) {
    for (int p = 0; p < m; p += V::lanes) {
        cvec<V> y[4];
        dft4(load<V>(xr, xi, p), load<V>(xr, xi, p + m), load<V>(xr, xi, p + 2 * m),
             load<V>(xr, xi, p + 3 * m), y);
        for (int k = 1; k < 4; ++k)
            y[k] = y[k] * load<V>(twiddles + (2 * k - 2) * m, twiddles + (2 * k - 1) * m, p);
        interleave4(y[0].re, y[1].re, y[2].re, y[3].re, yr + 4 * p);
        interleave4(y[0].im, y[1].im, y[2].im, y[3].im, yi + 4 * p);
    }
}

// Picks the vocabulary a stage fits: `Wide` where the runs allow, `Narrow` (fewer lanes)
// where they are too short for it.
template <class Wide, class Narrow>
void twiddle_stage(const float* xr, const float* xi, float* yr, float* yi, int m, int s,
                   const float* twiddles) {
    if (s >= Wide::lanes)
        column_stage<Wide>(xr, xi, yr, yi, m, s, twiddles);
    else if (s >= Narrow::lanes)
        column_stage<Narrow>(xr, xi, yr, yi, m, s, twiddles);
    else if (m >= Wide::lanes)
        row_stage<Wide>(xr, xi, yr, yi, m, twiddles);
    else
        row_stage<Narrow>(xr, xi, yr, yi, m, twiddles);
}

template <class Wide, class Narrow>
void last_stage(const float* xr, const float* xi, float* yr, float* yi, int n, int s) {
    if (n == 8) {
        if (s >= Wide::lanes)
            dft8_columns<Wide>(xr, xi, yr, yi, s, s);
        else
            dft8_columns<Narrow>(xr, xi, yr, yi, s, s);
    } else {
        if (s >= Wide::lanes)
            dft4_columns<Wide>(xr, xi, s, yr, yi, s, s);
        else
            dft4_columns<Narrow>(xr, xi, s, yr, yi, s, s);
    }
}

// Forward transform of 2^order points, order >= 2, in place on (re, im). `work` holds
// 2 * 2^order floats; `twiddles` holds the stages' twiddle arrays, longest stage first.
// `Narrow` must have at most 4 lanes when order >= 4 and 1 lane below.
template <class Wide, class Narrow>
void forward(int order, const float* twiddles, float* re, float* im, float* work) {
    const int size = 1 << order;
    const int last = order % 2 == 1 ? 8 : 4;
    float* buffer_re[2] = {re, work};
    float* buffer_im[2] = {im, work + size};
    int from = 0;
    int s = 1;
    for (int n = size; n > last; n /= 4, s *= 4) {
        const int m = n / 4;
        twiddle_stage<Wide, Narrow>(buffer_re[from], buffer_im[from], buffer_re[1 - from],
                                    buffer_im[1 - from], m, s, twiddles);
        twiddles += k_twiddle_arrays * m;
        from = 1 - from;
    }
    last_stage<Wide, Narrow>(buffer_re[from], buffer_im[from], re, im, last, s);
}

} // namespace ns_primitives::fft_kernels
