#include "sim/Controller.h"

#include <array>

#include "sim/Replies.h"

namespace quillon::sim {

namespace {

struct SensorGroup {
    Byte first;  // current; maximum, minimum and average follow
    Quantity quantity;
    bool temperature;  // one byte at offset 6 instead of 16 bits at 5-6
};

constexpr std::array<SensorGroup, 3> kPowerGroups{{
    {0x01, Quantity::DcPower, false},
    {0x05, Quantity::DcVoltage, false},
    {0x09, Quantity::DcCurrent, false},
}};

constexpr std::array<SensorGroup, 6> kBoardGroups{{
    {0x51, Quantity::Rail12V, false},
    {0x59, Quantity::Battery, false},
    {0x5D, Quantity::CpuCore, false},
    {0x71, Quantity::CpuFan, false},
    {0x7D, Quantity::CpuTemperature, true},
    {0x81, Quantity::SystemTemperature, true},
}};

// Lifetime values: seconds counters that run while the terminal is on, and counts.
constexpr std::uint32_t kOnOffTotal = 1287;
constexpr std::uint32_t kStandbySeconds = 412'380;
constexpr std::uint32_t kOperationSeconds = 3'602'117;
constexpr std::uint32_t kSystemSeconds = 4'118'405;
constexpr Byte kAbnormalCount = 3;
constexpr std::uint32_t kBacklightSeconds = 3'590'020;
constexpr std::uint32_t kDisplayStandbySeconds = 250'312;
constexpr Byte kPlugInCount = 12;

// The COM-port report rides on the CPU temperature frame of every fourth sweep.
constexpr unsigned kComBlockEvery = 4;

// "all" asks for item 0x02, which is the maximum DC input power.
constexpr Byte kAllItem = 0x02;

// Request data offsets.
constexpr std::size_t kComPowerAt = 4;
constexpr std::size_t kComVolt12At = 5;
constexpr std::size_t kSerialIndexHighAt = 5;
constexpr std::size_t kSerialIndexLowAt = 6;

// Acknowledgements: the program keys them on their checksum byte.
constexpr Byte kOsdDisplayAck = 0x01;  // AA 55 05 05 01 00 0B
constexpr Byte kOsdKeepOnData = 0x0A;  // AA 55 05 D0 0A 00 DF, as the request
constexpr Byte kComPromptData = 0xAA;  // AA 55 05 A0 AA 00 4F
constexpr Byte kCommandLink = 0x01;
constexpr Byte kCommandOsd = 0x05;
constexpr Byte kCommandAllStates = 0x80;
constexpr Byte kCommandComPrompt = 0xA0;
constexpr Byte kCommandOsdKeep = 0xD0;

}  // namespace

Controller::Controller(const Config& config) : m_config(config), m_model(config.seed) {
    m_state.com = {config.comPower, config.com12V};
    m_state.osdOn = config.osdOn;
}

std::optional<std::vector<Byte>> Controller::Handle(RequestKind kind, std::span<const Byte> request) {
    switch (kind) {
        case RequestKind::LinkOpen:
            m_state.linkOpen = true;
            return ShortFrame(kCommandLink, 0x01);
        case RequestKind::LinkClose:
            m_state.linkOpen = false;
            m_state.streaming = false;
            return ShortFrame(kCommandLink, 0x00);
        case RequestKind::IoVersion:
            return TextFrame(kSubIoVersion, m_config.ioVersion);
        case RequestKind::AllItem:
            return Value16Frame(kAllItem, m_model.Get(Quantity::DcPower).maximum);
        case RequestKind::AllStatesStart:
            // Asked again while streaming (the program does so while versions are missing): carry on.
            if (!m_state.streaming) m_sweep.clear();
            m_state.streaming = true;
            return std::nullopt;
        case RequestKind::AllStatesStop:
            m_state.streaming = false;
            return ShortFrame(kCommandAllStates, 0x00);
        case RequestKind::SerialStart:
            // The program reads each serial answer blind, 10 ms after its request, so no
            // status frame may come in between; it asks for all states again afterwards.
            m_state.streaming = false;
            if (!m_config.systemSerial) return SerialEndFrame(0, kSerialKindSystem);
            return SerialNumberFrame(0, kSerialKindSystem, *m_config.systemSerial);
        case RequestKind::SerialNext: {
            m_state.streaming = false;
            const auto index =
                static_cast<std::uint16_t>(request[kSerialIndexHighAt] << 8 | request[kSerialIndexLowAt]);
            const std::size_t position = index - kSerialFirstIndex;
            if (position >= m_config.serials.size()) return SerialEndFrame(index, kSerialKindEnd);
            const SerialEntry& entry = m_config.serials[position];
            return SerialNumberFrame(index, entry.kind, entry.number);
        }
        case RequestKind::ComPower:
            m_state.pendingCom = ComChoice{request[kComPowerAt], request[kComVolt12At]};
            return ShortFrame(kCommandComPrompt, kComPromptData);
        case RequestKind::ComConfirm:
            if (m_state.pendingCom) m_state.com = *m_state.pendingCom;
            m_state.pendingCom.reset();
            return ComStateFrame(m_state.com.power, m_state.com.volt12);
        case RequestKind::OsdDisplayOn:
        case RequestKind::OsdDisplayOff:
            m_state.osdShown = kind == RequestKind::OsdDisplayOn;
            return ShortFrame(kCommandOsd, kOsdDisplayAck);
        case RequestKind::OsdKeepOn:
            m_state.osdOn = true;
            return ShortFrame(kCommandOsdKeep, kOsdKeepOnData);
        case RequestKind::OsdKeepOff:
            m_state.osdOn = false;
            return ShortFrame(kCommandOsdKeep, 0x00);
    }
    return std::nullopt;
}

std::vector<Byte> Controller::NextStatusFrame(std::chrono::seconds uptime) {
    if (m_sweep.empty()) BuildSweep(uptime);
    std::vector<Byte> frame = std::move(m_sweep.front());
    m_sweep.pop_front();
    return frame;
}

void Controller::BuildSweep(std::chrono::seconds uptime) {
    if (m_sweepCount > 0) m_model.Step();
    const bool comBlock = m_sweepCount % kComBlockEvery == 0;
    ++m_sweepCount;
    const auto running = static_cast<std::uint32_t>(uptime.count());

    const auto addGroups = [&](std::span<const SensorGroup> groups) {
        for (const SensorGroup& group : groups) {
            const Statistics s = m_model.Get(group.quantity);
            const std::array<std::uint16_t, 4> values{s.current, s.maximum, s.minimum, s.average};
            for (std::size_t i = 0; i < values.size(); ++i) {
                const auto sub = static_cast<Byte>(group.first + i);
                const auto value = values[i];
                if (!group.temperature) {
                    m_sweep.push_back(Value16Frame(sub, value));
                } else if (i == 0 && comBlock && group.quantity == Quantity::CpuTemperature) {
                    m_sweep.push_back(TemperatureWithComReportFrame(sub, static_cast<Byte>(value),
                                                                    m_state.com.power, m_state.com.volt12));
                } else {
                    m_sweep.push_back(TemperatureFrame(sub, static_cast<Byte>(value)));
                }
            }
        }
    };

    addGroups(kPowerGroups);
    m_sweep.push_back(Value32Frame(kSubOnOffTotal, kOnOffTotal));
    m_sweep.push_back(Value32Frame(kSubStandbySeconds, kStandbySeconds));
    m_sweep.push_back(Value32Frame(kSubOperationSeconds, kOperationSeconds + running));
    m_sweep.push_back(Value32Frame(kSubSystemSeconds, kSystemSeconds + running));
    m_sweep.push_back(Value8Frame(kSubAbnormalCount, kAbnormalCount));
    m_sweep.push_back(ComReportFrame(m_state.com.power, m_state.com.volt12));
    addGroups(kBoardGroups);
    m_sweep.push_back(TextFrame(kSubMbVersion, m_config.mbVersion));
    m_sweep.push_back(TextFrame(kSubBiosVersion, m_config.biosVersion));
    m_sweep.push_back(Value8Frame(kSubBacklight, m_config.backlight));
    m_sweep.push_back(Value32Frame(kSubBacklightSeconds, kBacklightSeconds + running));
    m_sweep.push_back(Value32Frame(kSubDisplayStandbySeconds, kDisplayStandbySeconds));
    m_sweep.push_back(Value8Frame(kSubOsdState, m_state.osdOn ? 1 : 0));
    m_sweep.push_back(Value8Frame(kSubPlugInCount, kPlugInCount));
    m_sweep.push_back(TextFrame(kSubDisplayVersion, m_config.displayVersion));
}

}  // namespace quillon::sim
