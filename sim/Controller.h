// The controller's side of the conversation, without the line: what it
// answers to each request, what it streams, and the settings it keeps.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "protocol/Frame.h"
#include "sim/Config.h"
#include "sim/RequestParser.h"
#include "sim/SensorModel.h"

namespace quillon::sim {

struct ComChoice {
    Byte power = 0;
    Byte volt12 = 0;
    bool operator==(const ComChoice&) const = default;
};

struct ControllerState {
    bool linkOpen = false;
    bool streaming = false;
    ComChoice com;                        // as applied
    std::optional<ComChoice> pendingCom;  // sent, not yet confirmed
    bool osdOn = false;                   // as kept
    std::optional<bool> osdShown;         // last display frame: on or off
};

class Controller {
public:
    explicit Controller(const Config& config);

    // The answer to one byte-exact request, if it has one.
    std::optional<std::vector<Byte>> Handle(RequestKind kind, std::span<const Byte> request);

    // The next status frame of the stream. Each sweep sends every value once, all
    // four statistics of a quantity from the same sample.
    std::vector<Byte> NextStatusFrame(std::chrono::seconds uptime);

    const ControllerState& State() const { return m_state; }

private:
    void BuildSweep(std::chrono::seconds uptime);

    const Config m_config;
    ControllerState m_state;
    SensorModel m_model;
    std::deque<std::vector<Byte>> m_sweep;
    unsigned m_sweepCount = 0;
};

}  // namespace quillon::sim
