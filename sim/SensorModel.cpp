#include "sim/SensorModel.h"

#include <algorithm>
#include <cmath>

namespace quillon::sim {

namespace {

struct Range {
    double low;
    double high;
    double start;
    double step;  // spread of one sample's change
};

// Kept inside the program's display bounds, so a healthy terminal never shows a clamp text.
// DC power has no range of its own: it follows voltage times current.
constexpr std::array<Range, kQuantityCount> kRanges{{
    {0, 0, 0, 0},               // DC power, 0.01 W
    {11600, 12400, 12000, 25},  // DC input voltage, mV
    {1800, 4800, 3000, 60},     // DC input current, mA
    {11800, 12250, 12020, 10},  // 12 V rail, mV
    {2950, 3150, 3050, 2},      // main-board battery, mV
    {980, 1320, 1150, 12},      // CPU core, mV
    {1900, 3400, 2400, 40},     // CPU fan, rpm
    {38, 74, 48, 0.6},          // CPU temperature, °C
    {30, 46, 35, 0.3},          // system temperature, °C
}};

// Pull towards the middle of the range, so a walk does not stick to an edge.
constexpr double kReversion = 0.02;

constexpr std::size_t Index(Quantity q) {
    return static_cast<std::size_t>(q);
}

}  // namespace

SensorModel::SensorModel(std::uint32_t seed) : m_random(seed) {
    for (std::size_t i = 0; i < kQuantityCount; ++i) m_tracks[i].value = kRanges[i].start;
    Step();
}

void SensorModel::Step() {
    for (std::size_t i = 0; i < kQuantityCount; ++i) {
        if (i == Index(Quantity::DcPower)) continue;
        const Range& range = kRanges[i];
        Track& track = m_tracks[i];
        const double middle = (range.low + range.high) / 2;
        track.value += range.step * m_noise(m_random) + kReversion * (middle - track.value);
        track.value = std::clamp(track.value, range.low, range.high);
        Record(track, static_cast<std::uint16_t>(std::lround(track.value)));
    }
    const double milliVolts = m_tracks[Index(Quantity::DcVoltage)].sample;
    const double milliAmps = m_tracks[Index(Quantity::DcCurrent)].sample;
    Record(m_tracks[Index(Quantity::DcPower)],
           static_cast<std::uint16_t>(std::lround(milliVolts * milliAmps / 1e4)));
}

void SensorModel::Record(Track& track, std::uint16_t sample) {
    track.sample = sample;
    track.minimum = track.count == 0 ? sample : std::min(track.minimum, sample);
    track.maximum = track.count == 0 ? sample : std::max(track.maximum, sample);
    track.sum += sample;
    ++track.count;
}

Statistics SensorModel::Get(Quantity quantity) const {
    const Track& track = m_tracks[Index(quantity)];
    // The mean of integer samples lies between the smallest and the largest, and so does its rounding.
    const auto average =
        static_cast<std::uint16_t>(std::lround(track.sum / static_cast<double>(track.count)));
    return {track.sample, track.maximum, track.minimum, average};
}

}  // namespace quillon::sim
