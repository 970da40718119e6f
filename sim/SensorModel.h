// The measured quantities of the terminal, each a slow random walk with the
// current, maximum, minimum and average value the controller reports.
// Raw units are those of the wire: mV, mA, 0.01 W, rpm, °C.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>

namespace quillon::sim {

enum class Quantity : std::size_t {
    DcPower,
    DcVoltage,
    DcCurrent,
    Rail12V,
    Battery,
    CpuCore,
    CpuFan,
    CpuTemperature,
    SystemTemperature,
};
inline constexpr std::size_t kQuantityCount = 9;

struct Statistics {
    std::uint16_t current = 0;
    std::uint16_t maximum = 0;
    std::uint16_t minimum = 0;
    std::uint16_t average = 0;
};

class SensorModel {
public:
    explicit SensorModel(std::uint32_t seed);

    // Takes one new sample of every quantity.
    void Step();

    Statistics Get(Quantity quantity) const;

private:
    struct Track {
        double value = 0;
        std::uint16_t sample = 0;
        std::uint16_t minimum = 0;
        std::uint16_t maximum = 0;
        double sum = 0;
        std::uint64_t count = 0;
    };

    void Record(Track& track, std::uint16_t sample);

    std::mt19937 m_random;
    std::normal_distribution<double> m_noise{0.0, 1.0};
    std::array<Track, kQuantityCount> m_tracks{};
};

}  // namespace quillon::sim
