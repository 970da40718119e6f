// The faults the simulator injects, seen from the program's end of the line.
#include <algorithm>
#include <chrono>
#include <thread>

#include "SimulatorFixture.h"

namespace quillon::sim::test {
namespace {

using Bytes = std::vector<Byte>;
using Clock = std::chrono::steady_clock;

const Bytes kLinkOpenAck{0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07};

TEST_F(SimulatorTest, SplitsFramesAtTheChosenByte) {
    config.faults.splitAt = 3;
    config.faults.splitPause = Millis{500};
    Launch();
    line.Write(kLinkOpen);
    const Bytes first = line.ReadSome(kPatience);
    EXPECT_EQ(first, Bytes(kLinkOpenAck.begin(), kLinkOpenAck.begin() + 3));
    const Bytes second = line.ReadExactly(4, kPatience);
    EXPECT_EQ(second, Bytes(kLinkOpenAck.begin() + 3, kLinkOpenAck.end()));
}

TEST_F(SimulatorTest, CorruptsTheChecksumOfEveryKthFrame) {
    config.faults.badChecksumEvery = 2;
    Launch();
    for (int i = 1; i <= 4; ++i) {
        const Bytes frame = Ask(kLinkOpen);
        ASSERT_EQ(frame.size(), kLinkOpenAck.size()) << "frame " << i;
        EXPECT_EQ(FrameChecksumOk(frame), i % 2 == 1) << "frame " << i;
        EXPECT_TRUE(std::equal(frame.begin(), frame.end() - 1, kLinkOpenAck.begin()))
            << "only the checksum changes";
    }
    line.Write(kAllStates);
    std::size_t bad = 0;
    for (int i = 0; i < 20; ++i) {
        const auto frame = line.NextFrame();
        ASSERT_TRUE(frame);
        bad += FrameChecksumOk(*frame) ? 0 : 1;
    }
    EXPECT_EQ(bad, 10u) << "status frames count too";
}

TEST_F(SimulatorTest, PutsNoiseBetweenFrames) {
    config.faults.garbageEvery = 1;
    config.faults.garbageLength = 5;
    Launch();
    line.Write(kLinkOpen);
    const Bytes noise = line.ReadExactly(5, kPatience);
    ASSERT_EQ(noise.size(), 5u);
    EXPECT_EQ(std::count(noise.begin(), noise.end(), 0xAA), 0) << "noise never looks like a frame head";
    EXPECT_EQ(line.NextFrame(), kLinkOpenAck);
}

TEST_F(SimulatorTest, AnswersLate) {
    config.faults.ackDelay = Millis{300};
    Launch();
    const auto asked = Clock::now();
    EXPECT_EQ(Ask(kLinkOpen), kLinkOpenAck);
    EXPECT_GE(Clock::now() - asked, Millis{300});
}

TEST_F(SimulatorTest, DropsEveryKthAnswer) {
    config.faults.dropAckEvery = 2;
    Launch();
    EXPECT_EQ(Ask(kLinkOpen), kLinkOpenAck);
    line.Write(kIoVersion);
    EXPECT_TRUE(line.ReadSome(kQuietSpell).empty());
    EXPECT_EQ(Ask(kLinkOpen), kLinkOpenAck);
    EXPECT_EQ(sim().Accepted().size(), 3u) << "a dropped answer's request was still taken";
}

TEST_F(SimulatorTest, StaysSilentButListens) {
    config.faults.silent = true;
    Launch();
    line.Write(kLinkOpen);
    line.Write(kAllStates);
    ASSERT_TRUE(sim().WaitForRequests(RequestKind::AllStatesStart, 1, kPatience));
    EXPECT_TRUE(line.ReadSome(kQuietSpell).empty());
    EXPECT_TRUE(sim().GetState().linkOpen);
}

TEST_F(SimulatorTest, StopsTakingBytesButKeepsStreaming) {
    config.faults.stopReadingAfter = Millis{300};
    Launch();
    EXPECT_EQ(Ask(kLinkOpen), kLinkOpenAck) << "reads until then";
    line.Write(kAllStates);
    ASSERT_TRUE(line.NextFrame());
    const auto deadline = Clock::now() + kPatience;
    while (line.TakesAByte() && Clock::now() < deadline) std::this_thread::sleep_for(Millis{20});
    std::this_thread::sleep_for(kQuietSpell);
    EXPECT_FALSE(line.TakesAByte()) << "the line's input stays full, so a write of the program waits";
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(line.NextFrame()) << "frame " << i;
    EXPECT_EQ(sim().Accepted().size(), 2u);
}

TEST_F(SimulatorTest, HangsUpAfterATime) {
    config.faults.hangupAfter = Millis{200};
    Launch();
    EXPECT_TRUE(line.WaitHangUp(kPatience));
    EXPECT_TRUE(sim().WaitForHangUp(kPatience));
}

TEST_F(SimulatorTest, HangsUpAfterTheNthFrame) {
    config.faults.hangupAfterFrames = 2;
    Launch();
    EXPECT_EQ(Ask(kLinkOpen), kLinkOpenAck);
    EXPECT_FALSE(sim().GetState().hungUp);
    EXPECT_EQ(Ask(kLinkOpen), kLinkOpenAck);
    EXPECT_TRUE(line.WaitHangUp(kPatience));
    EXPECT_TRUE(sim().WaitForHangUp(kPatience));
    EXPECT_EQ(sim().GetState().framesSent, 2u);
}

}  // namespace
}  // namespace quillon::sim::test
