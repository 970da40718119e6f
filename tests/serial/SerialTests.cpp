#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "serial/LineEvents.h"
#include "serial/SerialWnd.h"
#include "support/MessageSink.h"
#include "support/Pty.h"

using namespace std::chrono_literals;
using quillon::test::MessageSink;
using quillon::test::Pty;

namespace {

// A listener whose notifications land in a sink, as the dialog's would.
struct SinkPort : CSerialWnd {
    ~SinkPort() override { ClosePort(); }
    LONG Open(const Pty& pty, MessageSink& sink) { return OpenForWindow(pty.Path().c_str(), &sink); }
    bool Listening() const { return m_hListenThread != nullptr; }
    DWORD ListenerExitCode() const {
        DWORD code = 0;
        ::GetExitCodeThread(m_hListenThread, &code);
        return code;
    }
};

termios SlaveTermios(const Pty& pty) {
    const int fd = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::close(fd);
    return tio;
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

TEST(SerialClosed, EveryOperationFailsWithInvalidHandle) {
    CSerial port;
    BYTE buf[4] = {};
    DWORD count = 99;
    EXPECT_EQ(port.ConfigureLine(115200, 8, NOPARITY, ONESTOPBIT), 6);
    EXPECT_EQ(port.SetEventMask(EV_RXCHAR), 6);
    EXPECT_EQ(port.SetEventCharacter('x'), 6);
    EXPECT_EQ(port.WaitForEvent(), 6);
    EXPECT_EQ(port.ConfigureFlowControl(static_cast<CSerial::EFlowControl>(3)), 6);
    EXPECT_EQ(port.ConfigureReadMode(CSerial::ReadWaitForAll), 6);
    EXPECT_EQ(port.WriteData(buf, 4, &count), 6);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.ReadData(buf, 4), 6);
    EXPECT_EQ(port.PurgeBuffers(), 6);
    for (LONG value : {port.QuerySpeed(), port.QueryDataBits(), port.QueryParity(), port.QueryStopBits(),
                       port.QueryFlowControl()}) {
        EXPECT_EQ(value, -1);
    }
    EXPECT_EQ(port.GetLastError(), 6);
    EXPECT_EQ(port.QueryEventMask(), 0u);
    EXPECT_EQ(port.GetLastError(), 6);
    EXPECT_EQ(port.QueryEventCharacter(), 0);
    EXPECT_FALSE(port.IsCtsOn());
    EXPECT_FALSE(port.IsDsrOn());
    EXPECT_FALSE(port.IsRlsdOn());
    EXPECT_EQ(port.GetLastError(), 6);
    EXPECT_EQ(port.ClosePort(), 0);
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialOpen, SecondOpenFailsAndKeepsTheFirst) {
    Pty pty;
    CSerial port;
    ASSERT_EQ(port.OpenPort(pty.Path().c_str()), 0);
    EXPECT_EQ(port.QueryEventMask(), EV_RXCHAR | EV_ERR | EV_BREAK);
    EXPECT_EQ(port.OpenPort(pty.Path().c_str()), 1247);
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(port.WriteData("ok", 2), 0);
    EXPECT_EQ(pty.Read(2, 2s), (std::vector<std::uint8_t>{'o', 'k'}));
}

TEST(SerialOpen, DefaultConfigurationIs9600EightNoneOne) {
    Pty pty;
    CSerial port;
    ASSERT_EQ(port.OpenPort(pty.Path().c_str()), 0);
    EXPECT_EQ(port.QuerySpeed(), 9600);
    EXPECT_EQ(port.QueryDataBits(), 8);
    EXPECT_EQ(port.QueryParity(), NOPARITY);
    EXPECT_EQ(port.QueryStopBits(), ONESTOPBIT);
    EXPECT_EQ(port.QueryFlowControl(), CSerial::FlowNone);
}

TEST(SerialProbe, AbsentBusyAndOk) {
    Pty pty;
    ::setenv("QUILLON_COM8", "/dev/quillon-no-such-port", 1);
    EXPECT_EQ(CSerial::ProbePort("COM8"), CSerial::ProbeAbsent);
    ::setenv("QUILLON_COM3", pty.Path().c_str(), 1);
    EXPECT_EQ(CSerial::ProbePort("COM3"), CSerial::ProbeOk);
    {
        CSerial holder;
        ASSERT_EQ(holder.OpenPort("COM3"), 0);
        EXPECT_EQ(CSerial::ProbePort("COM3"), CSerial::ProbeBusy);
    }
    EXPECT_EQ(CSerial::ProbePort("COM3"), CSerial::ProbeOk);
    ::unsetenv("QUILLON_COM3");
    ::unsetenv("QUILLON_COM8");
}

TEST(SerialProbe, ProbeAndOpenCloseLeaveTheDeviceAsTheyFoundIt) {
    Pty pty;
    termios cooked = SlaveTermios(pty);
    cooked.c_lflag |= ICANON | ECHO;
    cooked.c_iflag |= ICRNL;
    ::cfsetspeed(&cooked, B2400);
    ASSERT_EQ(::tcsetattr(pty.Master(), TCSANOW, &cooked), 0);
    const termios before = SlaveTermios(pty);

    ::setenv("QUILLON_COM5", pty.Path().c_str(), 1);
    EXPECT_EQ(CSerial::ProbePort("COM5"), CSerial::ProbeOk);
    {
        CSerial port;
        ASSERT_EQ(port.OpenPort("COM5"), 0);
        ASSERT_EQ(port.ConfigureLine(115200, 8, NOPARITY, ONESTOPBIT), 0);
        ASSERT_EQ(port.ConfigureFlowControl(CSerial::FlowSoftware), 0);
        EXPECT_EQ(SlaveTermios(pty).c_lflag & ICANON, 0u);
    }
    ::unsetenv("QUILLON_COM5");
    const termios after = SlaveTermios(pty);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(::cfgetospeed(&after), B2400);
    EXPECT_TRUE(std::equal(std::begin(after.c_cc), std::end(after.c_cc), std::begin(before.c_cc)));
}

TEST(SerialLine, SettingsReachTheDevice) {
    Pty pty;
    CSerial port;
    ASSERT_EQ(port.OpenPort(pty.Path().c_str()), 0);
    ASSERT_EQ(port.ConfigureLine(115200, 8, NOPARITY, ONESTOPBIT), 0);
    termios tio = SlaveTermios(pty);
    EXPECT_EQ(::cfgetospeed(&tio), B115200);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON), 0u);

    ASSERT_EQ(port.ConfigureLine(19200, 7, EVENPARITY, TWOSTOPBITS), 0);
    tio = SlaveTermios(pty);
    EXPECT_EQ(::cfgetospeed(&tio), B19200);
    // A pseudo-terminal always keeps 8 data bits without parity; the stop bits and the port's own record show
    // the rest.
    EXPECT_EQ(tio.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
    EXPECT_EQ(port.QueryParity(), EVENPARITY);
    EXPECT_EQ(port.QueryDataBits(), 7);
    EXPECT_EQ(port.QueryStopBits(), TWOSTOPBITS);

    ASSERT_EQ(port.ConfigureLine(56000, 8, ODDPARITY, ONESTOPBIT), 0);
    EXPECT_EQ(port.QuerySpeed(), 56000);
    EXPECT_EQ(port.QueryParity(), ODDPARITY);
}

