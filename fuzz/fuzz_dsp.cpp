// The DSP library's routines within their documented contracts, for any order, length, channel
// and cut-off: every array is sized exactly as the contract says it is read and written (no
// elements at all where a call is refused), so AddressSanitizer enforces both the sizes and
// "nothing written".
#include <dsp/libdspaudio>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using ns_audio_dsp::libdspaudio;

std::vector<float> floats(FuzzedDataProvider& data, long count) {
    std::vector<float> values(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (float& value : values)
        value = data.ConsumeBool() ? data.ConsumeFloatingPointInRange(-1.0f, 1.0f)
                                   : data.ConsumeFloatingPoint<float>();
    return values;
}

bool within(int value, int lowest, int highest) {
    return value >= lowest && value <= highest;
}

// Coefficients of an order the routine takes, or none.
long coefficients(int order, int lowest, int highest) {
    return within(order, lowest, highest) ? order + 1 : 0;
}

void stop_unless(bool holds) {
    if (!holds) __builtin_trap();
}

// Reads every output, so that AddressSanitizer checks that the result holds n floats.
volatile float g_sink;
void read_all(const float* out, int n) {
    for (int i = 0; i < n; ++i)
        g_sink = out[i];
}

void designs(FuzzedDataProvider& data, libdspaudio& dsp) {
    const int order = data.ConsumeIntegralInRange(-2, 21);
    const float cutoff = data.ConsumeFloatingPoint<float>();
    std::vector<float> a = floats(data, coefficients(order, 1, 9)), b = a;
    dsp.butter_lp_design(cutoff, order, a.data(), b.data());
    a.resize(coefficients(order, 1, 19)), b.resize(a.size());
    dsp.butter_hp_design(cutoff, order, a.data(), b.data());
    a.resize(coefficients(order, 0, 19)), b.resize(a.size());
    dsp.butter_bp_design(cutoff, data.ConsumeFloatingPoint<float>(), order, a.data(), b.data());
    float biquad[6];
    dsp.biquad_lp_design(cutoff, biquad);
}

void filtering(FuzzedDataProvider& data, libdspaudio& dsp) {
    const int n = data.ConsumeIntegralInRange(-4, 3000);
    const int order = data.ConsumeIntegralInRange(-1, 10);
    const int channel = data.ConsumeIntegralInRange(-2, 11);
    const std::vector<float> in = floats(data, n);
    std::vector<float> a1 = floats(data, coefficients(order, 1, 8)), b1 = floats(data, a1.size());
    const float* out = dsp.arma_filter(in.data(), n, a1.data(), b1.data(), order, channel);
    stop_unless((out != nullptr) == (within(order, 1, 8) && within(channel, 0, 9)));
    if (out) read_all(out, n);
    const int cascade = std::min(order, 5);
    a1.resize(coefficients(cascade, 1, 4)), b1.resize(a1.size());
    std::vector<float> a2 = floats(data, a1.size()), b2 = floats(data, a1.size());
    out = dsp.arma_filter_2stage(in.data(), n, a1.data(), b1.data(), a2.data(), b2.data(), cascade,
                                 channel);
    stop_unless((out != nullptr) == (within(cascade, 1, 4) && within(channel, 0, 9)));
    if (out) read_all(out, n);

    std::vector<float> result(in.size(), -7.0f);
    dsp.butter_lp(in.data(), data.ConsumeFloatingPoint<float>(), n, result.data(), channel);
    if (!within(channel, 0, 9))
        stop_unless(std::all_of(result.begin(), result.end(), [](float v) { return v == -7.0f; }));
}

void transforms(FuzzedDataProvider& data, libdspaudio& dsp) {
    const int order = data.ConsumeIntegralInRange(-2, 13);
    const long length = within(order, 0, 11) ? 1L << order : 0;
    std::vector<float> re = floats(data, within(order, 1, 11) ? length : 0), im = re;
    dsp.fft(re.data(), im.data(), order);
    dsp.ffti(re.data(), im.data(), order);
    dsp.check_tables(order);
    std::vector<float> permuted = floats(data, length);
    dsp.reorder(permuted.data(), order);
    if (within(order, 0, 11)) {
        std::vector<float> x = floats(data, length), y = x;
        dsp.fft_proc(x.data(), y.data(), dsp.cos_table[order], dsp.sin_table[order],
                     static_cast<int>(length));
    }
    const int odd = data.ConsumeIntegralInRange(-3, 3000);
    const bool power_of_two = odd > 0 && (odd & (odd - 1)) == 0;
    if (!power_of_two) {
        std::vector<float> x = floats(data, odd), y = x;
        dsp.fft_proc(x.data(), y.data(), nullptr, nullptr, odd);
    }
    const int n = data.PickValueInArray({128, 256, 512, 2048, 64, 1024, 0, -128, 129});
    const bool mdct_size = n == 128 || n == 256 || n == 512 || n == 2048;
    std::vector<float> block = floats(data, mdct_size ? n : 0);
    dsp.mdct(block.data(), n);
    dsp.imdct(block.data(), n);
}

void analysis(FuzzedDataProvider& data, libdspaudio& dsp) {
    const int n = data.ConsumeIntegralInRange(-3, 2000);
    std::vector<float> x = floats(data, n);
    const int order = data.ConsumeIntegralInRange(-3, 24);
    std::vector<float> r(order >= 0 ? order + 1 : 0);
    dsp.autocorrelation(order, n, x.data(), r.data());
    std::vector<float> a(order <= 20 ? std::max(order, 0) + 1 : 0);
    dsp.levinson_durbin(order, n, x.data(), a.data());

    const int w = data.ConsumeIntegralInRange(-2, 2002);
    int out_len = -1;
    std::vector<float> averaged(within(w, 1, n) ? n - w + 1 : 0);
    dsp.average(n, x.data(), w, &out_len, averaged.data());
    stop_unless(out_len == static_cast<int>(averaged.size()));

    const int factor = data.ConsumeIntegralInRange(-1, 40),
              width = data.ConsumeIntegralInRange(-1, 9);
    const auto type =
        data.ConsumeBool() ? libdspaudio::stereo_interleaved : libdspaudio::stereo_planar;
    const long frame = type == libdspaudio::stereo_interleaved ? width : 1;
    const long frames = factor >= 1 && n > 0 && frame > 0 ? n / frame : 0;
    std::vector<float> kept(static_cast<std::size_t>((frames + std::max(factor, 1) - 1) /
                                                     std::max(factor, 1) * std::max(frame, 0L)));
    stop_unless(dsp.downsample(x.data(), kept.data(), factor, n, width, type) ==
                static_cast<int>(kept.size()));

    const int nh = data.ConsumeIntegralInRange(-2, 600);
    const std::vector<float> h = floats(data, nh);
    const int kind = data.ConsumeIntegralInRange(0, 3);
    // The full convolution of an x shorter than one value still reports nx + nh - 1 zeros.
    const bool both = n >= 1 && nh >= 1;
    const long full = nh >= 1 ? std::max(n + nh - 1L, 0L) : 0;
    const long sizes[] = {both ? n + nh - 1L : 0, full, std::max(n - nh + 1L, 0L), 0};
    std::vector<float> out(static_cast<std::size_t>(sizes[kind]));
    dsp.convolution(n, x.data(), nh, h.data(), &out_len, out.data(),
                    static_cast<libdspaudio::convolution_type>(kind));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const auto dsp = std::make_unique<libdspaudio>();
    if (!dsp->filter_init(2000)) return 0;
    while (data.remaining_bytes() > 0) {
        switch (data.ConsumeIntegralInRange(0, 3)) {
        case 0:
            designs(data, *dsp);
            break;
        case 1:
            filtering(data, *dsp);
            break;
        case 2:
            transforms(data, *dsp);
            break;
        default:
            analysis(data, *dsp);
            break;
        }
    }
    dsp->filter_destroy();
    return 0;
}
