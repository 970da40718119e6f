// The console tells the user when the line is gone.
#include "support/DialogFixture.h"

using namespace std::chrono_literals;
using quillon::test::PeerDialogTest;
using quillon::test::Pty;

class LineLostTest : public PeerDialogTest {
protected:
    bool PumpUntilConsoleEndsWith(const std::string& tail, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            Pump(10ms);
            if (Console().size() >= tail.size() &&
                Console().compare(Console().size() - tail.size(), tail.size(), tail) == 0)
                return true;
        }
        return false;
    }
};

TEST_F(LineLostTest, AHangUpAddsOneEntryAfterWhatCameBefore) {
    ASSERT_TRUE(m_peer.Write({0x01, 0x02, 0x03}));
    ASSERT_TRUE(PumpUntilConsoleEndsWith("\r\nRxChar(3): 01 02 03", 5s));
    m_peer.CloseSlave();
    m_peer.HangUp();

    ASSERT_TRUE(PumpUntilConsoleEndsWith("\r\nLine lost", 5s));
    Pump(300ms);
    EXPECT_EQ(Console(), "\r\nRxChar(3): 01 02 03\r\nLine lost");
    CString shown;
    m_dlg->GetDlgItem(IDC_CONSOLE)->GetWindowText(shown);
    const std::string text = shown.Str();
    EXPECT_EQ(text.substr(text.size() - 11), "\r\nLine lost") << "shown at the console's end";
}

TEST_F(LineLostTest, BytesThatCameJustBeforeTheHangUpAreDumpedFirst) {
    ASSERT_TRUE(m_peer.Write({0x0A, 0x0B}));
    m_peer.CloseSlave();
    m_peer.HangUp();
    ASSERT_TRUE(PumpUntilConsoleEndsWith("\r\nLine lost", 5s));
    const std::string& console = Console();
    EXPECT_TRUE(console == "\r\nLine lost" || console == "\r\nRxChar(2): 0A 0B\r\nLine lost") << console;
}
