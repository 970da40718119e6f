// The receive path of the real dialog, with a pseudo-terminal peer playing the controller.
#include <atomic>
#include <thread>

#include "support/DialogFixture.h"
#include "protocol/Requests.h"

using namespace std::chrono_literals;
using quillon::Byte;
using quillon::test::DialogTest;
using quillon::test::Pty;
using Bytes = std::vector<Byte>;

namespace {

const Bytes kLinkOpenAck{0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07};
const Bytes kIoVersionRequestBytes(std::begin(quillon::kIoVersionRequest), std::end(quillon::kIoVersionRequest));

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

}  // namespace

class ReceiveTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        MapPort(1, m_peer.Path());
        OpenDialog();
        Pump(50ms);
    }
    const std::string& Console() const { return m_dlg->m_strConsole.Str(); }
    Pty m_peer;
};

TEST_F(ReceiveTest, AnnouncementOpensTheLinkAfterAPause) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_peer.Write({'F', 'I', 'R', 'M', '\r', '\n'}));
    const Bytes got = PumpUntilReceived(m_peer, 8, 5s);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(got, Bytes(std::begin(quillon::kLinkOpen), std::end(quillon::kLinkOpen)));
    EXPECT_GE(elapsed, 1000ms);
    EXPECT_EQ(g_nPage, PAGE_TERMINAL_STATUS);
    EXPECT_EQ(Console(), "\r\nRxChar(6): 46 49 52 4D 0D 0A");
}

TEST_F(ReceiveTest, FWithoutIrIsOnlyDumped) {
    ASSERT_TRUE(m_peer.Write({'F', 'X', 'R'}));
    EXPECT_TRUE(PumpUntilReceived(m_peer, 1, 1500ms).empty());
    EXPECT_EQ(g_nPage, PAGE_WAIT_ACTIVATION);
    EXPECT_EQ(Console(), "\r\nRxChar(3): 46 58 52");
}

TEST_F(ReceiveTest, FrameInTwoPiecesIsCompleted) {
    ASSERT_TRUE(m_peer.Write({0xAA, 0x55, 0x05}));
    std::thread rest([&] {
        std::this_thread::sleep_for(50ms);
        m_peer.Write({0x01, 0x01, 0x00, 0x07});
    });
    const Bytes got = PumpUntilReceived(m_peer, 8, 3s);
    rest.join();
    EXPECT_EQ(got, kIoVersionRequestBytes);
    EXPECT_EQ(Console(), "\r\nRxChar(7): AA 55 05 01 01 00 07");
}

TEST_F(ReceiveTest, HeaderAloneWaitsForItsCountByte) {
    ASSERT_TRUE(m_peer.Write({0xAA, 0x55}));
    std::thread rest([&] {
        std::this_thread::sleep_for(50ms);
        m_peer.Write({0x05, 0x01, 0x01, 0x00, 0x07});
    });
    const Bytes got = PumpUntilReceived(m_peer, 8, 3s);
    rest.join();
    EXPECT_EQ(got, kIoVersionRequestBytes);
    EXPECT_EQ(Console().find("CS ERROR"), std::string::npos);
    EXPECT_EQ(Console(), "\r\nRxChar(7): AA 55 05 01 01 00 07");
}

TEST_F(ReceiveTest, ChecksumErrorIsMarkedAndDumped) {
    ASSERT_TRUE(m_peer.Write({0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x88}));
    EXPECT_TRUE(PumpUntilReceived(m_peer, 1, 500ms).empty());
    EXPECT_EQ(Console(), "\r\n CS ERROR\r\nRxChar(8): AA 55 06 80 01 00 00 88");
}

TEST_F(ReceiveTest, ShortReadIsMarkedAfterTheCompletionAttempts) {
    ASSERT_TRUE(m_peer.Write({0xAA, 0x55, 0x05}));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(PumpUntilReceived(m_peer, 1, 1500ms).empty());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(Console(), "\r\n CS ERROR\r\nRxChar(3): AA 55 05");
}

TEST_F(ReceiveTest, EveryFrameOfOneReadIsDecoded) {
    const Bytes exitAck{0xAA, 0x55, 0x05, 0x80, 0x00, 0x00, 0x85};
    const Bytes osdAck{0xAA, 0x55, 0x05, 0x05, 0x01, 0x00, 0x0B};
    ASSERT_TRUE(m_peer.Write(Concat({kLinkOpenAck, exitAck, osdAck})));
    const Bytes got = PumpUntilReceived(m_peer, 8, 3s);
    EXPECT_EQ(got, kIoVersionRequestBytes);
    EXPECT_EQ(g_nPage, PAGE_EXIT_CONFIRM);
    EXPECT_TRUE(Visible(IDCANCEL));
    EXPECT_EQ(g_bOsdRequestAck, 1);
    // One dump for the one read.
    EXPECT_EQ(Console().find("RxChar"), Console().rfind("RxChar"));
    EXPECT_NE(Console().find("RxChar(21):"), std::string::npos);
}

