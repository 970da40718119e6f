// The sensors' recent past: the latest value of every quantity, sampled once a
// second while the link is open, kept for a day in a ring that never grows
// past its bound.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/SessionValues.h"

namespace quillon {

struct SensorSample {
    std::int64_t nTime = 0;  // seconds since the epoch, UTC
    // In kSensorQuantities' order; NaN where the quantity has not arrived yet.
    std::array<float, kSensorQuantityCount> afValue{};
};

class SensorHistory {
public:
    // A day at one sample a second.
    static constexpr std::size_t kDayOfSamples = 86400;

    explicit SensorHistory(std::size_t nCapacity = kDayOfSamples) : m_nCapacity(nCapacity) {}

    // Past the bound, the oldest sample gives way.
    void Add(const SensorSample& sample);
    std::size_t Size() const { return m_samples.size(); }
    std::size_t Capacity() const { return m_nCapacity; }
    // Samples ever added: a reader that saw n of them has Added() - n new ones to take.
    std::uint64_t Added() const { return m_nAdded; }
    // The i-th oldest sample held.
    const SensorSample& operator[](std::size_t i) const {
        return m_samples[(m_nOldest + i) % m_samples.size()];
    }

private:
    std::size_t m_nCapacity;
    // Grows on demand, so that a short session does not hold a day's memory.
    std::vector<SensorSample> m_samples;
    std::size_t m_nOldest = 0;
    std::uint64_t m_nAdded = 0;
};

// The current value of every quantity, as the decoders recorded it.
SensorSample SampleSensors(const SessionValues& values, std::int64_t nTime);

// Whether any quantity's current value has arrived: before that there is nothing to sample.
bool AnySensorSeen(const SessionValues& values);

}  // namespace quillon
