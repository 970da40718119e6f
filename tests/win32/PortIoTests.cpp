// Reading, writing, purging and cancelling on a pty.
#include <thread>

#include "PortFixture.h"

namespace win32_test {
namespace {

using PortIo = PortTest;

Bytes EveryByteValue() {
    Bytes bytes(256);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(i);
    return bytes;
}

TEST_F(PortIo, EveryByteValuePassesBothWaysUntranslated) {
    ASSERT_NO_FATAL_FAILURE(Open(0));
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, kPatienceMs));

    const Bytes inbound = EveryByteValue();
    m_peer.Send(inbound);
    Bytes received(inbound.size());
    DWORD dwRead = 0;
    ASSERT_TRUE(ReadFile(m_hPort, received.data(), static_cast<DWORD>(received.size()), &dwRead, nullptr));
    EXPECT_EQ(dwRead, inbound.size());
    EXPECT_EQ(received, inbound);

    // Reversed, so that an echo of the inbound bytes could not pass for them.
    const Bytes outbound(inbound.rbegin(), inbound.rend());
    DWORD dwWritten = 0;
    ASSERT_TRUE(
        WriteFile(m_hPort, outbound.data(), static_cast<DWORD>(outbound.size()), &dwWritten, nullptr));
    EXPECT_EQ(dwWritten, outbound.size());
    EXPECT_EQ(m_peer.Receive(outbound.size()), outbound);
    EXPECT_TRUE(m_peer.Receive(1, kQuietMs).empty()) << "nothing more, such as an echo or an added CR";
}

TEST_F(PortIo, ReturnAtOnceReadCompletesWithWhatIsQueued) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(SetReadTimeouts(m_hPort, MAXDWORD, 0, 0));

    BYTE buffer[16] = {};
    Overlapped read;
    DWORD dwRead = 99;
    ASSERT_TRUE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    EXPECT_EQ(dwRead, 0u);
    EXPECT_TRUE(read.Signalled()) << "completed at once, and said so through its event";
    EXPECT_TRUE(GetOverlappedResult(m_hPort, &read.ov, &dwRead, FALSE));
    EXPECT_EQ(dwRead, 0u);

    m_peer.Send("abc");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 3));
    ASSERT_TRUE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    EXPECT_EQ(dwRead, 3u);
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), ToBytes("abc"));
}

TEST_F(PortIo, ReadWithoutTimeoutsWaitsUntilTheBufferIsFull) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, 0));

    BYTE buffer[10] = {};
    Overlapped read;
    DWORD dwRead = 0;
    ASSERT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

    m_peer.Send("0123");
    EXPECT_FALSE(read.Signalled(kQuietMs));
    EXPECT_FALSE(GetOverlappedResult(m_hPort, &read.ov, &dwRead, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);

    m_peer.Send("456789");
    ASSERT_TRUE(GetOverlappedResult(m_hPort, &read.ov, &dwRead, TRUE));
    EXPECT_EQ(dwRead, 10u);
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), ToBytes("0123456789"));
    EXPECT_TRUE(read.Signalled());
}

TEST_F(PortIo, TotalTimeoutCompletesTheReadWithWhatArrived) {
    ASSERT_NO_FATAL_FAILURE(Open(0));
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, 300));
    BYTE buffer[10] = {};
    DWORD dwRead = 99;
    ASSERT_TRUE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, nullptr));
    EXPECT_EQ(dwRead, 0u);

    m_peer.Send("xyz");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 3));
    ASSERT_TRUE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, nullptr));
    EXPECT_EQ(dwRead, 3u);
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), ToBytes("xyz"));
}

TEST_F(PortIo, IntervalTimeoutEndsTheReadAfterAGap) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 300, 0, 0));
    BYTE buffer[100] = {};
    Overlapped read;
    DWORD dwRead = 0;
    ASSERT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(read.Signalled(kQuietMs)) << "the interval starts with the first byte";

    m_peer.Send("hello");
    ASSERT_TRUE(read.Signalled(kPatienceMs));
    ASSERT_TRUE(GetOverlappedResult(m_hPort, &read.ov, &dwRead, FALSE));
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), ToBytes("hello"));
}

