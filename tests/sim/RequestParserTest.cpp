#include <gtest/gtest.h>

#include "ProgramEnd.h"
#include "sim/RequestParser.h"

namespace quillon::sim::test {
namespace {

std::vector<Byte> Concat(std::initializer_list<std::vector<Byte>> parts) {
    std::vector<Byte> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::vector<Byte> WithoutTrailer(std::vector<Byte> request) {
    request.pop_back();
    return request;
}

struct CatalogueCase {
    std::vector<Byte> bytes;
    RequestKind kind;
};

TEST(RequestParser, AcceptsEveryRequestOfTheProgramByteForByte) {
    const std::vector<CatalogueCase> cases{
        {kLinkOpen, RequestKind::LinkOpen},
        {kLinkClose, RequestKind::LinkClose},
        {kIoVersion, RequestKind::IoVersion},
        {kAll, RequestKind::AllItem},
        {kAllStates, RequestKind::AllStatesStart},
        {kAllStatesStop, RequestKind::AllStatesStop},
        {kSerialStart, RequestKind::SerialStart},
        {SerialNext(10), RequestKind::SerialNext},
        {SerialNext(47), RequestKind::SerialNext},
        {ComPower(0x05, 0x01), RequestKind::ComPower},
        {ComPower(0xFF, 0x00), RequestKind::ComPower},
        {ComPower(0xAA, 0x55), RequestKind::ComPower},
        {kComConfirm, RequestKind::ComConfirm},
        {kOsdDisplayOn, RequestKind::OsdDisplayOn},
        {kOsdDisplayOff, RequestKind::OsdDisplayOff},
        {kOsdKeepOn, RequestKind::OsdKeepOn},
        {kOsdKeepOff, RequestKind::OsdKeepOff},
    };
    for (const CatalogueCase& c : cases) {
        RequestParser parser;
        const auto items = parser.Feed(c.bytes);
        ASSERT_EQ(items.size(), 1u) << Hex(c.bytes);
        EXPECT_EQ(items[0].kind, c.kind) << Hex(c.bytes);
        EXPECT_EQ(items[0].bytes, c.bytes);
        EXPECT_EQ(parser.Pending(), 0u);
    }
}

TEST(RequestParser, RejectsNearMisses) {
    std::vector<Byte> badPadding = SerialNext(12);
    badPadding[200] = 0x01;
    std::vector<Byte> badComChecksum = ComPower(0x05, 0x01);
    badComChecksum[7] ^= 0x01;
    std::vector<Byte> badOsd = kOsdDisplayOn;
    badOsd[16] = 0x47;
    for (const auto& bytes : {SerialNext(9), SerialNext(48), badPadding, badComChecksum, badOsd}) {
        RequestParser parser;
        auto items = parser.Feed(bytes);
        const auto flushed = parser.Flush();
        items.insert(items.end(), flushed.begin(), flushed.end());
        ASSERT_FALSE(items.empty()) << Hex(bytes);
        for (const auto& item : items) EXPECT_FALSE(item.kind) << Hex(item.bytes);
        EXPECT_EQ(parser.Pending(), 0u);
    }
}

TEST(RequestParser, CompletesARequestThatArrivesByteByByte) {
    RequestParser parser;
    const std::vector<Byte> request = SerialNext(21);
    for (std::size_t i = 0; i + 1 < request.size(); ++i) {
        ASSERT_TRUE(parser.Feed(std::span(&request[i], 1)).empty()) << "at byte " << i;
    }
    const auto items = parser.Feed(std::span(&request.back(), 1));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, RequestKind::SerialNext);
    EXPECT_EQ(items[0].bytes, request);
}

TEST(RequestParser, SeparatesRequestsThatShareARead) {
    RequestParser parser;
    const std::vector<Byte> stream = Concat({kLinkOpen, kSerialStart, ComPower(0x03, 0x02), kLinkOpen});
    const auto first = parser.Feed(std::span(stream).first(20));
    const auto second = parser.Feed(std::span(stream).subspan(20));
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(first[0].kind, RequestKind::LinkOpen);
    EXPECT_EQ(first[1].kind, RequestKind::SerialStart);
    EXPECT_EQ(second[0].kind, RequestKind::ComPower);
    EXPECT_EQ(second[1].kind, RequestKind::LinkOpen);
}

TEST(RequestParser, RejectsAMissingTrailerAndResumesAtTheNextRequest) {
    RequestParser parser;
    const auto items = parser.Feed(Concat({WithoutTrailer(kLinkOpen), kIoVersion}));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_FALSE(items[0].kind);
    EXPECT_EQ(items[0].bytes, WithoutTrailer(kLinkOpen));
    EXPECT_EQ(items[1].kind, RequestKind::IoVersion);
}

TEST(RequestParser, RejectsNoiseBeforeARequest) {
    RequestParser parser;
    const auto items = parser.Feed(Concat({{0x12, 0x34, 0xAA, 0x00, 0x99}, kLinkClose}));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].bytes, (std::vector<Byte>{0x12, 0x34}));
    EXPECT_EQ(items[1].bytes, (std::vector<Byte>{0xAA, 0x00, 0x99}));
    EXPECT_FALSE(items[0].kind);
    EXPECT_FALSE(items[1].kind);
    EXPECT_EQ(items[2].kind, RequestKind::LinkClose);
}

TEST(RequestParser, HoldsAPrefixUntilFlushedThenRejectsIt) {
    RequestParser parser;
    const std::vector<Byte> prefix = WithoutTrailer(kAllStates);
    EXPECT_TRUE(parser.Feed(prefix).empty());
    EXPECT_EQ(parser.Pending(), prefix.size());
    const auto items = parser.Flush();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_FALSE(items[0].kind);
    EXPECT_EQ(items[0].bytes, prefix);
    EXPECT_EQ(parser.Pending(), 0u);
    const auto next = parser.Feed(kAllStates);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].kind, RequestKind::AllStatesStart);
}

TEST(RequestParser, HexIsSpacedUpperCase) {
    EXPECT_EQ(Hex(std::vector<Byte>{0xAA, 0x05, 0x0B}), "AA 05 0B");
    EXPECT_EQ(Hex(std::vector<Byte>{}), "");
}

}  // namespace
}  // namespace quillon::sim::test
