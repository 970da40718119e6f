// What a port costs the machine: its I/O thread sleeps until the device or a
// caller has something for it, and a queue the kernel still sends is looked at
// when the line should have sent it, not every millisecond.
#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#include "PortFixture.h"
#include "platform/win32/CommPort.h"

namespace win32_test {
namespace {

using std::chrono::milliseconds;

std::vector<long> Tasks() {
    std::vector<long> tids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') tids.push_back(std::stol(entry->d_name));
        }
        closedir(dir);
    }
    std::sort(tids.begin(), tids.end());
    return tids;
}

std::string TaskName(long tid) {
    std::string name;
    std::getline(std::ifstream("/proc/self/task/" + std::to_string(tid) + "/comm"), name);
    return name;
}

// Each voluntary context switch is a wait that something ended by waking the thread.
long Wakeups(long tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line);
        std::string key;
        long value = 0;
        if (fields >> key >> value && key == "voluntary_ctxt_switches:") return value;
    }
    return 0;
}

class PortCosts : public PortTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(Open());
        // By its name: a sanitizer's own threads may have started with the port's. The
        // thread names itself as it starts.
        const auto deadline = std::chrono::steady_clock::now() + milliseconds(kPatienceMs);
        while (m_portThreads.empty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(10));
            for (long tid : Tasks()) {
                if (TaskName(tid) == "comm io") m_portThreads.push_back(tid);
            }
        }
        ASSERT_EQ(m_portThreads.size(), 1u);
        // Let the I/O thread reach its first sleep.
        std::this_thread::sleep_for(milliseconds(50));
    }

    long PortWakeups() const {
        long total = 0;
        for (long tid : m_portThreads) total += Wakeups(tid);
        return total;
    }

    // The listener's pattern, each wait's bytes read at once, against a peer that sends a 9-byte
    // frame, numbered, every `spacing`: the number of waits that took them all.
    int StreamToWaiter(int frames, std::chrono::microseconds spacing, Bytes& received) {
        std::thread peer([&] {
            auto next = std::chrono::steady_clock::now();
            for (int i = 0; i < frames; ++i) {
                m_peer.Send(Frame(i));
                next += spacing;
                std::this_thread::sleep_until(next);
            }
        });
        int waits = 0;
        while (received.size() < 9u * frames) {
            Overlapped wait;
            DWORD dwEvents = 0;
            if (!WaitCommEvent(m_hPort, &dwEvents, &wait.ov)) {
                EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
                if (WaitForSingleObject(wait.ov.hEvent, kPatienceMs) != WAIT_OBJECT_0) {
                    ADD_FAILURE() << "the line's bytes never came: " << received.size();
                    SetCommMask(m_hPort, EV_RXCHAR);
                    break;
                }
            }
            ++waits;
            const Bytes bytes = ReadAtOnce();
            received.insert(received.end(), bytes.begin(), bytes.end());
        }
        peer.join();
        return waits;
    }

    // What the layer holds now, by reads that return at once.
    Bytes ReadAtOnce() {
        Bytes bytes;
        for (DWORD dwRead = 1; dwRead != 0;) {
            BYTE buffer[4096];
            Overlapped read;
            dwRead = 0;
            if (!ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov)) ADD_FAILURE() << GetLastError();
            bytes.insert(bytes.end(), buffer, buffer + dwRead);
        }
        return bytes;
    }

    static Bytes Frame(int i) {
        return {0xAA, 0x55, 0x07, 0x02, static_cast<BYTE>(i), 0x00, 0x00, 0x00, 0x00};
    }

    static Bytes Frames(int count) {
        Bytes bytes;
        for (int i = 0; i < count; ++i) {
            const Bytes frame = Frame(i);
            bytes.insert(bytes.end(), frame.begin(), frame.end());
        }
        return bytes;
    }

    std::vector<long> m_portThreads;
};

TEST_F(PortCosts, AnIdlePortWakesNoThread) {
    ASSERT_TRUE(SetCommMask(m_hPort, 0x1FD));
    Overlapped wait;
    DWORD dwEvents = 0;
    ASSERT_FALSE(WaitCommEvent(m_hPort, &dwEvents, &wait.ov));
    const long before = PortWakeups();
    std::this_thread::sleep_for(milliseconds(1000));
    EXPECT_LE(PortWakeups() - before, 1);
    ASSERT_TRUE(SetCommMask(m_hPort, 0x1FD));
}

