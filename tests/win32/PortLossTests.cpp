// What a hang-up leaves behind: what came before it is still delivered, then everything fails.
#include <sys/resource.h>

#include <thread>

#include "PortFixture.h"

namespace win32_test {
namespace {

class PortLoss : public PortWaitTest {
protected:
    // Until the port's line errors report the loss; the errors are taken, the events are not.
    bool LossSeen() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (std::chrono::steady_clock::now() < deadline) {
            DWORD dwErrors = 0;
            if (!ClearCommError(m_hPort, &dwErrors, nullptr)) return false;
            if (dwErrors & CE_IOE) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    void ExpectEverythingFails() {
        Overlapped op;
        DWORD dwCount = 0;
        BYTE buffer[4] = {};
        EXPECT_FALSE(WaitCommEvent(m_hPort, &m_dwEvents, &op.ov));
        EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
        EXPECT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwCount, &op.ov));
        EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
        EXPECT_FALSE(WriteFile(m_hPort, buffer, sizeof buffer, &dwCount, &op.ov));
        EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
        EXPECT_FALSE(SetCommMask(m_hPort, EV_RXCHAR));
        EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    }
};

TEST_F(PortLoss, HangupEndsThePendingWaitWithALineErrorThenEverythingFails) {
    ASSERT_TRUE(SetCommMask(m_hPort, 0x1FD));
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    m_peer.Hangup();
    ASSERT_TRUE(m_wait.Signalled(kPatienceMs));
    DWORD dwUndefined = 0;
    EXPECT_TRUE(GetOverlappedResult(m_hPort, &m_wait.ov, &dwUndefined, FALSE));
    EXPECT_EQ(m_dwEvents, EV_ERR);

    DWORD dwErrors = 0;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(m_hPort, &dwErrors, &stat)) << "the listener's question still has an answer";
    EXPECT_EQ(dwErrors, CE_IOE);
    EXPECT_EQ(stat.cbInQue, 0u);
    ExpectEverythingFails();
}

TEST_F(PortLoss, WithoutEvErrInTheMaskThePendingWaitFails) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    m_peer.Hangup();
    ASSERT_TRUE(m_wait.Signalled(kPatienceMs));
    DWORD dwCount = 0;
    EXPECT_FALSE(GetOverlappedResult(m_hPort, &m_wait.ov, &dwCount, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(PortLoss, BytesReceivedBeforeTheHangupAreReadFirst) {
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, 0));
    m_peer.Send("tail");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 4));
    m_peer.Hangup();
    ASSERT_TRUE(LossSeen());

    BYTE buffer[16] = {};
    Overlapped read;
    DWORD dwRead = 0;
    ASSERT_TRUE(ReadFile(m_hPort, buffer, 2, &dwRead, &read.ov)) << GetLastError();
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), ToBytes("ta"));
    ASSERT_TRUE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov))
        << "a read that would wait for all completes at once: no more can come";
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), ToBytes("il"));
    EXPECT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(PortLoss, APendingReadCompletesWithWhatItHeldAtTheHangup) {
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, 0));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    BYTE buffer[10] = {};
    Overlapped read;
    DWORD dwRead = 0;
    ASSERT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    // The read takes the bytes before their arrival is reported.
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    m_peer.Send("0123");
    ASSERT_TRUE(m_wait.Signalled(kPatienceMs));
    ASSERT_FALSE(read.Signalled()) << "it waits for all ten";

    m_peer.Hangup();
    ASSERT_TRUE(read.Signalled(kPatienceMs));
    ASSERT_TRUE(GetOverlappedResult(m_hPort, &read.ov, &dwRead, FALSE));
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), ToBytes("0123"));
}

TEST_F(PortLoss, EventsBeforeTheHangupStillCompleteAWait) {
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR | EV_ERR));
    m_peer.Send("x");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 1));
    m_peer.Hangup();
    ASSERT_TRUE(LossSeen());

    ASSERT_TRUE(WaitCommEvent(m_hPort, &m_dwEvents, &m_wait.ov));
    EXPECT_EQ(m_dwEvents, EV_RXCHAR | EV_ERR);
    BYTE buffer[4] = {};
    Overlapped read;
    DWORD dwRead = 0;
    ASSERT_TRUE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), ToBytes("x"));
    ExpectEverythingFails();
}

TEST_F(PortLoss, HangupFailsAnEmptyPendingReadAndAHeldWrite) {
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, 0));
    ASSERT_NO_FATAL_FAILURE(StopOutputWithXoff(m_hPort, m_peer));
    BYTE buffer[4];
    Overlapped read;
    Overlapped write;
    DWORD dwCount = 0;
    ASSERT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwCount, &read.ov));
    ASSERT_FALSE(WriteFile(m_hPort, "held", 4, &dwCount, &write.ov));
    m_peer.Hangup();
    ASSERT_TRUE(read.Signalled(kPatienceMs));
    ASSERT_TRUE(write.Signalled(kPatienceMs));
    EXPECT_FALSE(GetOverlappedResult(m_hPort, &read.ov, &dwCount, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_FALSE(GetOverlappedResult(m_hPort, &write.ov, &dwCount, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(PortLoss, HungUpPortCostsNoCpu) {
    ASSERT_TRUE(SetCommMask(m_hPort, 0x1FD));
    ASSERT_NO_FATAL_FAILURE(StartPendingWait());
    m_peer.Hangup();
    ASSERT_TRUE(m_wait.Signalled(kPatienceMs));

    const double before = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(CpuSeconds() - before, 0.2 * wall) << "something spins on the dead device";
}

}  // namespace
}  // namespace win32_test
