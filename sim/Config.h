// What the simulated controller reports and how badly it behaves on the line.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/Frame.h"

namespace quillon::sim {

using Millis = std::chrono::milliseconds;

// 115200 bit/s at ten bits a byte carries this many 9-byte status frames a second.
inline constexpr double kLineFramesPerSecond = 1280;

// I/O firmware versions. The second carries "1c" at frame offsets 19 and 20,
// the mark of a terminal without COM-port supply selection.
inline constexpr std::string_view kIoVersionComPower = "IOFW-V2.07";
inline constexpr std::string_view kIoVersionNoComPower = "IOFW-V2.07-NP.1c";

inline constexpr std::size_t kVersionTextMax = 16;   // frame offsets 5 to 20
inline constexpr std::size_t kSerialNumberMax = 11;  // frame offsets 10 to 20

struct SerialEntry {
    Byte kind = 0;
    std::string number;
    bool operator==(const SerialEntry&) const = default;
};

// Each fault is off at its zero value.
struct Faults {
    unsigned badChecksumEvery = 0;  // corrupt the checksum of every k-th frame
    std::size_t splitAt = 0;        // write longer frames as two pieces cut at this offset...
    Millis splitPause{100};         // ...with this pause between the pieces
    unsigned garbageEvery = 0;      // put line noise before every k-th frame
    std::size_t garbageLength = 4;
    Millis ackDelay{0};              // answers to requests go out this late
    unsigned dropAckEvery = 0;       // every k-th answer is never sent
    bool silent = false;             // answer nothing and stream nothing
    Millis hangupAfter{0};           // close the line this long after the start...
    unsigned hangupAfterFrames = 0;  // ...or once this many frames went out
    Millis stopReadingAfter{0};      // stop taking bytes this long after the start
};

struct Config {
    // When the management button is "pressed"; empty: only on Simulator::Announce().
    std::optional<Millis> announceDelay = Millis{1000};
    std::string announcement = "FIRMWARE READY\r\n";
    double rateHz = 50;  // status frames per second while streaming

    std::string mbVersion = "MB-R1.20";
    std::string biosVersion = "BIOS-V1.04";
    std::string ioVersion{kIoVersionComPower};
    std::string displayVersion = "LCD-V3.10";

    std::optional<std::string> systemSerial = "QT2301A0042";
    std::vector<SerialEntry> serials = {
        {12, "MB23A004211"}, {13, "LP7710932"}, {16, "TP0098123"}, {8, "HD5512X"}, {17, "PW19-0442"}};

    Byte comPower = 0x0F;  // bit k-1: COMk carries power
    Byte com12V = 0x01;    // bit k-1: that power is 12 V
    bool osdOn = true;
    Byte backlight = 80;
    std::uint32_t seed = 1;
    bool logRequests = false;  // one line on stderr for every accepted request

    Faults faults;
};

// Empty when the configuration can be played, else what is wrong with it.
std::string Validate(const Config& config);

}  // namespace quillon::sim
