// Fuzz target of the custom frame's text: any text parses into the 256-byte
// buffer and nothing beyond it, and the length it leaves never sends more
// than the buffer holds. The buffer sits alone on the heap, so a write or a
// read past its end is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>

#include "workflows/SendFrame.h"

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto buffer = std::make_unique<Byte[]>(kSendFrameSize);
    int nLength = -1;
    const SendTextResult result =
        ParseSendText(text, std::span<Byte, kSendFrameSize>(buffer.get(), kSendFrameSize), nLength);

    const std::size_t trimmed = TrimSendText(text).size();
    const bool bLengthKept = result == SendTextResult::Blank || result == SendTextResult::TooLong;
    if (bLengthKept != (nLength == -1)) std::abort();
    if (!bLengthKept && static_cast<std::size_t>(nLength) != trimmed) std::abort();
    if ((result == SendTextResult::TooLong) != (trimmed > kSendTextMax)) std::abort();
    if (SendLength(nLength) > kSendFrameSize) std::abort();

    // The same bytes read as a repeat count: any text, no overflow.
    RepeatCount(text);
    return 0;
}
