#include "workflows/Console.h"

#include <cstdio>

namespace quillon {

std::string FormatReceiveDump(std::span<const Byte> bytes) {
    char head[32];
    std::snprintf(head, sizeof(head), "\r\nRxChar(%d):", static_cast<int>(bytes.size()));
    std::string out(head);
    out.reserve(out.size() + bytes.size() * 3);
    for (Byte b : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), " %02X", b);
        out += hex;
    }
    return out;
}

void TrimConsoleLog(std::string& log, std::size_t keep) {
    if (log.size() <= 2 * keep) return;
    // The last entry start at or before the point that leaves `keep` characters.
    const std::size_t cut = log.rfind("\r\n", log.size() - keep);
    if (cut == std::string::npos || cut == 0) return;
    log.erase(0, cut);
}

}  // namespace quillon
