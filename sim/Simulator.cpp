#include "sim/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace quillon::sim {

namespace {

using std::chrono::duration_cast;

// A request prefix that sees no new byte for this long is not going to complete.
constexpr Millis kRequestIdle{200};
// How long to leave a line alone whose other end has gone away.
constexpr Millis kPeerBackoff{100};
// Status frames are skipped rather than piled up while the other end does not read.
constexpr std::size_t kMaxBacklog = 8;
// A hang-up throws away what the other end has not read yet: after the last
// frame, give it this long to take the frame before the line goes.
constexpr Millis kHangupLinger{200};
// Bounds the poll timeout however far off a deadline lies.
constexpr Millis kLongestWait{60'000};
// Far more than a pty's input holds; a device that never fills stops the filling here.
constexpr std::size_t kMostFill = 1 << 20;

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return;  // not a terminal: nothing to set
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&tio, B115200);
    tcsetattr(fd, TCSANOW, &tio);
}

void SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        ThrowErrno("cannot make the line non-blocking");
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

void CheckConfig(const Config& config) {
    if (std::string error = Validate(config); !error.empty()) throw std::invalid_argument(error);
}

}  // namespace

int OpenDevice(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) ThrowErrno("cannot open " + path);
    MakeRaw(fd);
    return fd;
}

PtyPair OpenPtyPair() {
    PtyPair pty;
    if (openpty(&pty.master, &pty.slave, nullptr, nullptr, nullptr) != 0) ThrowErrno("cannot open a pty");
    char name[128];
    if (ptsname_r(pty.master, name, sizeof name) != 0) {
        CloseFd(pty.master);
        CloseFd(pty.slave);
        ThrowErrno("cannot name the pty");
    }
    pty.path = name;
    MakeRaw(pty.slave);
    fcntl(pty.master, F_SETFD, FD_CLOEXEC);
    fcntl(pty.slave, F_SETFD, FD_CLOEXEC);
    SetNonBlocking(pty.master);
    return pty;
}

Simulator::Simulator(Config config)
    : m_config(std::move(config)), m_controller(m_config), m_noise(m_config.seed) {
    CheckConfig(m_config);
    PtyPair pty = OpenPtyPair();
    m_fd = pty.master;
    // The slave end stays open here: the program may open and close it as it likes
    // without the master seeing a hang-up, and it keeps the raw settings meanwhile.
    m_slaveFd = pty.slave;
    m_devicePath = std::move(pty.path);
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) ThrowErrno("cannot create an eventfd");
    Publish();
}

Simulator::Simulator(Config config, int fd)
    : m_config(std::move(config)), m_fd(fd), m_controller(m_config), m_noise(m_config.seed) {
    CheckConfig(m_config);
    MakeRaw(m_fd);
    SetNonBlocking(m_fd);
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) ThrowErrno("cannot create an eventfd");
    Publish();
}

Simulator::~Simulator() {
    Stop();
    CloseFd(m_fillFd);
    CloseFd(m_fd);
    CloseFd(m_slaveFd);
    CloseFd(m_wakeFd);
}

void Simulator::Start() {
    if (m_thread.joinable()) return;
    m_thread = std::thread([this] { Run(); });
}

void Simulator::Stop() {
    m_stop = true;
    Wake();
    if (m_thread.joinable()) m_thread.join();
}

void Simulator::Announce() {
    m_announce = true;
    Wake();
}

void Simulator::Wake() {
    if (m_wakeFd < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof one);
}

std::vector<Request> Simulator::Accepted() const {
    std::lock_guard lock(m_mutex);
    return m_accepted;
}

std::vector<std::vector<Byte>> Simulator::Rejected() const {
    std::lock_guard lock(m_mutex);
    return m_rejected;
}

State Simulator::GetState() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

bool Simulator::WaitForRequests(RequestKind kind, std::size_t count, Millis timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(std::count_if(m_accepted.begin(), m_accepted.end(),
                                                      [&](const Request& r) { return r.kind == kind; })) >=
               count;
    });
}

bool Simulator::WaitForHangUp(Millis timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_state.hungUp; });
}

void Simulator::Publish(bool announced) {
    const ControllerState& c = m_controller.State();
    {
        std::lock_guard lock(m_mutex);
        m_state.announced = m_state.announced || announced;
        m_state.linkOpen = c.linkOpen;
        m_state.streaming = c.streaming;
        m_state.com = c.com;
        m_state.pendingCom = c.pendingCom;
        m_state.osdOn = c.osdOn;
        m_state.osdShown = c.osdShown;
        m_state.framesSent = m_framesSent;
        m_state.hungUp = m_fd < 0;
    }
    m_changed.notify_all();
}

