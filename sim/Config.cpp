#include "sim/Config.h"

#include <algorithm>
#include <utility>

namespace quillon::sim {

namespace {

bool Printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string CheckVersion(std::string_view name, std::string_view text) {
    if (text.size() > kVersionTextMax) return std::string(name) + " version is longer than 16 characters";
    if (!Printable(text)) return std::string(name) + " version holds a non-printable character";
    return {};
}

std::string CheckSerialNumber(std::string_view number) {
    if (number.empty()) return "empty serial number";
    if (number.size() > kSerialNumberMax)
        return "serial number '" + std::string(number) + "' is longer than 11 characters";
    if (!Printable(number)) return "serial number holds a non-printable character";
    return {};
}

}  // namespace

std::string Validate(const Config& config) {
    if (!(config.rateHz > 0 && config.rateHz <= kLineFramesPerSecond))
        return "rate must be above 0 and at most 1280 Hz, the line's limit";
    if (config.announcement.empty()) return "empty announcement";
    using Named = std::pair<std::string_view, std::string_view>;
    for (const auto& [name, text] :
         {Named{"MB", config.mbVersion}, Named{"BIOS", config.biosVersion}, Named{"I/O", config.ioVersion},
          Named{"display", config.displayVersion}}) {
        if (auto error = CheckVersion(name, text); !error.empty()) return error;
    }
    if (config.systemSerial) {
        if (auto error = CheckSerialNumber(*config.systemSerial); !error.empty()) return error;
    }
    for (const SerialEntry& entry : config.serials) {
        // Kind 0 names the system serial number, which the start request alone asks for.
        if (entry.kind == 0) return "serial kind 0 is the system serial number";
        if (auto error = CheckSerialNumber(entry.number); !error.empty()) return error;
    }
    const Faults& faults = config.faults;
    if (faults.garbageEvery != 0 && faults.garbageLength == 0) return "garbage needs at least one byte";
    if (faults.splitPause.count() < 0 || faults.ackDelay.count() < 0 || faults.hangupAfter.count() < 0 ||
        faults.stopReadingAfter.count() < 0)
        return "negative delay";
    return {};
}

}  // namespace quillon::sim
