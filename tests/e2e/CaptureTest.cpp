// quillon --capture against the simulator, then quillon-sim --replay of that capture into a second run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "Program.h"

using e2e::Count;
using e2e::Program;
using namespace std::chrono_literals;

// A capture of a live run, replayed into a second run, gives that run the same received bytes.
TEST(Programs, AReplayedCaptureGivesQuillonWhatTheControllerSent) {
    char szDir[] = "/tmp/quillon-e2e-capture-XXXXXX";
    ASSERT_NE(::mkdtemp(szDir), nullptr);
    const std::string dir = szDir;
    const std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "QUILLON_LOCK_DIR=" + dir};
    // Every line as the format says; the received chunks' bytes, in order.
    const auto received = [](const std::string& path) {
        static const std::regex line(
            R"re(\{"t":[0-9]+\.[0-9]{6},"dir":"(rx|tx)","hex":"((?:[0-9A-F]{2})*)"\})re");
        std::ifstream file(path);
        std::string text;
        std::smatch match;
        for (std::string row; std::getline(file, row);) {
            EXPECT_TRUE(std::regex_match(row, match, line)) << row;
            if (match.size() == 3 && match[1] == "rx") text += match[2];
        }
        return text;
    };
    const auto deviceOf = [](Program& controller) {
        EXPECT_TRUE(
            controller.WaitFor([&] { return controller.Out().find('\n') != std::string::npos; }, 10s));
        return controller.Out().substr(8, controller.Out().find('\n') - 8);
    };

    std::string live;
    {
        Program sim(QUILLON_SIM_PROGRAM, {"--delay", "500", "--rate", "20"}, {});
        Program quillon(QUILLON_PROGRAM,
                        {"--capture", dir + "/live.jsonl", "--report", dir + "/live.json", deviceOf(sim)},
                        env);
        EXPECT_TRUE(quillon.WaitFor([&] { return Count(quillon.Out(), "recv\n") >= 20; }, 20s))
            << quillon.Err();
        quillon.Stop();
        live = received(dir + "/live.jsonl");
    }
    EXPECT_NE(live.find("AA550501010007"), std::string::npos) << live;

    Program replay(QUILLON_SIM_PROGRAM, {"--replay", dir + "/live.jsonl"}, {});
    Program quillon(
        QUILLON_PROGRAM,
        {"--capture", dir + "/replayed.jsonl", "--report", dir + "/replayed.json", deviceOf(replay)}, env);
    EXPECT_TRUE(replay.WaitFor([&] { return replay.Out().find("\nreplayed: ") != std::string::npos; }, 30s));
    quillon.WaitFor([&] { return received(dir + "/replayed.jsonl").size() >= live.size(); }, 5s);
    quillon.Stop();
    EXPECT_EQ(received(dir + "/replayed.jsonl"), live);
    // The end-of-run reports: the same identity, serial numbers and values; another device and time.
    const auto report = [](const std::string& path) {
        static const std::regex deviceOrTime(R"re(^ *"(device|time)": .*$)re");
        std::ifstream file(path);
        std::string text;
        for (std::string row; std::getline(file, row);)
            text += std::regex_replace(row, deviceOrTime, "") + "\n";
        return text;
    };
    EXPECT_NE(report(dir + "/live.json").find("\"serial_numbers\""), std::string::npos)
        << report(dir + "/live.json");
    EXPECT_EQ(report(dir + "/replayed.json"), report(dir + "/live.json"));
    std::filesystem::remove_all(dir);
}
