// The requests the controller understands, and the cutting of the incoming
// byte stream into them. Only byte-exact requests count, trailing 0x00
// included; everything else comes out as a rejected chunk.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/Frame.h"

namespace quillon::sim {

enum class RequestKind {
    LinkOpen,        // AA 55 05 01 01 00 07 00
    LinkClose,       // AA 55 05 01 00 00 06 00
    IoVersion,       // AA 55 05 02 8E 00 95 00
    AllItem,         // AA 55 05 02 02 00 09 00
    AllStatesStart,  // AA 55 06 80 01 00 00 87 00
    AllStatesStop,   // AA 55 06 80 00 00 00 86 00
    SerialStart,     // AA 55 08 09 00 00 00 00 00 11 00
    SerialNext,      // AA 55 08 09 00 00 i 00 00 C, 246 zeros; i from 10 to 47
    ComPower,        // AA 55 06 A5 P V 00 C 00
    ComConfirm,      // AA 55 05 A0 55 00 FA 00
    OsdDisplayOn,    // 27 bytes, checksum 5B
    OsdDisplayOff,   // 27 bytes, checksum 13
    OsdKeepOn,       // AA 55 05 D0 0A 00 DF 00
    OsdKeepOff,      // AA 55 05 D0 00 00 D5 00
};

inline constexpr unsigned kSerialFirstIndex = 10;
inline constexpr unsigned kSerialLastIndex = 47;
inline constexpr std::size_t kSerialNextLength = 256;

std::string_view RequestName(RequestKind kind);

// "AA 55 05".
std::string Hex(std::span<const Byte> bytes);

struct ParsedRequest {
    std::optional<RequestKind> kind;  // empty: the bytes are no request
    std::vector<Byte> bytes;
};

class RequestParser {
public:
    // Everything that the new bytes complete, in arrival order. A prefix that
    // could still grow into a request is held back.
    std::vector<ParsedRequest> Feed(std::span<const Byte> bytes);

    // Gives up on the held prefix (the rest of it is not coming) and rejects it.
    std::vector<ParsedRequest> Flush();

    std::size_t Pending() const { return m_buffer.size(); }

private:
    std::vector<ParsedRequest> Drain(bool final);

    std::vector<Byte> m_buffer;
};

}  // namespace quillon::sim
