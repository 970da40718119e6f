#include "platform/win32/CommPort.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>
#include <system_error>
#include <utility>

#include "platform/win32/LineTap.h"

namespace win32 {
namespace {

constexpr ULONG_PTR STATUS_PENDING = 0x103;
constexpr DWORD kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
constexpr auto kDrainHeldLongest = std::chrono::milliseconds(100);
// Longer than any run of the program; keeps time-out sums inside the clock's range.
constexpr std::uint64_t kForeverMs = std::uint64_t{1} << 40;
// What each of the epoll waits tells apart: the device, or its wake-up eventfd.
constexpr std::uint64_t kDeviceTag = 0;
constexpr std::uint64_t kWakeTag = 1;

std::chrono::milliseconds TotalTimeout(DWORD dwMultiplier, DWORD dwConstant, DWORD dwBytes) {
    return std::chrono::milliseconds(
        std::min<std::uint64_t>(std::uint64_t{dwMultiplier} * dwBytes + dwConstant, kForeverMs));
}

// Half bits per character on the line: start bit, data bits, parity bit, and 1, 1.5 or 2 stop bits.
std::uint64_t HalfBitsPerCharacter(const DCB& dcb) {
    constexpr std::uint64_t kStopHalfBits[] = {2, 3, 4};
    const std::uint64_t parity = dcb.Parity == NOPARITY ? 0 : 2;
    return 2 + 2 * std::uint64_t{dcb.ByteSize} + parity +
           kStopHalfBits[std::min<BYTE>(dcb.StopBits, TWOSTOPBITS)];
}

DWORD ModemEventsOf(DWORD dwChanged) {
    return ((dwChanged & MS_CTS_ON) ? EV_CTS : 0) | ((dwChanged & MS_DSR_ON) ? EV_DSR : 0) |
           ((dwChanged & MS_RLSD_ON) ? EV_RLSD : 0) | ((dwChanged & MS_RING_ON) ? EV_RING : 0);
}

// How long a waiter on a busy line lets bytes gather before it looks at the device: no byte
// waits longer for it, and on average half as long.
constexpr std::chrono::microseconds kGatherInterval{1500};

// Whether the line is busy once a waiter took bytes from the device: they came within a gather
// interval of the bytes it took before. A waiter that gathered first and found bytes at once knows
// that without the clock.
bool IsBusyLine(bool bFoundAfterGathering, std::chrono::steady_clock::duration sincePreviousBytes) {
    return bFoundAfterGathering || sincePreviousBytes < kGatherInterval;
}

int TimeoutUntil(const std::optional<std::chrono::steady_clock::time_point>& until,
                 std::chrono::steady_clock::time_point now) {
    if (!until) return -1;
    if (*until <= now) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*until - now).count();
    return static_cast<int>(std::min<std::int64_t>(ms, INT_MAX));
}

}  // namespace

std::chrono::milliseconds NextDrainCheck(const DCB& dcb, DWORD dwQueued, DWORD dwQueuedBefore,
                                         std::chrono::milliseconds last) {
    if (dwQueuedBefore != 0 && dwQueued >= dwQueuedBefore)
        return std::clamp(2 * last, std::chrono::milliseconds(1), kDrainHeldLongest);
    const std::uint64_t baud = std::max<DWORD>(dcb.BaudRate, 1);
    const std::uint64_t ms =
        (std::uint64_t{dwQueued} * HalfBitsPerCharacter(dcb) * 1000 + 2 * baud - 1) / (2 * baud);
    return std::chrono::milliseconds(std::clamp<std::uint64_t>(ms, 1, kForeverMs));
}

DCB DefaultDcb() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = CBR_9600;
    dcb.fBinary = TRUE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

struct CommPort::Op {
    OpKind kind = OpKind::Read;
    OVERLAPPED* pOverlapped = nullptr;
    std::shared_ptr<Event> event;
    std::thread::id owner = std::this_thread::get_id();
    BYTE* pReadBuffer = nullptr;
    std::vector<BYTE> writeData;
    DWORD* pdwEvtMask = nullptr;
    std::size_t nWanted = 0;
    std::size_t nDone = 0;
    bool bAnyByteCompletes = false;
    std::optional<Clock::time_point> deadline;
    Clock::duration interval{};
    Clock::time_point lastByte;
    bool bComplete = false;
    DWORD dwStatus = ERROR_SUCCESS;
};

