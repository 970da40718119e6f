// What a session has seen of the controller, as plain numbers: the decoders
// fill it beside the display texts, and the report and the sensor history read
// it. Nothing here is parsed back from a text the window shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "protocol/Catalogue.h"

namespace quillon {

enum class SensorGroup { Temperatures, FanSpeed, Voltages, CurrentAndPower };

// One sensor quantity: its key, its name for people, its unit as a symbol and
// as the word a metric name carries, and its plot group.
struct SensorQuantity {
    ValueKind kind;
    const char* pszId;
    const char* pszName;
    const char* pszUnit;
    const char* pszUnitWord;
    SensorGroup group;
};

// Every quantity of the thermal and power pages; SessionValues::aSensors follows this order.
inline constexpr SensorQuantity kSensorQuantities[] = {
    {ValueKind::CpuTemperature, "cpu_temperature", "CPU temperature", "°C", "celsius",
     SensorGroup::Temperatures},
    {ValueKind::SystemTemperature, "system_temperature", "System temperature", "°C", "celsius",
     SensorGroup::Temperatures},
    {ValueKind::CpuFan, "cpu_fan_speed", "CPU fan speed", "rpm", "rpm", SensorGroup::FanSpeed},
    {ValueKind::CpuCore, "cpu_core_voltage", "CPU core voltage", "V", "volts", SensorGroup::Voltages},
    {ValueKind::Battery, "battery_voltage", "Battery voltage", "V", "volts", SensorGroup::Voltages},
    {ValueKind::Rail12V, "rail_12v_voltage", "12 V rail voltage", "V", "volts", SensorGroup::Voltages},
    {ValueKind::DcVoltage, "dc_voltage", "DC input voltage", "V", "volts", SensorGroup::Voltages},
    {ValueKind::DcCurrent, "dc_current", "DC input current", "A", "amperes", SensorGroup::CurrentAndPower},
    {ValueKind::DcPower, "dc_power", "DC input power", "W", "watts", SensorGroup::CurrentAndPower},
};
inline constexpr std::size_t kSensorQuantityCount = std::size(kSensorQuantities);

// The four statistics the controller sends of each quantity, in sub-command order.
inline constexpr const char* kStatisticNames[] = {"current", "maximum", "minimum", "average"};
inline constexpr std::size_t kStatisticCount = std::size(kStatisticNames);

// The four version texts, in this order.
struct VersionName {
    ValueKind kind;
    const char* pszId;
};
inline constexpr VersionName kVersionNames[] = {
    {ValueKind::MbVersion, "mb"},
    {ValueKind::BiosVersion, "bios"},
    {ValueKind::IoVersion, "io"},
    {ValueKind::DisplayVersion, "display"},
};
inline constexpr std::size_t kVersionCount = std::size(kVersionNames);

// A lifetime counter: a 32-bit number of seconds, a 32-bit count or a one-byte count.
enum class CounterUnit { Seconds, Count, ByteCount };

struct CounterName {
    ValueKind kind;
    const char* pszId;
    const char* pszHelp;
    CounterUnit unit;
};
inline constexpr CounterName kCounterNames[] = {
    {ValueKind::OperationHours, "operation", "Service time in operation", CounterUnit::Seconds},
    {ValueKind::StandbyHours, "standby", "Service time in standby", CounterUnit::Seconds},
    {ValueKind::SystemHours, "system_operation", "System operation time", CounterUnit::Seconds},
    {ValueKind::DisplayStandbyHours, "display_standby", "Display standby time", CounterUnit::Seconds},
    {ValueKind::BacklightHours, "backlight", "Backlight time", CounterUnit::Seconds},
    {ValueKind::AbnormalCount, "abnormal_on_off", "Abnormal power-offs", CounterUnit::ByteCount},
    {ValueKind::OnOffTotal, "on_off", "Power-on and power-off cycles", CounterUnit::Count},
    {ValueKind::PlugInCount, "display_plug_in", "Display plug-ins", CounterUnit::ByteCount},
};
inline constexpr std::size_t kCounterCount = std::size(kCounterNames);

struct SensorValues {
    double adValue[kStatisticCount] = {};
    // The page's text where it shows a bound instead of the number; empty otherwise.
    std::string astrClamp[kStatisticCount];
    unsigned nSeenMask = 0;  // bit i: statistic i arrived
};

struct SerialNumber {
    Byte byKind;  // 0: the system's own
    std::string strCaption;
    std::string strNumber;
};

struct SessionValues {
    std::string astrVersion[kVersionCount];
    unsigned nVersionSeenMask = 0;
    // The list of the last whole exchange; the one in progress is kept apart.
    std::vector<SerialNumber> serials;
    std::vector<SerialNumber> serialsPending;
    bool bSerialsSeen = false;
    std::int64_t anCounter[kCounterCount] = {};
    unsigned nCounterSeenMask = 0;
    SensorValues aSensors[kSensorQuantityCount];
    Byte byComPower = 0;  // bit k-1: COM k powered
    Byte byCom12V = 0;    // bit k-1: COM k at 12 V, else 5 V
    bool bComPowerSeen = false;
    bool bOsdOn = false;
    bool bOsdSeen = false;
    int nBacklightPercent = 0;
    bool bBacklightSeen = false;
};

inline constexpr unsigned kAllStatistics = (1u << kStatisticCount) - 1;
inline constexpr unsigned kAllVersions = (1u << kVersionCount) - 1;

// The index of a quantity in kSensorQuantities, or -1.
int SensorQuantityIndex(ValueKind kind);

// Every sensor's four statistics have arrived.
bool AllSensorsSeen(const SessionValues& values);

// What the report waits for: the four versions, a whole serial-number list and every sensor value.
bool ReportReady(const SessionValues& values);

// Records what a command-2 response carries (a sensor statistic, version, counter, OSD state or
// backlight); other responses leave the values alone.
void RecordValue(SessionValues& values, const SubCommandRow& row, FrameView frame);

// The COM-port supply, from whichever frame carried it.
void RecordComPower(SessionValues& values, Byte byPower, Byte by12V);

// A serial-number exchange: its start (the system's number), each further answer, its end.
void StartSerialList(SessionValues& values, FrameView frame);
void RecordSerialNumber(SessionValues& values, FrameView answer);
void EndSerialList(SessionValues& values);

}  // namespace quillon
