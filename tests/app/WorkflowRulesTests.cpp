// The setting dialogues' and the console's pure rules: what a supply choice
// stores, how hand-typed frame text parses, and what the step tables show.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <set>
#include <string>
#include <vector>

#include "protocol/Requests.h"
#include "workflows/ComPower.h"
#include "workflows/Osd.h"
#include "workflows/SendFrame.h"

using namespace quillon;
using Bytes = std::vector<Byte>;

namespace {

// The two arrays of the dialogue, filled by choices as the buttons store them.
struct ComEntries {
    std::array<Byte, kComPortCount> power{};
    std::array<Byte, kComPortCount> volt12{};

    void Choose(UINT nID) {
        const auto choice = ComChoiceFor(nID);
        ASSERT_TRUE(choice.has_value()) << nID;
        power[choice->nPort] = choice->byPowerBit;
        volt12[choice->nPort] = choice->by12VBit;
    }
    Bytes Frame() const {
        const auto frame = BuildComPowerRequest(SumEntries(power), SumEntries(volt12));
        return Bytes(frame.begin(), frame.end());
    }
};

constexpr UINT Choice(int nPort, int nColumn) {
    return IDC_COM1_5V + 3 * (nPort - 1) + nColumn;
}
constexpr int k5V = 0;
constexpr int k12V = 1;
constexpr int kRI = 2;

// A frame buffer that starts from a known pattern, so that untouched bytes show.
struct SendBuffer {
    std::array<Byte, kSendFrameSize> frame;
    int nLength = -7;
    SendBuffer() { frame.fill(0xEE); }
    SendTextResult Parse(std::string_view text) { return ParseSendText(text, frame, nLength); }
    Bytes Sent() const { return Bytes(frame.begin(), frame.begin() + SendLength(nLength)); }
};

}  // namespace

TEST(ComChoice, EachRowStoresItsPortsBitsAndOthersAreNoChoice) {
    for (int nPort = 1; nPort <= 8; ++nPort) {
        SCOPED_TRACE(nPort);
        const Byte bit = static_cast<Byte>(1 << (nPort - 1));
        const auto v5 = ComChoiceFor(Choice(nPort, k5V));
        const auto v12 = ComChoiceFor(Choice(nPort, k12V));
        const auto ri = ComChoiceFor(Choice(nPort, kRI));
        ASSERT_TRUE(v5 && v12 && ri);
        EXPECT_EQ(v5->nPort, static_cast<std::size_t>(nPort - 1));
        EXPECT_EQ(ri->nPort, static_cast<std::size_t>(nPort - 1));
        EXPECT_EQ((Bytes{v5->byPowerBit, v5->by12VBit}), (Bytes{bit, 0}));
        EXPECT_EQ((Bytes{v12->byPowerBit, v12->by12VBit}), (Bytes{bit, bit}));
        EXPECT_EQ((Bytes{ri->byPowerBit, ri->by12VBit}), (Bytes{0, 0}));
    }
    EXPECT_FALSE(ComChoiceFor(IDC_COM1_5V - 1));
    EXPECT_FALSE(ComChoiceFor(IDC_COM8_RI + 1));
    EXPECT_FALSE(ComChoiceFor(IDC_COM_PORT_SET));
}

TEST(ComChoice, FramesCarryTheChoicesAndRiForPortsNeverChosen) {
    ComEntries mixed;
    mixed.Choose(Choice(1, k12V));
    mixed.Choose(Choice(3, k5V));
    EXPECT_EQ(mixed.Frame(), (Bytes{0xAA, 0x55, 0x06, 0xA5, 0x05, 0x01, 0x00, 0xB1, 0x00}));

    ComEntries only2;
    only2.Choose(Choice(2, k5V));
    EXPECT_EQ(only2.Frame(), (Bytes{0xAA, 0x55, 0x06, 0xA5, 0x02, 0x00, 0x00, 0xAD, 0x00}));

    ComEntries all5V;
    for (int nPort = 1; nPort <= 8; ++nPort) all5V.Choose(Choice(nPort, k5V));
    EXPECT_EQ(all5V.Frame(), (Bytes{0xAA, 0x55, 0x06, 0xA5, 0xFF, 0x00, 0x00, 0xAA, 0x00}));

    // A later choice replaces the port's earlier one.
    all5V.Choose(Choice(4, k12V));
    all5V.Choose(Choice(4, kRI));
    EXPECT_EQ(SumEntries(all5V.power), 0xF7);
    EXPECT_EQ(SumEntries(all5V.volt12), 0x00);
    all5V.Choose(Choice(8, k12V));
    EXPECT_EQ(all5V.Frame(), (Bytes{0xAA, 0x55, 0x06, 0xA5, 0xF7, 0x80, 0x00, 0x22, 0x00}));
}

