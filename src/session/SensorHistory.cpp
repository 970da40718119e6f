#include "session/SensorHistory.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace quillon {

namespace {

constexpr unsigned kCurrentSeen = 1u;  // the first statistic is the current value

}  // namespace

void SensorHistory::Add(const SensorSample& sample) {
    ++m_nAdded;
    if (m_nCapacity == 0) return;
    if (m_samples.size() < m_nCapacity) {
        m_samples.push_back(sample);
        return;
    }
    m_samples[m_nOldest] = sample;
    m_nOldest = (m_nOldest + 1) % m_nCapacity;
}

SensorSample SampleSensors(const SessionValues& values, std::int64_t nTime) {
    SensorSample sample;
    sample.nTime = nTime;
    for (std::size_t i = 0; i < kSensorQuantityCount; ++i) {
        const SensorValues& sensor = values.aSensors[i];
        sample.afValue[i] = (sensor.nSeenMask & kCurrentSeen) ? static_cast<float>(sensor.adValue[0])
                                                              : std::numeric_limits<float>::quiet_NaN();
    }
    return sample;
}

bool AnySensorSeen(const SessionValues& values) {
    return std::any_of(std::begin(values.aSensors), std::end(values.aSensors),
                       [](const SensorValues& sensor) { return (sensor.nSeenMask & kCurrentSeen) != 0; });
}

}  // namespace quillon
