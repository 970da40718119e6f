#include "session/Report.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "protocol/Values.h"
#include "workflows/ComPower.h"

namespace quillon {

namespace {

// Indexed by ComSupply: the JSON text and the volts Prometheus gets (0: the RI line).
constexpr const char* kSupplyTexts[] = {"RI", "5V", "12V"};
constexpr int kSupplyVolts[] = {0, 5, 12};

// Each value is a single-precision number or an integer that one holds exactly:
// the shortest text that reads back as it.
std::string Number(double dValue) {
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof(buf), static_cast<float>(dValue));
    return std::string(buf, result.ptr);
}

std::string Integer(std::int64_t nValue) {
    return std::to_string(nValue);
}

// Texts from the wire are bytes; each byte above 127 is taken as the character of that code.
std::string WireText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto by = static_cast<unsigned char>(c);
        if (by < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (by >> 6));
            out += static_cast<char>(0x80 | (by & 0x3F));
        }
    }
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto by = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (by < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof(buf), "\\u%04x", by);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string PromLabel(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool Seen(unsigned nMask, std::size_t nIndex) {
    return (nMask >> nIndex) & 1u;
}

// The JSON object of one lifetime counter: seconds also as the page's hours and minutes.
std::string JsonCounter(const CounterName& counter, std::int64_t nValue) {
    if (counter.unit != CounterUnit::Seconds) return Integer(nValue);
    return "{\"seconds\": " + Integer(nValue) + ", \"hours\": " + Integer(nValue / 60 / 60) +
           ", \"minutes\": " + Integer((nValue / 60) % 60) + "}";
}

std::string JsonSensor(const SensorQuantity& quantity, const SensorValues& sensor) {
    std::string out = "{\"unit\": " + JsonString(quantity.pszUnit);
    std::string clamps;
    for (std::size_t i = 0; i < kStatisticCount; ++i) {
        out += ", " + JsonString(kStatisticNames[i]) + ": ";
        out += Seen(sensor.nSeenMask, i) ? Number(sensor.adValue[i]) : "null";
        if (Seen(sensor.nSeenMask, i) && !sensor.astrClamp[i].empty())
            clamps += (clamps.empty() ? "" : ", ") + JsonString(kStatisticNames[i]) + ": " +
                      JsonString(sensor.astrClamp[i]);
    }
    if (!clamps.empty()) out += ", \"clamp_text\": {" + clamps + "}";
    return out + "}";
}

// Writes "key": value lines of one object, comma-separated.
struct JsonObject {
    std::string& out;
    std::string indent;
    bool bFirst = true;
    void Add(std::string_view key, const std::string& value) {
        out += bFirst ? "\n" : ",\n";
        out += indent + JsonString(key) + ": " + value;
        bFirst = false;
    }
};

std::string JsonSerials(const SessionValues& values) {
    if (!values.bSerialsSeen) return "null";
    if (values.serials.empty()) return "[]";
    std::string out = "[";
    for (std::size_t i = 0; i < values.serials.size(); ++i) {
        const SerialNumber& serial = values.serials[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"kind\": " + Integer(serial.byKind) + ", \"caption\": " + JsonString(serial.strCaption) +
               ", \"number\": " + JsonString(WireText(serial.strNumber)) + "}";
    }
    return out + "\n  ]";
}

struct PromFamily {
    std::string& out;
    void Start(const std::string& name, std::string_view help, std::string_view type) {
        out += "# HELP " + name + " " + std::string(help) + "\n";
        out += "# TYPE " + name + " " + std::string(type) + "\n";
    }
    void Sample(const std::string& name, const std::string& labels, const std::string& value) {
        out += name + (labels.empty() ? "" : "{" + labels + "}") + " " + value + "\n";
    }
};

}  // namespace

std::string FormatIsoTime(std::int64_t nTime) {
    const std::time_t time = static_cast<std::time_t>(nTime);
    std::tm utc{};
    if (const std::tm* pUtc = std::gmtime(&time)) utc = *pUtc;
    char buf[32];
    std::strftime(buf, sizeof(buf), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buf;
}

std::string FormatReportJson(const ReportHeader& header, const SessionValues& values) {
    std::string out = "{";
    JsonObject top{out, "  "};
    top.Add("device", JsonString(header.strDevice));
    top.Add("time", JsonString(FormatIsoTime(header.nTime)));
    top.Add("program_version", JsonString(header.strVersion));

    std::string identity = "{";
    JsonObject versions{identity, "    "};
    for (std::size_t i = 0; i < kVersionCount; ++i)
        versions.Add(kVersionNames[i].pszId,
                     Seen(values.nVersionSeenMask, i) ? JsonString(WireText(values.astrVersion[i])) : "null");
    top.Add("identity", identity + "\n  }");
    top.Add("serial_numbers", JsonSerials(values));

    std::string counters = "{";
    JsonObject counterObject{counters, "    "};
    for (std::size_t i = 0; i < kCounterCount; ++i)
        counterObject.Add(kCounterNames[i].pszId, Seen(values.nCounterSeenMask, i)
                                                      ? JsonCounter(kCounterNames[i], values.anCounter[i])
                                                      : "null");
    top.Add("counters", counters + "\n  }");

    std::string sensors = "{";
    JsonObject sensorObject{sensors, "    "};
    for (std::size_t i = 0; i < kSensorQuantityCount; ++i)
        sensorObject.Add(kSensorQuantities[i].pszId, JsonSensor(kSensorQuantities[i], values.aSensors[i]));
    top.Add("sensors", sensors + "\n  }");

    std::string ports = "null";
    if (values.bComPowerSeen) {
        ports = "{";
        for (int k = 1; k <= static_cast<int>(kComPortCount); ++k) {
            const ComSupply supply = ComPortSupply(values.byComPower, values.byCom12V, k);
            ports += (k > 1 ? ", " : "") + JsonString("COM" + std::to_string(k)) + ": " +
                     JsonString(kSupplyTexts[static_cast<int>(supply)]);
        }
        ports += "}";
    }
    top.Add("com_ports", ports);
    top.Add("osd", values.bOsdSeen ? JsonString(values.bOsdOn ? "ON" : "OFF") : "null");
    top.Add("backlight_percent", values.bBacklightSeen ? Integer(values.nBacklightPercent) : "null");
    return out + "\n}\n";
}

std::string FormatReportProm(const ReportHeader& header, const SessionValues& values) {
    std::string out;
    PromFamily prom{out};
    prom.Start("quillon_info", "The program's version and the device it read.", "gauge");
    prom.Sample("quillon_info",
                "device=" + PromLabel(header.strDevice) + ",version=" + PromLabel(header.strVersion), "1");
    prom.Start("quillon_report_time_seconds", "When the report was written, in seconds since 1970.", "gauge");
    prom.Sample("quillon_report_time_seconds", "", Integer(header.nTime));

    if (values.nVersionSeenMask) {
        std::string labels;
        for (std::size_t i = 0; i < kVersionCount; ++i) {
            if (!Seen(values.nVersionSeenMask, i)) continue;
            labels += (labels.empty() ? "" : ",") + std::string(kVersionNames[i].pszId) + "=" +
                      PromLabel(WireText(values.astrVersion[i]));
        }
        prom.Start("quillon_version_info", "The controller's version texts.", "gauge");
        prom.Sample("quillon_version_info", labels, "1");
    }
    if (values.bSerialsSeen && !values.serials.empty()) {
        prom.Start("quillon_serial_number_info", "The serial numbers, each with its kind and caption.",
                   "gauge");
        for (const SerialNumber& serial : values.serials)
            prom.Sample("quillon_serial_number_info",
                        "kind=" + PromLabel(Integer(serial.byKind)) + ",caption=" +
                            PromLabel(serial.strCaption) + ",number=" + PromLabel(WireText(serial.strNumber)),
                        "1");
    }
    for (std::size_t i = 0; i < kCounterCount; ++i) {
        if (!Seen(values.nCounterSeenMask, i)) continue;
        const CounterName& counter = kCounterNames[i];
        const std::string name = "quillon_" + std::string(counter.pszId) +
                                 (counter.unit == CounterUnit::Seconds ? "_seconds_total" : "_total");
        prom.Start(name, std::string(counter.pszHelp) + ".", "counter");
        prom.Sample(name, "", Integer(values.anCounter[i]));
    }
    for (std::size_t i = 0; i < kSensorQuantityCount; ++i) {
        const SensorValues& sensor = values.aSensors[i];
        if (!sensor.nSeenMask) continue;
        const SensorQuantity& quantity = kSensorQuantities[i];
        const std::string name = "quillon_" + std::string(quantity.pszId) + "_" + quantity.pszUnitWord;
        prom.Start(name, std::string(quantity.pszName) + ": current, maximum, minimum and average.", "gauge");
        for (std::size_t n = 0; n < kStatisticCount; ++n) {
            if (Seen(sensor.nSeenMask, n))
                prom.Sample(name, "statistic=" + PromLabel(kStatisticNames[n]), Number(sensor.adValue[n]));
        }
    }
    if (values.bComPowerSeen) {
        prom.Start("quillon_com_port_supply_volts",
                   "The supply of each COM port; 0: the port carries the RI line.", "gauge");
        for (int k = 1; k <= static_cast<int>(kComPortCount); ++k) {
            const ComSupply supply = ComPortSupply(values.byComPower, values.byCom12V, k);
            prom.Sample("quillon_com_port_supply_volts", "port=" + PromLabel("COM" + std::to_string(k)),
                        Integer(kSupplyVolts[static_cast<int>(supply)]));
        }
    }
    if (values.bOsdSeen) {
        prom.Start("quillon_osd_enabled", "Whether the display's OSD function is on.", "gauge");
        prom.Sample("quillon_osd_enabled", "", values.bOsdOn ? "1" : "0");
    }
    if (values.bBacklightSeen) {
        prom.Start("quillon_backlight_brightness_percent", "The display's backlight brightness.", "gauge");
        prom.Sample("quillon_backlight_brightness_percent", "", Integer(values.nBacklightPercent));
    }
    return out;
}

std::string FormatReport(std::string_view path, const ReportHeader& header, const SessionValues& values) {
    return path.ends_with(".prom") ? FormatReportProm(header, values) : FormatReportJson(header, values);
}

std::string WriteFileWhole(const std::string& path, std::string_view text) {
    const std::filesystem::path target(path);
    // Hidden and not ending in the target's extension, so that a collector never reads it half-written.
    std::filesystem::path temporary = target;
    temporary.replace_filename("." + target.filename().string() + ".tmp");
    const auto failed = [&path](int nError) { return "cannot write " + path + ": " + std::strerror(nError); };

    std::FILE* pFile = std::fopen(temporary.c_str(), "wb");
    if (!pFile) return failed(errno);
    const auto lastError = [] { return errno ? errno : EIO; };
    int nError = 0;
    if (std::fwrite(text.data(), 1, text.size(), pFile) != text.size() || std::fflush(pFile) != 0)
        nError = lastError();
    if (std::fclose(pFile) != 0 && !nError) nError = lastError();
    if (!nError && std::rename(temporary.c_str(), target.c_str()) != 0) nError = lastError();
    if (!nError) return {};
    std::remove(temporary.c_str());
    return failed(nError);
}

}  // namespace quillon