// The port's mutex for one call; letting go of it settles what the call changed.
class CommPort::Locked {
public:
    explicit Locked(CommPort& port) : m_port(port), m_lock(port.m_mutex) {}
    ~Locked() {
        m_port.WakeIfStale();
        m_port.Unlock(m_lock);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    std::unique_lock<std::mutex>& Lock() { return m_lock; }

private:
    CommPort& m_port;
    std::unique_lock<std::mutex> m_lock;
};

namespace {

// The device, opened without waiting for a modem line, with its flock taken as nLockMode asks
// (LOCK_EX or LOCK_SH); or -1 with the errno in err. A flock held elsewhere is another holder,
// as an exclusive tty's EBUSY is.
int OpenDevice(const char* pszPath, int nLockMode, int& err) {
    const int fd = open(pszPath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return -1;
    }
    err = flock(fd, nLockMode | LOCK_NB) == 0 ? 0 : (errno == EWOULDBLOCK ? EBUSY : errno);
    if (!err) return fd;
    close(fd);
    return -1;
}

}  // namespace

// A shared flock sees an exclusive one, and is let go at once so as to keep nobody out; the
// exclusive mode that only root can open through is asked, never set.
std::shared_ptr<DeviceQuery> DeviceQuery::Open(const char* pszPath, DWORD& dwError) {
    int err = 0;
    const int fd = OpenDevice(pszPath, LOCK_SH, err);
    bool bExclusive = false;
    // Something that is no tty fails here as the port's open would fail on its settings.
    if (fd >= 0) err = flock(fd, LOCK_UN) == 0 ? line::GetExclusive(fd, bExclusive) : errno;
    if (!err && bExclusive) err = EBUSY;
    std::shared_ptr<DeviceQuery> query;
    if (!err) {
        try {
            query = std::make_shared<DeviceQuery>(fd);
        } catch (const std::bad_alloc&) {
            err = ENOMEM;
        }
    }
    if (!query) {
        if (fd >= 0) close(fd);
        dwError = ErrorFromErrno(err);
    }
    return query;
}

void DeviceQuery::OnClose() {
    if (m_fd >= 0) close(std::exchange(m_fd, -1));
}

std::shared_ptr<CommPort> CommPort::Open(const char* pszPath, bool bOverlapped, DWORD& dwError) {
    int err = 0;
    const int fd = OpenDevice(pszPath, LOCK_EX, err);
    if (fd < 0) {
        dwError = ErrorFromErrno(err);
        return nullptr;
    }
    int wakeFd = -1;
    line::Settings saved{};
    // Taken once the device is ours and before anything changes it, to be put back at close.
    err = line::Save(fd, saved);
    const bool bSaved = !err;
    if (!err) err = line::MakeRaw(fd);
    if (!err) {
        wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd < 0) err = errno;
    }
    if (!err) err = line::SetExclusive(fd, true);
    if (err) {
        if (bSaved) line::Restore(fd, saved);
        if (wakeFd >= 0) close(wakeFd);
        close(fd);
        dwError = ErrorFromErrno(err);
        return nullptr;
    }

    std::shared_ptr<CommPort> port;
    try {
        port = std::make_shared<CommPort>(fd, wakeFd, bOverlapped, saved);
    } catch (const std::bad_alloc&) {
        line::Restore(fd, saved);
        close(wakeFd);
        close(fd);
        dwError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    if (int err = port->InitPolling()) {
        dwError = ErrorFromErrno(err);
        return nullptr;
    }
    // Before the I/O thread can pass the first bytes.
    if (LineTap* pTap = CurrentLineTap()) pTap->OnPortOpened();
    try {
        port->m_bIoRunning = true;
        port->m_io = std::thread(&CommPort::Run, port.get());
    } catch (const std::system_error&) {
        port->m_bIoRunning = false;
        dwError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    return port;
}

CommPort::CommPort(int fd, int wakeFd, bool bOverlapped, const line::Settings& saved)
    : m_fd(fd), m_wakeFd(wakeFd), m_bOverlapped(bOverlapped), m_saved(saved) {
    m_dcb = DefaultDcb();
    line::Read(m_fd, m_dcb);
    m_dcbAsApplied = m_dcb;
    m_bHasModemLines = line::GetModemStatus(m_fd, m_dwModemStat) == 0;
    m_bHasErrorCounts = line::GetErrorCounts(m_fd, m_errorCounts) == 0;
}

// The waits' descriptors live as long as the object: a waiter may still interrupt a drive that
// the close has ended.
CommPort::~CommPort() {
    Shutdown();
    for (int fd : {m_ioPoll, m_drivePoll, m_driveWakeFd}) {
        if (fd >= 0) close(fd);
    }
}

int CommPort::InitPolling() {
    m_ioPoll = epoll_create1(EPOLL_CLOEXEC);
    m_drivePoll = epoll_create1(EPOLL_CLOEXEC);
    m_driveWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_ioPoll < 0 || m_drivePoll < 0 || m_driveWakeFd < 0) return errno;
    epoll_event wake{EPOLLIN, {.u64 = kWakeTag}};
    epoll_event device{EPOLLIN | EPOLLEXCLUSIVE, {.u64 = kDeviceTag}};
    epoll_event ioWake{EPOLLIN, {.u64 = kWakeTag}};
    if (epoll_ctl(m_drivePoll, EPOLL_CTL_ADD, m_driveWakeFd, &wake) != 0 ||
        epoll_ctl(m_drivePoll, EPOLL_CTL_ADD, m_fd, &device) != 0 ||
        epoll_ctl(m_ioPoll, EPOLL_CTL_ADD, m_wakeFd, &ioWake) != 0)
        return errno;
    return 0;
}

void CommPort::OnClose() {
    Shutdown();
}

// Closing the handle ends the driver and aborts what is pending, as closing a Windows handle does,
// and gives the device back with the settings it had.
void CommPort::Shutdown() {
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
        if (m_bIoRunning) Wake();
    }
    if (m_io.joinable()) m_io.join();
    m_modemWaiter.Stop();
    std::unique_lock lock(m_mutex);
    if (m_fd < 0) return;
    AbortAll(m_reads, ERROR_OPERATION_ABORTED);
    AbortAll(m_writes, ERROR_OPERATION_ABORTED);
    if (m_wait) Complete(std::exchange(m_wait, nullptr), ERROR_OPERATION_ABORTED);
    line::Restore(m_fd, m_saved);
    close(m_fd);
    close(m_wakeFd);
    m_fd = -1;
    m_lock.Release();
    Unlock(lock);
}

