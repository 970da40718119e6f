// The pure rules: frames, assembly, requests, catalogue, values, console, start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "protocol/Assembly.h"
#include "protocol/Values.h"
#include "serial/LineEvents.h"
#include "workflows/Console.h"
#include "protocol/Requests.h"

using namespace quillon;
using Bytes = std::vector<Byte>;

namespace {

FrameBuffer Frame(std::initializer_list<Byte> bytes) { return CopyFrame(Bytes(bytes)); }

// A command-2 response carrying `data` from offset 5, with count byte N.
FrameBuffer ValueFrame(Byte sub, Bytes data, Byte n = 7) {
    Bytes bytes{0xAA, 0x55, n, 0x02, sub};
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.resize(std::max<std::size_t>(bytes.size(), n + 2));
    bytes[n + 1] = FrameChecksum(bytes);
    return CopyFrame(bytes);
}

}  // namespace

TEST(Frame, ChecksumCoversCountToTheByteBeforeOffsetN) {
    EXPECT_TRUE(FrameChecksumOk(Frame({0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x87})));
    EXPECT_TRUE(FrameChecksumOk(Frame({0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x05, 0x87})));
    EXPECT_FALSE(FrameChecksumOk(Frame({0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x88})));
    // 42 degrees: 07 + 02 + 7D + 00 + 2A.
    EXPECT_TRUE(FrameChecksumOk(Frame({0xAA, 0x55, 0x07, 0x02, 0x7D, 0x00, 0x2A, 0x00, 0xB0})));
    EXPECT_FALSE(FrameChecksumOk(Frame({0xAA, 0x55, 0x07, 0x02, 0x7D, 0x00, 0x2A, 0x00, 0xA8})));
    // A header alone compares 0 with offset 1.
    EXPECT_FALSE(FrameChecksumOk(Frame({0xAA, 0x55})));
}

TEST(Frame, BuiltFramesMatchTheConstantRequests) {
    EXPECT_EQ(BuildFrame(0x01, {0x01, 0x00}), Bytes(std::begin(kLinkOpen), std::end(kLinkOpen)));
    EXPECT_EQ(BuildFrame(0x80, {0x01, 0x00, 0x00}), Bytes(std::begin(kAllStates), std::end(kAllStates)));
    EXPECT_EQ(BuildFrame(0xD0, {0x0A, 0x00}), Bytes(std::begin(kOsdKeepOn), std::end(kOsdKeepOn)));
    EXPECT_EQ(BuildFrame(0x05, {0xA0, 0x00, 0x40, 0x10, 0x80, 0x1F, 0x3F, 0xF4, 0x07, 0x09, 0x3F, 0x89, 0x46, 0x46,
                                0x46, 0x46, 0x46, 0x46, 0x00, 0x00, 0x00}),
              Bytes(std::begin(kOsdDisplayOn), std::end(kOsdDisplayOn)));
}

TEST(Requests, EveryConstantRequestIsAValidFrameWithOneTrailingZero) {
    for (const Request& request : kRequestCatalogue) {
        SCOPED_TRACE(request.name);
        const auto& bytes = request.bytes;
        ASSERT_GE(bytes.size(), 8u);
        EXPECT_EQ(bytes.size(), FrameLength(bytes[2]) + 1);
        EXPECT_EQ(bytes.back(), 0x00);
        EXPECT_EQ(bytes[bytes[2]], 0x00);  // requests carry 0 at offset N
        EXPECT_TRUE(FrameChecksumOk(bytes.first(bytes.size() - 1)));
    }
}

TEST(Requests, SerialNumberAndComPowerFrames) {
    const auto first = BuildSerialNumberRequest(10);
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 10), (Bytes{0xAA, 0x55, 0x08, 0x09, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x1B}));
    EXPECT_TRUE(std::all_of(first.begin() + 10, first.end(), [](Byte b) { return b == 0; }));
    const auto high = BuildSerialNumberRequest(0x1FF);
    EXPECT_EQ(high[5], 0x01);
    EXPECT_EQ(high[6], 0xFF);
    EXPECT_EQ(high[9], static_cast<Byte>(0x11 + 0x01 + 0xFF));

    EXPECT_EQ(BuildComPowerRequest(0x05, 0x01), (std::array<Byte, 9>{0xAA, 0x55, 0x06, 0xA5, 0x05, 0x01, 0x00, 0xB1, 0x00}));
    EXPECT_EQ(BuildComPowerRequest(0x02, 0x00)[7], 0xAD);
    EXPECT_EQ(BuildComPowerRequest(0xFF, 0x00)[7], 0xAA);
}

