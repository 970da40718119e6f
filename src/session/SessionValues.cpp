#include "session/SessionValues.h"

#include <algorithm>
#include <iterator>

#include "protocol/Values.h"

namespace quillon {

namespace {

template <typename Row, std::size_t N>
int IndexOf(const Row (&table)[N], ValueKind kind) {
    const auto it =
        std::find_if(std::begin(table), std::end(table), [kind](const Row& r) { return r.kind == kind; });
    return it == std::end(table) ? -1 : static_cast<int>(it - std::begin(table));
}

std::int64_t CounterValue(CounterUnit unit, FrameView frame) {
    return unit == CounterUnit::ByteCount ? frame[5] : ReadSigned32(frame);
}

// "VFD Serial No: " names its kind as "VFD Serial No".
std::string KindCaption(const char* pszCaption) {
    std::string caption(pszCaption);
    while (!caption.empty() && (caption.back() == ' ' || caption.back() == ':')) caption.pop_back();
    return caption;
}

}  // namespace

int SensorQuantityIndex(ValueKind kind) {
    return IndexOf(kSensorQuantities, kind);
}

bool AllSensorsSeen(const SessionValues& values) {
    return std::all_of(std::begin(values.aSensors), std::end(values.aSensors),
                       [](const SensorValues& sensor) { return sensor.nSeenMask == kAllStatistics; });
}

bool ReportReady(const SessionValues& values) {
    return values.nVersionSeenMask == kAllVersions && values.bSerialsSeen && AllSensorsSeen(values);
}

void RecordValue(SessionValues& values, const SubCommandRow& row, FrameView frame) {
    if (const int nSensor = SensorQuantityIndex(row.kind); nSensor >= 0) {
        const SensorRow& sensorRow = *FindSensor(row.kind);
        const int nStatistic = frame[kSubCommandOffset] - row.byFirst;
        SensorValues& sensor = values.aSensors[nSensor];
        sensor.adValue[nStatistic] = SensorReading(sensorRow, frame);
        const char* pszClamp = SensorClampText(sensorRow, frame);
        sensor.astrClamp[nStatistic] = pszClamp ? pszClamp : "";
        sensor.nSeenMask |= 1u << nStatistic;
        return;
    }
    if (const int nVersion = IndexOf(kVersionNames, row.kind); nVersion >= 0) {
        values.astrVersion[nVersion] = FormatVersionText(frame);
        values.nVersionSeenMask |= 1u << nVersion;
        return;
    }
    if (const int nCounter = IndexOf(kCounterNames, row.kind); nCounter >= 0) {
        values.anCounter[nCounter] = CounterValue(kCounterNames[nCounter].unit, frame);
        values.nCounterSeenMask |= 1u << nCounter;
        return;
    }
    switch (row.kind) {
        case ValueKind::OsdState:
            values.bOsdOn = frame[5] != 0;
            values.bOsdSeen = true;
            break;
        case ValueKind::BacklightBrightness:
            values.nBacklightPercent = frame[5];
            values.bBacklightSeen = true;
            break;
        default:
            break;
    }
}

void RecordComPower(SessionValues& values, Byte byPower, Byte by12V) {
    values.byComPower = byPower;
    values.byCom12V = by12V;
    values.bComPowerSeen = true;
}

void StartSerialList(SessionValues& values, FrameView frame) {
    values.serialsPending.assign(1, SerialNumber{0, "System Serial No", SerialNumberText(frame)});
}

void RecordSerialNumber(SessionValues& values, FrameView answer) {
    constexpr std::size_t kKindOffset = 9;
    const char* pszCaption = SerialNumberCaption(answer[kKindOffset]);
    if (!pszCaption) return;
    values.serialsPending.push_back({answer[kKindOffset], KindCaption(pszCaption), SerialNumberText(answer)});
}

void EndSerialList(SessionValues& values) {
    values.serials = std::move(values.serialsPending);
    values.serialsPending.clear();
    values.bSerialsSeen = true;
}

}  // namespace quillon
