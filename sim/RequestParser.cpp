#include "sim/RequestParser.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace quillon::sim {

namespace {

enum class Rule : std::uint8_t { Exact, Any, SerialIndex, Checksum };

struct Slot {
    Rule rule;
    Byte value;
};

struct Pattern {
    RequestKind kind;
    std::vector<Slot> slots;
};

std::vector<Slot> Exact(std::initializer_list<Byte> bytes) {
    std::vector<Slot> slots;
    for (Byte b : bytes) slots.push_back({Rule::Exact, b});
    return slots;
}

std::vector<Slot> Join(std::initializer_list<std::vector<Slot>> parts) {
    std::vector<Slot> slots;
    for (const auto& part : parts) slots.insert(slots.end(), part.begin(), part.end());
    return slots;
}

const std::vector<Pattern>& Catalogue() {
    static const std::vector<Pattern> table = [] {
        const Slot any{Rule::Any, 0};
        const Slot index{Rule::SerialIndex, 0};
        const Slot checksum{Rule::Checksum, 0};
        std::vector<Slot> serialNext =
            Join({Exact({0xAA, 0x55, 0x08, 0x09, 0x00, 0x00}), {index}, Exact({0x00, 0x00}), {checksum}});
        serialNext.resize(kSerialNextLength, Slot{Rule::Exact, 0x00});
        return std::vector<Pattern>{
            {RequestKind::LinkOpen, Exact({0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07, 0x00})},
            {RequestKind::LinkClose, Exact({0xAA, 0x55, 0x05, 0x01, 0x00, 0x00, 0x06, 0x00})},
            {RequestKind::IoVersion, Exact({0xAA, 0x55, 0x05, 0x02, 0x8E, 0x00, 0x95, 0x00})},
            {RequestKind::AllItem, Exact({0xAA, 0x55, 0x05, 0x02, 0x02, 0x00, 0x09, 0x00})},
            {RequestKind::AllStatesStart, Exact({0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x87, 0x00})},
            {RequestKind::AllStatesStop, Exact({0xAA, 0x55, 0x06, 0x80, 0x00, 0x00, 0x00, 0x86, 0x00})},
            {RequestKind::SerialStart,
             Exact({0xAA, 0x55, 0x08, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00})},
            {RequestKind::SerialNext, serialNext},
            {RequestKind::ComPower,
             Join({Exact({0xAA, 0x55, 0x06, 0xA5}), {any, any}, Exact({0x00}), {checksum}, Exact({0x00})})},
            {RequestKind::ComConfirm, Exact({0xAA, 0x55, 0x05, 0xA0, 0x55, 0x00, 0xFA, 0x00})},
            {RequestKind::OsdDisplayOn,
             Exact({0xAA, 0x55, 0x18, 0x05, 0xA0, 0x00, 0x40, 0x10, 0x80, 0x1F, 0x3F, 0xF4, 0x07, 0x09,
                    0x3F, 0x89, 0x46, 0x46, 0x46, 0x46, 0x46, 0x46, 0x00, 0x00, 0x00, 0x5B, 0x00})},
            {RequestKind::OsdDisplayOff,
             Exact({0xAA, 0x55, 0x18, 0x05, 0xA0, 0x00, 0x40, 0x10, 0x00, 0x7F, 0x00, 0xF4, 0x07, 0x09,
                    0x00, 0x89, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x00, 0x00, 0x00, 0x13, 0x00})},
            {RequestKind::OsdKeepOn, Exact({0xAA, 0x55, 0x05, 0xD0, 0x0A, 0x00, 0xDF, 0x00})},
            {RequestKind::OsdKeepOff, Exact({0xAA, 0x55, 0x05, 0xD0, 0x00, 0x00, 0xD5, 0x00})},
        };
    }();
    return table;
}

bool Fits(const Slot& slot, std::span<const Byte> before, Byte b) {
    switch (slot.rule) {
        case Rule::Exact:
            return b == slot.value;
        case Rule::Any:
            return true;
        case Rule::SerialIndex:
            return b >= kSerialFirstIndex && b <= kSerialLastIndex;
        case Rule::Checksum:
            return b == FrameChecksum(before);
    }
    return false;
}

// How many leading bytes agree with the pattern.
std::size_t Agreement(const Pattern& pattern, std::span<const Byte> bytes) {
    const std::size_t n = std::min(bytes.size(), pattern.slots.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (!Fits(pattern.slots[i], bytes.first(i), bytes[i])) return i;
    }
    return n;
}

// Where the next frame could start, at or after `from`.
std::size_t NextHead(std::span<const Byte> bytes, std::size_t from) {
    const auto it = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), kFrameHead0);
    return static_cast<std::size_t>(it - bytes.begin());
}

}  // namespace

std::string_view RequestName(RequestKind kind) {
    switch (kind) {
        case RequestKind::LinkOpen:
            return "link open";
        case RequestKind::LinkClose:
            return "link close";
        case RequestKind::IoVersion:
            return "I/O version";
        case RequestKind::AllItem:
            return "all";
        case RequestKind::AllStatesStart:
            return "all states";
        case RequestKind::AllStatesStop:
            return "all states stop";
        case RequestKind::SerialStart:
            return "serial number start";
        case RequestKind::SerialNext:
            return "serial number";
        case RequestKind::ComPower:
            return "COM-port power";
        case RequestKind::ComConfirm:
            return "COM-port confirmation";
        case RequestKind::OsdDisplayOn:
            return "OSD display on";
        case RequestKind::OsdDisplayOff:
            return "OSD display off";
        case RequestKind::OsdKeepOn:
            return "OSD keep on";
        case RequestKind::OsdKeepOff:
            return "OSD keep off";
    }
    return "?";
}

std::string Hex(std::span<const Byte> bytes) {
    std::string text;
    char piece[4];
    for (Byte b : bytes) {
        std::snprintf(piece, sizeof piece, text.empty() ? "%02X" : " %02X", b);
        text += piece;
    }
    return text;
}

std::vector<ParsedRequest> RequestParser::Feed(std::span<const Byte> bytes) {
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    return Drain(false);
}

std::vector<ParsedRequest> RequestParser::Flush() {
    return Drain(true);
}

std::vector<ParsedRequest> RequestParser::Drain(bool final) {
    std::vector<ParsedRequest> out;
    std::size_t pos = 0;
    while (pos < m_buffer.size()) {
        const std::span<const Byte> rest(m_buffer.data() + pos, m_buffer.size() - pos);
        std::size_t length = 0;
        std::optional<RequestKind> kind;
        if (rest[0] == kFrameHead0) {
            std::size_t longest = 1;
            bool couldGrow = false;
            for (const Pattern& pattern : Catalogue()) {
                const std::size_t agreed = Agreement(pattern, rest);
                if (agreed == pattern.slots.size()) {
                    kind = pattern.kind;
                    length = agreed;
                    break;
                }
                couldGrow = couldGrow || agreed == rest.size();
                longest = std::max(longest, agreed);
            }
            if (!kind) {
                if (couldGrow && !final) break;
                // The byte that broke the match may well start the next request.
                length = NextHead(rest, longest);
            }
        } else {
            length = NextHead(rest, 0);
        }
        out.push_back(
            {kind, std::vector<Byte>(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(length))});
        pos += length;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(pos));
    return out;
}

}  // namespace quillon::sim