TEST(SerialLine, FlowControlKinds) {
    Pty pty;
    CSerial port;
    ASSERT_EQ(port.OpenPort(pty.Path().c_str()), 0);
    ASSERT_EQ(port.ConfigureFlowControl(CSerial::FlowSoftware), 0);
    EXPECT_EQ(port.QueryFlowControl(), CSerial::FlowSoftware);
    termios before = SlaveTermios(pty);
    EXPECT_NE(before.c_iflag & IXON, 0u);

    EXPECT_EQ(port.ConfigureFlowControl(static_cast<CSerial::EFlowControl>(3)), E_INVALIDARG);
    EXPECT_EQ(port.QueryFlowControl(), CSerial::FlowSoftware);
    termios after = SlaveTermios(pty);
    EXPECT_EQ(before.c_iflag, after.c_iflag);
    EXPECT_EQ(before.c_cflag, after.c_cflag);

    ASSERT_EQ(port.ConfigureFlowControl(CSerial::FlowHardware), 0);
    EXPECT_EQ(port.QueryFlowControl(), CSerial::FlowHardware);
    ASSERT_EQ(port.ConfigureFlowControl(CSerial::FlowNone), 0);
    EXPECT_EQ(port.QueryFlowControl(), CSerial::FlowNone);
    EXPECT_EQ(port.ConfigureReadMode(static_cast<CSerial::EReadMode>(2)), E_INVALIDARG);
}