void Simulator::Run() {
    const Faults& faults = m_config.faults;
    constexpr Clock::time_point kNever = Clock::time_point::max();
    const Clock::time_point start = Clock::now();
    Clock::time_point announceAt = m_config.announceDelay ? start + *m_config.announceDelay : kNever;
    m_hangupAt = faults.hangupAfter.count() > 0 ? start + faults.hangupAfter : kNever;
    const Clock::time_point stopReadingAt =
        faults.stopReadingAfter.count() > 0 ? start + faults.stopReadingAfter : kNever;
    const auto period = duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / m_config.rateHz));
    Clock::time_point nextStatus = start;
    Clock::time_point lastInput = start;

    while (!m_stop && m_fd >= 0) {
        Clock::time_point now = Clock::now();
        if (now >= m_hangupAt) {
            HangUp();
            break;
        }
        if (m_reading && now >= stopReadingAt) StopReading();
        if (m_announce.exchange(false) || now >= announceAt) {
            announceAt = kNever;
            Queue(std::vector<Byte>(m_config.announcement.begin(), m_config.announcement.end()), false);
            Publish(true);
        }
        while (!m_delayed.empty() && m_delayed.front().due <= now) {
            Send(std::move(m_delayed.front().frame));
            m_delayed.pop_front();
        }
        if (m_parser.Pending() > 0 && now - lastInput >= kRequestIdle) Process(m_parser.Flush(), now);

        const bool streaming = m_controller.State().streaming && !faults.silent;
        if (!streaming) {
            nextStatus = now;
        } else if (now >= nextStatus) {
            if (m_output.size() <= kMaxBacklog)
                Send(m_controller.NextStatusFrame(duration_cast<std::chrono::seconds>(now - start)));
            nextStatus += period;
            // After a stall, keep the rate instead of catching up in a burst.
            if (nextStatus < now) nextStatus = now + period;
        }

        const bool lineUp = now >= m_lineResumeAt;
        bool wantWritable = false;
        if (lineUp) WriteOutput(now, wantWritable);

        Clock::time_point deadline = std::min(announceAt, m_hangupAt);
        const auto consider = [&](Clock::time_point t) { deadline = std::min(deadline, t); };
        if (m_reading) consider(stopReadingAt);
        if (!m_delayed.empty()) consider(m_delayed.front().due);
        if (m_parser.Pending() > 0) consider(lastInput + kRequestIdle);
        if (streaming) consider(nextStatus);
        if (!lineUp) consider(m_lineResumeAt);
        if (lineUp && MayWrite() && !m_output.empty() && m_output.front().due && !wantWritable)
            consider(*m_output.front().due);

        // To the microsecond: at the line's rate frames are less than a millisecond apart.
        timespec wait{};
        const timespec* pWait = nullptr;
        if (deadline != kNever) {
            const auto left =
                std::clamp<Clock::duration>(deadline - Clock::now(), Clock::duration::zero(), kLongestWait);
            const auto seconds = duration_cast<std::chrono::seconds>(left);
            wait.tv_sec = static_cast<time_t>(seconds.count());
            wait.tv_nsec = static_cast<long>(std::chrono::nanoseconds(left - seconds).count());
            pWait = &wait;
        }
        // A line whose other end has gone reports a hang-up on every poll: leave it out for a while.
        const short events = static_cast<short>((m_reading ? POLLIN : 0) | (wantWritable ? POLLOUT : 0));
        pollfd fds[3] = {{m_wakeFd, POLLIN, 0}, {lineUp ? m_fd : -1, events, 0}, {m_fillFd, POLLOUT, 0}};
        if (ppoll(fds, 3, pWait, nullptr) < 0) {
            if (errno == EINTR) continue;
            std::perror("quillon-sim: poll");
            break;
        }
        now = Clock::now();
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = read(m_wakeFd, &count, sizeof count);
        }
        if (fds[1].revents & POLLIN) {
            Byte buffer[4096];
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                lastInput = now;
                Process(m_parser.Feed(std::span<const Byte>(buffer, static_cast<std::size_t>(n))), now);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                m_lineResumeAt = now + kPeerBackoff;
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            m_lineResumeAt = now + kPeerBackoff;
        }
        if (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            CloseFd(m_fillFd);
        } else if (fds[2].revents & POLLOUT) {
            TopUp();
        }
    }
}

void Simulator::Process(const std::vector<ParsedRequest>& items, Clock::time_point now) {
    for (const ParsedRequest& item : items) {
        if (!item.kind) {
            std::fprintf(stderr, "quillon-sim: rejected %s\n", Hex(item.bytes).c_str());
            {
                std::lock_guard lock(m_mutex);
                m_rejected.push_back(item.bytes);
            }
            m_changed.notify_all();
            continue;
        }
        if (m_config.logRequests) std::fprintf(stderr, "quillon-sim: accepted %s\n", RequestName(*item.kind).data());
        std::optional<std::vector<Byte>> answer = m_controller.Handle(*item.kind, item.bytes);
        {
            std::lock_guard lock(m_mutex);
            m_accepted.push_back({*item.kind, item.bytes});
        }
        Publish();
        if (answer) Answer(std::move(*answer), now);
    }
}

