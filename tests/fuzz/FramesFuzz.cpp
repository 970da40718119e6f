// Fuzz target of the receive path's pure parts, in memory: the frame assembly
// (ForEachFrame) over reads of a line that any bytes arrive on, and the
// decoders' helpers on each frame it hands over. No pty, no dialog: many
// inputs for each one the dialog's target gets through.
//
// An input reads as the receive target's: pieces of line data, each a length
// byte (its low seven bits; the top bit set means no read follows it) and that
// many bytes. A read takes what the line holds, up to a receive buffer; each
// completion of a cut frame is the moment the next piece arrives.
//
// Beyond the sanitizers, every input checks that the assembly only hands over
// frames that lie in order in what was read, start with AA 55 and carry their
// checksum; that a read asks for its frames' missing bytes at most five times;
// and that each decoder's text keeps the shape its control shows.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "protocol/Assembly.h"
#include "protocol/Catalogue.h"
#include "protocol/Values.h"

using namespace quillon;
using Bytes = std::vector<Byte>;

// The harness's own branches are left out of the coverage: only the code under test steers the
// fuzzer, and it runs faster.
#define HARNESS __attribute__((no_sanitize("coverage")))

namespace {

constexpr Byte kQuietBit = 0x80;

[[noreturn]] void Finding(const char* pszWhat, const std::string& detail) {
    std::fprintf(stderr, "frames fuzz: %s\n%s\n", pszWhat, detail.c_str());
    std::abort();
}

HARNESS std::string Hex(std::span<const Byte> bytes) {
    std::string out;
    char cell[4];
    for (Byte b : bytes) {
        std::snprintf(cell, sizeof cell, "%02X ", b);
        out += cell;
    }
    return out;
}

// The rule of the wire, spelled out apart from the code under test: offsets 2 to N - 1 summed.
HARNESS bool ChecksumHolds(std::span<const Byte> frame, std::size_t length) {
    const std::size_t n = frame[2];
    unsigned sum = 0;
    for (std::size_t i = 2; i < n; ++i) sum += frame[i];
    const Byte stored = n + 1 < length ? frame[n + 1] : 0;
    return (sum & 0xFF) == stored;
}

HARNESS void CheckText(const std::string& text, std::size_t nLongest, const char* pszWhat, FrameView frame) {
    if (text.size() > nLongest || text.find('\0') != std::string::npos)
        Finding(pszWhat, text + "\nfrom " + Hex(frame.first(21)));
}

// "%dh:%dm" of seconds truncated toward zero: the text must give the seconds back to the minute.
HARNESS void CheckHours(std::int32_t nSeconds, FrameView frame) {
    const std::string text = FormatHours(nSeconds);
    char* pEnd = nullptr;
    const long long nHours = std::strtoll(text.c_str(), &pEnd, 10);
    const bool bHead = pEnd[0] == 'h' && pEnd[1] == ':';
    const long long nMinutes = bHead ? std::strtoll(pEnd + 2, &pEnd, 10) : 0;
    if (!bHead || std::strcmp(pEnd, "m") != 0)
        Finding("hours are not \"<h>h:<m>m\"", text + "\nfrom " + Hex(frame.first(9)));
    const long long nLeft = nSeconds - (nHours * 3600 + nMinutes * 60);
    if (nLeft <= -60 || nLeft >= 60 || nMinutes <= -60 || nMinutes >= 60)
        Finding("hours do not give the seconds back", text + " for " + std::to_string(nSeconds));
}

// A clamped sensor text: one of the bound texts, or a number within the bounds.
HARNESS void CheckSensor(const SensorRow& row, FrameView frame) {
    const std::string text = FormatSensor(row, frame);
    if (text == row.pszLow || text == row.pszHigh) return;
    char* pEnd = nullptr;
    const double value = std::strtod(text.c_str(), &pEnd);
    if (pEnd == text.c_str() || value < row.dLow || value > row.dHigh)
        Finding("a sensor text outside its bounds", text + "\nfrom " + Hex(frame.first(9)));
}

HARNESS void CheckComReport(Byte byPower, Byte by12V) {
    const std::string report = FormatComPowerReport(byPower, by12V);
    std::size_t nEntries = 0;
    for (std::size_t at = report.find("\r\n COM"); at != std::string::npos;
         at = report.find("\r\n COM", at + 1))
        ++nEntries;
    if (nEntries != 8) Finding("a COM-port report without its eight entries", report);
}

// The decoders' helpers that the frame's command calls for; each text keeps the shape its
// control shows, and none reads past the frame's buffer.
void Decode(const FrameBuffer& frame, std::size_t length) {
    const FrameView view(frame);
    if (IsShortFrame(view)) {
        FindShortFrameAction(view);
        return;
    }
    switch (frame[kFrameCommandOffset]) {
        case kCommandSerialNumber:
            CheckText(SerialNumberText(view), 11, "a serial number longer than its 11 bytes", view);
            IsSerialListEnd(view);
            if (SerialAnswerCaption(view.first(length)) && length <= 20)
                Finding("a caption for a serial-number answer cut short", Hex(view.first(length)));
            break;
        case kCommandValue:
            if (CarriesComPowerReport(view)) CheckComReport(frame[13], frame[14]);
            if (const SubCommandRow* pRow = FindSubCommand(frame[kSubCommandOffset])) {
                if (const SensorRow* pSensor = FindSensor(pRow->kind)) CheckSensor(*pSensor, view);
            }
            // Which of these the sub-command means is the dialog's business: any frame must do.
            CheckText(FormatVersionText(view), 16, "a version text longer than its 16 bytes", view);
            CheckHours(ReadSigned32(view), view);
            break;
        case kCommandComPowerReport:
            CheckComReport(frame[4], frame[5]);
            break;
        default:
            break;
    }
}

// Where the frame lies in the read, at or after `from`: at an AA 55 there, with the read's bytes up
// to its end (N + 2 bytes, or fewer where the read ends) and zeros behind them in its buffer.
HARNESS std::size_t FindInRead(const Bytes& read, std::size_t from, const FrameBuffer& frame) {
    for (std::size_t start = from; start + 1 < read.size(); ++start) {
        if (read[start] != 0xAA || read[start + 1] != 0x55) continue;
        const std::size_t length =
            start + 2 < read.size() ? std::min(std::size_t{read[start + 2]} + 2, read.size() - start) : 2;
        // Compared whole, not byte by byte in instrumented loops: the zeros behind a frame fill
        // most of its buffer.
        static const FrameBuffer kZeros{};
        if (std::memcmp(frame.data(), read.data() + start, length) == 0 &&
            std::memcmp(frame.data() + length, kZeros.data(), frame.size() - length) == 0)
            return start;
    }
    Finding("a frame that does not lie in the read after the one before",
            Hex(read) + "\nframe " + Hex(frame));
}

// The line between the controller and the dialog: what arrived and has not been read yet. Its
// buffers live from one input to the next, as the dialog's do.
class Line {
public:
    HARNESS void Run(const std::uint8_t* data, std::size_t size) {
        m_data = data;
        m_size = size;
        m_next = 0;
        m_line.clear();
        m_nLineRead = 0;
        while (m_next < m_size) {
            if (Arrive()) ReadAll();
        }
        ReadAll();
    }

private:
    // The next piece reaches the line; true when a read is due after it.
    HARNESS bool Arrive() {
        const std::size_t length = std::min<std::size_t>(m_data[m_next] & ~kQuietBit, m_size - m_next - 1);
        const bool bNotify = (m_data[m_next] & kQuietBit) == 0;
        m_line.insert(m_line.end(), m_data + m_next + 1, m_data + m_next + 1 + length);
        m_next += 1 + length;
        return bNotify;
    }

