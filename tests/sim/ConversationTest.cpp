// The conversation as the program holds it, request by request.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "SimulatorFixture.h"

namespace quillon::sim::test {
namespace {

using Bytes = std::vector<Byte>;
using Clock = std::chrono::steady_clock;

std::string TextAt(const Bytes& frame, std::size_t from, std::size_t to) {
    return std::string(frame.begin() + static_cast<std::ptrdiff_t>(from),
                       frame.begin() + static_cast<std::ptrdiff_t>(to) + 1);
}

// Bytes as the frame holds a text padded to `width` with `pad`.
std::string Padded(std::string text, std::size_t width, char pad) {
    text.resize(width, pad);
    return text;
}

std::size_t CountOf(const std::vector<Request>& log, RequestKind kind) {
    return static_cast<std::size_t>(
        std::count_if(log.begin(), log.end(), [&](const Request& r) { return r.kind == kind; }));
}

TEST_F(SimulatorTest, AnnouncesAfterTheDelay) {
    config.announceDelay = Millis{300};
    const auto started = Clock::now();
    Launch();
    const Bytes text = line.ReadExactly(config.announcement.size(), kPatience);
    const auto elapsed = Clock::now() - started;
    ASSERT_EQ(std::string(text.begin(), text.end()), config.announcement);
    EXPECT_EQ(TextAt(text, 0, 2), "FIR");
    EXPECT_GE(elapsed, Millis{300});
    EXPECT_TRUE(sim().GetState().announced);
}

TEST_F(SimulatorTest, AnnouncesOnDemandOnly) {
    Launch();
    EXPECT_TRUE(line.ReadSome(kQuietSpell).empty());
    EXPECT_FALSE(sim().GetState().announced);
    sim().Announce();
    const Bytes text = line.ReadExactly(config.announcement.size(), kPatience);
    EXPECT_EQ(std::string(text.begin(), text.end()), config.announcement);
    sim().Announce();
    const Bytes again = line.ReadExactly(config.announcement.size(), kPatience);
    EXPECT_EQ(again, text);
}

TEST_F(SimulatorTest, OpensTheLink) {
    Launch();
    EXPECT_EQ(Ask(kLinkOpen), (Bytes{0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07}));
    const auto log = sim().Accepted();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, RequestKind::LinkOpen);
    EXPECT_EQ(log[0].bytes, kLinkOpen);
    EXPECT_TRUE(sim().GetState().linkOpen);
}

TEST_F(SimulatorTest, ReportsTheIoVersion) {
    Launch();
    const Bytes frame = Ask(kIoVersion);
    ASSERT_EQ(frame.size(), 23u);
    EXPECT_EQ(frame[2], 21) << "count byte: one past offset 20";
    EXPECT_EQ(frame[3], 0x02);
    EXPECT_EQ(frame[4], 0x8E);
    EXPECT_EQ(TextAt(frame, 5, 20), Padded(std::string(kIoVersionComPower), 16, ' '));
    EXPECT_EQ(frame[21], 0x00);
    EXPECT_TRUE(FrameChecksumOk(frame));
    EXPECT_FALSE(frame[19] == '1' && frame[20] == 'c');
}

TEST_F(SimulatorTest, ReportsAnIoVersionWithoutComPowerSelection) {
    config.ioVersion = kIoVersionNoComPower;
    Launch();
    const Bytes frame = Ask(kIoVersion);
    ASSERT_EQ(frame.size(), 23u);
    EXPECT_EQ(TextAt(frame, 5, 20), kIoVersionNoComPower);
    EXPECT_EQ(frame[19], '1');
    EXPECT_EQ(frame[20], 'c');
    EXPECT_TRUE(FrameChecksumOk(frame));
}

TEST_F(SimulatorTest, ListsTheSerialNumbersAndEndsWithTheMarker) {
    config.serials = {{13, "LP77109321X"}, {8, "HD5"}, {48, "VP0001"}};
    Launch();
    const Bytes first = Ask(kSerialStart);
    ASSERT_EQ(first.size(), 23u);
    EXPECT_TRUE(FrameChecksumOk(first));
    EXPECT_EQ(first[3], 0x09);
    EXPECT_EQ(first[9], 0) << "kind of the system serial number";
    EXPECT_EQ(TextAt(first, 10, 20), Padded(*config.systemSerial, 11, '\0'));

    unsigned index = 10;
    for (const SerialEntry& entry : config.serials) {
        const Bytes answer = Ask(SerialNext(index));
        ASSERT_EQ(answer.size(), 23u) << "index " << index;
        EXPECT_TRUE(FrameChecksumOk(answer));
        EXPECT_EQ(answer[3], 0x09);
        EXPECT_EQ(answer[6], index) << "the answer echoes its index";
        EXPECT_EQ(answer[9], entry.kind);
        EXPECT_EQ(TextAt(answer, 10, 20), Padded(entry.number, 11, '\0'));
        ++index;
    }
    for (int after = 0; after < 2; ++after, ++index) {
        const Bytes end = Ask(SerialNext(index));
        ASSERT_EQ(end.size(), 23u);
        EXPECT_TRUE(FrameChecksumOk(end));
        EXPECT_EQ(end[9], 2);
        EXPECT_EQ((Bytes{end[10], end[11], end[12]}), (Bytes{0xFF, 0xFF, 0xFF}));
    }
    EXPECT_EQ(CountOf(sim().Accepted(), RequestKind::SerialNext), config.serials.size() + 2);
}

TEST_F(SimulatorTest, ReportsNoSystemSerialNumberWhenItHasNone) {
    config.systemSerial.reset();
    config.serials.clear();
    Launch();
    const Bytes frame = Ask(kSerialStart);
    ASSERT_EQ(frame.size(), 23u);
    EXPECT_TRUE(FrameChecksumOk(frame));
    EXPECT_EQ((Bytes{frame[10], frame[11], frame[12]}), (Bytes{0xFF, 0xFF, 0xFF}));
}

TEST_F(SimulatorTest, RejectsARequestWithoutItsTrailer) {
    Launch();
    const Bytes cut(kLinkOpen.begin(), kLinkOpen.end() - 1);
    line.Write(cut);
    EXPECT_TRUE(line.ReadSome(kQuietSpell).empty()) << "a request that is not byte-exact gets no answer";
    const auto deadline = Clock::now() + kPatience;
    while (sim().Rejected().empty() && Clock::now() < deadline) std::this_thread::sleep_for(Millis{10});
    EXPECT_EQ(sim().Rejected(), std::vector<Bytes>{cut});
    EXPECT_TRUE(sim().Accepted().empty());
    EXPECT_FALSE(sim().GetState().linkOpen);

    EXPECT_EQ(Ask(kLinkOpen), (Bytes{0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07}));
}

TEST_F(SimulatorTest, ReadsRequestsFromAByteStream) {
    Launch();
    // The first in pieces, then two in one write, one of them missing its trailer.
    line.Write(Bytes(kIoVersion.begin(), kIoVersion.begin() + 3));
    std::this_thread::sleep_for(Millis{20});
    line.Write(Bytes(kIoVersion.begin() + 3, kIoVersion.end()));
    Bytes two(kLinkOpen.begin(), kLinkOpen.end() - 1);
    two.insert(two.end(), kLinkClose.begin(), kLinkClose.end());
    line.Write(two);

    const auto version = line.NextFrame();
    ASSERT_TRUE(version);
    EXPECT_EQ((*version)[4], 0x8E);
    EXPECT_EQ(line.NextFrame(), (Bytes{0xAA, 0x55, 0x05, 0x01, 0x00, 0x00, 0x06}));
    EXPECT_TRUE(sim().WaitForRequests(RequestKind::LinkClose, 1, kPatience));
    const auto log = sim().Accepted();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, RequestKind::IoVersion);
    EXPECT_EQ(log[1].kind, RequestKind::LinkClose);
    EXPECT_EQ(sim().Rejected(), std::vector<Bytes>{Bytes(kLinkOpen.begin(), kLinkOpen.end() - 1)});
}

