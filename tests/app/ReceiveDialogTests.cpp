// The receive path of the real dialog, with a pseudo-terminal peer playing the controller.
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <regex>
#include <thread>

#include "protocol/Requests.h"
#include "support/DialogFixture.h"

using namespace std::chrono_literals;
using quillon::Byte;
using quillon::test::PeerDialogTest;
using quillon::test::Pty;
using Bytes = std::vector<Byte>;

namespace {

const Bytes kLinkOpenAck{0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07};
const Bytes kIoVersionRequestBytes(std::begin(quillon::kIoVersionRequest),
                                   std::end(quillon::kIoVersionRequest));

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A CPU-temperature frame (sub-command 0x7D) showing `value`.
Bytes Temperature(Byte value) {
    Bytes frame{0xAA, 0x55, 0x07, 0x02, 0x7D, 0x00, value, 0x00, 0x00};
    frame[8] = quillon::FrameChecksum(frame);
    return frame;
}

// The byte counts of the console's "RxChar(n):" entries, in order.
std::vector<std::size_t> DumpCounts(const std::string& console) {
    std::vector<std::size_t> counts;
    const std::regex entry(R"(\r\nRxChar\((\d+)\):)");
    for (auto it = std::sregex_iterator(console.begin(), console.end(), entry); it != std::sregex_iterator();
         ++it)
        counts.push_back(std::stoul((*it)[1]));
    return counts;
}

std::size_t Sum(const std::vector<std::size_t>& counts) {
    std::size_t total = 0;
    for (std::size_t n : counts) total += n;
    return total;
}

}  // namespace

using ReceiveTest = PeerDialogTest;

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

TEST_F(ReceiveTest, FWithoutIrIsGarbageBeforeTheFramesBehindIt) {
    ASSERT_TRUE(m_peer.Write(Concat({{'F', 'X'}, kLinkOpenAck})));
    EXPECT_EQ(PumpUntilReceived(m_peer, 8, 3s), kIoVersionRequestBytes);
    EXPECT_EQ(g_nPage, PAGE_WAIT_ACTIVATION);
    EXPECT_EQ(Console(), "\r\nRxChar(9): 46 58 AA 55 05 01 01 00 07");
}

TEST_F(ReceiveTest, ABadFrameDoesNotSwallowTheFramesItsCountCovers) {
    // The damaged frame's count claims 0x20 + 2 bytes, which cover both good frames.
    const Bytes damaged{0xAA, 0x55, 0x20, 0x02, 0x7D, 0x00, 0x2A};
    ASSERT_TRUE(m_peer.Write(Concat({damaged, kLinkOpenAck, Temperature(42), Bytes(20, 0x00)})));
    EXPECT_EQ(PumpUntilReceived(m_peer, 8, 3s), kIoVersionRequestBytes);
    EXPECT_EQ(m_dlg->m_strSensor[0], "42");
    EXPECT_EQ(Console().find(" CS ERROR"), Console().rfind(" CS ERROR"));
    EXPECT_EQ(Console().rfind("\r\n CS ERROR\r\nRxChar(43):", 0), 0u) << Console();
    EXPECT_EQ(DumpCounts(Console()), std::vector<std::size_t>{43});
}

// A notification comes only when bytes arrive: a burst longer than one read
// must be read to its end although the line then falls silent.
TEST_F(ReceiveTest, ABurstLongerThanOneReadIsReadToItsEnd) {
    Bytes burst;
    for (int i = 0; i < 230; ++i) burst = Concat({burst, Temperature(static_cast<Byte>(i % 100))});
    burst = Concat({burst, kLinkOpenAck});
    ASSERT_EQ(burst.size(), 2077u);
    ASSERT_TRUE(m_peer.Write(burst));
    // The whole burst lies in the driver's queue before the dialog looks.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(PumpUntilReceived(m_peer, 8, 5s), kIoVersionRequestBytes);
    const auto counts = DumpCounts(Console());
    EXPECT_EQ(Sum(counts), burst.size()) << Console().substr(0, 200);
    EXPECT_GE(counts.size(), 3u);
    EXPECT_EQ(Console().find("CS ERROR"), std::string::npos);
    EXPECT_EQ(m_dlg->m_strSensor[0], "29");
}