void CommPort::Wake() {
    m_bWakePending = true;
    eventfd_write(m_wakeFd, 1);
}

CommPort::PollPlan CommPort::Plan() const {
    PollPlan plan;
    // A full queue leaves the rest in the kernel rather than losing it. While waiters gather,
    // arrivals are theirs unless a read waits for bytes.
    if (m_rx.size() < m_nRxLimit && (!m_bGathering || !m_reads.empty())) plan.events |= POLLIN;
    if (m_bWriteBlocked) plan.events |= POLLOUT;
    auto consider = [&plan](Clock::time_point when) {
        if (!plan.until || when < *plan.until) plan.until = when;
    };
    for (const OpPtr& op : m_reads) {
        if (op->deadline) consider(*op->deadline);
        if (op->interval.count() && op->nDone) consider(op->lastByte + op->interval);
    }
    for (const OpPtr& op : m_writes) {
        if (op->deadline) consider(*op->deadline);
    }
    if (m_bDraining) consider(m_drainCheck);
    return plan;
}

void CommPort::WakeIfStale() {
    if (!m_bIoRunning || m_bWakePending) return;
    const PollPlan plan = Plan();
    const bool bSooner = plan.until && (!m_polled.until || *plan.until < *m_polled.until);
    if (plan.events != m_polled.events || bSooner) Wake();
}

void CommPort::Unlock(std::unique_lock<std::mutex>& lock) {
    std::array<PendingSignal, std::tuple_size_v<decltype(m_signals)>> signals;
    const std::size_t nSignals = std::exchange(m_nSignals, 0);
    std::move(m_signals.begin(), m_signals.begin() + static_cast<std::ptrdiff_t>(nSignals), signals.begin());
    lock.unlock();
    for (std::size_t i = 0; i < nSignals; ++i) signals[i].event->SignalUnlessResetSince(signals[i].nResets);
}

DWORD CommPort::Unusable() const {
    if (m_fd < 0) return ERROR_INVALID_HANDLE;
    return m_dwVanished;
}

