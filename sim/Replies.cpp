#include "sim/Replies.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace quillon::sim {

namespace {

constexpr std::size_t kTextLength = 16;
constexpr std::size_t kNumberLength = 11;

std::vector<Byte> Frame(Byte command, std::initializer_list<Byte> data) {
    return ControllerFrame(command, std::span<const Byte>(data.begin(), data.size()));
}

}  // namespace

std::vector<Byte> ControllerFrame(Byte command, std::span<const Byte> data) {
    const auto n = static_cast<Byte>(data.size() + 4);
    std::vector<Byte> frame(FrameLength(n), 0x00);
    frame[0] = kFrameHead0;
    frame[1] = kFrameHead1;
    frame[kFrameCountOffset] = n;
    frame[kFrameCommandOffset] = command;
    std::copy(data.begin(), data.end(), frame.begin() + 4);
    frame.back() = FrameChecksum(frame);
    return frame;
}

std::vector<Byte> ShortFrame(Byte command, Byte data) {
    return Frame(command, {data});
}

std::vector<Byte> TextFrame(Byte sub, std::string_view text) {
    std::vector<Byte> data(1 + kTextLength, ' ');
    data[0] = sub;
    std::copy_n(text.begin(), std::min(text.size(), kTextLength), data.begin() + 1);
    return ControllerFrame(kCommandValue, data);
}

std::vector<Byte> Value8Frame(Byte sub, Byte value) {
    return Frame(kCommandValue, {sub, value});
}

std::vector<Byte> Value16Frame(Byte sub, std::uint16_t value) {
    return Frame(kCommandValue, {sub, static_cast<Byte>(value >> 8), static_cast<Byte>(value)});
}

std::vector<Byte> Value32Frame(Byte sub, std::uint32_t value) {
    return Frame(kCommandValue, {sub, static_cast<Byte>(value >> 24), static_cast<Byte>(value >> 16),
                                 static_cast<Byte>(value >> 8), static_cast<Byte>(value)});
}

std::vector<Byte> TemperatureFrame(Byte sub, Byte celsius) {
    return Frame(kCommandValue, {sub, 0x00, celsius});
}

std::vector<Byte> ComReportFrame(Byte power, Byte volt12) {
    return Frame(kCommandValue, {kSubComReport, power, volt12});
}

std::vector<Byte> TemperatureWithComReportFrame(Byte sub, Byte celsius, Byte power, Byte volt12) {
    return Frame(kCommandValue,
                 {sub, 0x00, celsius, 0x00, 0x00, 0x00, 0x07, 0x00, kSubComReport, power, volt12});
}

std::vector<Byte> ComStateFrame(Byte power, Byte volt12) {
    return Frame(kCommandComState, {power, volt12});
}

std::vector<Byte> SerialNumberFrame(std::uint16_t index, Byte kind, std::string_view number) {
    std::array<Byte, 6 + kNumberLength> data{
        0x00, static_cast<Byte>(index >> 8), static_cast<Byte>(index), 0x00, 0x00, kind};
    std::copy_n(number.begin(), std::min(number.size(), kNumberLength), data.begin() + 6);
    return ControllerFrame(kCommandSerial, data);
}

std::vector<Byte> SerialEndFrame(std::uint16_t index, Byte kind) {
    std::array<Byte, 6 + kNumberLength> data{
        0x00, static_cast<Byte>(index >> 8), static_cast<Byte>(index), 0x00, 0x00, kind, 0xFF, 0xFF, 0xFF};
    return ControllerFrame(kCommandSerial, data);
}

}  // namespace quillon::sim
