// The receive side's pure rules: where frames start in a read, how a cut
// frame is completed, how the walk recovers from bad input, and when a read
// inside the serial-number exchange holds a whole answer.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "protocol/Assembly.h"
#include "protocol/Values.h"

using namespace quillon;
using Bytes = std::vector<Byte>;

namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A value response (command 2) with one data byte after the sub-command.
Bytes ValueFrame(Byte sub, Byte value) {
    Bytes frame{0xAA, 0x55, 0x07, 0x02, sub, 0x00, value, 0x00, 0x00};
    frame[8] = FrameChecksum(frame);
    return frame;
}

const Bytes kLinkOpenAck{0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07};
const Bytes kExitAck{0xAA, 0x55, 0x05, 0x80, 0x00, 0x00, 0x85};

// What one walk over a read did: the frames decoded (their N + 2 bytes), the
// bad frames met, and what each completion call asked for.
struct Walk {
    std::vector<Bytes> frames;
    int nBad = 0;
    std::vector<std::size_t> asked;
};

// Walks `bytes`; each completion call takes the next of `arrivals` (nothing once they run out).
Walk WalkRead(Bytes bytes, std::deque<Bytes> arrivals = {}) {
    Walk walk;
    ForEachFrame(
        bytes,
        [&](std::size_t missing) {
            walk.asked.push_back(missing);
            if (arrivals.empty()) return;
            Bytes next = std::move(arrivals.front());
            arrivals.pop_front();
            if (next.size() > missing) {
                arrivals.emplace_front(next.begin() + static_cast<std::ptrdiff_t>(missing), next.end());
                next.resize(missing);
            }
            bytes.insert(bytes.end(), next.begin(), next.end());
        },
        [&](const FrameBuffer& frame) {
            walk.frames.emplace_back(
                frame.begin(),
                frame.begin() + static_cast<std::ptrdiff_t>(FrameLength(frame[kFrameCountOffset])));
        },
        [&] { ++walk.nBad; });
    return walk;
}

}  // namespace

TEST(Assembly, FindsFrameStartsAndWhatTheyLack) {
    const Bytes garbage{0x00, 0xAA, 0x01, 0xAA, 0x55, 0x05};
    EXPECT_EQ(FindFrameStart(garbage, 0), 3u);
    EXPECT_EQ(MissingFrameBytes(garbage, 3), 4u);         // 7 bytes, 3 here
    EXPECT_EQ(FindFrameStart(Bytes{0x01, 0xAA}, 0), 2u);  // a lone AA is no start
    const Bytes header{0xAA, 0x55};
    EXPECT_EQ(MissingFrameBytes(header, 0), 1u);  // its count byte first
    EXPECT_EQ(TakenFrameLength(header, 0), 2u);
    const Bytes two{0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07, 0xAA, 0x55, 0x05};
    EXPECT_EQ(MissingFrameBytes(two, 0), 0u);
    EXPECT_EQ(TakenFrameLength(two, 0), 7u);
    EXPECT_EQ(FindFrameStart(two, 7), 7u);
    EXPECT_EQ(MissingFrameBytes(two, 7), 4u);
}

TEST(Assembly, EveryFrameOfAReadInOrderWithCompletion) {
    const Bytes temperature = ValueFrame(0x7D, 0x2A);
    Bytes bytes = Concat({{0x00}, kLinkOpenAck, {0x13}, Bytes(temperature.begin(), temperature.begin() + 4)});
    std::vector<std::size_t> asked;
    std::vector<FrameBuffer> frames;
    ForEachFrame(
        bytes,
        [&](std::size_t missing) {
            asked.push_back(missing);
            bytes.insert(bytes.end(), temperature.begin() + 4, temperature.end());
        },
        [&](const FrameBuffer& frame) { frames.push_back(frame); }, [] { FAIL() << "no bad frame here"; });
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(asked, (std::vector<std::size_t>{5}));
    EXPECT_EQ(frames[0][6], 0x07);
    EXPECT_EQ(frames[0][7], 0x00);  // the byte after the frame reads 0, not the next byte of the read
    EXPECT_EQ(frames[1][6], 0x2A);
}

TEST(Assembly, AFrameInManyPiecesTakesAPieceAtEachAttempt) {
    const Bytes temperature = ValueFrame(0x7D, 0x2A);
    const Walk walk = WalkRead({0xAA, 0x55}, {{0x07}, {0x02, 0x7D}, {0x00, 0x2A, 0x00}, {temperature[8]}});
    EXPECT_EQ(walk.asked, (std::vector<std::size_t>{1, 6, 4, 1}));
    EXPECT_EQ(walk.frames, std::vector<Bytes>{temperature});
    EXPECT_EQ(walk.nBad, 0);
}

TEST(Assembly, AFrameThatNeverCompletesIsBadAfterFiveAttempts) {
    const Walk walk = WalkRead({0xAA, 0x55});
    EXPECT_EQ(walk.asked.size(), 5u);
    EXPECT_TRUE(walk.frames.empty());
    EXPECT_EQ(walk.nBad, 1);
}