CommPort::OpPtr CommPort::Begin(OpKind kind, OVERLAPPED* pOverlapped) {
    OpPtr op;
    try {
        op = std::make_shared<Op>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    op->kind = kind;
    op->pOverlapped = pOverlapped;
    if (pOverlapped) {
        std::atomic_ref<ULONG_PTR>(pOverlapped->InternalHigh).store(0, std::memory_order_relaxed);
        std::atomic_ref<ULONG_PTR>(pOverlapped->Internal).store(STATUS_PENDING, std::memory_order_release);
        // Windows clears the event when an operation starts.
        op->event = std::dynamic_pointer_cast<Event>(FindObject(pOverlapped->hEvent));
        if (op->event) op->event->Reset();
    }
    return op;
}

BOOL CommPort::Finish(std::unique_lock<std::mutex>& lock, const OpPtr& op, DWORD* pdwBytes) {
    if (!op->bComplete) {
        if (m_bOverlapped) {
            if (pdwBytes) *pdwBytes = 0;
            return Fail(ERROR_IO_PENDING);
        }
        // Before blocking, settle what this call changed: nobody else would.
        WakeIfStale();
        Unlock(lock);
        lock.lock();
        m_completed.wait(lock, [&] { return op->bComplete; });
    }
    if (pdwBytes) *pdwBytes = static_cast<DWORD>(op->nDone);
    return op->dwStatus == ERROR_SUCCESS ? TRUE : Fail(op->dwStatus);
}

void CommPort::Complete(const OpPtr& op, DWORD dwStatus, DWORD dwEvents) {
    op->bComplete = true;
    op->dwStatus = dwStatus;
    op->writeData = {};
    // The caller reads its event word on another thread once the event is signalled.
    if (op->kind == OpKind::Wait)
        std::atomic_ref<DWORD>(*op->pdwEvtMask).store(dwEvents, std::memory_order_release);
    if (OVERLAPPED* pOverlapped = op->pOverlapped) {
        std::atomic_ref<ULONG_PTR>(pOverlapped->InternalHigh).store(op->nDone, std::memory_order_relaxed);
        std::atomic_ref<ULONG_PTR>(pOverlapped->Internal).store(dwStatus, std::memory_order_release);
    }
    if (op->event) {
        if (op->kind == OpKind::Wait) op->event->SetDriver({});
        if (m_nSignals < m_signals.size())
            m_signals[m_nSignals++] = {op->event, op->event->Resets()};
        else
            op->event->Signal();
    }
    m_completed.notify_all();
}

void CommPort::AbortAll(std::deque<OpPtr>& ops, DWORD dwStatus) {
    for (const OpPtr& op : ops) Complete(op, dwStatus);
    ops.clear();
}

// What arrived before the loss is still delivered: a pending read keeps the bytes it holds, the
// queue stays to be read, and the events in the history still complete a wait. The loss itself
// reaches a wait as a line error of its own, after them.
void CommPort::Vanish(DWORD dwError) {
    if (m_dwVanished) return;
    m_dwVanished = dwError;
    for (const OpPtr& op : m_reads) Complete(op, op->nDone ? ERROR_SUCCESS : dwError);
    m_reads.clear();
    AbortAll(m_writes, dwError);
    m_bWriteBlocked = m_bDraining = false;
    m_dwErrors |= CE_IOE;
    Raise(EV_ERR);
    if (m_wait) Complete(std::exchange(m_wait, nullptr), dwError);
    if (m_bIoRunning) Wake();
}

// Events are occurrences: kept until a wait reports them, and only those watched when they happen.
void CommPort::Raise(DWORD dwEvents) {
    m_dwHistory |= dwEvents & m_dwMask;
    if (m_wait && m_dwHistory)
        Complete(std::exchange(m_wait, nullptr), ERROR_SUCCESS, std::exchange(m_dwHistory, 0));
}

void CommPort::Run() {
    // Named, so that tools and tests can tell the driver from the program's own threads.
    pthread_setname_np(pthread_self(), "comm io");
    std::unique_lock lock(m_mutex);
    while (!m_bStopping && !m_dwVanished) {
        m_polled = Plan();
        PollDeviceFor(m_polled.events);
        const int timeout = TimeoutUntil(m_polled.until, Clock::now());

        Unlock(lock);
        epoll_event events[2];
        const int ready = epoll_wait(m_ioPoll, events, 2, timeout);
        const int err = errno;
        lock.lock();

        if (ready < 0) {
            if (err != EINTR) Vanish(ErrorFromErrno(err));
            continue;
        }
        short revents = 0;
        for (int i = 0; i < ready; ++i) {
            if (events[i].data.u64 == kWakeTag) {
                eventfd_t count = 0;
                eventfd_read(m_wakeFd, &count);
                m_bWakePending = false;
            } else {
                revents = static_cast<short>(events[i].events);
            }
        }
        if (m_bStopping) break;
        if (revents) Receive(revents);
        if (m_dwVanished) break;
        Expire(Clock::now());
        PumpWrites();
    }
    m_bIoRunning = false;
    Unlock(lock);
}

void CommPort::PollDeviceFor(short events) {
    if (events == m_nIoPolled) return;
    if (m_nIoPolled) epoll_ctl(m_ioPoll, EPOLL_CTL_DEL, m_fd, nullptr);
    m_nIoPolled = 0;
    epoll_event device{static_cast<std::uint32_t>(events) | EPOLLEXCLUSIVE, {.u64 = kDeviceTag}};
    if (events && epoll_ctl(m_ioPoll, EPOLL_CTL_ADD, m_fd, &device) == 0) m_nIoPolled = events;
}

bool CommPort::Drive(std::optional<Clock::time_point> until) {
    std::optional<Clock::time_point> gatherEnd;
    {
        std::lock_guard lock(m_mutex);
        if (m_bStopping || Unusable() || !m_wait) return false;
        // A full queue leaves the rest in the kernel, as the I/O thread does: no busy drive. The
        // waiter then sleeps until the wait completes, so the I/O thread reads once there is room.
        if (m_rx.size() >= m_nRxLimit) {
            m_bGathering = false;
            return false;
        }
        if (m_bGathering) gatherEnd = m_lastDriveBytes + kGatherInterval;
    }
    int timeout = TimeoutUntil(until, Clock::now());
    if (gatherEnd && *gatherEnd > Clock::now()) {
        const bool bCut = until && *until < *gatherEnd;
        if (Gather(bCut ? *until : *gatherEnd) && !bCut) {
            // Nothing interrupted the gathering: what the device holds is read without a wait.
            Locked locked(*this);
            if (!m_bStopping && !Unusable()) NoteDrive(true, Receive(POLLIN));
            return true;
        }
        timeout = 0;
    }
    epoll_event events[2];
    const int ready = epoll_wait(m_drivePoll, events, 2, timeout);
    if (ready < 0 && errno != EINTR) {
        // The waiter sleeps instead from now on: the I/O thread must read for it.
        Locked locked(*this);
        m_bGathering = false;
        return false;
    }
    Locked locked(*this);
    bool bReceived = false;
    for (int i = 0; i < ready; ++i) {
        if (events[i].data.u64 == kWakeTag) {
            eventfd_t count = 0;
            eventfd_read(m_driveWakeFd, &count);
        } else if (!m_bStopping && !Unusable()) {
            bReceived = Receive(static_cast<short>(events[i].events));
        }
    }
    NoteDrive(false, bReceived);
    return true;
}

bool CommPort::Gather(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - Clock::now());
    if (left.count() <= 0) return true;
    const timespec span{static_cast<time_t>(left.count() / 1'000'000'000),
                        static_cast<long>(left.count() % 1'000'000'000)};
    pollfd wake{m_driveWakeFd, POLLIN, 0};
    return ppoll(&wake, 1, &span, nullptr) == 0;
}

void CommPort::NoteDrive(bool bGathered, bool bReceived) {
    if (bReceived) {
        const auto now = Clock::now();
        m_bGathering = IsBusyLine(bGathered, now - m_lastDriveBytes);
        m_lastDriveBytes = now;
    } else if (bGathered) {
        // A whole interval brought nothing: the line has gone quiet.
        m_bGathering = false;
    }
}

void CommPort::TakeArrivalsLeftToWaiters() {
    if (m_bGathering && !m_wait && m_rx.size() < m_nRxLimit) Receive(POLLIN);
}

void CommPort::Interrupt() {
    eventfd_write(m_driveWakeFd, 1);
}

bool CommPort::Receive(short revents) {
    if ((revents & POLLIN) && m_rx.size() < m_nRxLimit) {
        BYTE buffer[4096];
        const std::size_t room = std::min(sizeof buffer, m_nRxLimit - m_rx.size());
        const ssize_t n = read(m_fd, buffer, room);
        if (n > 0) {
            if (LineTap* pTap = CurrentLineTap())
                pTap->OnLineBytes(LineDirection::Received, buffer, static_cast<std::size_t>(n));
            Arrived(buffer, static_cast<std::size_t>(n));
            return true;
        }
        // End of file on a tty: the other side hung up.
        if (n == 0) {
            Vanish(ERROR_DEVICE_NOT_CONNECTED);
            return false;
        }
        if (errno != EAGAIN && errno != EINTR) {
            Vanish(ErrorFromErrno(errno));
            return false;
        }
    }
    if (revents & (POLLHUP | POLLERR | POLLNVAL)) Vanish(ERROR_DEVICE_NOT_CONNECTED);
    return false;
}

void CommPort::Arrived(const BYTE* pBytes, std::size_t nBytes) {
    DWORD dwEvents = 0;
    for (std::size_t i = 0; i < nBytes; ++i) {
        const BYTE byte = pBytes[i];
        if (byte == 0 && m_dcb.fNull) continue;
        if (byte == static_cast<BYTE>(m_dcb.EvtChar)) dwEvents |= EV_RXFLAG;
        m_rx.push_back(byte);
        dwEvents |= EV_RXCHAR;
    }
    if (m_bHasErrorCounts) CheckLineErrors();
    ServeReads();
    Raise(dwEvents);
}

void CommPort::ServeReads() {
    const auto now = Clock::now();
    while (!m_reads.empty() && !m_rx.empty()) {
        Op& op = *m_reads.front();
        const std::size_t n = std::min(op.nWanted - op.nDone, m_rx.size());
        std::copy_n(m_rx.begin(), n, op.pReadBuffer + op.nDone);
        m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(n));
        op.nDone += n;
        op.lastByte = now;
        if (op.nDone < op.nWanted && !op.bAnyByteCompletes) break;
        OpPtr done = std::move(m_reads.front());
        m_reads.pop_front();
        Complete(done, ERROR_SUCCESS);
    }
}

// Hands held bytes to the kernel in order; a write completes once the device has taken all of it.
void CommPort::PumpWrites() {
    m_bWriteBlocked = false;
    bool bHanded = false;
    while (!m_writes.empty()) {
        Op& op = *m_writes.front();
        while (op.nDone < op.writeData.size()) {
            const ssize_t n = write(m_fd, op.writeData.data() + op.nDone, op.writeData.size() - op.nDone);
            if (n > 0) {
                if (LineTap* pTap = CurrentLineTap())
                    pTap->OnLineBytes(LineDirection::Sent, op.writeData.data() + op.nDone,
                                      static_cast<std::size_t>(n));
                op.nDone += static_cast<std::size_t>(n);
                bHanded = true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) {
                m_bWriteBlocked = true;
                m_bDraining = false;
                return;
            }
            Vanish(n < 0 ? ErrorFromErrno(errno) : ERROR_DEVICE_NOT_CONNECTED);
            return;
        }
        DWORD dwQueued = 0;
        if (line::GetOutputQueue(m_fd, dwQueued) == 0 && dwQueued > 0) {
            ScheduleDrainCheck(dwQueued, bHanded);
            return;
        }
        OpPtr done = std::move(m_writes.front());
        m_writes.pop_front();
        Complete(done, ERROR_SUCCESS);
        if (m_writes.empty()) Raise(EV_TXEMPTY);
    }
    m_bDraining = false;
}

// The kernel's queue cannot be waited for: look again when the line should have sent it.
void CommPort::ScheduleDrainCheck(DWORD dwQueued, bool bHanded) {
    const auto now = Clock::now();
    const bool bFirstLook = bHanded || !m_bDraining;
    if (!bFirstLook && now < m_drainCheck) return;
    m_drainDelay = NextDrainCheck(m_dcb, dwQueued, bFirstLook ? 0 : m_dwDrainQueued, m_drainDelay);
    m_dwDrainQueued = dwQueued;
    m_drainCheck = now + m_drainDelay;
    m_bDraining = true;
}

void CommPort::CheckLineErrors() {
    line::ErrorCounts counts;
    if (line::GetErrorCounts(m_fd, counts) != 0) return;
    DWORD dwErrors = 0;
    if (counts.frame != m_errorCounts.frame) dwErrors |= CE_FRAME;
    if (counts.parity != m_errorCounts.parity) dwErrors |= CE_RXPARITY;
    if (counts.overrun != m_errorCounts.overrun) dwErrors |= CE_OVERRUN;
    if (counts.bufferOverrun != m_errorCounts.bufferOverrun) dwErrors |= CE_RXOVER;
    if (counts.brk != m_errorCounts.brk) dwErrors |= CE_BREAK;
    m_errorCounts = counts;
    m_dwErrors |= dwErrors;
    Raise(((dwErrors & (CE_FRAME | CE_RXPARITY | CE_OVERRUN)) ? EV_ERR : 0) |
          ((dwErrors & CE_BREAK) ? EV_BREAK : 0));
}

bool CommPort::WantsModemLines() const {
    return m_bHasModemLines && (m_dwMask & kModemEvents);
}

// Changes are waited for where the driver reports them, and not looked for elsewhere.
void CommPort::WatchModemLines() {
    // Stopping first: once it is set, the close may be stopping the waiter.
    if (m_bStopping || m_modemWaiter.Started()) return;
    const int fd = m_fd;
    m_modemWaiter.Start([this, fd] { return AwaitModemChange(fd); });
}

int CommPort::AwaitModemChange(int fd) {
    if (int err = line::WaitModemChange(fd)) return err;
    Locked locked(*this);
    DWORD dwStat = 0;
    if (int err = line::GetModemStatus(fd, dwStat)) return err;
    const DWORD dwChanged = dwStat ^ m_dwModemStat;
    m_dwModemStat = dwStat;
    Raise(ModemEventsOf(dwChanged));
    return 0;
}

// A read or write whose time-out ran out completes successfully with what it moved, as on Windows.
void CommPort::Expire(Clock::time_point now) {
    for (auto it = m_reads.begin(); it != m_reads.end();) {
        const Op& op = **it;
        const bool bExpired = (op.deadline && now >= *op.deadline) ||
                              (op.interval.count() && op.nDone && now >= op.lastByte + op.interval);
        if (!bExpired) {
            ++it;
            continue;
        }
        OpPtr done = *it;
        it = m_reads.erase(it);
        Complete(done, ERROR_SUCCESS);
    }
    for (auto it = m_writes.begin(); it != m_writes.end();) {
        const Op& op = **it;
        if (!op.deadline || now < *op.deadline) {
            ++it;
            continue;
        }
        OpPtr done = *it;
        it = m_writes.erase(it);
        Complete(done, ERROR_SUCCESS);
    }
}

BOOL CommPort::Setup(DWORD dwInQueue) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    if (dwInQueue) m_nRxLimit = dwInQueue;
    return TRUE;
}

BOOL CommPort::GetState(DCB& dcb) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    DCB current = m_dcb;
    if (int err = line::Read(m_fd, current)) return FailErrno(err);
    // Unless someone changed the device since, report what was set, as Windows does.
    dcb = std::memcmp(&current, &m_dcbAsApplied, sizeof(DCB)) == 0 ? m_dcb : current;
    dcb.DCBlength = sizeof(DCB);
    return TRUE;
}

