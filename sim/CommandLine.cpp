#include "sim/CommandLine.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <system_error>
#include <type_traits>

namespace quillon::sim {

namespace {

constexpr std::uint64_t kMaxMillis = 24ull * 3600 * 1000;

bool ParseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && !text.empty() && value <= max;
}

bool ParseDouble(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && !text.empty();
}

// "12:MB23A004211,13:LP7710932"; empty text, empty list.
bool ParseSerials(std::string_view text, std::vector<SerialEntry>& serials, std::string& error) {
    serials.clear();
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const std::size_t colon = item.find(':');
        std::uint64_t kind = 0;
        if (colon == std::string_view::npos || !ParseUnsigned(item.substr(0, colon), 255, kind)) {
            error = "--serials: '" + std::string(item) + "' is not kind:number";
            return false;
        }
        serials.push_back({static_cast<Byte>(kind), std::string(item.substr(colon + 1))});
    }
    return true;
}

}  // namespace

int WriteOutput(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) return 0;
    std::fprintf(stderr, "quillon-sim: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
}

std::string_view Usage() {
    return "Usage: quillon-sim [OPTION]...\n"
           "Plays the terminal's system controller on a serial line for quillon.\n"
           "Opens a pty pair unless --device is given; the first line of output names the\n"
           "device for the program (\"device: /dev/pts/N\").\n"
           "\n"
           "  --device PATH         play on this device instead of a pty of our own\n"
           "  --replay FILE         play back what the controller sent in a capture that\n"
           "                        quillon --capture wrote, each chunk at its time, and\n"
           "                        nothing else: requests get no answer, the options\n"
           "                        below do not apply. The clock starts when the program\n"
           "                        opens the line (on our pty, when its hang-up clears)\n"
           "  --replay-speed X      play the capture X times as fast (default 1)\n"
           "  --delay MS            send the announcement MS after the start (default 1000)\n"
           "  --interactive         send the announcement on every Enter; no timed one\n"
           "                        unless --delay is given too\n"
           "  --log                 name every accepted request on stderr\n"
           "  --rate HZ             status frames per second while streaming (default 50,\n"
           "                        at most 1280, the line's limit)\n"
           "  --io-version TEXT     I/O firmware version, at most 16 characters; \"1c\" in\n"
           "                        characters 15 and 16 means no COM-port supply selection\n"
           "  --serials LIST        component serial numbers, \"kind:number,...\", answered in\n"
           "                        this order. A kind, 1 to 255, is the component's code,\n"
           "                        which chooses the caption quillon shows before the\n"
           "                        number: 8 HDD, 12 MB, 13 LCD Panel, 16 Touch Panel,\n"
           "                        17 Power, and so on; quillon leaves out a kind without\n"
           "                        caption. A number has at most 11 characters\n"
           "  --system-serial TEXT  the system serial number, at most 11 characters\n"
           "  --no-serials          no system serial number and no component list\n"
           "  --seed N              seed of the sensor model and the line noise\n"
           "\n"
           "Faults:\n"
           "  --bad-checksum K      corrupt the checksum of every K-th frame\n"
           "  --split-at OFFSET     write frames longer than OFFSET bytes in two pieces\n"
           "  --split-pause MS      pause between the two pieces (default 100)\n"
           "  --garbage K           put line noise before every K-th frame\n"
           "  --garbage-bytes N     length of that noise (default 4)\n"
           "  --ack-delay MS        answer requests MS late\n"
           "  --drop-ack K          never send every K-th answer\n"
           "  --silent              answer nothing and stream nothing\n"
           "  --hangup-after MS     close the line MS after the start\n"
           "  --hangup-after-frames N  close the line once N frames went out\n"
           "  --stop-reading-after MS  stop taking bytes MS after the start; on a pty the\n"
           "                        program's writes then wait, as on a line held up\n"
           "\n"
           "  -h, --help            show this text\n"
           "      --version         show the version\n"
           "\n"
           "SIGUSR1 prints \"frames sent: N\", the frames written whole so far; so does the end.\n";
}

