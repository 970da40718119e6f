// What a session keeps: the terminal report from hand-made frames, written as JSON and as
// Prometheus text, and a file written whole or not at all; the sensor history and its CSV rows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/Assembly.h"
#include "session/HistoryCsv.h"
#include "session/Report.h"

using namespace quillon;
using Bytes = std::vector<Byte>;

namespace {

FrameBuffer Frame(Byte command, Byte sub, Bytes data) {
    Bytes bytes{0xAA, 0x55, 0x11, command, sub};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return CopyFrame(bytes);
}

void Record(SessionValues& values, Byte sub, Bytes data) {
    RecordValue(values, *FindSubCommand(sub), Frame(0x02, sub, std::move(data)));
}

// Kind at offset 9, number from offset 10.
FrameBuffer SerialFrame(Byte kind, Bytes number) {
    Bytes data{0, 0, 0, 0, kind};
    data.insert(data.end(), number.begin(), number.end());
    return Frame(0x09, 0, data);
}

SessionValues Session() {
    SessionValues values;
    Record(values, 0x89, {'M', 'B', '-', '1', '.', '0'});
    Record(values, 0x8E, {'I', 'O', '"', '2', 0xE9});
    Record(values, 0x0F, {0x00, 0x01, 0x5F, 0xCD});  // 90061 s: 25 h 1 min
    Record(values, 0x11, {3});
    Record(values, 0x71, {0x0B, 0xB8});  // 3000 rpm
    Record(values, 0x72, {0x0F, 0xA0});  // 4000: the page shows its bound
    Record(values, 0x73, {0x00, 0x00});
    Record(values, 0x01, {0x0D, 0xAE});  // 3502 / 100 W
    Record(values, 0xA4, {1});
    StartSerialList(values, SerialFrame(0, {'S', 'Y', 'S', '1'}));
    RecordSerialNumber(values, SerialFrame(8, {'H', 'D', 'D', '9'}));
    RecordSerialNumber(values, SerialFrame(1, {'X'}));  // a kind without caption
    EndSerialList(values);
    RecordComPower(values, 0x0F, 0x01);
    return values;
}

const ReportHeader kHeader{"/dev/pts/7", 1714564800, "1.0"};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

SensorSample Sample(std::int64_t nTime, float fFirst) {
    SensorSample sample;
    sample.nTime = nTime;
    sample.afValue.fill(NAN);
    sample.afValue[0] = fFirst;
    return sample;
}

}  // namespace

TEST(Report, JsonHoldsWhatArrivedAndNullForTheRest) {
    EXPECT_EQ(
        FormatReport("r.json", kHeader, Session()),
        "{\n"
        "  \"device\": \"/dev/pts/7\",\n"
        "  \"time\": \"2024-05-01T12:00:00Z\",\n"
        "  \"program_version\": \"1.0\",\n"
        "  \"identity\": {\n"
        "    \"mb\": \"MB-1.0\",\n"
        "    \"bios\": null,\n"
        "    \"io\": \"IO\\\"2\xC3\xA9\",\n"
        "    \"display\": null\n"
        "  },\n"
        "  \"serial_numbers\": [\n"
        "    {\"kind\": 0, \"caption\": \"System Serial No\", \"number\": \"SYS1\"},\n"
        "    {\"kind\": 8, \"caption\": \"HDD Serial No\", \"number\": \"HDD9\"}\n"
        "  ],\n"
        "  \"counters\": {\n"
        "    \"operation\": {\"seconds\": 90061, \"hours\": 25, \"minutes\": 1},\n"
        "    \"standby\": null,\n"
        "    \"system_operation\": null,\n"
        "    \"display_standby\": null,\n"
        "    \"backlight\": null,\n"
        "    \"abnormal_on_off\": 3,\n"
        "    \"on_off\": null,\n"
        "    \"display_plug_in\": null\n"
        "  },\n"
        "  \"sensors\": {\n"
        "    \"cpu_temperature\": {\"unit\": \"\xC2\xB0"
        "C\", \"current\": null, \"maximum\": null, "
        "\"minimum\": null, \"average\": null},\n"
        "    \"system_temperature\": {\"unit\": \"\xC2\xB0"
        "C\", \"current\": null, \"maximum\": null, "
        "\"minimum\": null, \"average\": null},\n"
        "    \"cpu_fan_speed\": {\"unit\": \"rpm\", \"current\": 3000, \"maximum\": 4000, \"minimum\": 0, "
        "\"average\": null, \"clamp_text\": {\"maximum\": \"4000\", \"minimum\": \"0\"}},\n"
        "    \"cpu_core_voltage\": {\"unit\": \"V\", \"current\": null, \"maximum\": null, \"minimum\": "
        "null, "
        "\"average\": null},\n"
        "    \"battery_voltage\": {\"unit\": \"V\", \"current\": null, \"maximum\": null, \"minimum\": null, "
        "\"average\": null},\n"
        "    \"rail_12v_voltage\": {\"unit\": \"V\", \"current\": null, \"maximum\": null, \"minimum\": "
        "null, "
        "\"average\": null},\n"
        "    \"dc_voltage\": {\"unit\": \"V\", \"current\": null, \"maximum\": null, \"minimum\": null, "
        "\"average\": null},\n"
        "    \"dc_current\": {\"unit\": \"A\", \"current\": null, \"maximum\": null, \"minimum\": null, "
        "\"average\": null},\n"
        "    \"dc_power\": {\"unit\": \"W\", \"current\": 35.02, \"maximum\": null, \"minimum\": null, "
        "\"average\": null}\n"
        "  },\n"
        "  \"com_ports\": {\"COM1\": \"12V\", \"COM2\": \"5V\", \"COM3\": \"5V\", \"COM4\": \"5V\", "
        "\"COM5\": \"RI\", \"COM6\": \"RI\", \"COM7\": \"RI\", \"COM8\": \"RI\"},\n"
        "  \"osd\": \"ON\",\n"
        "  \"backlight_percent\": null\n"
        "}\n");
}

