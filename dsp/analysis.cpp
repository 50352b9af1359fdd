#include <dsp/libdspaudio>

#include <algorithm>
#include <cstdint>

namespace ns_audio_dsp {

namespace {

constexpr int k_max_lpc_order = 20; // fixed work space of levinson_durbin

// Every step of the recursion is evaluated in double and rounded back to float, the precision
// its state is kept in.
float rounded(double value) {
    return static_cast<float>(value);
}
double wide(float value) {
    return static_cast<double>(value);
}

} // namespace

void libdspaudio::autocorrelation(int order, int n, float* x, float* r) {
    for (int lag = 0; lag <= order; ++lag) {
        float sum = 0.0f;
        for (int i = 0; i < n - lag; ++i)
            sum += x[i] * x[i + lag];
        r[lag] = sum;
    }
}

double libdspaudio::levinson_durbin(int order, int n, float* x, float* a) {
    if (order > k_max_lpc_order) return 0.0;
    order = std::max(order, 0);
    float r[k_max_lpc_order + 2];
    autocorrelation(order, n, x, r);
    a[0] = 1.0f;
    if (r[0] == 0.0f) {
        std::fill(a + 1, a + order + 1, 0.0f);
        return 0.0;
    }

    float predictor[k_max_lpc_order + 1] = {1.0f};
    float next[k_max_lpc_order + 1] = {1.0f};
    float* current = predictor;
    float* updated = next;
    float error = r[0];
    for (int i = 1; i <= order; ++i) {
        float acc = 0.0f;
        for (int j = 0; j < i; ++j)
            acc = rounded(wide(acc) + wide(current[j]) * wide(r[i - j]));
        const float k = rounded(-wide(acc) / wide(error));
        a[i] = k;
        updated[i] = k;
        for (int j = 1; j < i; ++j)
            updated[j] = rounded(wide(current[j]) + wide(k) * wide(current[i - j]));
        error = rounded(wide(error) * (1.0 - wide(k) * wide(k)));
        std::swap(current, updated);
    }
    return wide(r[0]) / wide(error);
}

int libdspaudio::average(int n, float* x, int w, int* out_len, float* out) {
    if (w < 1 || w > n) {
        *out_len = 0;
        return 0;
    }
    const int count = n - w + 1;
    *out_len = count;
    const float g = 1.0f / static_cast<float>(w);
    float sum = 0.0f;
    for (int i = 0; i < w; ++i)
        sum += x[i];
    out[0] = sum * g;
    // Each output follows from the previous one, so the cost does not depend on w.
    for (int j = 1; j < count; ++j)
        out[j] = out[j - 1] + (x[j + w - 1] - x[j - 1]) * g;
    return 1;
}

int libdspaudio::downsample(float const* in, float* out, int factor, int len, int width,
                            stereo_storage_type type) {
    if (factor < 1) return 0;
    // 64-bit positions: factor·width may exceed the int range before the loop ends.
    const int64_t length = len;
    const int64_t frame = type == stereo_interleaved ? width : 1;
    if (length <= 0 || frame <= 0) return 0;
    // Front to back, and out never passes in, so the two may be the same array.
    int64_t written = 0;
    for (int64_t i = 0; i + frame <= length; i += factor * frame) {
        for (int64_t c = 0; c < frame; ++c)
            out[written + c] = in[i + c];
        written += frame;
    }
    return static_cast<int>(written);
}

} // namespace ns_audio_dsp
