// The controller's frame: AA 55, count N, command, data, checksum at N + 1.
// The checksum is the low 8 bits of the sum of offsets 2 to N - 1; the byte at
// offset N is not covered (every request carries 0 there).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace quillon {

using Byte = std::uint8_t;

constexpr Byte kFrameHead0 = 0xAA;
constexpr Byte kFrameHead1 = 0x55;
constexpr std::size_t kFrameCountOffset = 2;
constexpr std::size_t kFrameCommandOffset = 3;

// A frame's length on the wire for count byte n.
constexpr std::size_t FrameLength(Byte n) { return std::size_t{n} + 2; }

// Checksum over offsets 2 to N - 1 of the bytes given; offsets beyond the span read as 0.
constexpr Byte FrameChecksum(std::span<const Byte> frame) {
    if (frame.size() <= kFrameCountOffset) return 0;
    const std::size_t n = frame[kFrameCountOffset];
    unsigned sum = 0;
    for (std::size_t i = kFrameCountOffset; i < n && i < frame.size(); ++i) sum += frame[i];
    return static_cast<Byte>(sum & 0xFF);
}

// Whether the bytes start with the frame header.
constexpr bool IsFrameStart(std::span<const Byte> bytes) {
    return bytes.size() >= 2 && bytes[0] == kFrameHead0 && bytes[1] == kFrameHead1;
}

// Whether a complete frame (N + 2 bytes) carries the right checksum at N + 1.
constexpr bool FrameChecksumOk(std::span<const Byte> frame) {
    if (frame.size() <= kFrameCountOffset) return false;
    const std::size_t n = frame[kFrameCountOffset];
    const Byte stored = n + 1 < frame.size() ? frame[n + 1] : 0;
    return FrameChecksum(frame) == stored;
}

// A frame as written: AA 55, count, command, data (the last data byte sits at
// offset N), checksum, and the trailing 0x00 that follows every request.
inline std::vector<Byte> BuildFrame(Byte command, std::initializer_list<Byte> data, bool trailer = true) {
    std::vector<Byte> out;
    out.reserve(data.size() + 6);
    out.push_back(kFrameHead0);
    out.push_back(kFrameHead1);
    out.push_back(static_cast<Byte>(data.size() + 3));
    out.push_back(command);
    for (Byte b : data) out.push_back(b);
    out.push_back(FrameChecksum(out));
    if (trailer) out.push_back(0x00);
    return out;
}

}  // namespace quillon
