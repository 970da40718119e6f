// The sensor history: its bound, and its rows as CSV.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "session/HistoryCsv.h"

using namespace quillon;

namespace {

SensorSample Sample(std::int64_t nTime, float fFirst) {
    SensorSample sample;
    sample.nTime = nTime;
    sample.afValue.fill(NAN);
    sample.afValue[0] = fFirst;
    return sample;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(SensorHistory, KeepsTheNewestSamplesInOrderWithinItsBound) {
    SensorHistory history(3);
    for (int n = 1; n <= 5; ++n) history.Add(Sample(n, static_cast<float>(n)));
    ASSERT_EQ(history.Size(), 3u);
    EXPECT_EQ(history.Added(), 5u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(history[i].nTime, static_cast<std::int64_t>(i + 3));
}

TEST(SensorHistory, RowsAreTheTimeAndOneCellPerQuantity) {
    EXPECT_EQ(HistoryCsvHeader(),
              "time,cpu_temperature_celsius,system_temperature_celsius,cpu_fan_speed_rpm,"
              "cpu_core_voltage_volts,battery_voltage_volts,rail_12v_voltage_volts,dc_voltage_volts,"
              "dc_current_amperes,dc_power_watts\n");
    SensorSample sample = Sample(1709647629, 47.5f);
    sample.afValue[2] = 2350;
    sample.afValue[8] = 38.25f;
    EXPECT_EQ(HistoryCsvRow(sample), "2024-03-05T14:07:09Z,47.5,,2350,,,,,,38.25\n");

    // Appended as taken: the header once, into a new file only.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quillon-history-" + std::to_string(::getpid()) + ".csv");
    std::filesystem::remove(path);
    for (int nRun = 0; nRun < 2; ++nRun) {
        HistoryCsvFile file;
        ASSERT_EQ(file.Open(path.string()), "");
        EXPECT_EQ(file.Append(Sample(1709647629 + nRun, 1)), "");
    }
    EXPECT_EQ(ReadAll(path),
              HistoryCsvHeader() + "2024-03-05T14:07:09Z,1,,,,,,,,\n" + "2024-03-05T14:07:10Z,1,,,,,,,,\n");
    std::filesystem::remove(path);
    HistoryCsvFile unwritable;
    EXPECT_NE(unwritable.Open("/nonexistent/history.csv"), "");
    EXPECT_FALSE(unwritable.IsOpen());
}