TEST_F(PortCosts, WaitsAndReadsThatChangeNothingForTheDriverDoNotWakeIt) {
    ASSERT_TRUE(SetReadTimeouts(m_hPort, MAXDWORD, 0, 0));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    m_peer.Send(Bytes(100, 0x55));
    ASSERT_TRUE(WaitForInQueue(m_hPort, 100));

    const long before = PortWakeups();
    for (int i = 0; i < 100; ++i) {
        Overlapped wait;
        DWORD dwEvents = 0;
        if (!WaitCommEvent(m_hPort, &dwEvents, &wait.ov)) {
            ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        }
        ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
        BYTE byte = 0;
        DWORD dwRead = 0;
        Overlapped read;
        ASSERT_TRUE(ReadFile(m_hPort, &byte, 1, &dwRead, &read.ov));
        ASSERT_EQ(dwRead, 1u);
    }
    EXPECT_LE(PortWakeups() - before, 5) << "a hundred waits, mask changes and reads";
}

// The listener's pattern: a pending line-event wait, its event waited for, the bytes read. The
// waiting thread reads the line itself, so the driver is not woken to hand the bytes over.
TEST_F(PortCosts, AThreadWaitingForTheLineTakesWhatArrivesWithoutWakingTheDriver) {
    ASSERT_TRUE(SetReadTimeouts(m_hPort, MAXDWORD, 0, 0));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    constexpr int kFrames = 20;
    std::atomic<int> waiting{-1};
    std::thread peer([&] {
        for (int i = 0; i < kFrames; ++i) {
            while (waiting.load() != i) std::this_thread::yield();
            // Well after the waiter is asleep in its wait.
            std::this_thread::sleep_for(milliseconds(20));
            m_peer.Send(Bytes{0xAA, 0x55, static_cast<BYTE>(i)});
        }
    });
    const long before = PortWakeups();
    Bytes received;
    for (int i = 0; i < kFrames; ++i) {
        Overlapped wait;
        DWORD dwEvents = 0;
        ASSERT_FALSE(WaitCommEvent(m_hPort, &dwEvents, &wait.ov));
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        waiting = i;
        ASSERT_EQ(WaitForSingleObject(wait.ov.hEvent, kPatienceMs), WAIT_OBJECT_0);
        EXPECT_EQ(dwEvents, EV_RXCHAR);
        // A frame may come in more than one read.
        ASSERT_NO_FATAL_FAILURE(ReadUntil(m_hPort, received, 3u * (i + 1)));
    }
    peer.join();
    const long wakeups = PortWakeups() - before;
    ASSERT_EQ(received.size(), 3u * kFrames);
    for (int i = 0; i < kFrames; ++i) EXPECT_EQ(received[3 * i + 2], i);
    // Twenty frames: a handful of the driver's wakes at most, where handing over took one each.
    EXPECT_LE(wakeups, kFrames / 4);
}

// Frames five times as close as a waiter looks on a busy line: each wake-up takes several, and the
// I/O thread leaves them to it. A loaded machine only makes the batches larger.
TEST_F(PortCosts, AWaiterOnABusyLineTakesSeveralFramesAWakeUp) {
    ASSERT_TRUE(SetReadTimeouts(m_hPort, MAXDWORD, 0, 0));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    constexpr int kFrames = 400;
    const long before = PortWakeups();
    Bytes received;
    const int waits = StreamToWaiter(kFrames, std::chrono::microseconds(300), received);
    EXPECT_EQ(received, Frames(kFrames));
    EXPECT_LE(waits, kFrames / 2);
    // Each time the line looks quiet and busy again costs two; an arrival each, without the hand-over.
    EXPECT_LE(PortWakeups() - before, kFrames / 4);
}

