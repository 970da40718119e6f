// Receive assembly: where frames start in what was read, and how many bytes a
// frame still lacks.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "protocol/Frame.h"

namespace quillon {

constexpr std::size_t kReceiveBufferSize = 1024;
constexpr int kCompletionAttempts = 5;
constexpr unsigned kCompletionPauseMs = 100;

// A frame copied out alone into a zeroed buffer, so offsets past its end read 0.
using FrameBuffer = std::array<Byte, kReceiveBufferSize>;

// The next AA 55 at or after `pos`, or `bytes.size()` when there is none.
constexpr std::size_t FindFrameStart(std::span<const Byte> bytes, std::size_t pos) {
    for (std::size_t i = pos; i + 1 < bytes.size(); ++i) {
        if (bytes[i] == kFrameHead0 && bytes[i + 1] == kFrameHead1) return i;
    }
    return bytes.size();
}

// Bytes still missing from the frame at `start`: up to its count byte while
// that has not arrived, then up to its N + 2 bytes.
constexpr std::size_t MissingFrameBytes(std::span<const Byte> bytes, std::size_t start) {
    const std::size_t have = bytes.size() - start;
    if (have <= kFrameCountOffset) return kFrameCountOffset + 1 - have;
    const std::size_t need = FrameLength(bytes[start + kFrameCountOffset]);
    return need > have ? need - have : 0;
}

// The bytes of the frame at `start` that arrived, at most its N + 2.
constexpr std::size_t TakenFrameLength(std::span<const Byte> bytes, std::size_t start) {
    const std::size_t have = bytes.size() - start;
    if (have <= kFrameCountOffset) return have;
    return std::min(have, FrameLength(bytes[start + kFrameCountOffset]));
}

inline FrameBuffer CopyFrame(std::span<const Byte> bytes) {
    FrameBuffer frame{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), frame.size()), frame.begin());
    return frame;
}

// Walks the frames of one read in order. A frame cut at the end of the read
// is completed by calls of `readMore(missing)`, each of which may append to
// `bytes`; the read as a whole gets five of them, so headers that claim more
// than ever comes cannot hold the window for long. A frame whose checksum
// holds goes to `onFrame` alone in a zeroed buffer and the walk goes on after
// it; any other calls `onBadFrame`, and the next frame is looked for from the
// byte after its start, so that a false or damaged header does not swallow
// the frames behind it. Bytes that start no frame are skipped.
template <typename ReadMore, typename OnFrame, typename OnBadFrame>
void ForEachFrame(std::vector<Byte>& bytes, ReadMore&& readMore, OnFrame&& onFrame, OnBadFrame&& onBadFrame) {
    int nAttemptsLeft = kCompletionAttempts;
    std::size_t pos = FindFrameStart(bytes, 0);
    while (pos < bytes.size()) {
        for (; nAttemptsLeft > 0 && MissingFrameBytes(bytes, pos) > 0; --nAttemptsLeft)
            readMore(MissingFrameBytes(bytes, pos));
        const std::size_t length = TakenFrameLength(bytes, pos);
        const FrameBuffer frame = CopyFrame(std::span<const Byte>(bytes).subspan(pos, length));
        if (FrameChecksumOk(frame)) {
            onFrame(frame);
            pos = FindFrameStart(bytes, pos + length);
        } else {
            onBadFrame();
            pos = FindFrameStart(bytes, pos + 1);
        }
    }
}

}  // namespace quillon
