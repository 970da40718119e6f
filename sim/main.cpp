// quillon-sim: the controller simulator as a program. Runs until SIGINT or
// SIGTERM, or until a hang-up fault has closed the line. SIGUSR1 and the end
// print how many frames went out, for measurements over a stretch of the stream.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quillon/Version.h"
#include "sim/CommandLine.h"
#include "sim/Replay.h"
#include "sim/Simulator.h"

namespace {

// How often the main thread looks whether a hang-up fault ended the run.
constexpr int kCheckMillis = 200;

void PrintFramesSent(const quillon::sim::Simulator& simulator) {
    std::printf("frames sent: %zu\n", simulator.GetState().framesSent);
    std::fflush(stdout);
}

// Until a signal ends it: the line stays open after the last chunk, as the controller's would.
int Replay(const quillon::sim::CommandLine& options, int signalFd) {
    using namespace quillon::sim;
    std::string error;
    auto script = LoadReplay(*options.replay, options.replaySpeed, error);
    if (!script) {
        std::fprintf(stderr, "quillon-sim: %s\n", error.c_str());
        return 1;
    }
    const std::size_t nChunks = script->size();
    std::unique_ptr<Replayer> replayer =
        options.device ? std::make_unique<Replayer>(std::move(*script), OpenDevice(*options.device))
                       : std::make_unique<Replayer>(std::move(*script));
    std::printf("device: %s\n", options.device ? options.device->c_str() : replayer->DevicePath().c_str());
    std::fflush(stdout);
    replayer->Start();
    bool bSaidDone = false;
    for (;;) {
        pollfd fd{signalFd, POLLIN, 0};
        if (poll(&fd, 1, kCheckMillis) < 0 && errno != EINTR) break;
        if (fd.revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(signalFd, &info, sizeof info) != sizeof info || info.ssi_signo != SIGUSR1) break;
        }
        if (replayer->Done() && !std::exchange(bSaidDone, true)) {
            std::printf("replayed: %zu chunks\n", nChunks);
            std::fflush(stdout);
        }
    }
    replayer->Stop();
    std::printf("chunks sent: %zu of %zu\n", replayer->ChunksSent(), nChunks);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillon::sim;
    CommandLine options;
    const std::string error = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!error.empty()) {
        std::fprintf(stderr, "quillon-sim: %s\nTry 'quillon-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) return WriteOutput(Usage());
    if (options.version) return WriteOutput(std::string("quillon-sim ") + quillon::kVersion + "\n");

    // Blocked before the simulator's thread starts, so that it inherits the mask
    // and the signals arrive on the signalfd only.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::perror("quillon-sim: signalfd");
        return 1;
    }

    try {
        if (options.replay) {
            const int status = Replay(options, signalFd);
            close(signalFd);
            return status;
        }
        std::unique_ptr<Simulator> simulator;
        std::string path;
        if (options.device) {
            simulator = std::make_unique<Simulator>(options.config, OpenDevice(*options.device));
            path = *options.device;
        } else {
            simulator = std::make_unique<Simulator>(options.config);
            path = simulator->DevicePath();
        }
        std::printf("device: %s\n", path.c_str());
        std::fflush(stdout);
        simulator->Start();

        bool readStdin = options.interactive;
        for (;;) {
            pollfd fds[2] = {{signalFd, POLLIN, 0}, {readStdin ? STDIN_FILENO : -1, POLLIN, 0}};
            if (poll(fds, 2, kCheckMillis) < 0 && errno != EINTR) break;
            if (fds[0].revents & POLLIN) {
                signalfd_siginfo info{};
                if (read(signalFd, &info, sizeof info) == sizeof info && info.ssi_signo == SIGUSR1) {
                    PrintFramesSent(*simulator);
                    continue;
                }
                break;
            }
            if (fds[1].revents & (POLLIN | POLLHUP)) {
                char buffer[256];
                const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
                if (n <= 0) readStdin = false;
                for (ssize_t i = 0; i < n; ++i) {
                    if (buffer[i] == '\n') simulator->Announce();
                }
            }
            if (simulator->GetState().hungUp) break;
        }
        simulator->Stop();
        PrintFramesSent(*simulator);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillon-sim: %s\n", e.what());
        close(signalFd);
        return 1;
    }
    close(signalFd);
    return 0;
}