// Once a busy line's waiter stops waiting, what comes next is read as before: by a read, by a
// wait asked after through GetOverlappedResult rather than its event, by the next wait.
TEST_F(PortCosts, AfterABusyLineArrivalsAreReadWhoeverAsks) {
    ASSERT_TRUE(SetReadTimeouts(m_hPort, MAXDWORD, 0, 0));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    Bytes received;
    StreamToWaiter(100, std::chrono::microseconds(300), received);
    ASSERT_EQ(received, Frames(100));

    m_peer.Send("tail");
    Bytes tail;
    ASSERT_NO_FATAL_FAILURE(ReadUntil(m_hPort, tail, 4));
    EXPECT_EQ(tail, ToBytes("tail"));

    Bytes again;
    StreamToWaiter(100, std::chrono::microseconds(300), again);
    ASSERT_EQ(again, Frames(100));
    Overlapped wait;
    DWORD dwEvents = 0;
    // Events of the last reads, which came after the last wait, are reported first.
    while (WaitCommEvent(m_hPort, &dwEvents, &wait.ov)) ASSERT_EQ(ReadAtOnce(), Bytes{});
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    std::atomic<bool> done{false};
    std::thread peer([&] {
        std::this_thread::sleep_for(milliseconds(20));
        m_peer.Send("x");
        // Ends a wait that would otherwise hang, so that the test fails instead.
        const auto deadline = std::chrono::steady_clock::now() + milliseconds(kPatienceMs);
        while (!done && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(5));
        if (!done) SetCommMask(m_hPort, EV_RXCHAR);
    });
    // Asked without waiting, as a poller would, until it completes.
    DWORD dwUnused = 0;
    while (!GetOverlappedResult(m_hPort, &wait.ov, &dwUnused, FALSE)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
        std::this_thread::sleep_for(milliseconds(1));
    }
    done = true;
    peer.join();
    EXPECT_EQ(dwEvents, static_cast<DWORD>(EV_RXCHAR));
}

// A busy line's waiter that finds the queue full leaves the rest to the I/O thread, which reads it
// once a read made room, and completes the wait.
TEST_F(PortCosts, ABusyLinesWaiterOverAFullQueueGetsTheRestOnceThereIsRoom) {
    ASSERT_TRUE(SetupComm(m_hPort, 64, 64));
    ASSERT_TRUE(SetReadTimeouts(m_hPort, MAXDWORD, 0, 0));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_RXCHAR));
    Bytes received;
    StreamToWaiter(100, std::chrono::microseconds(300), received);
    ASSERT_EQ(received, Frames(100));
    DWORD dwEvents = 0;
    Overlapped first;
    while (WaitCommEvent(m_hPort, &dwEvents, &first.ov)) ASSERT_EQ(ReadAtOnce(), Bytes{});
    const Bytes burst(1000, 0x3C);
    m_peer.Send(burst);
    ASSERT_EQ(WaitForSingleObject(first.ov.hEvent, kPatienceMs), WAIT_OBJECT_0);

    Overlapped second;
    ASSERT_FALSE(WaitCommEvent(m_hPort, &dwEvents, &second.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    Bytes rest;
    std::thread reader([&] {
        std::this_thread::sleep_for(milliseconds(20));
        rest = ReadAtOnce();
    });
    const DWORD dwWaited = WaitForSingleObject(second.ov.hEvent, kPatienceMs);
    reader.join();
    if (dwWaited != WAIT_OBJECT_0) SetCommMask(m_hPort, EV_RXCHAR);
    ASSERT_EQ(dwWaited, WAIT_OBJECT_0);
    EXPECT_EQ(dwEvents, static_cast<DWORD>(EV_RXCHAR));
    ASSERT_NO_FATAL_FAILURE(ReadUntil(m_hPort, rest, burst.size()));
    EXPECT_EQ(rest, burst);
}

// With the receive queue full, the rest stays in the kernel: a thread waiting for an event that
// arrival cannot give does not spin on the bytes it may not take.
TEST_F(PortCosts, AWaiterOverAFullQueueSleeps) {
    ASSERT_TRUE(SetupComm(m_hPort, 16, 16));
    ASSERT_TRUE(SetReadTimeouts(m_hPort, MAXDWORD, 0, 0));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_CTS));
    m_peer.Send(Bytes(100, 0x5A));
    ASSERT_TRUE(WaitForInQueue(m_hPort, 16));
    Overlapped wait;
    DWORD dwEvents = 0;
    ASSERT_FALSE(WaitCommEvent(m_hPort, &dwEvents, &wait.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    timespec cpu0{}, cpu1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu0);
    EXPECT_EQ(WaitForSingleObject(wait.ov.hEvent, 300), WAIT_TIMEOUT);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu1);
    const double cpuMs = (cpu1.tv_sec - cpu0.tv_sec) * 1e3 + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e6;
    EXPECT_LT(cpuMs, 100.0) << "CPU of a 300 ms wait";
    // Nothing was lost: what the queue could not hold comes as it is read.
    Bytes received;
    ASSERT_NO_FATAL_FAILURE(ReadUntil(m_hPort, received, 100));
    EXPECT_EQ(received, Bytes(100, 0x5A));
    ASSERT_TRUE(SetCommMask(m_hPort, EV_CTS));
}