BOOL CommPort::SetState(const DCB& dcb) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    if (int err = line::Apply(m_fd, dcb)) return FailErrno(err);
    // A pty has no modem lines to drive; the setting still holds for what asks it back.
    line::SetModemControl(m_fd, dcb);
    m_dcb = dcb;
    m_dcbAsApplied = dcb;
    line::Read(m_fd, m_dcbAsApplied);
    return TRUE;
}

BOOL CommPort::GetTimeouts(COMMTIMEOUTS& timeouts) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    timeouts = m_timeouts;
    return TRUE;
}

BOOL CommPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    m_timeouts = timeouts;
    return TRUE;
}

BOOL CommPort::SetMask(DWORD dwEvtMask) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    if (m_wait) Complete(std::exchange(m_wait, nullptr), ERROR_SUCCESS, 0);
    const bool bModemBefore = WantsModemLines();
    m_bGathering = false;
    m_dwMask = dwEvtMask;
    m_dwHistory &= dwEvtMask;
    if (!bModemBefore && WantsModemLines()) {
        line::GetModemStatus(m_fd, m_dwModemStat);
        WatchModemLines();
    }
    return TRUE;
}

BOOL CommPort::GetMask(DWORD& dwEvtMask) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    dwEvtMask = m_dwMask;
    return TRUE;
}

