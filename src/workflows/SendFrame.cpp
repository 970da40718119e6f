#include "workflows/SendFrame.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace quillon {

namespace {

// As the C library's isspace in the "C" locale.
constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

}  // namespace

std::string_view TrimSendText(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

SendTextResult ParseSendText(std::string_view text, std::span<Byte, kSendFrameSize> frame, int& nTextLength) {
    const std::string_view trimmed = TrimSendText(text);
    if (trimmed.empty()) return SendTextResult::Blank;
    if (trimmed.size() > kSendTextMax) return SendTextResult::TooLong;
    nTextLength = static_cast<int>(trimmed.size());
    if (trimmed.size() < 2) return SendTextResult::Short;
    for (std::size_t i = 0; i < trimmed.size() / 2; ++i) {
        const char pair[] = {trimmed[2 * i], trimmed[2 * i + 1], '\0'};
        unsigned int value = 0;
        if (std::sscanf(pair, "%x", &value) == 1) frame[i] = static_cast<Byte>(value & 0xFF);
    }
    return SendTextResult::Parsed;
}

int RepeatCount(std::string_view text) {
    const std::string copy(text);
    const long value = std::strtol(copy.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace quillon
