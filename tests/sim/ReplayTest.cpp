// The capture's line format, and its replay on a pty.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "session/CaptureFormat.h"
#include "sim/Replay.h"

namespace quillon::sim::test {
namespace {

using namespace std::chrono_literals;

TEST(CaptureFormat, WritesOneLineOfJsonPerChunk) {
    const struct {
        double seconds;
        CaptureDirection direction;
        std::vector<Byte> bytes;
        const char* line;
    } rows[] = {
        {1.2345674,
         CaptureDirection::Received,
         {0xAA, 0x55, 0x07, 0x0f},
         "{\"t\":1.234567,\"dir\":\"rx\",\"hex\":\"AA55070F\"}\n"},
        {0, CaptureDirection::Sent, {0x00, 0xFF}, "{\"t\":0.000000,\"dir\":\"tx\",\"hex\":\"00FF\"}\n"},
        {3600.5, CaptureDirection::Received, {}, "{\"t\":3600.500000,\"dir\":\"rx\",\"hex\":\"\"}\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CaptureLine(row.seconds, row.direction, row.bytes), row.line);
        std::string error;
        const auto chunk = ParseCaptureLine(row.line, error);
        ASSERT_TRUE(chunk) << row.line << error;
        EXPECT_EQ(chunk->direction, row.direction);
        EXPECT_EQ(chunk->bytes, row.bytes);
    }
    std::string error;
    const auto chunk =
        ParseCaptureLine(" { \"hex\" : \"0a\", \"extra\": 7, \"dir\":\"tx\" ,\"t\": 2.5e0 }\r", error);
    ASSERT_TRUE(chunk) << error;
    EXPECT_EQ(*chunk, (CaptureChunk{2.5, CaptureDirection::Sent, {0x0A}}));
}

TEST(CaptureFormat, RefusesABadLineAndSaysWhy) {
    const struct {
        const char* line;
        const char* why;
    } rows[] = {
        {"", "'{' expected at column 1, not the end"},
        {"[1,2]", "'{' expected at column 1, not '['"},
        {"{\"t\":1,\"dir\":\"rx\"}", "no \"hex\""},
        {"{\"dir\":\"rx\",\"hex\":\"\"}", "no \"t\""},
        {"{\"t\":-1,\"dir\":\"rx\",\"hex\":\"\"}", "\"t\" is -1, not a number of seconds from 0"},
        {"{\"t\":\"1\",\"dir\":\"rx\",\"hex\":\"\"}", "\"t\" is \"1\", not a number of seconds from 0"},
        {"{\"t\":1,\"dir\":\"up\",\"hex\":\"\"}", "\"dir\" is \"up\", not \"rx\" or \"tx\""},
        {"{\"t\":1,\"dir\":\"rx\",\"hex\":\"ABC\"}", "\"hex\" has an odd number of digits"},
        {"{\"t\":1,\"dir\":\"rx\",\"hex\":\"AZ\"}", "\"hex\" holds 'Z', not a hex digit"},
        {"{\"t\":1,\"dir\":\"rx\",\"hex\":12}", "\"hex\" is not a string"},
        {"{\"t\":1,\"t\":2,\"dir\":\"rx\",\"hex\":\"\"}", "\"t\" is given twice"},
        {"{\"t\":1,\"dir\":\"rx\",\"hex\":\"AA", "the end of the string expected at column 28, not the end"},
        {"{\"t\":1,\"dir\":\"r\\x\",\"hex\":\"\"}", "the end of the string expected at column 16, not '\\'"},
        {"{\"t\":1,\"dir\":\"rx\",\"hex\":\"\"} x", "the end of the line expected at column 29, not 'x'"},
        {"{\"t\":true}", "a string or a number expected at column 6, not 't'"},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_FALSE(ParseCaptureLine(row.line, error)) << row.line;
        EXPECT_EQ(error, row.why) << row.line;
    }
    std::string error;
    EXPECT_FALSE(ParseCapture(
        "{\"t\":2,\"dir\":\"rx\",\"hex\":\"\"}\n\n{\"t\":1,\"dir\":\"rx\",\"hex\":\"\"}\n", error));
    EXPECT_EQ(error, "line 3: its time goes back before the line above");
    EXPECT_FALSE(LoadReplay("/nonexistent/capture.jsonl", 1, error));
    EXPECT_EQ(error, "/nonexistent/capture.jsonl: No such file or directory");
}

// Only what the controller sent, scaled by the speed, starting once the program's end is opened.
TEST(Replay, PlaysTheReceivedChunksOnceTheProgramOpensTheLine) {
    std::string error;
    const auto capture = ParseCapture(
        "{\"t\":0.010,\"dir\":\"rx\",\"hex\":\"4F4B\"}\n"
        "{\"t\":0.020,\"dir\":\"tx\",\"hex\":\"AA55\"}\n"
        "{\"t\":0.040,\"dir\":\"rx\",\"hex\":\"0102\"}\n",
        error);
    ASSERT_TRUE(capture) << error;
    const std::vector<ReplayChunk> script = ReplayScript(*capture, 2);
    EXPECT_EQ(script, (std::vector<ReplayChunk>{{5ms, {0x4F, 0x4B}, 0}, {20ms, {0x01, 0x02}, 2}}));

    Replayer replayer(script);
    replayer.Start();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(replayer.ChunksSent(), 0u);
    const int fd = open(replayer.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "\xAA\x55", 2), 2);
    std::vector<Byte> received;
    while (received.size() < 4) {
        pollfd line{fd, POLLIN, 0};
        ASSERT_EQ(poll(&line, 1, 5000), 1);
        Byte buffer[16];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        received.insert(received.end(), buffer, buffer + n);
    }
    EXPECT_EQ(received, (std::vector<Byte>{0x4F, 0x4B, 0x01, 0x02}));
    // The count follows the write it counts: after the join it is final.
    replayer.Stop();
    EXPECT_TRUE(replayer.Done());
    close(fd);
}

}  // namespace
}  // namespace quillon::sim::test