std::string ParseCommandLine(const std::vector<std::string>& args, CommandLine& out) {
    out = CommandLine{};
    Config& config = out.config;
    Faults& faults = config.faults;
    bool delayGiven = false;
    bool serialsGiven = false;
    bool noSerials = false;
    bool speedGiven = false;
    std::string error;

    const auto count = [&error](std::string_view name, std::string_view text, std::uint64_t max,
                                auto& target) {
        std::uint64_t value = 0;
        if (!ParseUnsigned(text, max, value)) {
            error = std::string(name) + ": '" + std::string(text) + "' is not a number from 0 to " +
                    std::to_string(max);
            return;
        }
        target = static_cast<std::remove_reference_t<decltype(target)>>(value);
    };
    const auto millis = [&](std::string_view name, std::string_view text, Millis& target) {
        std::uint64_t value = 0;
        count(name, text, kMaxMillis, value);
        target = Millis{static_cast<Millis::rep>(value)};
    };

    const std::map<std::string_view, std::function<void(std::string_view)>> withValue{
        {"--device", [&](std::string_view v) { out.device = std::string(v); }},
        {"--replay", [&](std::string_view v) { out.replay = std::string(v); }},
        {"--replay-speed",
         [&](std::string_view v) {
             speedGiven = true;
             if (!ParseDouble(v, out.replaySpeed) || !(out.replaySpeed > 0) ||
                 !std::isfinite(out.replaySpeed))
                 error = "--replay-speed: '" + std::string(v) + "' is not a number above 0";
         }},
        {"--delay",
         [&](std::string_view v) {
             Millis delay{};
             millis("--delay", v, delay);
             config.announceDelay = delay;
             delayGiven = true;
         }},
        {"--rate",
         [&](std::string_view v) {
             if (!ParseDouble(v, config.rateHz)) error = "--rate: '" + std::string(v) + "' is not a number";
         }},
        {"--io-version", [&](std::string_view v) { config.ioVersion = std::string(v); }},
        {"--serials",
         [&](std::string_view v) {
             serialsGiven = true;
             ParseSerials(v, config.serials, error);
         }},
        {"--system-serial",
         [&](std::string_view v) {
             serialsGiven = true;
             config.systemSerial = std::string(v);
         }},
        {"--seed", [&](std::string_view v) { count("--seed", v, UINT32_MAX, config.seed); }},
        {"--bad-checksum",
         [&](std::string_view v) { count("--bad-checksum", v, UINT32_MAX, faults.badChecksumEvery); }},
        {"--split-at", [&](std::string_view v) { count("--split-at", v, 4096, faults.splitAt); }},
        {"--split-pause", [&](std::string_view v) { millis("--split-pause", v, faults.splitPause); }},
        {"--garbage", [&](std::string_view v) { count("--garbage", v, UINT32_MAX, faults.garbageEvery); }},
        {"--garbage-bytes",
         [&](std::string_view v) { count("--garbage-bytes", v, 4096, faults.garbageLength); }},
        {"--ack-delay", [&](std::string_view v) { millis("--ack-delay", v, faults.ackDelay); }},
        {"--drop-ack", [&](std::string_view v) { count("--drop-ack", v, UINT32_MAX, faults.dropAckEvery); }},
        {"--hangup-after", [&](std::string_view v) { millis("--hangup-after", v, faults.hangupAfter); }},
        {"--stop-reading-after",
         [&](std::string_view v) { millis("--stop-reading-after", v, faults.stopReadingAfter); }},
        {"--hangup-after-frames",
         [&](std::string_view v) {
             count("--hangup-after-frames", v, UINT32_MAX, faults.hangupAfterFrames);
         }},
    };

    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        std::string_view arg = args[i];
        std::optional<std::string_view> inlineValue;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        if (const auto it = withValue.find(arg); it != withValue.end()) {
            if (inlineValue) {
                it->second(*inlineValue);
            } else if (i + 1 < args.size()) {
                it->second(args[++i]);
            } else {
                error = std::string(arg) + " needs a value";
            }
            continue;
        }
        if (inlineValue) {
            error = "option " + std::string(arg) + " takes no value";
        } else if (arg == "-h" || arg == "--help") {
            out.help = true;
        } else if (arg == "--version") {
            out.version = true;
        } else if (arg == "--interactive") {
            out.interactive = true;
        } else if (arg == "--log") {
            config.logRequests = true;
        } else if (arg == "--no-serials") {
            noSerials = true;
        } else if (arg == "--silent") {
            faults.silent = true;
        } else {
            error = "unknown argument '" + std::string(arg) + "'";
        }
    }
    if (!error.empty()) return error;
    if (noSerials && serialsGiven) return "--no-serials excludes --serials and --system-serial";
    if (speedGiven && !out.replay) return "--replay-speed needs --replay";
    if (noSerials) {
        config.systemSerial.reset();
        config.serials.clear();
    }
    if (out.interactive && !delayGiven) config.announceDelay.reset();
    return Validate(config);
}

}  // namespace quillon::sim