TEST_F(ReceiveTest, GarbageBeforeAndBetweenFramesIsSkipped) {
    const Bytes exitAck{0xAA, 0x55, 0x05, 0x80, 0x00, 0x00, 0x85};
    ASSERT_TRUE(m_peer.Write(Concat({{0x00, 0x11, 0xAA, 0x22}, kLinkOpenAck, {0x55, 0x55}, exitAck})));
    EXPECT_EQ(PumpUntilReceived(m_peer, 8, 3s), kIoVersionRequestBytes);
    EXPECT_EQ(g_nPage, PAGE_EXIT_CONFIRM);
    EXPECT_EQ(Console().find("CS ERROR"), std::string::npos);
}

TEST_F(ReceiveTest, BadFrameAmongGoodOnesIsMarkedOnce) {
    const Bytes bad{0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x88};
    const Bytes temperature{0xAA, 0x55, 0x07, 0x02, 0x7D, 0x00, 0x2A, 0x00, 0xB0};
    ASSERT_TRUE(m_peer.Write(Concat({bad, temperature})));
    Pump(300ms);
    EXPECT_EQ(Console().find(" CS ERROR"), Console().rfind(" CS ERROR"));
    EXPECT_NE(Console().find(" CS ERROR"), std::string::npos);
    EXPECT_EQ(m_dlg->m_strSensor[0], "42");
}

TEST_F(ReceiveTest, ConsoleStaysBoundedUnderAStream) {
    const Bytes temperature{0xAA, 0x55, 0x07, 0x02, 0x7D, 0x00, 0x2A, 0x00, 0xB0};
    for (int i = 0; i < 3000; ++i) m_dlg->AppendConsole("\r\nRxChar(9): AA 55 07 02 7D 00 2A 00 B0");
    ASSERT_TRUE(m_peer.Write(temperature));
    Pump(300ms);
    EXPECT_LE(Console().size(), 2 * 64 * 1024u);
    EXPECT_GE(Console().size(), 64 * 1024u);
    EXPECT_TRUE(Console().ends_with("\r\nRxChar(9): AA 55 07 02 7D 00 2A 00 B0"));
    EXPECT_EQ(Console().rfind("\r\n", 0), 0u);
}

TEST_F(ReceiveTest, StatusRequestCommandsWriteTheirFrames) {
    ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, 1124, 0);
    EXPECT_EQ(m_peer.Read(9, 2s), Bytes(std::begin(quillon::kAllStates), std::end(quillon::kAllStates)));
    ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, 1205, 0);
    EXPECT_EQ(m_peer.Read(8, 2s), Bytes(std::begin(quillon::kAll), std::end(quillon::kAll)));
    ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, 1009, 0);
    EXPECT_EQ(m_peer.Read(8, 2s), Bytes(std::begin(quillon::kLinkOpen), std::end(quillon::kLinkOpen)));
}

namespace {

// A command-9 answer: kind at byte 9, number at bytes 10 to 20.
Bytes SerialAnswer(Byte kind, const std::string& number) {
    Bytes frame{0xAA, 0x55, 0x15, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, kind};
    frame.resize(21);
    std::copy(number.begin(), number.end(), frame.begin() + 10);
    frame.push_back(0x00);
    frame.push_back(quillon::FrameChecksum(frame));
    return frame;
}

}  // namespace

TEST_F(ReceiveTest, SerialExchangeTakesAMissingAnswerForNone) {
    std::atomic<bool> done{false};
    // Answers the first list request only; the others go unanswered.
    std::thread controller([&] {
        std::size_t seen = 0;
        bool answered = false;
        while (!done) {
            seen += m_peer.Drain(5ms).size();
            if (!answered && seen >= 256) {
                m_peer.Write(SerialAnswer(13, "LP7710932"));
                answered = true;
            }
        }
    });
    ASSERT_TRUE(m_peer.Write(SerialAnswer(0, "ABC")));
    Pump(1500ms);
    done = true;
    controller.join();
    const std::string& list = m_dlg->m_strSerialNumbers.Str();
    EXPECT_EQ(list.rfind("System Serial No: ABC\r\nLCD Panel Serial No: LP7710932\r\n", 0), 0u) << list;
    EXPECT_EQ(list.find("LCD Panel", list.find("LCD Panel") + 1), std::string::npos) << list;
    EXPECT_FALSE(g_bSerialListEnd);
}
