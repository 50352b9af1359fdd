// The test main of the suites that filter through the lanes: `--lane-path=NAME` (literal,
// scalar, sse2, avx, neon, avx512) runs the whole suite on that path instead of the fastest one.
#include <dsp/arma_lanes.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    constexpr char option[] = "--lane-path=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], option, sizeof option - 1) != 0) continue;
        ns_audio_dsp::lane_path path{};
        if (!ns_audio_dsp::lane_path_named(argv[i] + sizeof option - 1, path) ||
            !ns_audio_dsp::lane_path_select(path)) {
            std::fprintf(stderr, "unknown or unsupported lane path: %s\n", argv[i]);
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
