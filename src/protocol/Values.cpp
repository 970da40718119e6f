#include "protocol/Values.h"

#include <cstdio>

namespace quillon {

namespace {

std::string Printf(const char* pszFormat, auto... args) {
    char buf[64];
    std::snprintf(buf, sizeof(buf), pszFormat, args...);
    return buf;
}

struct SerialCaption {
    Byte byKind;
    const char* pszCaption;
};

constexpr SerialCaption kSerialCaptions[] = {
    {2, "VFD Serial No: "},           {3, "MCR Serial No: "},        {4, "Finger Print Serial No: "},
    {5, "POSReady Serial No: "},      {6, "WinXP Serial No: "},      {7, "Zanu Serial No: "},
    {8, "HDD Serial No: "},           {9, "HDD2 Serial No: "},       {10, "SSD Serial No: "},
    {11, "SSD2 Serial No: "},         {12, "MB Serial No: "},        {13, "LCD Panel Serial No: "},
    {14, "RAM Serial No: "},          {15, "RAM2 Serial No: "},      {16, "Touch Panel Serial No: "},
    {17, "Power Serial No: "},        {18, "Power2 Serial No: "},    {19, "A/D Board Serial No: "},
    {20, "ID Board Serial No: "},     {21, "ID Board Serial No: "},  {22, "2nd Panel Serial No: "},
    {23, "MAC Serial No: "},          {24, "I-Button Serial No: "},  {25, "Zanu Trend Serial No: "},
    {26, "MMI Serial No: "},          {27, "CF Serial No: "},        {34, "Orvix-LCD Serial No: "},
    {35, "Orvix-BOX Serial No: "},    {36, "ACCESSORY Serial No: "}, {37, "SATA DOM Serial No: "},
    {38, "Key Board Serial No: "},    {39, "PC BOX Serial No: "},    {40, "2D Barcode Serial No: "},
    {41, "Scanner Serial No: "},      {42, "Scanner2 Serial No: "},  {43, "Printer Serial No: "},
    {45, "1.8M Cable Serial No: "},   {46, "3M Cable Serial No: "},  {47, "RFID Serial No: "},
    {48, "Veltro Panel Serial No: "},
};

void AppendChars(std::string& out, FrameView frame, std::size_t first, std::size_t last) {
    for (std::size_t i = first; i <= last; ++i) {
        if (frame[i]) out += static_cast<char>(frame[i]);
    }
}

}  // namespace

std::int32_t ReadSigned32(FrameView frame) {
    const std::uint32_t v = (std::uint32_t{frame[5]} << 24) | (std::uint32_t{frame[6]} << 16) |
                            (std::uint32_t{frame[7]} << 8) | frame[8];
    return static_cast<std::int32_t>(v);
}

std::string FormatVersionText(FrameView frame) {
    std::string out;
    for (std::size_t i = 5; i <= 20; ++i) {
        if (frame[i] == ' ') continue;
        if (frame[i]) out += static_cast<char>(frame[i]);
        if (frame[i + 1] == ' ') break;
    }
    return out;
}

std::string FormatHours(std::int32_t nSeconds) {
    return Printf("%dh:%dm", nSeconds / 60 / 60, (nSeconds / 60) % 60);
}

ComSupply ComPortSupply(Byte byPower, Byte by12V, int nPort) {
    const Byte bit = static_cast<Byte>(1u << (nPort - 1));
    if (!(byPower & bit)) return ComSupply::Ri;
    return (by12V & bit) ? ComSupply::TwelveVolts : ComSupply::FiveVolts;
}

std::string FormatComPowerReport(Byte byPower, Byte by12V) {
    // Indexed by ComSupply.
    constexpr const char* kFormats[] = {"\r\n COM%d:   RI", "\r\n COM%d:   5V", "\r\n COM%d:  12V"};
    std::string out;
    for (int k = 1; k <= 8; ++k) {
        out += Printf(kFormats[static_cast<int>(ComPortSupply(byPower, by12V, k))], k);
        out += "\r\n";
    }
    return out;
}

const SensorRow* FindSensor(ValueKind kind) {
    for (const auto& row : kSensors) {
        if (row.kind == kind) return &row;
    }
    return nullptr;
}

double SensorReading(const SensorRow& row, FrameView frame) {
    const unsigned raw = row.bEightBit ? frame[6] : (unsigned{frame[5]} << 8) | frame[6];
    if (row.dScale == 0) return raw;
    // The comparisons and the text use the single-precision quotient.
    return static_cast<float>(raw / row.dScale);
}

const char* SensorClampText(const SensorRow& row, FrameView frame) {
    const double value = SensorReading(row, frame);
    // A float bound for a scaled quantity, as the quotient is one.
    const double dLow = row.dScale == 0 ? row.dLow : static_cast<float>(row.dLow);
    const double dHigh = row.dScale == 0 ? row.dHigh : static_cast<float>(row.dHigh);
    if (value <= dLow) return row.pszLow;
    if (value >= dHigh) return row.pszHigh;
    return nullptr;
}

std::string FormatSensor(const SensorRow& row, FrameView frame) {
    if (const char* pszClamp = SensorClampText(row, frame)) return pszClamp;
    const double value = SensorReading(row, frame);
    return row.dScale == 0 ? Printf(row.pszFormat, static_cast<int>(value)) : Printf(row.pszFormat, value);
}

const char* SerialNumberCaption(Byte byKind) {
    for (const auto& entry : kSerialCaptions) {
        if (entry.byKind == byKind) return entry.pszCaption;
    }
    return nullptr;
}

const char* SerialAnswerCaption(std::span<const Byte> read) {
    constexpr std::size_t kLastNumberOffset = 20;
    constexpr std::size_t kKindOffset = 9;
    if (read.size() <= kLastNumberOffset || !IsFrameStart(read) ||
        read[kFrameCommandOffset] != kCommandSerialNumber)
        return nullptr;
    return SerialNumberCaption(read[kKindOffset]);
}

std::string SerialNumberText(FrameView frame) {
    std::string out;
    AppendChars(out, frame, 10, 20);
    return out;
}

}  // namespace quillon
