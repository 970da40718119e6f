#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

#include "sim/SensorModel.h"

namespace quillon::sim::test {
namespace {

struct Bounds {
    Quantity quantity;
    const char* name;
    int low;   // the program shows a clamp text at or below this raw value...
    int high;  // ...and at or above this one
};

// The program's display clamps in raw units; a healthy terminal stays strictly inside.
constexpr Bounds kBounds[] = {
    {Quantity::DcPower, "DC power", 0, 15500},
    {Quantity::DcVoltage, "DC voltage", 9000, 15000},
    {Quantity::DcCurrent, "DC current", 0, 16000},
    {Quantity::Rail12V, "12 V rail", 9000, 15000},
    {Quantity::Battery, "battery", 1500, 3500},
    {Quantity::CpuCore, "CPU core", 500, 2000},
    {Quantity::CpuFan, "CPU fan", 0, 4000},
    {Quantity::CpuTemperature, "CPU temperature", 0, 100},
    {Quantity::SystemTemperature, "system temperature", 0, 85},
};

constexpr int kSteps = 5000;

TEST(SensorModel, StatisticsAgreeWithTheHistoryAtEveryStep) {
    SensorModel model(7);
    std::array<Statistics, kQuantityCount> previous{};
    for (std::size_t i = 0; i < kQuantityCount; ++i) previous[i] = model.Get(static_cast<Quantity>(i));
    for (int step = 0; step < kSteps; ++step) {
        model.Step();
        for (const Bounds& b : kBounds) {
            const Statistics s = model.Get(b.quantity);
            const Statistics& before = previous[static_cast<std::size_t>(b.quantity)];
            ASSERT_LE(s.minimum, s.average) << b.name << " at step " << step;
            ASSERT_LE(s.average, s.maximum) << b.name << " at step " << step;
            ASSERT_LE(s.minimum, s.current) << b.name << " at step " << step;
            ASSERT_LE(s.current, s.maximum) << b.name << " at step " << step;
            // The extremes are those of the whole history: the old ones or the new sample.
            ASSERT_EQ(s.maximum, std::max(before.maximum, s.current)) << b.name << " at step " << step;
            ASSERT_EQ(s.minimum, std::min(before.minimum, s.current)) << b.name << " at step " << step;
            previous[static_cast<std::size_t>(b.quantity)] = s;
        }
    }
}

TEST(SensorModel, ValuesWanderInsideTheDisplayRange) {
    SensorModel model(11);
    std::array<std::set<int>, kQuantityCount> seen;
    for (int step = 0; step < kSteps; ++step) {
        model.Step();
        for (const Bounds& b : kBounds) {
            const int current = model.Get(b.quantity).current;
            ASSERT_GT(current, b.low) << b.name;
            ASSERT_LT(current, b.high) << b.name;
            seen[static_cast<std::size_t>(b.quantity)].insert(current);
        }
    }
    for (const Bounds& b : kBounds)
        EXPECT_GT(seen[static_cast<std::size_t>(b.quantity)].size(), 3u) << b.name;
}

TEST(SensorModel, InputPowerIsVoltageTimesCurrent) {
    SensorModel model(3);
    for (int step = 0; step < 200; ++step) {
        model.Step();
        const double watts =
            model.Get(Quantity::DcVoltage).current / 1000.0 * model.Get(Quantity::DcCurrent).current / 1000.0;
        EXPECT_NEAR(model.Get(Quantity::DcPower).current / 100.0, watts, 0.01);
    }
}

TEST(SensorModel, SameSeedSameWalk) {
    SensorModel a(5), b(5), c(6);
    bool differs = false;
    for (int step = 0; step < 50; ++step) {
        a.Step();
        b.Step();
        c.Step();
        ASSERT_EQ(a.Get(Quantity::CpuFan).current, b.Get(Quantity::CpuFan).current);
        differs = differs || a.Get(Quantity::CpuFan).current != c.Get(Quantity::CpuFan).current;
    }
    EXPECT_TRUE(differs);
}

}  // namespace
}  // namespace quillon::sim::test
