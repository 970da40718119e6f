// Frames the controller sends. Each ends with 0 at offset N and the checksum:
// N is one past the last data byte the program reads.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "protocol/Frame.h"

namespace quillon::sim {

// Command 2 sub-commands that stand apart from the sensor groups.
inline constexpr Byte kSubOnOffTotal = 0x0D;
inline constexpr Byte kSubStandbySeconds = 0x0E;
inline constexpr Byte kSubOperationSeconds = 0x0F;
inline constexpr Byte kSubSystemSeconds = 0x10;
inline constexpr Byte kSubAbnormalCount = 0x11;
inline constexpr Byte kSubComReport = 0x12;
inline constexpr Byte kSubMbVersion = 0x89;
inline constexpr Byte kSubBiosVersion = 0x8A;
inline constexpr Byte kSubIoVersion = 0x8E;
inline constexpr Byte kSubBacklight = 0xA1;
inline constexpr Byte kSubBacklightSeconds = 0xA2;
inline constexpr Byte kSubDisplayStandbySeconds = 0xA3;
inline constexpr Byte kSubOsdState = 0xA4;
inline constexpr Byte kSubPlugInCount = 0xA5;
inline constexpr Byte kSubDisplayVersion = 0xA6;

inline constexpr Byte kCommandValue = 0x02;
inline constexpr Byte kCommandSerial = 0x09;
inline constexpr Byte kCommandComState = 0xA5;
inline constexpr Byte kSerialKindSystem = 0;
inline constexpr Byte kSerialKindEnd = 2;

// AA 55 N command data 00 checksum, with the data from offset 4 on.
std::vector<Byte> ControllerFrame(Byte command, std::span<const Byte> data);

// The 7-byte acknowledgement AA 55 05 command data 00 checksum.
std::vector<Byte> ShortFrame(Byte command, Byte data);

// Command 2 frames.
std::vector<Byte> TextFrame(Byte sub, std::string_view text);   // bytes 5-20, blank padded
std::vector<Byte> Value8Frame(Byte sub, Byte value);            // byte 5
std::vector<Byte> Value16Frame(Byte sub, std::uint16_t value);  // bytes 5-6
std::vector<Byte> Value32Frame(Byte sub, std::uint32_t value);  // bytes 5-8
std::vector<Byte> TemperatureFrame(Byte sub, Byte celsius);     // byte 6
std::vector<Byte> ComReportFrame(Byte power, Byte volt12);      // sub-command 0x12, bytes 5-6
// A temperature frame that also carries the COM-port report: 7 at byte 10,
// 0x12 at byte 12, the masks at bytes 13 and 14.
std::vector<Byte> TemperatureWithComReportFrame(Byte sub, Byte celsius, Byte power, Byte volt12);

// Command 0xA5: the ports as applied, masks at bytes 4 and 5.
std::vector<Byte> ComStateFrame(Byte power, Byte volt12);

// Command 9: the echoed index at bytes 5-6, kind at byte 9, number at bytes 10-20 (zero padded).
std::vector<Byte> SerialNumberFrame(std::uint16_t index, Byte kind, std::string_view number);
// Command 9 with FF FF FF at bytes 10-12: no number (start) or end of the list.
std::vector<Byte> SerialEndFrame(std::uint16_t index, Byte kind);

}  // namespace quillon::sim
