#include "workflows/Console.h"

#include <cstdio>

namespace quillon {

std::string FormatReceiveDump(std::span<const Byte> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char head[32];
    std::snprintf(head, sizeof(head), "\r\nRxChar(%d):", static_cast<int>(bytes.size()));
    std::string out(head);
    // " %02X" for each byte, without a formatted print per byte: this runs for every read.
    std::size_t at = out.size();
    out.resize(at + bytes.size() * 3);
    for (Byte b : bytes) {
        out[at++] = ' ';
        out[at++] = kDigits[b >> 4];
        out[at++] = kDigits[b & 0x0F];
    }
    return out;
}

std::size_t ConsoleTrimLength(const std::string& log, std::size_t keep) {
    if (log.size() <= 2 * keep) return 0;
    // The last entry start at or before the point that leaves `keep` characters.
    const std::size_t cut = log.rfind("\r\n", log.size() - keep);
    return cut == std::string::npos ? 0 : cut;
}

}  // namespace quillon