TEST_F(PortIo, MaxdwordMultiplierReturnsOnTheFirstBytes) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(SetReadTimeouts(m_hPort, MAXDWORD, MAXDWORD, 60000));
    BYTE buffer[10] = {};
    Overlapped read;
    DWORD dwRead = 0;
    ASSERT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

    const Bytes sent = ToBytes("ab");
    m_peer.Send(sent);
    ASSERT_TRUE(read.Signalled(kPatienceMs)) << "it waits for no more than what came";
    ASSERT_TRUE(GetOverlappedResult(m_hPort, &read.ov, &dwRead, FALSE));
    ASSERT_GE(dwRead, 1u);
    ASSERT_LE(dwRead, 2u);
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), Bytes(sent.begin(), sent.begin() + dwRead));
}

TEST_F(PortIo, OverlappedHandleNeedsAnOverlappedStructure) {
    ASSERT_NO_FATAL_FAILURE(Open());
    BYTE buffer[4];
    DWORD dwCount = 0;
    EXPECT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwCount, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(WriteFile(m_hPort, buffer, sizeof buffer, &dwCount, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(PortIo, WriteHeldBackByXoffPendsAndCancelDropsIt) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(StopOutputWithXoff(m_hPort, m_peer));

    Overlapped write;
    DWORD dwWritten = 99;
    ASSERT_FALSE(WriteFile(m_hPort, "held", 4, &dwWritten, &write.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(WaitForSingleObject(write.ov.hEvent, kQuietMs), WAIT_TIMEOUT);
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(m_hPort, nullptr, &stat));
    EXPECT_EQ(stat.cbOutQue, 4u);

    ASSERT_TRUE(CancelIo(m_hPort));
    EXPECT_TRUE(write.Signalled());
    EXPECT_FALSE(GetOverlappedResult(m_hPort, &write.ov, &dwWritten, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(dwWritten, 0u);

    m_peer.Send(Bytes{0x11});
    ASSERT_TRUE(WriteFile(m_hPort, "next", 4, &dwWritten, &write.ov) ||
                GetOverlappedResult(m_hPort, &write.ov, &dwWritten, TRUE));
    EXPECT_EQ(m_peer.Receive(4), ToBytes("next")) << "the cancelled bytes never went out";
    EXPECT_TRUE(m_peer.Receive(1, kQuietMs).empty());
}

TEST_F(PortIo, CancelIoLeavesOtherThreadsOperationsAlone) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, 0));
    BYTE buffer[4] = {};
    Overlapped read;
    DWORD dwRead = 0;
    ASSERT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

    std::thread other([this] { EXPECT_TRUE(CancelIo(m_hPort)); });
    other.join();
    EXPECT_FALSE(read.Signalled(kQuietMs));

    ASSERT_TRUE(CancelIo(m_hPort));
    EXPECT_TRUE(read.Signalled());
    EXPECT_FALSE(GetOverlappedResult(m_hPort, &read.ov, &dwRead, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
}

TEST_F(PortIo, WriteTimeoutCompletesWithWhatWentOut) {
    ASSERT_NO_FATAL_FAILURE(Open(0));
    ASSERT_NO_FATAL_FAILURE(StopOutputWithXoff(m_hPort, m_peer));
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(m_hPort, &timeouts));
    timeouts.WriteTotalTimeoutConstant = 200;
    ASSERT_TRUE(SetCommTimeouts(m_hPort, &timeouts));

    DWORD dwWritten = 99;
    ASSERT_TRUE(WriteFile(m_hPort, "late", 4, &dwWritten, nullptr));
    EXPECT_EQ(dwWritten, 0u);
}

TEST_F(PortIo, RxPurgeEmptiesTheReceiveQueue) {
    ASSERT_NO_FATAL_FAILURE(Open(0));
    m_peer.Send("stale");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 5));
    ASSERT_TRUE(PurgeComm(m_hPort, PURGE_RXCLEAR));
    EXPECT_EQ(InQueue(m_hPort), 0u);

    ASSERT_TRUE(SetReadTimeouts(m_hPort, MAXDWORD, 0, 0));
    BYTE buffer[16];
    DWORD dwRead = 99;
    ASSERT_TRUE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, nullptr));
    EXPECT_EQ(dwRead, 0u);

    m_peer.Send("fresh");
    ASSERT_TRUE(WaitForInQueue(m_hPort, 5));
    ASSERT_TRUE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, nullptr));
    EXPECT_EQ(Bytes(buffer, buffer + dwRead), ToBytes("fresh"));
}

