// quillon-sim --replay FILE: the controller's side of a capture of quillon's line, played back.
// Only what the controller sent is written, each chunk at its time in the capture; what the
// program writes is read and left unanswered. The clock starts when the program opens the line:
// on a pty, when its hang-up clears. A chunk that came after a request of the program's does not
// go out before the program has written as much again, so that an answer never overtakes its
// request (the program reads some answers blind, a moment after it asked); when the program has
// written less, the conversation went another way, and the chunk waits kHoldLongest at most.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "session/CaptureFormat.h"

namespace quillon::sim {

struct ReplayChunk {
    std::chrono::nanoseconds due{};  // after the line was opened
    std::vector<Byte> bytes;
    std::size_t nAfterSent = 0;  // how many bytes the program had written before it
    bool operator==(const ReplayChunk&) const = default;
};

// The received chunks of a capture, their times divided by `speed` (2: twice as fast).
std::vector<ReplayChunk> ReplayScript(const std::vector<CaptureChunk>& capture, double speed);

// The script of the capture in the file; empty, with "FILE: line N: reason" in `error`, when the
// file cannot be read or is no capture.
std::optional<std::vector<ReplayChunk>> LoadReplay(const std::string& path, double speed, std::string& error);

// Runs its own thread between Start() and Stop(); the public members may be called from any thread.
class Replayer {
public:
    // On a pty pair of its own, whose program end DevicePath() names. Throws std::system_error.
    explicit Replayer(std::vector<ReplayChunk> script);
    // On the given descriptor, closed in the end.
    Replayer(std::vector<ReplayChunk> script, int fd);
    ~Replayer();

    Replayer(const Replayer&) = delete;
    Replayer& operator=(const Replayer&) = delete;

    const std::string& DevicePath() const { return m_devicePath; }
    void Start();
    void Stop();
    // How many chunks have gone out whole; all of them once the script is over.
    std::size_t ChunksSent() const { return m_nSent; }
    bool Done() const { return m_nSent == m_script.size(); }

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    // False when stopped first.
    bool AwaitOpen();
    // Reads what the program wrote, to keep its writes from piling up; false when it has closed the line.
    bool Drain();
    bool Sleep(std::chrono::milliseconds span);

    const std::vector<ReplayChunk> m_script;
    std::size_t m_nHeard = 0;  // bytes the program wrote, owned by the thread
    int m_fd = -1;
    int m_wakeFd = -1;
    std::string m_devicePath;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_nSent{0};
};

}  // namespace quillon::sim
