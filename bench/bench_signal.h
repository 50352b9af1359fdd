// Test signal shared by the benchmark programs: the same seeded uniform noise in [-1, 1), so
// figures from different programs are measured on the same data.
#pragma once

#include <cstddef>
#include <random>
#include <vector>

inline std::vector<float> bench_noise(std::size_t count) {
    std::mt19937 random(1);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> samples(count);
    for (float& x : samples)
        x = sample(random);
    return samples;
}