TEST_F(SimulatorTest, SetsTheComPortsInTwoSteps) {
    config.comPower = 0x0F;
    config.com12V = 0x01;
    Launch();
    EXPECT_EQ(Ask(ComPower(0x05, 0x01)), (Bytes{0xAA, 0x55, 0x05, 0xA0, 0xAA, 0x00, 0x4F}));
    State state = sim().GetState();
    EXPECT_EQ(state.pendingCom, (ComChoice{0x05, 0x01}));
    EXPECT_EQ(state.com, (ComChoice{0x0F, 0x01})) << "nothing applies before the confirmation";

    EXPECT_EQ(Ask(kComConfirm), (Bytes{0xAA, 0x55, 0x06, 0xA5, 0x05, 0x01, 0x00, 0xB1}));
    state = sim().GetState();
    EXPECT_EQ(state.com, (ComChoice{0x05, 0x01}));
    EXPECT_FALSE(state.pendingCom);

    // A second confirmation reports the ports as they are.
    EXPECT_EQ(Ask(kComConfirm), (Bytes{0xAA, 0x55, 0x06, 0xA5, 0x05, 0x01, 0x00, 0xB1}));
}

TEST_F(SimulatorTest, AcknowledgesTheOsdDialogue) {
    config.osdOn = true;
    Launch();
    const Bytes displayAck = Ask(kOsdDisplayOff);
    ASSERT_EQ(displayAck.size(), 7u);
    EXPECT_EQ(displayAck[2], 5);
    EXPECT_EQ(displayAck[6], 11) << "the program keys the display acknowledgement on checksum 11";
    EXPECT_TRUE(FrameChecksumOk(displayAck));
    EXPECT_EQ(sim().GetState().osdShown, false);
    EXPECT_TRUE(sim().GetState().osdOn) << "showing is not keeping";

    EXPECT_EQ(Ask(kOsdKeepOff), (Bytes{0xAA, 0x55, 0x05, 0xD0, 0x00, 0x00, 0xD5}));
    EXPECT_FALSE(sim().GetState().osdOn);

    EXPECT_EQ(Ask(kOsdDisplayOn)[6], 11);
    EXPECT_EQ(sim().GetState().osdShown, true);
    EXPECT_EQ(Ask(kOsdKeepOn), (Bytes{0xAA, 0x55, 0x05, 0xD0, 0x0A, 0x00, 0xDF}));
    EXPECT_TRUE(sim().GetState().osdOn);
}