    // Up to `limit` bytes of the line go to the end of `out`.
    HARNESS void Take(Bytes& out, std::size_t limit) {
        const std::size_t n = std::min(limit, m_line.size() - m_nLineRead);
        out.insert(out.end(), m_line.begin() + static_cast<std::ptrdiff_t>(m_nLineRead),
                   m_line.begin() + static_cast<std::ptrdiff_t>(m_nLineRead + n));
        m_nLineRead += n;
    }

    HARNESS void ReadAll() {
        while (m_nLineRead < m_line.size()) {
            m_read.clear();
            Take(m_read, kReceiveBufferSize);
            Assemble(m_read);
        }
    }

    HARNESS void Assemble(Bytes& read) {
        int nAskedMore = 0;
        std::size_t nCursor = 0;
        const auto readMore = [&](std::size_t missing) HARNESS {
            ++nAskedMore;
            if (missing == 0) Finding("asked for no missing bytes", Hex(read));
            if (m_next < m_size) Arrive();
            Take(read, missing);
        };
        const auto onFrame = [&](const FrameBuffer& frame) HARNESS {
            const std::size_t start = FindInRead(read, nCursor, frame);
            const std::size_t length = std::min(std::size_t{frame[2]} + 2, read.size() - start);
            if (!ChecksumHolds(frame, length)) Finding("a frame whose checksum fails", Hex(read));
            nCursor = start + length;
            Decode(frame, length);
        };
        ForEachFrame(read, readMore, onFrame, [] {});
        if (nAskedMore > 5) Finding("a read asked more than five times for missing bytes", Hex(read));
    }

    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_next = 0;
    Bytes m_line;
    std::size_t m_nLineRead = 0;
    Bytes m_read;
};

Line g_line;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    g_line.Run(data, size);
    return 0;
}
