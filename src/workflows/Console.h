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

// Drops whole entries from the front once the log exceeds twice `keep`,
// leaving the shortest tail of entries that is at least `keep` long.
void TrimConsoleLog(std::string& log, std::size_t keep = kConsoleKeep);

}  // namespace quillon
