#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

// Prints the median and the 99th percentile of the samples, in microseconds.
inline void PrintPercentiles(const char* what, std::vector<double> samples) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return samples[static_cast<std::size_t>(q * (samples.size() - 1))]; };
    std::fprintf(stderr, "%s: n=%zu median=%.1f us p99=%.1f us max=%.1f us\n", what, samples.size(), at(0.5),
                 at(0.99), samples.back());
}

struct Spread {
    double median = 0;
    double min = 0;
};

inline Spread MedianAndMin(std::vector<double> samples) {
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.front()};
}

// One figure on one line: median and minimum of the repetitions, then the goal and whether
// the median meets it. An empty goal prints the figure alone.
inline void PrintBesideGoal(const char* what, const Spread& spread, const char* unit, double goal = 0,
                            const char* goalText = nullptr) {
    std::fprintf(stderr, "%-62s median %8.1f %s  min %8.1f %s", what, spread.median, unit, spread.min, unit);
    if (goalText) std::fprintf(stderr, "  goal %s: %s", goalText, spread.median <= goal ? "met" : "NOT MET");
    std::fputc('\n', stderr);
}