TEST(SendText, PairsAreReadOnTheirOwnAfterTrimming) {
    SendBuffer buffer;
    // The inner blank pairs with the 0 after it; the last 1 is left over.
    EXPECT_EQ(buffer.Parse(" aa55 0501 "), SendTextResult::Parsed);
    EXPECT_EQ(buffer.nLength, 9);
    EXPECT_EQ(buffer.Sent(), (Bytes{0xAA, 0x55, 0x00, 0x50}));
    EXPECT_EQ(buffer.frame[4], 0xEE);

    SendBuffer odd;
    EXPECT_EQ(odd.Parse("AA5"), SendTextResult::Parsed);
    EXPECT_EQ(odd.nLength, 3);
    EXPECT_EQ(odd.Sent(), (Bytes{0xAA}));

    // Every white-space character of the C library is trimmed at both ends.
    SendBuffer padded;
    EXPECT_EQ(padded.Parse("\r\n\t\v\f 0d0A\r\n"), SendTextResult::Parsed);
    EXPECT_EQ(padded.nLength, 4);
    EXPECT_EQ(padded.Sent(), (Bytes{0x0D, 0x0A}));
}

TEST(SendText, EachPairFollowsTheHexConversionRules) {
    SendBuffer buffer;
    // Signs and a blank after the digit are taken as the conversion takes them.
    EXPECT_EQ(buffer.Parse("-1+f5 0Ff"), SendTextResult::Parsed);
    EXPECT_EQ(buffer.Sent(), (Bytes{0xFF, 0x0F, 0x05, 0x0F}));
    // A pair without a number leaves its byte from the previous frame.
    EXPECT_EQ(buffer.Parse("11zz  33"), SendTextResult::Parsed);
    EXPECT_EQ(buffer.Sent(), (Bytes{0x11, 0x0F, 0x05, 0x33}));
    EXPECT_EQ(buffer.Parse("g1"), SendTextResult::Parsed);
    EXPECT_EQ(buffer.Sent(), (Bytes{0x11}));
}

TEST(SendText, BlankTextsKeepThePreviousFrameAndOneCharacterSendsNothing) {
    SendBuffer buffer;
    ASSERT_EQ(buffer.Parse("A155"), SendTextResult::Parsed);
    EXPECT_EQ(buffer.Parse(""), SendTextResult::Blank);
    EXPECT_EQ(buffer.Parse(" \t\r\n"), SendTextResult::Blank);
    EXPECT_EQ(buffer.nLength, 4);
    EXPECT_EQ(buffer.Sent(), (Bytes{0xA1, 0x55}));

    EXPECT_EQ(buffer.Parse(" 7 "), SendTextResult::Short);
    EXPECT_EQ(buffer.nLength, 1);
    EXPECT_TRUE(buffer.Sent().empty());
    EXPECT_EQ(buffer.frame[0], 0xA1);
}

TEST(SendText, ABufferFullParsesAndOneCharacterMoreIsRefusedUntouched) {
    std::string full;
    for (std::size_t i = 0; i < kSendFrameSize; ++i) full += i % 2 ? "5a" : "A5";
    SendBuffer buffer;
    ASSERT_EQ(buffer.Parse("  " + full + "\t"), SendTextResult::Parsed);
    EXPECT_EQ(buffer.nLength, 512);
    ASSERT_EQ(buffer.Sent().size(), kSendFrameSize);
    EXPECT_EQ(buffer.frame[0], 0xA5);
    EXPECT_EQ(buffer.frame[kSendFrameSize - 1], 0x5A);

    ASSERT_EQ(buffer.Parse("12"), SendTextResult::Parsed);
    for (const std::string& text : {full + "0", full + " 00", std::string(100000, 'F')}) {
        EXPECT_EQ(buffer.Parse(text), SendTextResult::TooLong);
        EXPECT_EQ(buffer.nLength, 2);
        EXPECT_EQ(buffer.frame[0], 0x12);
        EXPECT_EQ(buffer.frame[1], 0x5A);
    }
}

