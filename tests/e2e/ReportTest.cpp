// quillon --report --exit-after-report against the simulator: the report holds what the
// simulated controller was told to be, and the program leaves with the link-close request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Program.h"

using e2e::Program;
using namespace std::chrono_literals;

namespace {

// The simulator's model in the report's units; DC power follows voltage times current.
struct SensorRange {
    const char* pszId;
    double dLow;
    double dHigh;
};

constexpr SensorRange kRanges[] = {
    {"cpu_temperature", 38, 74},      {"system_temperature", 30, 46},  {"cpu_fan_speed", 1900, 3400},
    {"cpu_core_voltage", 0.98, 1.32}, {"battery_voltage", 2.95, 3.15}, {"rail_12v_voltage", 11.8, 12.25},
    {"dc_voltage", 11.6, 12.4},       {"dc_current", 1.8, 4.8},        {"dc_power", 11.6 * 1.8, 12.4 * 4.8},
};

}  // namespace

TEST(Programs, QuillonReportsWhatTheSimulatorIsAndLeaves) {
    char szDir[] = "/tmp/quillon-e2e-report-XXXXXX";
    ASSERT_NE(::mkdtemp(szDir), nullptr);
    const std::string dir = szDir;
    Program sim(QUILLON_SIM_PROGRAM,
                {"--delay", "500", "--log", "--io-version", "IO-TEST-7", "--system-serial", "SYS-42",
                 "--serials", "8:HDD-1,12:MB-2"},
                {});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.Out().find('\n') != std::string::npos; }, 10s));
    const std::string device = sim.Out().substr(8, sim.Out().find('\n') - 8);
    Program quillon(QUILLON_PROGRAM, {"--report", dir + "/r.json", "--exit-after-report", device},
                    {"QT_QPA_PLATFORM=offscreen", "QUILLON_LOCK_DIR=" + dir});
    EXPECT_EQ(quillon.Wait(), 0) << quillon.Err();
    EXPECT_TRUE(sim.WaitFor([&] { return sim.Err().find("accepted link close\n") != std::string::npos; }, 5s))
        << sim.Err();

    std::stringstream file;
    file << std::ifstream(dir + "/r.json").rdbuf();
    const std::string report = file.str();
    EXPECT_NE(report.find("\n  \"device\": \"" + device + "\",\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\n    \"io\": \"IO-TEST-7\",\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\n  \"serial_numbers\": [\n"
                          "    {\"kind\": 0, \"caption\": \"System Serial No\", \"number\": \"SYS-42\"},\n"
                          "    {\"kind\": 8, \"caption\": \"HDD Serial No\", \"number\": \"HDD-1\"},\n"
                          "    {\"kind\": 12, \"caption\": \"MB Serial No\", \"number\": \"MB-2\"}\n"
                          "  ],\n"),
              std::string::npos)
        << report;
    for (const char* pszVersion : {"mb", "bios", "display"})
        EXPECT_TRUE(
            std::regex_search(report, std::regex("\n    \"" + std::string(pszVersion) + "\": \"[^\"]+\"")))
            << pszVersion;

    // No clamp text: the model stays inside the pages' bounds.
    for (const SensorRange& range : kRanges) {
        const std::regex line("\"" + std::string(range.pszId) +
                              "\": \\{\"unit\": \"[^\"]+\", \"current\": ([0-9.]+), \"maximum\": ([0-9.]+), "
                              "\"minimum\": ([0-9.]+), \"average\": ([0-9.]+)\\}");
        std::smatch match;
        ASSERT_TRUE(std::regex_search(report, match, line)) << range.pszId << "\n" << report;
        for (std::size_t i = 1; i <= 4; ++i) {
            const double dValue = std::strtod(match[i].str().c_str(), nullptr);
            EXPECT_GE(dValue, range.dLow - 1e-3) << range.pszId << " " << i;
            EXPECT_LE(dValue, range.dHigh + 1e-3) << range.pszId << " " << i;
        }
    }
    std::filesystem::remove_all(dir);
}

// --history: a row a second while the link is open, none earlier than the one before; no more rows
// than seconds went by (the timer's exact moments are the scheduler's business).
TEST(Programs, QuillonAppendsTheSensorsToItsHistoryEachSecond) {
    char szDir[] = "/tmp/quillon-e2e-history-XXXXXX";
    ASSERT_NE(::mkdtemp(szDir), nullptr);
    const std::string dir = szDir;
    Program sim(QUILLON_SIM_PROGRAM, {"--delay", "300"}, {});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.Out().find('\n') != std::string::npos; }, 10s));
    const std::string device = sim.Out().substr(8, sim.Out().find('\n') - 8);
    const std::string path = dir + "/h.csv";
    Program quillon(QUILLON_PROGRAM, {"--history", path, device},
                    {"QT_QPA_PLATFORM=offscreen", "QUILLON_LOCK_DIR=" + dir});
    std::vector<std::string> rows;
    const auto readRows = [&] {
        rows.clear();
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) rows.push_back(line);
        return rows.size() >= 5;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(quillon.WaitFor(readRows, 20s)) << quillon.Err();
    quillon.Stop();
    readRows();
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    ASSERT_GE(rows.size(), 5u);
    EXPECT_LE(static_cast<long>(rows.size()) - 1, elapsed.count() + 1);
    // The header's format is the unit tests' business. A sensor that has not arrived yet leaves its
    // cell empty; by the last row all have.
    EXPECT_TRUE(std::regex_match(rows.back(), std::regex("[^,]+(,[0-9.]+){9}"))) << rows.back();
    for (std::size_t i = 2; i < rows.size(); ++i) EXPECT_LE(rows[i - 1].substr(0, 20), rows[i].substr(0, 20));
    std::filesystem::remove_all(dir);
}
