// The program's end of the line in the simulator tests: the slave side of a
// pty whose master the simulator plays on, plus the requests as the program
// writes them.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "protocol/Frame.h"
#include "sim/Config.h"

namespace quillon::sim::test {

using namespace std::chrono_literals;

// Far beyond any answer time; only a broken simulator reaches it.
inline constexpr Millis kPatience{5000};
// Long enough for an answer that would come to have come.
inline constexpr Millis kQuietSpell{400};

class ProgramEnd {
public:
    ProgramEnd();
    ~ProgramEnd();
    ProgramEnd(const ProgramEnd&) = delete;
    ProgramEnd& operator=(const ProgramEnd&) = delete;

    // Hands the master side over to the simulator.
    int TakeMaster();

    void Write(std::span<const Byte> bytes);

    // What one read returns once bytes are there; empty if none came in time.
    std::vector<Byte> ReadSome(Millis timeout);
    // Collects until `count` bytes came or the time ran out.
    std::vector<Byte> ReadExactly(std::size_t count, Millis timeout);
    // The next whole frame, which must start right here in the stream.
    std::optional<std::vector<Byte>> NextFrame(Millis timeout = kPatience);
    // Whether the line takes one more byte at once (a zero, written if it does).
    bool TakesAByte();
    // Whether the other end goes away within the time.
    bool WaitHangUp(Millis timeout);

private:
    int m_master = -1;
    int m_slave = -1;
    std::vector<Byte> m_held;  // read, not yet handed out
};

// A configuration that stays quiet until spoken to: no timed announcement.
Config QuietConfig();

// The requests, byte for byte as the program writes them.
inline const std::vector<Byte> kLinkOpen{0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07, 0x00};
inline const std::vector<Byte> kLinkClose{0xAA, 0x55, 0x05, 0x01, 0x00, 0x00, 0x06, 0x00};
inline const std::vector<Byte> kIoVersion{0xAA, 0x55, 0x05, 0x02, 0x8E, 0x00, 0x95, 0x00};
inline const std::vector<Byte> kAll{0xAA, 0x55, 0x05, 0x02, 0x02, 0x00, 0x09, 0x00};
inline const std::vector<Byte> kAllStates{0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x87, 0x00};
inline const std::vector<Byte> kAllStatesStop{0xAA, 0x55, 0x06, 0x80, 0x00, 0x00, 0x00, 0x86, 0x00};
inline const std::vector<Byte> kSerialStart{0xAA, 0x55, 0x08, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00};
inline const std::vector<Byte> kComConfirm{0xAA, 0x55, 0x05, 0xA0, 0x55, 0x00, 0xFA, 0x00};
inline const std::vector<Byte> kOsdDisplayOn{0xAA, 0x55, 0x18, 0x05, 0xA0, 0x00, 0x40, 0x10, 0x80,
                                             0x1F, 0x3F, 0xF4, 0x07, 0x09, 0x3F, 0x89, 0x46, 0x46,
                                             0x46, 0x46, 0x46, 0x46, 0x00, 0x00, 0x00, 0x5B, 0x00};
inline const std::vector<Byte> kOsdDisplayOff{0xAA, 0x55, 0x18, 0x05, 0xA0, 0x00, 0x40, 0x10, 0x00,
                                              0x7F, 0x00, 0xF4, 0x07, 0x09, 0x00, 0x89, 0x7F, 0x7F,
                                              0x7F, 0x7F, 0x7F, 0x7F, 0x00, 0x00, 0x00, 0x13, 0x00};
inline const std::vector<Byte> kOsdKeepOn{0xAA, 0x55, 0x05, 0xD0, 0x0A, 0x00, 0xDF, 0x00};
inline const std::vector<Byte> kOsdKeepOff{0xAA, 0x55, 0x05, 0xD0, 0x00, 0x00, 0xD5, 0x00};

// The 256-byte serial-number request for one list index.
std::vector<Byte> SerialNext(unsigned index);
// The COM-port power frame: power mask, 12 V mask.
std::vector<Byte> ComPower(Byte power, Byte volt12);

}  // namespace quillon::sim::test