void Simulator::Answer(std::vector<Byte> frame, Clock::time_point now) {
    const Faults& faults = m_config.faults;
    if (faults.silent) return;
    ++m_answers;
    if (faults.dropAckEvery != 0 && m_answers % faults.dropAckEvery == 0) return;
    if (faults.ackDelay.count() > 0) {
        m_delayed.push_back({now + faults.ackDelay, std::move(frame)});
        return;
    }
    Send(std::move(frame));
}

void Simulator::Send(std::vector<Byte> frame) {
    const Faults& faults = m_config.faults;
    ++m_framesQueued;
    if (faults.badChecksumEvery != 0 && m_framesQueued % faults.badChecksumEvery == 0) ++frame.back();
    if (faults.garbageEvery != 0 && m_framesQueued % faults.garbageEvery == 0) {
        // Never a frame head, so the noise cannot pass for the start of a frame.
        std::uniform_int_distribution<int> pick(0, 0xFE);
        std::vector<Byte> noise(faults.garbageLength);
        for (Byte& b : noise) {
            const int value = pick(m_noise);
            b = static_cast<Byte>(value >= kFrameHead0 ? value + 1 : value);
        }
        Queue(std::move(noise), false);
    }
    if (faults.splitAt != 0 && faults.splitAt < frame.size()) {
        const auto cut = frame.begin() + static_cast<std::ptrdiff_t>(faults.splitAt);
        Queue(std::vector<Byte>(frame.begin(), cut), false);
        Queue(std::vector<Byte>(cut, frame.end()), true, faults.splitPause);
        return;
    }
    Queue(std::move(frame), true);
}

void Simulator::Queue(std::vector<Byte> bytes, bool endsFrame, Millis pauseBefore) {
    m_output.push_back({std::move(bytes), 0, pauseBefore, std::nullopt, endsFrame});
}

bool Simulator::MayWrite() const {
    const unsigned lastFrame = m_config.faults.hangupAfterFrames;
    return lastFrame == 0 || m_framesSent < lastFrame;
}

void Simulator::WriteOutput(Clock::time_point now, bool& wantWritable) {
    while (!m_output.empty() && MayWrite()) {
        Chunk& chunk = m_output.front();
        if (!chunk.due) chunk.due = now + chunk.pauseBefore;
        if (now < *chunk.due) return;
        const ssize_t n = write(m_fd, chunk.bytes.data() + chunk.written, chunk.bytes.size() - chunk.written);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                wantWritable = true;
            } else {
                m_lineResumeAt = now + kPeerBackoff;
            }
            return;
        }
        chunk.written += static_cast<std::size_t>(n);
        if (chunk.written < chunk.bytes.size()) {
            wantWritable = true;
            return;
        }
        const bool endsFrame = chunk.endsFrame;
        m_output.pop_front();
        if (!endsFrame) continue;
        ++m_framesSent;
        Publish();
        if (!MayWrite()) m_hangupAt = std::min(m_hangupAt, now + kHangupLinger);
    }
}

// From now on nothing is read. On a pty the bytes the program writes pile up in the line's
// input; keeping that input full from the program's side makes every later write of the program
// wait, as on a line held up by flow control.
void Simulator::StopReading() {
    m_reading = false;
    char name[128];
    if (m_slaveFd >= 0) {
        m_fillFd = fcntl(m_slaveFd, F_DUPFD_CLOEXEC, 0);
    } else if (m_fd >= 0 && ptsname_r(m_fd, name, sizeof name) == 0) {
        m_fillFd = open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    // A duplicate shares the held slave end's flags; nothing else uses that end.
    if (m_fillFd >= 0) fcntl(m_fillFd, F_SETFL, fcntl(m_fillFd, F_GETFL) | O_NONBLOCK);
    TopUp();
}

// The kernel hands part of what it holds on to the reader's buffer a moment later, which makes
// room again, and takes small writes where it refuses large ones: called whenever there is room,
// it writes ever smaller pieces until not even one byte goes in.
void Simulator::TopUp() {
    const std::vector<Byte> zeros(4096, 0);
    std::size_t piece = zeros.size();
    while (m_fillFd >= 0) {
        const ssize_t n = write(m_fillFd, zeros.data(), piece);
        if (n > 0) {
            m_filled += static_cast<std::size_t>(n);
            if (m_filled > kMostFill) CloseFd(m_fillFd);
        } else if (n < 0 && errno == EAGAIN) {
            if (piece == 1) return;
            piece = std::max<std::size_t>(piece / 16, 1);
        } else if (n == 0 || errno != EINTR) {
            CloseFd(m_fillFd);
        }
    }
}

void Simulator::HangUp() {
    CloseFd(m_fillFd);
    CloseFd(m_fd);
    CloseFd(m_slaveFd);
    Publish();
}

}  // namespace quillon::sim