TEST(Catalogue, ShortFramesByTheirCheckByte) {
    EXPECT_EQ(FindShortFrameAction(Frame({0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07})), ShortFrameAction::RequestIoVersion);
    EXPECT_EQ(FindShortFrameAction(Frame({0xAA, 0x55, 0x05, 0x80, 0x00, 0x00, 0x85})), ShortFrameAction::ExitConfirm);
    EXPECT_EQ(FindShortFrameAction(Frame({0xAA, 0x55, 0x05, 0xD0, 0x0A, 0x00, 0xDF})), ShortFrameAction::OsdApplyAck);
    EXPECT_EQ(FindShortFrameAction(Frame({0xAA, 0x55, 0x05, 0xA0, 0xAA, 0x00, 0x4F})), ShortFrameAction::ComConfirmPrompt);
    // Checksum 79 under another command is nothing.
    EXPECT_EQ(FindShortFrameAction(Frame({0xAA, 0x55, 0x05, 0x02, 0x48, 0x00, 0x4F})), std::nullopt);
    EXPECT_EQ(FindShortFrameAction(Frame({0xAA, 0x55, 0x05, 0x02, 0x02, 0x00, 0x09})), std::nullopt);
    EXPECT_TRUE(IsShortFrame(Frame({0xAA, 0x55, 0x05, 0x02, 0x7D, 0x00, 0x84})));
}

TEST(Catalogue, EverySubCommandOfTheGroupsIsFound) {
    int found = 0;
    for (int sub = 0; sub < 256; ++sub) {
        if (const SubCommandRow* row = FindSubCommand(static_cast<Byte>(sub))) {
            EXPECT_LE(row->byFirst, sub);
            EXPECT_GE(row->byLast, sub);
            ++found;
        }
    }
    EXPECT_EQ(found, 9 * 4 + 15);
    EXPECT_EQ(FindSubCommand(0x83)->kind, ValueKind::SystemTemperature);
    EXPECT_EQ(FindSubCommand(0x13), nullptr);
    EXPECT_EQ(FindSubCommand(0x8B), nullptr);
}

