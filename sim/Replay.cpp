#include "sim/Replay.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

#include "sim/Simulator.h"

namespace quillon::sim {

namespace {

// How often to look whether the program has opened the line: a hang-up cannot be waited for.
constexpr std::chrono::milliseconds kOpenCheck{5};
// How long to leave a line alone whose other end has gone away, as the simulator does.
constexpr std::chrono::milliseconds kPeerBackoff{100};
// How long past its time a chunk waits for the program's request that came before it.
constexpr std::chrono::milliseconds kHoldLongest{1000};

int MakeWakeFd() {
    const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot create an eventfd");
    return fd;
}

timespec Span(std::chrono::nanoseconds span) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((span - seconds).count())};
}

}  // namespace

std::vector<ReplayChunk> ReplayScript(const std::vector<CaptureChunk>& capture, double speed) {
    std::vector<ReplayChunk> script;
    std::size_t nSent = 0;
    for (const CaptureChunk& chunk : capture) {
        if (chunk.direction == CaptureDirection::Sent) nSent += chunk.bytes.size();
        if (chunk.direction != CaptureDirection::Received || chunk.bytes.empty()) continue;
        const std::chrono::duration<double> due(chunk.seconds / speed);
        script.push_back({std::chrono::duration_cast<std::chrono::nanoseconds>(due), chunk.bytes, nSent});
    }
    return script;
}

std::optional<std::vector<ReplayChunk>> LoadReplay(const std::string& path, double speed,
                                                   std::string& error) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (file) text << file.rdbuf();
    if (!file || file.bad()) {
        error = path + ": " + std::error_code(errno, std::generic_category()).message();
        return std::nullopt;
    }
    std::string why;
    const auto capture = ParseCapture(text.str(), why);
    if (!capture) {
        error = path + ": " + why;
        return std::nullopt;
    }
    return ReplayScript(*capture, speed);
}

// The slave end is not kept: its hang-up tells when the program has opened it.
Replayer::Replayer(std::vector<ReplayChunk> script) : m_script(std::move(script)) {
    PtyPair pty = OpenPtyPair();
    close(pty.slave);
    m_fd = pty.master;
    m_devicePath = std::move(pty.path);
    m_wakeFd = MakeWakeFd();
}

Replayer::Replayer(std::vector<ReplayChunk> script, int fd) : m_script(std::move(script)), m_fd(fd) {
    m_wakeFd = MakeWakeFd();
}

Replayer::~Replayer() {
    Stop();
    close(m_fd);
    close(m_wakeFd);
}

void Replayer::Start() {
    if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
}

void Replayer::Stop() {
    m_stop = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof one);
    if (m_thread.joinable()) m_thread.join();
}

// Sleeps for the span unless stopped; false when stopped.
bool Replayer::Sleep(std::chrono::milliseconds span) {
    pollfd wake{m_wakeFd, POLLIN, 0};
    const timespec wait = Span(span);
    return ppoll(&wake, 1, &wait, nullptr) == 0 && !m_stop;
}

bool Replayer::AwaitOpen() {
    for (;;) {
        pollfd line{m_fd, POLLIN, 0};
        if (poll(&line, 1, 0) >= 0 && !(line.revents & POLLHUP)) return !m_stop;
        if (!Sleep(kOpenCheck)) return false;
    }
}

bool Replayer::Drain() {
    Byte buffer[4096];
    for (;;) {
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_nHeard += static_cast<std::size_t>(n);
            continue;
        }
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    }
}

void Replayer::Run() {
    if (!AwaitOpen()) return;
    const Clock::time_point start = Clock::now();
    std::size_t nWritten = 0;  // of the chunk at the head
    while (!m_stop) {
        const std::size_t nNext = m_nSent;
        bool bWantWritable = false;
        std::optional<Clock::time_point> due;
        if (nNext < m_script.size()) {
            const ReplayChunk& chunk = m_script[nNext];
            due = start + chunk.due + (m_nHeard >= chunk.nAfterSent ? Clock::duration::zero() : kHoldLongest);
            if (Clock::now() >= *due) {
                const ssize_t n = write(m_fd, chunk.bytes.data() + nWritten, chunk.bytes.size() - nWritten);
                if (n > 0) nWritten += static_cast<std::size_t>(n);
                if (nWritten == chunk.bytes.size()) {
                    nWritten = 0;
                    m_nSent = nNext + 1;
                    continue;
                }
                bWantWritable = n >= 0 || errno == EAGAIN || errno == EINTR;
            }
        }
        // POLLOUT only once a chunk is due: a line with room would otherwise wake the loop at once.
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0},
                         {m_fd, static_cast<short>(POLLIN | (bWantWritable ? POLLOUT : 0)), 0}};
        timespec wait{};
        const timespec* pWait = nullptr;
        if (due && !bWantWritable) {
            wait = Span(std::max<Clock::duration>(*due - Clock::now(), Clock::duration::zero()));
            pWait = &wait;
        }
        if (ppoll(fds, 2, pWait, nullptr) < 0 && errno != EINTR) return;
        if (fds[0].revents & POLLIN) continue;
        // A line the program has closed reports a hang-up on every poll: leave it alone a while.
        const bool bOpen = !(fds[1].revents & (POLLIN | POLLHUP | POLLERR)) || Drain();
        if (!bOpen && !Sleep(kPeerBackoff)) return;
    }
}

}  // namespace quillon::sim
