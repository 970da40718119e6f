// Line events.
#include <chrono>
#include <thread>

#include "PortFixture.h"

namespace win32_test {
namespace {

class PortEvents : public PortWaitTest {
protected:
    // The event word of a wait that completes, or 0xDEAD if it did not.
    DWORD Completed(DWORD waitMs = kPatienceMs) {
        if (!m_wait.Signalled(waitMs)) return 0xDEAD;
        DWORD dwUndefined = 0;
        EXPECT_TRUE(GetOverlappedResult(m_hPort, &m_wait.ov, &dwUndefined, FALSE));
        return m_dwEvents;
    }
};

TEST_F(PortEvents, EventsBeforeTheWaitCompleteItAtOnce) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    m_peer.Send("a");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 1));

    m_dwEvents = 0;
    ASSERT_TRUE(WaitCommEvent(m_hPort, &m_dwEvents, &m_wait.ov));
    EXPECT_EQ(m_dwEvents, EV_RXCHAR);
    EXPECT_TRUE(m_wait.Signalled());
}

TEST_F(PortEvents, BytesArrivingTogetherGiveOneRxChar) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR | EV_ERR | EV_BREAK));
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    m_peer.Send("ab");
    EXPECT_EQ(Completed(), EV_RXCHAR);
    EXPECT_TRUE(WaitForInQueue(m_hPort, 2));
}

TEST_F(PortEvents, UnreadBytesDoNotCompleteANewWait) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    m_peer.Send("abc");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 3));
    ASSERT_TRUE(WaitCommEvent(m_hPort, &m_dwEvents, &m_wait.ov));
    ASSERT_EQ(m_dwEvents, EV_RXCHAR);

    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    EXPECT_EQ(Completed(kQuietMs), 0xDEADu) << "the bytes are still there, but nothing new came";
    m_peer.Send("d");
    EXPECT_EQ(Completed(), EV_RXCHAR);
}

TEST_F(PortEvents, ChangingTheMaskEndsAPendingWaitWithNoEvents) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR | EV_CTS));
    EXPECT_EQ(Completed(), 0u);
}

// The waiting thread reads the line for its wait meanwhile; closing the port under it ends the
// wait all the same, and the port's last reference may go with that thread.
TEST_F(PortEvents, ClosingThePortEndsAWaitAnotherThreadIsWaitingFor) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    DWORD dwResult = WAIT_FAILED;
    std::thread waiter([&] { dwResult = WaitForSingleObject(m_wait.ov.hEvent, kPatienceMs); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto closed = std::chrono::steady_clock::now();
    ASSERT_TRUE(CloseHandle(m_hPort));
    m_hPort = INVALID_HANDLE_VALUE;
    waiter.join();
    EXPECT_EQ(dwResult, WAIT_OBJECT_0);
    // Woken by the close, not by its own time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::milliseconds(kPatienceMs / 2));
    EXPECT_EQ(m_wait.ov.Internal, ERROR_OPERATION_ABORTED);
}

TEST_F(PortEvents, ChangingTheMaskEndsASynchronousWaitToo) {
    ASSERT_TRUE(CloseHandle(m_hPort));
    ASSERT_NO_FATAL_FAILURE(Open(0));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    DWORD dwEvents = 0xDEAD;
    BOOL bResult = FALSE;
    std::thread waiter([&] { bResult = WaitCommEvent(m_hPort, &dwEvents, nullptr); });
    // Whether the mask change comes before the wait or during it, the wait ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR | EV_DSR));
    m_peer.Send("x");
    waiter.join();
    EXPECT_TRUE(bResult);
    EXPECT_TRUE(dwEvents == 0 || dwEvents == EV_RXCHAR) << dwEvents;
}

TEST_F(PortEvents, EventsOutsideTheMaskAreNotKept) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_TXEMPTY));
    m_peer.Send("a");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 1));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    EXPECT_EQ(Completed(kQuietMs), 0xDEADu);
}

TEST_F(PortEvents, FinishedWriteRaisesTxEmpty) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_TXEMPTY));
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    Overlapped write;
    DWORD dwWritten = 0;
    ASSERT_TRUE(WriteFile(m_hPort, "x", 1, &dwWritten, &write.ov) ||
                GetOverlappedResult(m_hPort, &write.ov, &dwWritten, TRUE));
    EXPECT_EQ(Completed(), EV_TXEMPTY);
}

TEST_F(PortEvents, EventCharacterRaisesRxFlag) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    ASSERT_TRUE(GetCommState(m_hPort, &dcb));
    dcb.EvtChar = '\n';
    ASSERT_TRUE(SetCommState(m_hPort, &dcb));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR | EV_RXFLAG));

    m_peer.Send("line\n");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 5));
    ASSERT_TRUE(WaitCommEvent(m_hPort, &m_dwEvents, &m_wait.ov));
    EXPECT_EQ(m_dwEvents, EV_RXCHAR | EV_RXFLAG);
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    m_peer.Send("more");
    EXPECT_EQ(Completed(), EV_RXCHAR);
}

TEST_F(PortEvents, OneWaitAtATimeAndOnlyWithAMask) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    Overlapped second;
    DWORD dwEvents = 0;
    EXPECT_FALSE(WaitCommEvent(m_hPort, &dwEvents, &second.ov));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    ASSERT_TRUE(SetCommMask(m_hPort, 0));
    EXPECT_EQ(Completed(), 0u);
    EXPECT_FALSE(WaitCommEvent(m_hPort, &dwEvents, &second.ov));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace win32_test