TEST(Values, VersionTextStopsAtTheFirstBlankAfterACharacter) {
    EXPECT_EQ(FormatVersionText(ValueFrame(0x89, {' ', ' ', 'V', '1', '.', '2', ' ', 'b', 'e', 't', 'a'}, 21)), "V1.2");
    EXPECT_EQ(FormatVersionText(ValueFrame(0x89, {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N',
                                                  'O', 'P'},
                                           21)),
              "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(FormatVersionText(ValueFrame(0x89, {'V', 0, '2'}, 21)), "V2");
}

TEST(Values, HoursTruncateTowardZero) {
    EXPECT_EQ(FormatHours(0), "0h:0m");
    EXPECT_EQ(FormatHours(3725), "1h:2m");
    EXPECT_EQ(FormatHours(24 * 3600 - 1), "23h:59m");
    EXPECT_EQ(FormatHours(100 * 3600), "100h:0m");
    EXPECT_EQ(FormatHours(-3725), "-1h:-2m");
    EXPECT_EQ(ReadSigned32(ValueFrame(0x0D, {0x80, 0x00, 0x00, 0x00}, 9)), INT32_MIN);
}

TEST(Values, ComPowerReportEntries) {
    const std::string report = FormatComPowerReport(0x03, 0x02);
    EXPECT_EQ(report.rfind("\r\n COM1:   5V\r\n\r\n COM2:  12V\r\n\r\n COM3:   RI\r\n", 0), 0u);
    EXPECT_EQ(report.size(), 8 * 15u);
    EXPECT_NE(report.find("\r\n COM8:   RI\r\n"), std::string::npos);
    EXPECT_EQ(FormatComPowerReport(0x00, 0xFF).find("12V"), std::string::npos);
    EXPECT_EQ(FormatComPowerReport(0xFF, 0x00).find("RI"), std::string::npos);
}

TEST(Values, SensorClampsAndScales) {
    struct Case {
        ValueKind kind;
        unsigned raw;
        const char* text;
    };
    const Case cases[] = {
        {ValueKind::DcVoltage, 9000, "9V"},      {ValueKind::DcVoltage, 9001, "9.0V"},
        {ValueKind::DcVoltage, 14999, "15.0V"},  {ValueKind::DcVoltage, 15000, "15V"},
        {ValueKind::DcVoltage, 20000, "15V"},    {ValueKind::DcPower, 0, "0W"},
        {ValueKind::DcPower, 1, "0.0W"},         {ValueKind::DcPower, 15500, "155W"},
        {ValueKind::DcCurrent, 16000, "16A"},    {ValueKind::DcCurrent, 15999, "16.0A"},
        {ValueKind::Battery, 1500, "1.5V"},      {ValueKind::Battery, 3000, "3.0V"},
        {ValueKind::Battery, 3500, "3.5V"},      {ValueKind::CpuCore, 500, "0.5V"},
        {ValueKind::CpuCore, 1234, "1.2V"},      {ValueKind::CpuCore, 1999, "2.0V"},
        {ValueKind::CpuCore, 2000, "2V"},        {ValueKind::CpuFan, 0, "0"},
        {ValueKind::CpuFan, 3999, "3999"},       {ValueKind::CpuFan, 65535, "4000"},
        {ValueKind::CpuTemperature, 100, "100"}, {ValueKind::CpuTemperature, 42, "42"},
        {ValueKind::SystemTemperature, 90, "85"}, {ValueKind::SystemTemperature, 0, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        const SensorRow* row = FindSensor(c.kind);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(FormatSensor(*row, ValueFrame(0, {static_cast<Byte>(c.raw >> 8), static_cast<Byte>(c.raw)})), c.text);
    }
    // Temperatures read byte 6 alone.
    EXPECT_EQ(FormatSensor(*FindSensor(ValueKind::CpuTemperature), ValueFrame(0, {0x01, 0x2A})), "42");
}

TEST(Values, SerialNumberCaptions) {
    EXPECT_STREQ(SerialNumberCaption(13), "LCD Panel Serial No: ");
    EXPECT_STREQ(SerialNumberCaption(21), SerialNumberCaption(20));
    for (Byte kind : {0, 1, 28, 33, 44, 49, 255}) EXPECT_EQ(SerialNumberCaption(kind), nullptr) << int{kind};
    Bytes bytes(21, 0);
    bytes[10] = 'A';
    bytes[11] = 'B';
    bytes[12] = 'C';
    EXPECT_EQ(SerialNumberText(CopyFrame(bytes)), "ABC");
}

TEST(Console, DumpFormat) {
    EXPECT_EQ(FormatReceiveDump(Bytes{0xAA, 0x55, 0x05}), "\r\nRxChar(3): AA 55 05");
    EXPECT_EQ(FormatReceiveDump(Bytes{}), "\r\nRxChar(0):");
    EXPECT_EQ(FormatReceiveDump(Bytes{0x00, 0x0F, 0xF0, 0xFF, 0x9A}), "\r\nRxChar(5): 00 0F F0 FF 9A");
}

TEST(Console, TrimKeepsWholeRecentEntries) {
    std::string log;
    for (int i = 0; i < 100; ++i) log += "\r\nentry " + std::to_string(i);
    EXPECT_EQ(ConsoleTrimLength(log, 1000), 0u);  // under twice the limit: untouched
    for (int i = 100; i < 400; ++i) log += "\r\nentry " + std::to_string(i);
    log.erase(0, ConsoleTrimLength(log, 1000));
    EXPECT_GE(log.size(), 1000u);
    EXPECT_LT(log.size(), 1020u);
    EXPECT_EQ(log.rfind("\r\n", 0), 0u);  // starts with a whole entry
    EXPECT_TRUE(log.ends_with("\r\nentry 399"));
}

TEST(Startup, SpeedTableFollowsTheTextOrderOfTheList) {
    std::vector<std::string> sorted(std::begin(kSpeedTexts), std::end(kSpeedTexts));
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(sorted.size(), std::size(kSpeedByIndex));
    for (std::size_t i = 0; i < sorted.size(); ++i) EXPECT_EQ(std::stoul(sorted[i]), kSpeedByIndex[i]);
    EXPECT_EQ(SpeedForIndex(0), 115200u);
    EXPECT_EQ(SpeedForIndex(-1), 115200u);
    EXPECT_EQ(SpeedForIndex(7), 115200u);
}

TEST(LineEvents, EveryBitOfABatchRunsInTableOrder) {
    const auto rows = LineEventsOf(EV_RXCHAR | EV_CTS);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_STREQ(rows[0]->pszTrace, "recv\n");
    EXPECT_STREQ(rows[1]->pszTrace, "cts\n");
    EXPECT_EQ(LineEventsOf(0).size(), 0u);
    EXPECT_EQ(LineEventsOf(0x1FF).size(), 9u);
    EXPECT_TRUE(LineEventsOf(0x0200).empty());
}