BOOL CommPort::WaitEvent(DWORD* pdwEvtMask, OVERLAPPED* pOverlapped) {
    Locked locked(*this);
    if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
    // After a loss the events that came before it are still reported; then waits fail.
    if (m_dwVanished && !m_dwHistory) return Fail(m_dwVanished);
    if ((m_bOverlapped && !pOverlapped) || m_dwMask == 0 || m_wait) return Fail(ERROR_INVALID_PARAMETER);
    OpPtr op = Begin(OpKind::Wait, pOverlapped);
    if (!op) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    op->pdwEvtMask = pdwEvtMask;
    // A wait that nobody drives needs the I/O thread to read for it.
    if (!op->event) m_bGathering = false;
    if (m_dwHistory) {
        Complete(op, ERROR_SUCCESS, std::exchange(m_dwHistory, 0));
    } else {
        m_wait = op;
        if (op->event) op->event->SetDriver(weak_from_this());
    }
    return Finish(locked.Lock(), op, nullptr);
}

// Also after a loss, which it reports, with what is left to read.
BOOL CommPort::ClearError(DWORD* pdwErrors, COMSTAT* pStat) {
    Locked locked(*this);
    if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
    if (pdwErrors) *pdwErrors = m_dwErrors;
    m_dwErrors = 0;
    if (pStat) {
        TakeArrivalsLeftToWaiters();
        *pStat = COMSTAT{};
        std::size_t nHeld = 0;
        for (const OpPtr& op : m_writes) nHeld += op->writeData.size() - op->nDone;
        DWORD dwInKernel = 0;
        line::GetOutputQueue(m_fd, dwInKernel);
        pStat->cbInQue = static_cast<DWORD>(m_rx.size());
        pStat->cbOutQue = static_cast<DWORD>(nHeld) + dwInKernel;
    }
    return TRUE;
}