TEST(SendText, RepeatCountReadsAsAtoiWithoutOverflow) {
    EXPECT_EQ(RepeatCount("1"), 1);
    EXPECT_EQ(RepeatCount("  12 times"), 12);
    EXPECT_EQ(RepeatCount("+3"), 3);
    EXPECT_EQ(RepeatCount("-2"), -2);
    EXPECT_EQ(RepeatCount(""), 0);
    EXPECT_EQ(RepeatCount("two"), 0);
    EXPECT_EQ(RepeatCount("0x10"), 0);
    EXPECT_EQ(RepeatCount("99999999999999999999"), INT_MAX);
    EXPECT_EQ(RepeatCount("-99999999999999999999"), INT_MIN);
}

namespace {

// The dialogue controls that are up, as the step tables leave them.
class Shown {
public:
    explicit Shown(std::set<UINT> ids) : m_ids(std::move(ids)) {}
    void Apply(std::span<const ShowStep> steps) {
        for (const ShowStep& step : steps) {
            for (UINT nID = step.nFirst; nID <= step.nLast; ++nID) {
                if (step.bShow) {
                    m_ids.insert(nID);
                } else {
                    m_ids.erase(nID);
                }
            }
        }
    }
    // One click: the step's shows and hides, with the flag as the click finds it.
    void Click(const OsdStep& step, bool bFlag) {
        Apply(step.before);
        if (bFlag && step.ack != OsdAck::None) Apply(step.acknowledged);
    }
    const std::set<UINT>& Ids() const { return m_ids; }

private:
    std::set<UINT> m_ids;
};

constexpr UINT kOn = IDC_OSD_ON, kOff = IDC_OSD_OFF, kOnYes = IDC_OSD_ON_YES, kOnNo = IDC_OSD_ON_NO;
constexpr UINT kOffYes = IDC_OSD_OFF_YES, kOffNo = IDC_OSD_OFF_NO, kAsk = IDC_STATIC_APPLY_CHANGE;
constexpr UINT kBusy = IDC_STATIC_BUSY, kOnDone = IDC_STATIC_OSD_ON_REBOOT,
               kOffDone = IDC_STATIC_OSD_OFF_REBOOT;

}  // namespace

TEST(OsdSteps, EveryTransitionReachesItsState) {
    const std::set<UINT> idle{kOn, kOff};
    const std::set<UINT> waiting{kOn, kOff, kBusy};
    const std::set<UINT> askingOn{kAsk, kOnYes, kOnNo};
    const std::set<UINT> askingOff{kAsk, kOffYes, kOffNo};

    Shown shown(idle);
    shown.Click(kOsdOnStep, false);
    EXPECT_EQ(shown.Ids(), waiting);
    shown.Click(kOsdOffStep, false);
    EXPECT_EQ(shown.Ids(), waiting);
    shown.Click(kOsdOnStep, true);
    EXPECT_EQ(shown.Ids(), askingOn);
    shown.Click(kOsdOnYesStep, false);
    EXPECT_EQ(shown.Ids(), (std::set<UINT>{kAsk, kOnYes, kOnNo, kBusy}));
    shown.Click(kOsdOnYesStep, true);
    EXPECT_EQ(shown.Ids(), (std::set<UINT>{kOn, kOff, kAsk, kOnDone}));

    // From Done a new choice starts over with the result hidden.
    shown.Click(kOsdOffStep, true);
    EXPECT_EQ(shown.Ids(), askingOff);
    shown.Click(kOsdOffYesStep, false);
    shown.Click(kOsdOffYesStep, true);
    EXPECT_EQ(shown.Ids(), (std::set<UINT>{kOn, kOff, kAsk, kOffDone}));
    shown.Click(kOsdOnStep, true);
    EXPECT_EQ(shown.Ids(), askingOn);

    // "No" goes back to Idle and leaves the busy message as it was.
    Shown declined(askingOff);
    declined.Click(kOsdOffNoStep, true);
    EXPECT_EQ(declined.Ids(), idle);
    Shown storing(askingOn);
    storing.Click(kOsdOnYesStep, false);
    storing.Click(kOsdOnNoStep, true);
    EXPECT_EQ(storing.Ids(), waiting);
}