TEST_F(PortIo, TxPurgeKeepsWhatThePeerHasNotReadYet) {
    ASSERT_NO_FATAL_FAILURE(Open(0));
    DWORD dwWritten = 0;
    ASSERT_TRUE(WriteFile(m_hPort, "written", 7, &dwWritten, nullptr));
    ASSERT_EQ(dwWritten, 7u);
    ASSERT_TRUE(PurgeComm(m_hPort, PURGE_TXCLEAR | PURGE_RXCLEAR));
    EXPECT_EQ(m_peer.Receive(7), ToBytes("written"));
}

TEST_F(PortIo, TxPurgeDropsWhatTheLayerStillHolds) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(StopOutputWithXoff(m_hPort, m_peer));
    Overlapped write;
    DWORD dwWritten = 0;
    ASSERT_FALSE(WriteFile(m_hPort, "held", 4, &dwWritten, &write.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

    ASSERT_TRUE(PurgeComm(m_hPort, PURGE_TXCLEAR));
    ASSERT_TRUE(GetOverlappedResult(m_hPort, &write.ov, &dwWritten, TRUE));
    EXPECT_EQ(dwWritten, 0u);

    m_peer.Send(Bytes{0x11});
    Overlapped next;
    ASSERT_TRUE(WriteFile(m_hPort, "next", 4, &dwWritten, &next.ov) ||
                GetOverlappedResult(m_hPort, &next.ov, &dwWritten, TRUE));
    EXPECT_EQ(m_peer.Receive(4), ToBytes("next")) << "the purged bytes never went out";
    EXPECT_TRUE(m_peer.Receive(1, kQuietMs).empty());
}

TEST_F(PortIo, AbortPurgesFailPendingOperations) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, 0));
    ASSERT_NO_FATAL_FAILURE(StopOutputWithXoff(m_hPort, m_peer));
    BYTE buffer[4];
    Overlapped read;
    DWORD dwCount = 0;
    ASSERT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwCount, &read.ov));
    Overlapped write;
    ASSERT_FALSE(WriteFile(m_hPort, "held", 4, &dwCount, &write.ov));

    ASSERT_TRUE(PurgeComm(m_hPort, PURGE_RXABORT));
    EXPECT_TRUE(read.Signalled());
    EXPECT_FALSE(write.Signalled());
    EXPECT_FALSE(GetOverlappedResult(m_hPort, &read.ov, &dwCount, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);

    ASSERT_TRUE(PurgeComm(m_hPort, PURGE_TXABORT));
    EXPECT_TRUE(write.Signalled());
    EXPECT_FALSE(GetOverlappedResult(m_hPort, &write.ov, &dwCount, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
}

TEST_F(PortIo, ClosingTheHandleAbortsWhatIsPending) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, 0));
    BYTE buffer[4];
    Overlapped read;
    DWORD dwRead = 0;
    ASSERT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    ASSERT_TRUE(CloseHandle(m_hPort));
    m_hPort = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(read.Signalled());
    EXPECT_EQ(read.ov.Internal, ERROR_OPERATION_ABORTED);

    ASSERT_NO_FATAL_FAILURE(Open()) << "the device is free again";
}

}  // namespace
}  // namespace win32_test