BOOL CommPort::GetModemStatus(DWORD& dwModemStat) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    // A pty has no modem lines: ENOTTY, which the table reports as ERROR_NOT_SUPPORTED.
    if (int err = line::GetModemStatus(m_fd, dwModemStat)) return FailErrno(err);
    return TRUE;
}

BOOL CommPort::Purge(DWORD dwFlags) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    if (dwFlags & PURGE_TXABORT) AbortAll(m_writes, ERROR_OPERATION_ABORTED);
    if (dwFlags & PURGE_RXABORT) AbortAll(m_reads, ERROR_OPERATION_ABORTED);
    // Only what the layer still holds: the kernel's TCOFLUSH would also throw away
    // what a pty's peer has not read yet, which has been written for good.
    if (dwFlags & PURGE_TXCLEAR) {
        for (const OpPtr& op : m_writes) op->writeData.resize(op->nDone);
    }
    if (dwFlags & (PURGE_TXABORT | PURGE_TXCLEAR)) PumpWrites();
    if (dwFlags & PURGE_RXCLEAR) {
        m_rx.clear();
        if (int err = line::FlushInput(m_fd)) return FailErrno(err);
    }
    return TRUE;
}

BOOL CommPort::Read(void* pBuffer, DWORD dwBytes, DWORD* pdwRead, OVERLAPPED* pOverlapped) {
    Locked locked(*this);
    if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
    // After a loss what arrived before it is still read, at once since no more comes; then reads fail.
    if (m_dwVanished && m_rx.empty()) return Fail(m_dwVanished);
    if ((m_bOverlapped && !pOverlapped) || (!pBuffer && dwBytes)) return Fail(ERROR_INVALID_PARAMETER);
    OpPtr op = Begin(OpKind::Read, pOverlapped);
    if (!op) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    op->pReadBuffer = static_cast<BYTE*>(pBuffer);
    op->nWanted = dwBytes;
    TakeArrivalsLeftToWaiters();

    const auto now = Clock::now();
    if (m_reads.empty() && !m_rx.empty()) {
        const std::size_t n = std::min<std::size_t>(dwBytes, m_rx.size());
        std::copy_n(m_rx.begin(), n, op->pReadBuffer);
        m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(n));
        op->nDone = n;
        op->lastByte = now;
    }

    const COMMTIMEOUTS& t = m_timeouts;
    const bool bReturnAtOnce = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                               t.ReadTotalTimeoutConstant == 0;
    const bool bFirstByteCompletes =
        t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
        t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != MAXDWORD;
    if (op->nDone == dwBytes || bReturnAtOnce || (bFirstByteCompletes && op->nDone) || m_dwVanished) {
        Complete(op, ERROR_SUCCESS);
    } else {
        if (bFirstByteCompletes) {
            op->bAnyByteCompletes = true;
            op->deadline = now + std::chrono::milliseconds(t.ReadTotalTimeoutConstant);
        } else {
            if (t.ReadTotalTimeoutMultiplier || t.ReadTotalTimeoutConstant)
                op->deadline =
                    now + TotalTimeout(t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, dwBytes);
            if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD)
                op->interval = std::chrono::milliseconds(t.ReadIntervalTimeout);
        }
        m_reads.push_back(op);
    }
    return Finish(locked.Lock(), op, pdwRead);
}

