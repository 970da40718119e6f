// The frames the program accepts from the controller, as tables: short
// acknowledgement frames keyed by their checksum byte, and the value
// responses of command 2 keyed by sub-command.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "protocol/Frame.h"

namespace quillon {

constexpr Byte kShortFrameCount = 5;
constexpr std::size_t kShortFrameKeyOffset = 6;
constexpr Byte kCommandValue = 0x02;
constexpr Byte kCommandSerialNumber = 0x09;
constexpr Byte kCommandComPowerReport = 0xA5;
constexpr std::size_t kSubCommandOffset = 4;

enum class ShortFrameAction {
    RequestIoVersion,  // the link is open
    None,
    ExitConfirm,       // all-states stop acknowledged
    OsdRequestAck,
    OsdApplyAck,
    ComConfirmPrompt,
};

struct ShortFrameRow {
    Byte byKey;      // the byte at offset 6
    int nCommand;    // the command byte it also needs, or -1 for any
    ShortFrameAction action;
};

inline constexpr ShortFrameRow kShortFrames[] = {
    {7, -1, ShortFrameAction::RequestIoVersion},
    {6, -1, ShortFrameAction::None},
    {134, -1, ShortFrameAction::None},
    {133, -1, ShortFrameAction::ExitConfirm},
    {11, -1, ShortFrameAction::OsdRequestAck},
    {213, -1, ShortFrameAction::OsdApplyAck},
    {223, -1, ShortFrameAction::OsdApplyAck},
    {79, 0xA0, ShortFrameAction::ComConfirmPrompt},
};

// What a command-2 response carries.
enum class ValueKind {
    DcPower,
    DcVoltage,
    DcCurrent,
    OnOffTotal,
    StandbyHours,
    OperationHours,
    SystemHours,
    AbnormalCount,
    ComPowerReport,
    Rail12V,
    Battery,
    CpuCore,
    CpuFan,
    CpuTemperature,
    SystemTemperature,
    MbVersion,
    BiosVersion,
    IoVersion,
    BacklightBrightness,
    BacklightHours,
    DisplayStandbyHours,
    OsdState,
    PlugInCount,
    DisplayVersion,
};

// Groups of four are the current, maximum, minimum and average of one quantity.
struct SubCommandRow {
    Byte byFirst;
    Byte byLast;
    ValueKind kind;
};

inline constexpr SubCommandRow kSubCommands[] = {
    {0x01, 0x04, ValueKind::DcPower},
    {0x05, 0x08, ValueKind::DcVoltage},
    {0x09, 0x0C, ValueKind::DcCurrent},
    {0x0D, 0x0D, ValueKind::OnOffTotal},
    {0x0E, 0x0E, ValueKind::StandbyHours},
    {0x0F, 0x0F, ValueKind::OperationHours},
    {0x10, 0x10, ValueKind::SystemHours},
    {0x11, 0x11, ValueKind::AbnormalCount},
    {0x12, 0x12, ValueKind::ComPowerReport},
    {0x51, 0x54, ValueKind::Rail12V},
    {0x59, 0x5C, ValueKind::Battery},
    {0x5D, 0x60, ValueKind::CpuCore},
    {0x71, 0x74, ValueKind::CpuFan},
    {0x7D, 0x80, ValueKind::CpuTemperature},
    {0x81, 0x84, ValueKind::SystemTemperature},
    {0x89, 0x89, ValueKind::MbVersion},
    {0x8A, 0x8A, ValueKind::BiosVersion},
    {0x8E, 0x8E, ValueKind::IoVersion},
    {0xA1, 0xA1, ValueKind::BacklightBrightness},
    {0xA2, 0xA2, ValueKind::BacklightHours},
    {0xA3, 0xA3, ValueKind::DisplayStandbyHours},
    {0xA4, 0xA4, ValueKind::OsdState},
    {0xA5, 0xA5, ValueKind::PlugInCount},
    {0xA6, 0xA6, ValueKind::DisplayVersion},
};

// A frame in a zeroed buffer of at least 21 bytes (offsets past its end read 0).
using FrameView = std::span<const Byte>;

inline bool IsShortFrame(FrameView frame) { return frame[kFrameCountOffset] == kShortFrameCount; }

inline std::optional<ShortFrameAction> FindShortFrameAction(FrameView frame) {
    for (const auto& row : kShortFrames) {
        if (frame[kShortFrameKeyOffset] == row.byKey && (row.nCommand < 0 || frame[kFrameCommandOffset] == row.nCommand))
            return row.action;
    }
    return std::nullopt;
}

inline const SubCommandRow* FindSubCommand(Byte bySubCommand) {
    for (const auto& row : kSubCommands) {
        if (bySubCommand >= row.byFirst && bySubCommand <= row.byLast) return &row;
    }
    return nullptr;
}

// A value response that also carries the COM-port report at bytes 13 and 14.
inline bool CarriesComPowerReport(FrameView frame) { return frame[10] == 7 && frame[12] == 0x12; }

// Whether the first bytes of a read are the controller's announcement.
inline bool IsAnnouncement(FrameView bytes) { return bytes[0] == 'F' && bytes[1] == 'I' && bytes[2] == 'R'; }

}  // namespace quillon