TEST(Report, PromHasAFamilyPerQuantityWithItsUnitAndLabels) {
    EXPECT_EQ(
        FormatReport("/var/lib/node/quillon.prom", kHeader, Session()),
        "# HELP quillon_info The program's version and the device it read.\n"
        "# TYPE quillon_info gauge\n"
        "quillon_info{device=\"/dev/pts/7\",version=\"1.0\"} 1\n"
        "# HELP quillon_report_time_seconds When the report was written, in seconds since 1970.\n"
        "# TYPE quillon_report_time_seconds gauge\n"
        "quillon_report_time_seconds 1714564800\n"
        "# HELP quillon_version_info The controller's version texts.\n"
        "# TYPE quillon_version_info gauge\n"
        "quillon_version_info{mb=\"MB-1.0\",io=\"IO\\\"2\xC3\xA9\"} 1\n"
        "# HELP quillon_serial_number_info The serial numbers, each with its kind and caption.\n"
        "# TYPE quillon_serial_number_info gauge\n"
        "quillon_serial_number_info{kind=\"0\",caption=\"System Serial No\",number=\"SYS1\"} 1\n"
        "quillon_serial_number_info{kind=\"8\",caption=\"HDD Serial No\",number=\"HDD9\"} 1\n"
        "# HELP quillon_operation_seconds_total Service time in operation.\n"
        "# TYPE quillon_operation_seconds_total counter\n"
        "quillon_operation_seconds_total 90061\n"
        "# HELP quillon_abnormal_on_off_total Abnormal power-offs.\n"
        "# TYPE quillon_abnormal_on_off_total counter\n"
        "quillon_abnormal_on_off_total 3\n"
        "# HELP quillon_cpu_fan_speed_rpm CPU fan speed: current, maximum, minimum and average.\n"
        "# TYPE quillon_cpu_fan_speed_rpm gauge\n"
        "quillon_cpu_fan_speed_rpm{statistic=\"current\"} 3000\n"
        "quillon_cpu_fan_speed_rpm{statistic=\"maximum\"} 4000\n"
        "quillon_cpu_fan_speed_rpm{statistic=\"minimum\"} 0\n"
        "# HELP quillon_dc_power_watts DC input power: current, maximum, minimum and average.\n"
        "# TYPE quillon_dc_power_watts gauge\n"
        "quillon_dc_power_watts{statistic=\"current\"} 35.02\n"
        "# HELP quillon_com_port_supply_volts The supply of each COM port; 0: the port carries the RI line.\n"
        "# TYPE quillon_com_port_supply_volts gauge\n"
        "quillon_com_port_supply_volts{port=\"COM1\"} 12\n"
        "quillon_com_port_supply_volts{port=\"COM2\"} 5\n"
        "quillon_com_port_supply_volts{port=\"COM3\"} 5\n"
        "quillon_com_port_supply_volts{port=\"COM4\"} 5\n"
        "quillon_com_port_supply_volts{port=\"COM5\"} 0\n"
        "quillon_com_port_supply_volts{port=\"COM6\"} 0\n"
        "quillon_com_port_supply_volts{port=\"COM7\"} 0\n"
        "quillon_com_port_supply_volts{port=\"COM8\"} 0\n"
        "# HELP quillon_osd_enabled Whether the display's OSD function is on.\n"
        "# TYPE quillon_osd_enabled gauge\n"
        "quillon_osd_enabled 1\n");
}

