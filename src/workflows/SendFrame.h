// The custom frame: hexadecimal text typed by hand, parsed into a 256-byte
// buffer and written as typed (no checksum, no trailer), a number of times.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "protocol/Frame.h"

namespace quillon {

constexpr std::size_t kSendFrameSize = 256;
// Two characters per byte.
constexpr std::size_t kSendTextMax = 2 * kSendFrameSize;

enum class SendTextResult {
    Blank,    // nothing but white space: frame and length as they were
    Short,    // one character: the length is 1, the frame as it was
    Parsed,   // the length is the text's, each pair converted
    TooLong,  // more characters than the buffer holds pairs: frame and length as they were
};

// The text without white space at either end.
std::string_view TrimSendText(std::string_view text);

// Each two-character pair of the trimmed text is read on its own as sscanf's
// "%x" reads it, and its low byte stored; a pair that gives no number leaves
// its byte as it was, and a last odd character is left over. nTextLength
// becomes the trimmed text's length unless the text is blank or too long.
SendTextResult ParseSendText(std::string_view text, std::span<Byte, kSendFrameSize> frame, int& nTextLength);

// The bytes a frame of that text length sends.
constexpr std::size_t SendLength(int nTextLength) {
    return nTextLength > 0 ? static_cast<std::size_t>(nTextLength) / 2 : 0;
}

// The repeat count as atoi reads it (leading blanks, a sign, digits, anything
// after them ignored; no digits give 0); beyond the range of int it saturates.
int RepeatCount(std::string_view text);

}  // namespace quillon