TEST(SerialIo, ReadReturnsAtOnceWithNothingWaiting) {
    Pty pty;
    for (bool overlapped : {false, true}) {
        CSerial port;
        ASSERT_EQ(port.OpenPort(pty.Path().c_str(), 0, 0, overlapped), 0);
        BYTE buf[16];
        DWORD count = 99;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(port.ReadData(buf, sizeof(buf), &count), 0);
        EXPECT_EQ(count, 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

        ASSERT_TRUE(pty.Write({0x00, 0x0D, 0x0A, 0x11, 0x13, 0xFF}));
        std::vector<std::uint8_t> got;
        for (int i = 0; i < 200 && got.size() < 6; ++i) {
            EXPECT_EQ(port.ReadData(buf, sizeof(buf), &count), 0);
            got.insert(got.end(), buf, buf + count);
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_EQ(got, (std::vector<std::uint8_t>{0x00, 0x0D, 0x0A, 0x11, 0x13, 0xFF}));
    }
}

TEST(SerialIo, FiniteTimeoutNeedsOverlappedPort) {
    Pty pty;
    CSerial port;
    ASSERT_EQ(port.OpenPort(pty.Path().c_str()), 0);
    DWORD count = 7;
    OVERLAPPED ov{};
    EXPECT_EQ(port.WriteData("abc", 3, &count, nullptr, 100), 1);
    EXPECT_EQ(port.WriteData("abc", 3, &count, &ov), 1);
    EXPECT_EQ(port.WaitForEvent(nullptr, 100), 1);
    EXPECT_TRUE(pty.Drain(100ms).empty());
}

TEST(SerialIo, HeldBackWriteTimesOutWithNothingCounted) {
    Pty pty;
    CSerial port;
    ASSERT_EQ(port.OpenPort(pty.Path().c_str(), 0, 0, true), 0);
    ASSERT_EQ(port.ConfigureFlowControl(CSerial::FlowSoftware), 0);
    ASSERT_TRUE(pty.Write({0x13}));  // XOFF: the device holds its output back
    std::this_thread::sleep_for(100ms);

    DWORD count = 99;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.WriteData("held", 4, &count, nullptr, 3000), 1460);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.GetLastError(), 1460);
    EXPECT_GE(elapsed, 2900ms);
    EXPECT_LT(elapsed, 20s);
}