BOOL CommPort::Write(const void* pBuffer, DWORD dwBytes, DWORD* pdwWritten, OVERLAPPED* pOverlapped) {
    Locked locked(*this);
    if (DWORD err = Unusable()) return Fail(err);
    if ((m_bOverlapped && !pOverlapped) || (!pBuffer && dwBytes)) return Fail(ERROR_INVALID_PARAMETER);
    OpPtr op = Begin(OpKind::Write, pOverlapped);
    if (!op) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    op->nWanted = dwBytes;
    if (dwBytes == 0) {
        Complete(op, ERROR_SUCCESS);
        return Finish(locked.Lock(), op, pdwWritten);
    }
    try {
        const BYTE* pBytes = static_cast<const BYTE*>(pBuffer);
        op->writeData.assign(pBytes, pBytes + dwBytes);
        m_writes.push_back(op);
    } catch (const std::bad_alloc&) {
        Complete(op, ERROR_NOT_ENOUGH_MEMORY);
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    const COMMTIMEOUTS& t = m_timeouts;
    if (t.WriteTotalTimeoutMultiplier || t.WriteTotalTimeoutConstant)
        op->deadline =
            Clock::now() + TotalTimeout(t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant, dwBytes);
    PumpWrites();
    return Finish(locked.Lock(), op, pdwWritten);
}

BOOL CommPort::GetResult(OVERLAPPED* pOverlapped, DWORD* pdwBytes, BOOL bWait) {
    std::atomic_ref<ULONG_PTR> status(pOverlapped->Internal);
    if (status.load(std::memory_order_acquire) == STATUS_PENDING) {
        std::unique_lock lock(m_mutex);
        // Whoever asks here does not drive a wait: the I/O thread reads meanwhile.
        if (std::exchange(m_bGathering, false)) WakeIfStale();
        if (!bWait) return Fail(ERROR_IO_INCOMPLETE);
        m_completed.wait(lock, [&] { return status.load(std::memory_order_acquire) != STATUS_PENDING; });
    }
    if (pdwBytes)
        *pdwBytes = static_cast<DWORD>(
            std::atomic_ref<ULONG_PTR>(pOverlapped->InternalHigh).load(std::memory_order_relaxed));
    const DWORD dwStatus = static_cast<DWORD>(status.load(std::memory_order_acquire));
    return dwStatus == ERROR_SUCCESS ? TRUE : Fail(dwStatus);
}

// Only the calling thread's overlapped operations, as CancelIo on Windows; held bytes of a
// cancelled write are dropped, what the kernel already took goes out.
BOOL CommPort::Cancel() {
    Locked locked(*this);
    if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
    const auto self = std::this_thread::get_id();
    auto cancel = [&](std::deque<OpPtr>& ops) {
        for (auto it = ops.begin(); it != ops.end();) {
            if ((*it)->owner != self || !(*it)->pOverlapped) {
                ++it;
                continue;
            }
            OpPtr op = *it;
            it = ops.erase(it);
            Complete(op, ERROR_OPERATION_ABORTED);
        }
    };
    cancel(m_reads);
    cancel(m_writes);
    if (m_wait && m_wait->owner == self && m_wait->pOverlapped)
        Complete(std::exchange(m_wait, nullptr), ERROR_OPERATION_ABORTED);
    if (!m_dwVanished) PumpWrites();
    return TRUE;
}

}  // namespace win32
