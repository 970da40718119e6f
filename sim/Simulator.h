// The simulated controller on one end of a serial line (a pty master or a
// device). It runs its own thread between Start() and Stop(); every public
// member may be called from any thread.
//
// Answers, beyond what the program relies on: "all" (AA 55 05 02 02 00 09 00)
// asks for item 0x02 and gets it, the maximum DC input power as a command-2
// frame; a serial-number request stops the status stream until the next
// all-states request, since the program reads those answers blind; requests
// keep being answered after the link is closed, but nothing is streamed.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "protocol/Frame.h"
#include "sim/Config.h"
#include "sim/Controller.h"
#include "sim/RequestParser.h"

namespace quillon::sim {

struct Request {
    RequestKind kind;
    std::vector<Byte> bytes;
};

struct State {
    bool announced = false;
    bool linkOpen = false;
    bool streaming = false;
    bool hungUp = false;
    ComChoice com;
    std::optional<ComChoice> pendingCom;
    bool osdOn = false;
    std::optional<bool> osdShown;
    std::size_t framesSent = 0;  // frames fully written to the line
};

// Opens a device for the simulator: raw, 115200 bit/s where that applies, non-blocking.
// Throws std::system_error.
int OpenDevice(const std::string& path);

// A pty pair, both ends raw and close-on-exec, the master non-blocking; `path` names the slave
// for the program. Throws std::system_error.
struct PtyPair {
    int master = -1;
    int slave = -1;
    std::string path;
};
PtyPair OpenPtyPair();

class Simulator {
public:
    // Opens a pty pair of its own; DevicePath() names the end for the program.
    // Both constructors throw std::invalid_argument for a configuration that
    // Validate() refuses, std::system_error when the line cannot be set up.
    explicit Simulator(Config config);
    // Plays on the given descriptor (a pty master, a device) and closes it in the end.
    Simulator(Config config, int fd);
    ~Simulator();

    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    const std::string& DevicePath() const { return m_devicePath; }

    void Start();
    // Returns promptly whatever the line does; the descriptor stays open until destruction.
    void Stop();
    // "Presses the management button": the announcement goes out now.
    void Announce();

    std::vector<Request> Accepted() const;
    std::vector<std::vector<Byte>> Rejected() const;
    State GetState() const;

    // Whether `count` requests of the kind have been accepted within the time.
    bool WaitForRequests(RequestKind kind, std::size_t count, Millis timeout) const;
    bool WaitForHangUp(Millis timeout) const;

private:
    using Clock = std::chrono::steady_clock;

    struct Chunk {
        std::vector<Byte> bytes;
        std::size_t written = 0;
        Millis pauseBefore{0};
        std::optional<Clock::time_point> due;  // set once the chunk reaches the head
        bool endsFrame = false;
    };

    struct Delayed {
        Clock::time_point due;
        std::vector<Byte> frame;
    };

    void Run();
    void Process(const std::vector<ParsedRequest>& items, Clock::time_point now);
    void Answer(std::vector<Byte> frame, Clock::time_point now);
    void Send(std::vector<Byte> frame);
    void Queue(std::vector<Byte> bytes, bool endsFrame, Millis pauseBefore = Millis{0});
    void WriteOutput(Clock::time_point now, bool& wantWritable);
    // False once the frames before a hang-up fault have all gone out.
    bool MayWrite() const;
    void HangUp();
    void StopReading();
    void TopUp();
    void Publish(bool announced = false);
    void Wake();

    const Config m_config;
    int m_fd = -1;
    int m_slaveFd = -1;
    int m_wakeFd = -1;
    std::string m_devicePath;

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_announce{false};

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    State m_state;
    std::vector<Request> m_accepted;
    std::vector<std::vector<Byte>> m_rejected;

    // Owned by the thread.
    Controller m_controller;
    RequestParser m_parser;
    std::deque<Chunk> m_output;
    std::deque<Delayed> m_delayed;
    std::mt19937 m_noise;
    std::size_t m_framesQueued = 0;
    std::size_t m_answers = 0;
    std::size_t m_framesSent = 0;
    Clock::time_point m_lineResumeAt{};
    Clock::time_point m_hangupAt{};
    bool m_reading = true;
    int m_fillFd = -1;  // the program's end of a pty, kept full once we stop reading
    std::size_t m_filled = 0;
};

}  // namespace quillon::sim