TEST_F(ReceiveTest, ABurstOfManyReadsLosesNoFrame) {
    Bytes burst;
    for (int i = 0; i < 1200; ++i) burst = Concat({burst, Temperature(static_cast<Byte>(i % 100))});
    burst = Concat({burst, kLinkOpenAck});
    std::thread writer([&] { m_peer.Write(burst); });
    const Bytes got = PumpUntilReceived(m_peer, 8, 10s);
    writer.join();
    EXPECT_EQ(got, kIoVersionRequestBytes);
    EXPECT_EQ(Sum(DumpCounts(Console())), burst.size());
    EXPECT_EQ(Console().find("CS ERROR"), std::string::npos);
    EXPECT_EQ(m_dlg->m_strSensor[0], "99");
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

TEST_F(ReceiveTest, SerialExchangeSkipsAFirstPieceAndDumpsInArrivalOrder) {
    const Bytes first = SerialAnswer(0, "ABC");
    const Bytes answer = SerialAnswer(13, "LP77109321X");
    std::atomic<bool> done{false};
    // Only the first 12 bytes of the answer to the first list request come in
    // time; the rest follows once the exchange is long over.
    std::thread controller([&] {
        std::size_t seen = 0;
        while (!done && seen < 256) seen += m_peer.Drain(5ms).size();
        m_peer.Write(Bytes(answer.begin(), answer.begin() + 12));
        while (!done) seen += m_peer.Drain(5ms).size();
    });
    ASSERT_TRUE(m_peer.Write(first));
    Pump(1500ms);
    done = true;
    controller.join();
    ASSERT_TRUE(m_peer.Write(Bytes(answer.begin() + 12, answer.end())));
    Pump(300ms);

    EXPECT_EQ(m_dlg->m_strSerialNumbers.Str(), "System Serial No: ABC");
    // The read that started the exchange comes first, then the piece, then the rest.
    EXPECT_EQ(DumpCounts(Console()), (std::vector<std::size_t>{first.size(), 12, answer.size() - 12}))
        << Console();
    EXPECT_EQ(Console().rfind("\r\nRxChar(23): AA 55 15 09", 0), 0u) << Console();
}

namespace {

// Flow control from the peer, which then takes nothing more: XOFF stops what
// the port sends, as a far end that stops reading would. On Linux a pty
// master's terminal settings are those of its slave.
void StopTakingBytes(const Pty& peer) {
    termios tio{};
    ASSERT_EQ(::tcgetattr(peer.Master(), &tio), 0);
    tio.c_iflag |= IXON;
    ASSERT_EQ(::tcsetattr(peer.Master(), TCSANOW, &tio), 0);
    ASSERT_TRUE(peer.Write({0x13}));
}

void ResumeTakingBytes(const Pty& peer) {
    ASSERT_TRUE(peer.Write({0x11}));
}

}  // namespace

TEST_F(ReceiveTest, ARequestTheLineDoesNotTakeEndsTheSerialExchange) {
    StopTakingBytes(m_peer);
    ASSERT_TRUE(m_peer.Write(SerialAnswer(0, "ABC")));
    std::this_thread::sleep_for(100ms);
    // The exchange's first request times out; the all-states request after it fails at once, as
    // the line is held up; nothing else is tried.
    const auto start = std::chrono::steady_clock::now();
    Pump(10ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(m_dlg->m_strSerialNumbers.Str(), "System Serial No: ABC");
    // The request that timed out goes out whole once the line moves; the one refused never does.
    ResumeTakingBytes(m_peer);
    const auto request = quillon::BuildSerialNumberRequest(10);
    EXPECT_EQ(PumpUntilReceived(m_peer, request.size(), 2s), Bytes(request.begin(), request.end()));
    EXPECT_TRUE(PumpUntilReceived(m_peer, 1, 500ms).empty());
    ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, 1124, 0);
    EXPECT_EQ(m_peer.Read(9, 2s), Bytes(std::begin(quillon::kAllStates), std::end(quillon::kAllStates)));
}

TEST_F(ReceiveTest, EscEndsTheDialogWhileThePeerTakesNothing) {
    StopTakingBytes(m_peer);
    ASSERT_TRUE(m_peer.Write(SerialAnswer(0, "ABC")));
    std::this_thread::sleep_for(100ms);
    AfxSimulateKey(m_dlg.get(), VK_ESCAPE);
    // Should a write hang after all, the line resumes in the end and the test fails instead of hanging.
    std::atomic<bool> bEnded{false};
    std::thread watchdog([&] {
        const auto giveUp = std::chrono::steady_clock::now() + 20s;
        while (!bEnded && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(50ms);
        m_peer.Write({0x11});
    });
    const auto start = std::chrono::steady_clock::now();
    while (m_dlg->IsWindowVisible() && std::chrono::steady_clock::now() - start < 20s) Pump(50ms);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    bEnded = true;
    watchdog.join();
    EXPECT_FALSE(m_dlg->IsWindowVisible());
    EXPECT_LT(elapsed, 6s);
}