// Once a write has timed out, the line costs no further waits until that write has gone out;
// the writes refused meanwhile never reach the line, and the port works again afterwards.
TEST(SerialIo, HeldLineCostsOneTimeoutUntilItsWriteGoesOut) {
    Pty pty;
    CSerial port;
    ASSERT_EQ(port.OpenPort(pty.Path().c_str(), 0, 0, true), 0);
    ASSERT_EQ(port.ConfigureFlowControl(CSerial::FlowSoftware), 0);
    ASSERT_TRUE(pty.Write({0x13}));
    std::this_thread::sleep_for(100ms);

    const auto start = std::chrono::steady_clock::now();
    for (const char* pszRequest : {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9"}) {
        DWORD count = 99;
        EXPECT_EQ(port.WriteData(pszRequest, 2, &count, nullptr, 1000), 1460) << pszRequest;
        EXPECT_EQ(count, 0u) << pszRequest;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "more than one time-out was waited for";

    ASSERT_TRUE(pty.Write({0x11}));
    LONG nResult = 1460;
    for (int i = 0; i < 500 && nResult == 1460; ++i) {
        std::this_thread::sleep_for(10ms);
        nResult = port.WriteData("go", 2, nullptr, nullptr, 1000);
    }
    EXPECT_EQ(nResult, 0);
    const auto got = pty.Read(4, 2s);
    EXPECT_EQ(std::string(got.begin(), got.end()), "r0go");
    EXPECT_TRUE(pty.Drain(100ms).empty());
}

TEST(SerialListener, TwoBytesGiveOneRxcharNotification) {
    Pty pty;
    MessageSink sink;
    SinkPort port;
    ASSERT_EQ(port.Open(pty, sink), 0);
    ASSERT_TRUE(pty.Write({0xAA, 0x55}));
    ASSERT_TRUE(sink.WaitFor(1, 5s));
    std::this_thread::sleep_for(200ms);
    const auto messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].msg, g_uDefaultComMsg);
    EXPECT_EQ(LOWORD(messages[0].wParam), EV_RXCHAR);
    EXPECT_EQ(messages[0].lParam, 0);
    BYTE buf[8];
    DWORD count = 0;
    EXPECT_EQ(port.ReadData(buf, sizeof(buf), &count), 0);
    EXPECT_EQ(count, 2u);
}

TEST(SerialListener, MessageIdAndParameterFromOpen) {
    Pty pty;
    MessageSink sink;
    SinkPort port;
    ASSERT_EQ(port.OpenForWindow(pty.Path().c_str(), &sink, WM_USER + 5, 1234), 0);
    ASSERT_TRUE(pty.Write({0x01}));
    ASSERT_TRUE(sink.WaitFor(1, 5s));
    EXPECT_EQ(sink.Messages()[0].msg, WM_USER + 5);
    EXPECT_EQ(sink.Messages()[0].lParam, 1234);
}