// Ready once every version, a whole list and all 36 sensor values came; a list cut short is not one.
TEST(Report, IsReadyWhenIdentitySerialListAndEverySensorValueArrived) {
    SessionValues values = Session();
    EXPECT_FALSE(ReportReady(values));
    for (Byte sub : {0x8A, 0xA6}) Record(values, sub, {'V'});
    for (const SubCommandRow& row : kSubCommands) {
        if (SensorQuantityIndex(row.kind) < 0) continue;
        for (int sub = row.byFirst; sub <= row.byLast; ++sub) {
            EXPECT_FALSE(ReportReady(values));
            Record(values, static_cast<Byte>(sub), {0, 1});
        }
    }
    EXPECT_TRUE(ReportReady(values));
    values.bSerialsSeen = false;
    StartSerialList(values, SerialFrame(0, {'S'}));
    EXPECT_FALSE(ReportReady(values));
}

TEST(Report, FileIsReplacedWholeOrLeftAsItWas) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("quillon-report-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "r.prom";
    std::ofstream(path) << "old";
    EXPECT_EQ(WriteFileWhole(path.string(), "new\n"), "");
    EXPECT_EQ(ReadFile(path), "new\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);

    const std::string missing = (dir / "no" / "r.json").string();
    EXPECT_EQ(WriteFileWhole(missing, "x"), "cannot write " + missing + ": No such file or directory");
    std::filesystem::remove_all(dir);
}

// The sensor history: its bound, and its rows as CSV.
TEST(SensorHistory, KeepsTheNewestSamplesInOrderWithinItsBound) {
    SensorHistory history(3);
    for (int n = 1; n <= 5; ++n) history.Add(Sample(n, static_cast<float>(n)));
    ASSERT_EQ(history.Size(), 3u);
    EXPECT_EQ(history.Added(), 5u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(history[i].nTime, static_cast<std::int64_t>(i + 3));
}

TEST(SensorHistory, RowsAreTheTimeAndOneCellPerQuantity) {
    EXPECT_EQ(HistoryCsvHeader(),
              "time,cpu_temperature_celsius,system_temperature_celsius,cpu_fan_speed_rpm,"
              "cpu_core_voltage_volts,battery_voltage_volts,rail_12v_voltage_volts,dc_voltage_volts,"
              "dc_current_amperes,dc_power_watts\n");
    SensorSample sample = Sample(1709647629, 47.5f);
    sample.afValue[2] = 2350;
    sample.afValue[8] = 38.25f;
    EXPECT_EQ(HistoryCsvRow(sample), "2024-03-05T14:07:09Z,47.5,,2350,,,,,,38.25\n");

    // Appended as taken: the header once, into a new file only.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quillon-history-" + std::to_string(::getpid()) + ".csv");
    std::filesystem::remove(path);
    for (int nRun = 0; nRun < 2; ++nRun) {
        HistoryCsvFile file;
        ASSERT_EQ(file.Open(path.string()), "");
        EXPECT_EQ(file.Append(Sample(1709647629 + nRun, 1)), "");
    }
    EXPECT_EQ(ReadFile(path),
              HistoryCsvHeader() + "2024-03-05T14:07:09Z,1,,,,,,,,\n" + "2024-03-05T14:07:10Z,1,,,,,,,,\n");
    std::filesystem::remove(path);
    HistoryCsvFile unwritable;
    EXPECT_NE(unwritable.Open("/nonexistent/history.csv"), "");
    EXPECT_FALSE(unwritable.IsOpen());
}
