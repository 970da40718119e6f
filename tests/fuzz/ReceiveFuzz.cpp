// Fuzz target of the receive path's rules: any bytes from the line, cut into
// reads anywhere, go through frame assembly and every decoder's text rules.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "protocol/Assembly.h"
#include "protocol/Values.h"
#include "workflows/Console.h"

using namespace quillon;

namespace {

void DecodeTexts(const FrameBuffer& frame, std::string& log) {
    if (!FrameChecksumOk(frame)) {
        log += "\r\n CS ERROR";
        return;
    }
    if (IsShortFrame(frame)) {
        FindShortFrameAction(frame);
        return;
    }
    log += SerialNumberText(frame);
    if (const char* caption = SerialNumberCaption(frame[9])) log += caption;
    if (CarriesComPowerReport(frame)) log += FormatComPowerReport(frame[13], frame[14]);
    if (const SubCommandRow* row = FindSubCommand(frame[kSubCommandOffset])) {
        if (const SensorRow* sensor = FindSensor(row->kind)) log += FormatSensor(*sensor, frame);
        log += FormatVersionText(frame);
        log += FormatHours(ReadSigned32(frame));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte says how long the first read is; the rest arrives in later reads.
    const std::size_t first = std::min<std::size_t>(data[0], size - 1);
    std::span<const Byte> line(data + 1, size - 1);
    std::vector<Byte> bytes(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(first));
    std::size_t next = first;
    std::string log;
    ForEachFrame(
        bytes,
        [&](std::size_t missing) {
            const std::size_t take = std::min(missing, line.size() - next);
            bytes.insert(bytes.end(), line.begin() + static_cast<std::ptrdiff_t>(next),
                         line.begin() + static_cast<std::ptrdiff_t>(next + take));
            next += take;
        },
        [&](const FrameBuffer& frame) { DecodeTexts(frame, log); });
    log += FormatReceiveDump(bytes);
    TrimConsoleLog(log, 256);
    return 0;
}
