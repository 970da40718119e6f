// Every request the program writes, as the exact bytes that go on the line.
// Each carries one 0x00 after its checksum; the serial-number loop request is
// padded to 256 bytes.
#pragma once

#include <array>
#include <span>

#include "protocol/Frame.h"

namespace quillon {

struct Request {
    const char* name;
    std::span<const Byte> bytes;
};

inline constexpr Byte kLinkOpen[] = {0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07, 0x00};
inline constexpr Byte kLinkClose[] = {0xAA, 0x55, 0x05, 0x01, 0x00, 0x00, 0x06, 0x00};
inline constexpr Byte kAllStates[] = {0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x87, 0x00};
inline constexpr Byte kAllStatesStop[] = {0xAA, 0x55, 0x06, 0x80, 0x00, 0x00, 0x00, 0x86, 0x00};
inline constexpr Byte kAll[] = {0xAA, 0x55, 0x05, 0x02, 0x02, 0x00, 0x09, 0x00};
inline constexpr Byte kIoVersionRequest[] = {0xAA, 0x55, 0x05, 0x02, 0x8E, 0x00, 0x95, 0x00};
inline constexpr Byte kSerialNumberStart[] = {0xAA, 0x55, 0x08, 0x09, 0x00, 0x00,
                                              0x00, 0x00, 0x00, 0x11, 0x00};
inline constexpr Byte kComConfirm[] = {0xAA, 0x55, 0x05, 0xA0, 0x55, 0x00, 0xFA, 0x00};
inline constexpr Byte kOsdDisplayOn[] = {0xAA, 0x55, 0x18, 0x05, 0xA0, 0x00, 0x40, 0x10, 0x80,
                                         0x1F, 0x3F, 0xF4, 0x07, 0x09, 0x3F, 0x89, 0x46, 0x46,
                                         0x46, 0x46, 0x46, 0x46, 0x00, 0x00, 0x00, 0x5B, 0x00};
inline constexpr Byte kOsdDisplayOff[] = {0xAA, 0x55, 0x18, 0x05, 0xA0, 0x00, 0x40, 0x10, 0x00,
                                          0x7F, 0x00, 0xF4, 0x07, 0x09, 0x00, 0x89, 0x7F, 0x7F,
                                          0x7F, 0x7F, 0x7F, 0x7F, 0x00, 0x00, 0x00, 0x13, 0x00};
inline constexpr Byte kOsdKeepOn[] = {0xAA, 0x55, 0x05, 0xD0, 0x0A, 0x00, 0xDF, 0x00};
inline constexpr Byte kOsdKeepOff[] = {0xAA, 0x55, 0x05, 0xD0, 0x00, 0x00, 0xD5, 0x00};

// The constant requests, for the simulator and the tests.
inline constexpr Request kRequestCatalogue[] = {
    {"link open", kLinkOpen},
    {"link close", kLinkClose},
    {"all states", kAllStates},
    {"all states stop", kAllStatesStop},
    {"all", kAll},
    {"I/O version", kIoVersionRequest},
    {"serial number start", kSerialNumberStart},
    {"COM-port confirmation", kComConfirm},
    {"OSD display on", kOsdDisplayOn},
    {"OSD display off", kOsdDisplayOff},
    {"OSD keep on", kOsdKeepOn},
    {"OSD keep off", kOsdKeepOff},
};

// How long a request's write may take: far above what 256 bytes need at 115200 bit/s.
constexpr unsigned kRequestWriteTimeoutMs = 1000;

constexpr std::size_t kSerialNumberRequestLength = 256;
constexpr std::size_t kComPowerRequestLength = 9;

// AA 55 08 09 00 hi lo 00 00 checksum, then zeros up to 256 bytes.
constexpr std::array<Byte, kSerialNumberRequestLength> BuildSerialNumberRequest(int nIndex) {
    std::array<Byte, kSerialNumberRequestLength> out{};
    const Byte hi = static_cast<Byte>((nIndex >> 8) & 0xFF);
    const Byte lo = static_cast<Byte>(nIndex & 0xFF);
    const Byte head[] = {0xAA, 0x55, 0x08, 0x09, 0x00, hi, lo, 0x00, 0x00};
    for (std::size_t i = 0; i < std::size(head); ++i) out[i] = head[i];
    out[9] = FrameChecksum(std::span<const Byte>(out.data(), 10));
    return out;
}

// AA 55 06 A5 P V 00 checksum 00: the supply of the eight COM ports.
constexpr std::array<Byte, kComPowerRequestLength> BuildComPowerRequest(Byte byPower, Byte by12V) {
    std::array<Byte, kComPowerRequestLength> out{0xAA, 0x55, 0x06, 0xA5, byPower, by12V, 0x00, 0x00, 0x00};
    out[7] = FrameChecksum(std::span<const Byte>(out.data(), 8));
    return out;
}

}  // namespace quillon
