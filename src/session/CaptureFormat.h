// One line of a line capture: {"t":1.234567,"dir":"rx","hex":"AA5507..."}. t is the time in
// seconds since the port was opened, dir "rx" for what the controller sent, "tx" for what the
// program wrote, hex the chunk's bytes in upper case. quillon writes it, quillon-sim replays it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/Frame.h"

namespace quillon {

enum class CaptureDirection { Received, Sent };

struct CaptureChunk {
    double seconds = 0;
    CaptureDirection direction = CaptureDirection::Received;
    std::vector<Byte> bytes;
    bool operator==(const CaptureChunk&) const = default;
};

// The line with its newline, the time to the microsecond.
std::string CaptureLine(double seconds, CaptureDirection direction, std::span<const Byte> bytes);

// A line as CaptureLine writes it; keys in any order, blanks between the tokens, other keys with
// a string or number value ignored. Empty, with the reason in `error`, for anything else.
std::optional<CaptureChunk> ParseCaptureLine(std::string_view line, std::string& error);

// A whole capture, line by line; times may not go back. Empty, with "line N: reason" in `error`,
// at the first bad line.
std::optional<std::vector<CaptureChunk>> ParseCapture(std::string_view text, std::string& error);

}  // namespace quillon