TEST(Assembly, TheFiveAttemptsServeTheWholeRead) {
    // Three headers that each claim far more than will ever come: the read
    // waits five times in all, not five times for each of them.
    const Walk walk = WalkRead({0xAA, 0x55, 0xF0, 0x01, 0xAA, 0x55, 0xF0, 0x02, 0xAA, 0x55, 0xF0, 0x03});
    EXPECT_EQ(walk.asked.size(), 5u);
    EXPECT_EQ(walk.nBad, 3);
    EXPECT_TRUE(walk.frames.empty());
}

TEST(Assembly, ABadChecksumDoesNotSwallowTheFramesItsCountCovers) {
    // The count byte of the damaged frame claims 0x20 + 2 bytes: both frames behind it.
    const Bytes damaged{0xAA, 0x55, 0x20, 0x02, 0x7D, 0x00, 0x2A};
    const Bytes bytes = Concat({damaged, kLinkOpenAck, ValueFrame(0x81, 0x19), Bytes(20, 0x00)});
    const Walk walk = WalkRead(bytes);
    EXPECT_EQ(walk.nBad, 1);
    EXPECT_EQ(walk.frames, (std::vector<Bytes>{kLinkOpenAck, ValueFrame(0x81, 0x19)}));
    EXPECT_TRUE(walk.asked.empty());
}

TEST(Assembly, AFalseHeaderIsLeftAtItsFirstByte) {
    // AA 55 AA ... claims 172 bytes that never come; the real frame starts two bytes later.
    const Walk walk = WalkRead(Concat({{0xAA, 0x55}, kExitAck}));
    EXPECT_EQ(walk.nBad, 1);
    EXPECT_EQ(walk.frames, std::vector<Bytes>{kExitAck});
    EXPECT_EQ(walk.asked.size(), 5u);
}

TEST(Assembly, ACutFrameBehindABadOneIsStillCompleted) {
    const Bytes bad{0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x88};
    const Bytes temperature = ValueFrame(0x7D, 0x2A);
    const Walk walk = WalkRead(Concat({bad, Bytes(temperature.begin(), temperature.begin() + 5)}),
                               {Bytes(temperature.begin() + 5, temperature.end())});
    EXPECT_EQ(walk.nBad, 1);
    EXPECT_EQ(walk.frames, std::vector<Bytes>{temperature});
    EXPECT_EQ(walk.asked, (std::vector<std::size_t>{4}));
}

TEST(Assembly, AHeaderInsideAGoodFrameIsNotAFrame) {
    // The data of a good frame may hold AA 55: the walk goes on after the frame.
    Bytes carrier{0xAA, 0x55, 0x09, 0x02, 0x89, 0xAA, 0x55, 0x05, 0x01, 0x00, 0x00};
    carrier[10] = FrameChecksum(carrier);
    const Walk walk = WalkRead(Concat({carrier, kExitAck}));
    EXPECT_EQ(walk.nBad, 0);
    EXPECT_EQ(walk.frames, (std::vector<Bytes>{carrier, kExitAck}));
}

TEST(Assembly, GarbageAloneIsNoFrame) {
    const Walk walk = WalkRead({'F', 'X', 'R', 0x00, 0xAA, 0x13, 0x55});
    EXPECT_TRUE(walk.frames.empty());
    EXPECT_EQ(walk.nBad, 0);
    EXPECT_TRUE(walk.asked.empty());
}

namespace {

// A command-9 answer of 23 bytes: kind at byte 9, number at bytes 10 to 20.
Bytes SerialAnswer(Byte kind, const std::string& number) {
    Bytes frame{0xAA, 0x55, 0x15, 0x09, 0x00, 0x00, 0x0A, 0x00, 0x00, kind};
    frame.resize(21);
    std::copy(number.begin(), number.end(), frame.begin() + 10);
    frame.push_back(0x00);
    frame.push_back(FrameChecksum(frame));
    return frame;
}

}  // namespace

TEST(SerialAnswer, OnlyAWholeAnswerOfACaptionedKindIsTaken) {
    const Bytes answer = SerialAnswer(13, "LP77109321X");
    EXPECT_STREQ(SerialAnswerCaption(answer), "LCD Panel Serial No: ");
    // Through offset 20 is enough: the checksum may still be on its way.
    EXPECT_STREQ(SerialAnswerCaption(std::span<const Byte>(answer).first(21)), "LCD Panel Serial No: ");
    // A first piece, cut inside the number, would show a truncated number.
    EXPECT_EQ(SerialAnswerCaption(std::span<const Byte>(answer).first(20)), nullptr);
    EXPECT_EQ(SerialAnswerCaption(std::span<const Byte>(answer).first(12)), nullptr);
    EXPECT_EQ(SerialAnswerCaption(SerialAnswer(1, "X")), nullptr);  // a kind without caption
    EXPECT_EQ(SerialAnswerCaption(SerialAnswer(44, "X")), nullptr);
    Bytes value = answer;
    value[kFrameCommandOffset] = 0x02;
    EXPECT_EQ(SerialAnswerCaption(value), nullptr);
    // The rest of a split answer followed by a whole one: the read does not start with a frame.
    EXPECT_EQ(SerialAnswerCaption(Concat({Bytes(answer.begin() + 12, answer.end()), answer})), nullptr);
}
