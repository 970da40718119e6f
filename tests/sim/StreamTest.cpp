// The status stream after the all-states request, read as the program reads it.
#include <map>
#include <set>
#include <string>

#include "SimulatorFixture.h"

namespace quillon::sim::test {
namespace {

using Bytes = std::vector<Byte>;

struct Group {
    Byte first;
    const char* name;
    bool temperature;  // one byte at offset 6
    int low;           // display clamps in raw units: a healthy terminal stays strictly inside
    int high;
};

constexpr Group kGroups[] = {
    {0x01, "DC power", false, 0, 15500},       {0x05, "DC voltage", false, 9000, 15000},
    {0x09, "DC current", false, 0, 16000},     {0x51, "12 V rail", false, 9000, 15000},
    {0x59, "battery", false, 1500, 3500},      {0x5D, "CPU core", false, 500, 2000},
    {0x71, "CPU fan", false, 0, 4000},         {0x7D, "CPU temperature", true, 0, 100},
    {0x81, "system temperature", true, 0, 85},
};

// Every value the program decodes, less the I/O version, which it answers with a
// serial-number exchange and so asks for itself.
const std::set<Byte> kStreamed{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D,
                               0x0E, 0x0F, 0x10, 0x11, 0x12, 0x51, 0x52, 0x53, 0x54, 0x59, 0x5A, 0x5B, 0x5C,
                               0x5D, 0x5E, 0x5F, 0x60, 0x71, 0x72, 0x73, 0x74, 0x7D, 0x7E, 0x7F, 0x80, 0x81,
                               0x82, 0x83, 0x84, 0x89, 0x8A, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};

using Sweep = std::map<Byte, Bytes>;  // sub-command -> frame

int Raw(const Bytes& frame, bool temperature) {
    return temperature ? frame[6] : frame[5] << 8 | frame[6];
}

std::uint32_t Raw32(const Bytes& frame) {
    return static_cast<std::uint32_t>(frame[5]) << 24 | frame[6] << 16 | frame[7] << 8 | frame[8];
}

class StreamTest : public SimulatorTest {
protected:
    // Reads whole sweeps: each starts again at sub-command 0x01.
    std::vector<Sweep> ReadSweeps(std::size_t count) {
        std::vector<Sweep> sweeps;
        bool started = false;
        while (sweeps.size() <= count) {
            const auto frame = line.NextFrame();
            if (!frame) {
                ADD_FAILURE() << "the stream stalled";
                break;
            }
            EXPECT_TRUE(FrameChecksumOk(*frame)) << Hex(*frame);
            EXPECT_EQ((*frame)[3], 0x02);
            EXPECT_EQ(frame->at((*frame)[2]), 0x00) << "offset N of " << Hex(*frame);
            const Byte sub = (*frame)[4];
            if (sub == 0x01) {
                started = true;
                sweeps.emplace_back();
            }
            if (started) {
                EXPECT_FALSE(sweeps.back().contains(sub)) << "sub-command twice in a sweep: " << int{sub};
                sweeps.back()[sub] = *frame;
            }
        }
        sweeps.resize(count);
        return sweeps;
    }
};

TEST_F(StreamTest, EverySweepCarriesEveryValueAndPassesTheChecks) {
    Launch();
    line.Write(kAllStates);
    const auto sweeps = ReadSweeps(5);
    for (const Sweep& sweep : sweeps) {
        std::set<Byte> subs;
        for (const auto& [sub, frame] : sweep) subs.insert(sub);
        EXPECT_EQ(subs, kStreamed);
    }
}

TEST_F(StreamTest, EachQuantityIsConsistentWithItsHistory) {
    Launch();
    line.Write(kAllStates);
    const auto sweeps = ReadSweeps(8);
    std::map<Byte, std::set<int>> currents;
    for (std::size_t n = 0; n < sweeps.size(); ++n) {
        for (const Group& g : kGroups) {
            const Sweep& sweep = sweeps[n];
            const int current = Raw(sweep.at(g.first), g.temperature);
            const int maximum = Raw(sweep.at(g.first + 1), g.temperature);
            const int minimum = Raw(sweep.at(g.first + 2), g.temperature);
            const int average = Raw(sweep.at(g.first + 3), g.temperature);
            EXPECT_LE(minimum, average) << g.name << " in sweep " << n;
            EXPECT_LE(average, maximum) << g.name << " in sweep " << n;
            EXPECT_LE(minimum, current) << g.name << " in sweep " << n;
            EXPECT_LE(current, maximum) << g.name << " in sweep " << n;
            EXPECT_GT(minimum, g.low) << g.name;
            EXPECT_LT(maximum, g.high) << g.name;
            if (g.temperature) {
                EXPECT_EQ(sweep.at(g.first)[5], 0) << g.name;
            }
            if (n > 0) {
                const Sweep& before = sweeps[n - 1];
                EXPECT_GE(maximum, Raw(before.at(g.first + 1), g.temperature))
                    << g.name << ": maximum shrank";
                EXPECT_LE(minimum, Raw(before.at(g.first + 2), g.temperature)) << g.name << ": minimum grew";
            }
            currents[g.first].insert(current);
        }
    }
    std::size_t moving = 0;
    for (const auto& [first, values] : currents) moving += values.size() > 1 ? 1 : 0;
    EXPECT_GE(moving, 5u) << "most quantities should wander";
}

TEST_F(StreamTest, CarriesIdentityLifetimeAndSettings) {
    config.comPower = 0x83;
    config.com12V = 0x02;
    config.osdOn = false;
    config.backlight = 70;
    Launch();
    line.Write(kAllStates);
    const Sweep sweep = ReadSweeps(1)[0];
    auto text = [&](Byte sub) {
        const Bytes& f = sweep.at(sub);
        return std::string(f.begin() + 5, f.begin() + 21);
    };
    auto padded = [](std::string s) {
        s.resize(16, ' ');
        return s;
    };
    EXPECT_EQ(text(0x89), padded(config.mbVersion));
    EXPECT_EQ(text(0x8A), padded(config.biosVersion));
    EXPECT_EQ(text(0xA6), padded(config.displayVersion));
    EXPECT_EQ(sweep.at(0x12)[5], 0x83);
    EXPECT_EQ(sweep.at(0x12)[6], 0x02);
    EXPECT_EQ(sweep.at(0xA4)[5], 0) << "OSD off";
    EXPECT_EQ(sweep.at(0xA1)[5], 70);
    for (Byte sub : {0x0D, 0x0E, 0x0F, 0x10, 0xA2, 0xA3}) {
        EXPECT_EQ(sweep.at(sub)[2], 9) << "32-bit value in bytes 5-8, sub-command " << int{sub};
        EXPECT_GT(Raw32(sweep.at(sub)), 0u);
        EXPECT_LT(Raw32(sweep.at(sub)), 0x80000000u) << "the program reads it signed";
    }
    for (Byte sub : {0x11, 0xA5}) EXPECT_EQ(sweep.at(sub)[2], 6) << "8-bit count, sub-command " << int{sub};
}

TEST_F(StreamTest, NowAndThenCarriesTheComReportInsideAnotherFrame) {
    Launch();
    line.Write(ComPower(0x21, 0x20));
    ASSERT_TRUE(line.NextFrame());
    line.Write(kComConfirm);
    ASSERT_TRUE(line.NextFrame());
    line.Write(kAllStates);
    std::size_t carried = 0;
    for (const Sweep& sweep : ReadSweeps(8)) {
        EXPECT_EQ(sweep.at(0x12)[5], 0x21);
        EXPECT_EQ(sweep.at(0x12)[6], 0x20);
        for (const auto& [sub, frame] : sweep) {
            if (frame[2] < 15 || frame[10] != 7 || frame[12] != 0x12) continue;
            ++carried;
            EXPECT_EQ(frame[13], 0x21) << "power mask";
            EXPECT_EQ(frame[14], 0x20) << "12 V mask";
        }
    }
    EXPECT_GE(carried, 1u);
}

TEST_F(StreamTest, ReflectsAKeptOsdChange) {
    config.osdOn = true;
    Launch();
    line.Write(kOsdKeepOff);
    ASSERT_TRUE(line.NextFrame());
    line.Write(kAllStates);
    EXPECT_EQ(ReadSweeps(1)[0].at(0xA4)[5], 0);
}

TEST_F(StreamTest, PausesForTheSerialExchangeAndResumesOnRequest) {
    Launch();
    line.Write(kAllStates);
    ASSERT_TRUE(line.NextFrame());
    line.Write(kSerialStart);
    std::optional<Bytes> frame;
    for (int i = 0; i < 1000; ++i) {
        frame = line.NextFrame();
        ASSERT_TRUE(frame);
        if ((*frame)[3] == 0x09) break;
    }
    EXPECT_TRUE(line.ReadSome(kQuietSpell).empty()) << "no status frame may disturb the exchange";
    line.Write(SerialNext(10));
    const auto answer = line.NextFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[3], 0x09);
    line.Write(kAllStates);
    const auto resumed = line.NextFrame();
    ASSERT_TRUE(resumed);
    EXPECT_EQ((*resumed)[3], 0x02);
}

}  // namespace
}  // namespace quillon::sim::test