TEST_F(PortCosts, ATimedOutReadWakesTheDriverForItsTimeOutOnly) {
    ASSERT_TRUE(SetReadTimeouts(m_hPort, 0, 0, 500));
    BYTE buffer[4];
    Overlapped read;
    DWORD dwRead = 0;
    const long before = PortWakeups();
    ASSERT_FALSE(ReadFile(m_hPort, buffer, sizeof buffer, &dwRead, &read.ov));
    ASSERT_TRUE(GetOverlappedResult(m_hPort, &read.ov, &dwRead, TRUE));
    EXPECT_EQ(dwRead, 0u);
    EXPECT_LE(PortWakeups() - before, 5);
}

TEST_F(PortCosts, AHeldWriteWaitsForThePeerWithoutPolling) {
    ASSERT_NO_FATAL_FAILURE(StopOutputWithXoff(m_hPort, m_peer));
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(m_hPort, &timeouts));
    timeouts.WriteTotalTimeoutConstant = 500;
    ASSERT_TRUE(SetCommTimeouts(m_hPort, &timeouts));
    Overlapped write;
    DWORD dwWritten = 0;
    const long before = PortWakeups();
    ASSERT_FALSE(WriteFile(m_hPort, "held", 4, &dwWritten, &write.ov));
    ASSERT_TRUE(GetOverlappedResult(m_hPort, &write.ov, &dwWritten, TRUE));
    EXPECT_EQ(dwWritten, 0u);
    EXPECT_LE(PortWakeups() - before, 5);
}

DCB Line(DWORD dwBaud, BYTE byParity = NOPARITY, BYTE byStopBits = ONESTOPBIT) {
    DCB dcb = win32::DefaultDcb();
    dcb.BaudRate = dwBaud;
    dcb.Parity = byParity;
    dcb.StopBits = byStopBits;
    return dcb;
}

TEST(DrainChecks, AFirstLookWaitsForTheLineToSendWhatIsQueued) {
    EXPECT_EQ(win32::NextDrainCheck(Line(9600), 96, 0, milliseconds(0)), milliseconds(100))
        << "ten bits a byte";
    EXPECT_EQ(win32::NextDrainCheck(Line(9600, EVENPARITY, TWOSTOPBITS), 80, 0, milliseconds(0)),
              milliseconds(100));
    EXPECT_EQ(win32::NextDrainCheck(Line(115200), 9, 0, milliseconds(0)), milliseconds(1)) << "never sooner";
    EXPECT_EQ(win32::NextDrainCheck(Line(115200), 2048, 0, milliseconds(0)), milliseconds(178));
}

TEST(DrainChecks, AQueueThatShrankIsGivenItsNewTime) {
    EXPECT_EQ(win32::NextDrainCheck(Line(9600), 48, 96, milliseconds(100)), milliseconds(50));
}

TEST(DrainChecks, AQueueHeldBackIsLookedAtLessAndLessOften) {
    milliseconds wait = win32::NextDrainCheck(Line(115200), 9, 0, milliseconds(0));
    std::vector<milliseconds> waits;
    for (int i = 0; i < 9; ++i) {
        wait = win32::NextDrainCheck(Line(115200), 9, 9, wait);
        waits.push_back(wait);
    }
    const std::vector<milliseconds> expected = {milliseconds(2),   milliseconds(4),   milliseconds(8),
                                                milliseconds(16),  milliseconds(32),  milliseconds(64),
                                                milliseconds(100), milliseconds(100), milliseconds(100)};
    EXPECT_EQ(waits, expected);
}

}  // namespace
}  // namespace win32_test
