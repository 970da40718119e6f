// The console log: CR LF entries, kept to the most recent ones.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "protocol/Frame.h"

namespace quillon {

// The log keeps at least this much of its end; it is trimmed when it has
// grown to twice that, so trimming costs little per entry.
constexpr std::size_t kConsoleKeep = 64 * 1024;

// "\r\nRxChar(n):" and " %02X" for each byte.
std::string FormatReceiveDump(std::span<const Byte> bytes);

// How much to drop from the front: nothing until the log exceeds twice `keep`, then whole
// entries, leaving the shortest tail of entries that is at least `keep` long.
std::size_t ConsoleTrimLength(const std::string& log, std::size_t keep = kConsoleKeep);

}  // namespace quillon