TEST(SerialListener, MaskChangeWakesWithoutNotification) {
    Pty pty;
    MessageSink sink;
    SinkPort port;
    ASSERT_EQ(port.Open(pty, sink), 0);
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(port.SetEventMask(0x1FD), 0);
    ASSERT_EQ(port.SetEventMask(0x1FD), 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_TRUE(port.Listening());
    EXPECT_EQ(port.ListenerExitCode(), STILL_ACTIVE);
    // The new mask applies from the next wait on.
    ASSERT_TRUE(pty.Write({0x42}));
    ASSERT_TRUE(sink.WaitFor(1, 5s));
    EXPECT_EQ(LOWORD(sink.Messages()[0].wParam), EV_RXCHAR);
}

TEST(SerialListener, CloseWhileThePeerKeepsWriting) {
    Pty pty;
    MessageSink sink;
    SinkPort port;
    ASSERT_EQ(port.Open(pty, sink), 0);
    std::atomic<bool> writing{true};
    std::thread peer([&] {
        while (writing) {
            pty.Write({0xAA, 0x55, 0x07});
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(sink.WaitFor(3, 5s));
    EXPECT_EQ(port.ClosePort(), 0);
    EXPECT_FALSE(port.Listening());
    EXPECT_FALSE(port.IsOpen());
    const std::size_t after = sink.Messages().size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Messages().size(), after);
    writing = false;
    peer.join();
}

TEST(SerialListener, HangUpEndsTheListenerWithoutSpinning) {
    Pty pty;
    MessageSink sink;
    SinkPort port;
    ASSERT_EQ(port.Open(pty, sink), 0);
    pty.CloseSlave();
    pty.HangUp();
    for (int i = 0; i < 500 && port.ListenerExitCode() == STILL_ACTIVE; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_NE(port.ListenerExitCode(), STILL_ACTIVE);

    const double cpuBefore = CpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.2);
    EXPECT_EQ(port.ClosePort(), 0);
}

TEST(SerialListener, HangUpIsPostedOnceAsTheLossOfTheLineThenTheListenerEnds) {
    Pty pty;
    MessageSink sink;
    SinkPort port;
    ASSERT_EQ(port.Open(pty, sink), 0);
    pty.CloseSlave();
    pty.HangUp();
    ASSERT_TRUE(sink.WaitFor(1, 5s));
    for (int i = 0; i < 500 && port.ListenerExitCode() == STILL_ACTIVE; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(port.ListenerExitCode(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));

    const auto messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(LOWORD(messages[0].wParam), EV_ERR);
    EXPECT_TRUE(quillon::ReportsLineLost(messages[0].wParam));
    EXPECT_EQ(port.ClosePort(), 0);
}

TEST(SerialListener, BytesBeforeAHangUpAreNotifiedAndStillReadAfterIt) {
    Pty pty;
    MessageSink sink;
    SinkPort port;
    ASSERT_EQ(port.Open(pty, sink), 0);
    ASSERT_TRUE(pty.Write({0xAA, 0x55, 0x07}));
    ASSERT_TRUE(sink.WaitFor(1, 5s));
    pty.CloseSlave();
    pty.HangUp();
    ASSERT_TRUE(sink.WaitFor(2, 5s));

    const auto messages = sink.Messages();
    EXPECT_EQ(LOWORD(messages[0].wParam), EV_RXCHAR);
    EXPECT_FALSE(quillon::ReportsLineLost(messages[0].wParam));
    EXPECT_TRUE(quillon::ReportsLineLost(messages.back().wParam));
    BYTE buf[8];
    DWORD count = 0;
    EXPECT_EQ(port.ReadData(buf, sizeof(buf), &count), 0);
    EXPECT_EQ(std::vector<BYTE>(buf, buf + count), (std::vector<BYTE>{0xAA, 0x55, 0x07}));
    EXPECT_EQ(port.ReadData(buf, sizeof(buf), &count), static_cast<LONG>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(count, 0u);
}

TEST(LineEvents, OnlyTheIoErrorFlagReportsTheLoss) {
    EXPECT_TRUE(quillon::ReportsLineLost(static_cast<DWORD>(MAKELONG(EV_ERR, CE_IOE))));
    EXPECT_TRUE(
        quillon::ReportsLineLost(static_cast<DWORD>(MAKELONG(EV_RXCHAR | EV_ERR, CE_IOE | CE_OVERRUN))));
    EXPECT_FALSE(quillon::ReportsLineLost(static_cast<DWORD>(MAKELONG(EV_ERR, CE_OVERRUN | CE_FRAME))));
    EXPECT_FALSE(quillon::ReportsLineLost(EV_ERR | EV_RXCHAR | CE_IOE)) << "an event word is no error word";
}

namespace {

// A listener that can be held inside its notification.
struct BlockingPort : CSerialEx {
    ~BlockingPort() override { ClosePort(); }
    DWORD OnSerialEvent(DWORD, DWORD) override {
        entered = true;
        while (!release) std::this_thread::sleep_for(1ms);
        return 0;
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    bool Listening() const { return m_hListenThread != nullptr; }
};

}  // namespace

TEST(SerialListener, StopThatTimesOutKeepsWaitingForTheListener) {
    Pty pty;
    auto port = std::make_unique<BlockingPort>();
    ASSERT_EQ(port->OpenPort(pty.Path().c_str(), 0, 0, true), 0);
    ASSERT_TRUE(pty.Write({0x01}));
    for (int i = 0; i < 500 && !port->entered; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(port->entered);

    EXPECT_EQ(port->StopListening(50), 0);
    EXPECT_TRUE(port->Listening());
    std::thread releaser([&] {
        std::this_thread::sleep_for(200ms);
        port->release = true;
    });
    EXPECT_EQ(port->ClosePort(), 0);
    EXPECT_TRUE(port->release);
    EXPECT_FALSE(port->Listening());
    releaser.join();
    port.reset();
}