TEST_F(SimulatorTest, AnswersAllWithItemTwo) {
    Launch();
    const Bytes frame = Ask(kAll);
    ASSERT_EQ(frame.size(), 9u);
    EXPECT_TRUE(FrameChecksumOk(frame));
    EXPECT_EQ(frame[3], 0x02);
    EXPECT_EQ(frame[4], 0x02);
    EXPECT_GT(frame[5] << 8 | frame[6], 0) << "the maximum DC input power of a running terminal";
}

TEST_F(SimulatorTest, StopsStreamingAndAcknowledgesWith133) {
    Launch();
    line.Write(kAllStates);
    ASSERT_TRUE(line.NextFrame()) << "streaming started";
    ASSERT_TRUE(sim().GetState().streaming);
    line.Write(kAllStatesStop);
    std::optional<Bytes> frame;
    for (int i = 0; i < 1000; ++i) {
        frame = line.NextFrame();
        ASSERT_TRUE(frame);
        if (frame->size() == 7) break;
        ASSERT_EQ((*frame)[3], 0x02) << "only status frames before the acknowledgement";
    }
    EXPECT_EQ(frame, (Bytes{0xAA, 0x55, 0x05, 0x80, 0x00, 0x00, 0x85}));
    EXPECT_EQ((*frame)[6], 133);
    EXPECT_TRUE(line.ReadSome(kQuietSpell).empty()) << "nothing follows the acknowledgement";
    EXPECT_FALSE(sim().GetState().streaming);
}

TEST_F(SimulatorTest, FallsSilentAfterTheLinkCloses) {
    Launch();
    EXPECT_EQ(Ask(kLinkOpen)[6], 7);
    line.Write(kAllStates);
    ASSERT_TRUE(line.NextFrame());
    line.Write(kLinkClose);
    std::optional<Bytes> frame;
    for (int i = 0; i < 1000; ++i) {
        frame = line.NextFrame();
        ASSERT_TRUE(frame);
        if (frame->size() == 7) break;
    }
    EXPECT_EQ(frame, (Bytes{0xAA, 0x55, 0x05, 0x01, 0x00, 0x00, 0x06}));
    EXPECT_TRUE(line.ReadSome(kQuietSpell).empty());
    const State state = sim().GetState();
    EXPECT_FALSE(state.linkOpen);
    EXPECT_FALSE(state.streaming);
}

TEST_F(SimulatorTest, StopReturnsWhileTheProgramDoesNotRead) {
    config.rateHz = 1000;
    Launch();
    line.Write(kAllStates);
    ASSERT_TRUE(sim().WaitForRequests(RequestKind::AllStatesStart, 1, kPatience));
    std::this_thread::sleep_for(Millis{500});
    const auto before = Clock::now();
    sim().Stop();
    EXPECT_LT(Clock::now() - before, kPatience);
    sim().Stop();
}

}  // namespace
}  // namespace quillon::sim::test
