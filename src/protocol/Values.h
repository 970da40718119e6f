// How the controller's values become the texts the pages show.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "protocol/Catalogue.h"

namespace quillon {

// 32-bit value at bytes 5 to 8, most significant first, signed.
std::int32_t ReadSigned32(FrameView frame);

// Bytes 5 to 20: leading blanks dropped, ends at the first blank after a
// character; zero bytes add nothing.
std::string FormatVersionText(FrameView frame);

// Seconds as "%dh:%dm", truncating toward zero.
std::string FormatHours(std::int32_t nSeconds);

enum class ComSupply { Ri, FiveVolts, TwelveVolts };

// COM port `nPort` (1 to 8): the RI line when unpowered, else 12 V or 5 V.
ComSupply ComPortSupply(Byte byPower, Byte by12V, int nPort);

// Eight entries, COM1 first: 5 V, 12 V or the RI line, each followed by CR LF.
std::string FormatComPowerReport(Byte byPower, Byte by12V);

// One displayed quantity of the thermal or power pages.
struct SensorRow {
    ValueKind kind;
    int nFirstField;  // control of the current value; maximum, minimum, average follow
    bool bEightBit;   // byte 6 alone, else bytes 5-6
    double dScale;    // 0: shown as an integer
    double dLow;
    const char* pszLow;
    double dHigh;
    const char* pszHigh;
    const char* pszFormat;
};

inline constexpr SensorRow kSensors[] = {
    {ValueKind::CpuTemperature, 1253, true, 0, 0, "0", 100, "100", "%d"},
    {ValueKind::CpuFan, 1257, false, 0, 0, "0", 4000, "4000", "%d"},
    {ValueKind::SystemTemperature, 1261, true, 0, 0, "0", 85, "85", "%d"},
    {ValueKind::CpuCore, 1269, false, 1000, 0.5, "0.5V", 2, "2V", "%.1fV"},
    {ValueKind::Battery, 1273, false, 1000, 1.5, "1.5V", 3.5, "3.5V", "%.1fV"},
    {ValueKind::Rail12V, 1277, false, 1000, 9, "9V", 15, "15V", "%.1fV"},
    {ValueKind::DcVoltage, 1281, false, 1000, 9, "9V", 15, "15V", "%.1fV"},
    {ValueKind::DcCurrent, 1285, false, 1000, 0, "0A", 16, "16A", "%.1fA"},
    {ValueKind::DcPower, 1289, false, 100, 0, "0W", 155, "155W", "%.1fW"},
};

const SensorRow* FindSensor(ValueKind kind);

// The number a sensor response carries: an integer, or the single-precision quotient.
double SensorReading(const SensorRow& row, FrameView frame);

// The text the page shows instead of the number at or past a bound, or null.
const char* SensorClampText(const SensorRow& row, FrameView frame);

// The clamped text of a sensor response.
std::string FormatSensor(const SensorRow& row, FrameView frame);

// The caption of a serial-number kind, or null for a kind without one.
const char* SerialNumberCaption(Byte byKind);

// The caption of a serial-number answer that a read delivered whole (at least
// through offset 20, the end of its number), or null for a piece of one,
// another frame, or a kind without caption.
const char* SerialAnswerCaption(std::span<const Byte> read);

// Bytes 10 to 20 of a serial-number response as characters (zero bytes add nothing).
std::string SerialNumberText(FrameView frame);

// Whether bytes 10 to 12 mark the end of the list (FF FF FF).
inline bool IsSerialListEnd(FrameView frame) {
    return frame[10] == 0xFF && frame[11] == 0xFF && frame[12] == 0xFF;
}

}  // namespace quillon
