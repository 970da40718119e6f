#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

// Prints the median and the 99th percentile of the samples, in microseconds.
inline void PrintPercentiles(const char* what, std::vector<double> samples) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return samples[static_cast<std::size_t>(q * (samples.size() - 1))]; };
    std::fprintf(stderr, "%s: n=%zu median=%.1f us p99=%.1f us max=%.1f us\n", what, samples.size(), at(0.5), at(0.99),
                samples.back());
}
