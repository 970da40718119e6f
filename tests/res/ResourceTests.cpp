#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "Resource.h"
#include "platform/afx/AfxRes.h"

namespace {

TEST(StringResources, AboutEntryNamesTheAboutBox) {
    const char* entry = AfxFindStringResource(IDS_ABOUTBOX);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry, "關於 Quillon(&A)...");
    // The menu entry and the box it opens must not drift apart.
    EXPECT_EQ(std::string(entry), std::string(AfxFindDialogTemplate(IDD_ABOUTBOX)->lpszCaption) + "(&A)...");
}

TEST(StringResources, UnknownIdsHaveNoString) {
    EXPECT_EQ(AfxFindStringResource(0), nullptr);
    EXPECT_EQ(AfxFindStringResource(IDD_ABOUTBOX), nullptr);
    EXPECT_EQ(AfxFindStringResource(IDD_QUILLON_DIALOG), nullptr);
}

std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint32_t Crc32(const unsigned char* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

struct PngInfo {
    std::uint32_t width = 0, height = 0;
    bool hasImageData = false;
};

// Walks the chunks, checking every length and CRC, up to an IEND that must end the data exactly.
testing::AssertionResult ParsePng(const AFX_RESDATA& data, PngInfo& info) {
    static constexpr std::array<unsigned char, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data.pData == nullptr || data.nSize < kSignature.size())
        return testing::AssertionFailure() << "no data";
    if (!std::equal(kSignature.begin(), kSignature.end(), data.pData))
        return testing::AssertionFailure() << "no PNG signature";
    std::size_t at = kSignature.size();
    bool first = true;
    while (at + 12 <= data.nSize) {
        const std::uint32_t length = BigEndian32(data.pData + at);
        if (length > data.nSize - at - 12)
            return testing::AssertionFailure() << "chunk at " << at << " overruns";
        const unsigned char* type = data.pData + at + 4;
        const std::string name(reinterpret_cast<const char*>(type), 4);
        if (Crc32(type, length + 4) != BigEndian32(type + 4 + length))
            return testing::AssertionFailure() << "bad CRC in " << name;
        if (first != (name == "IHDR")) return testing::AssertionFailure() << "IHDR is not the first chunk";
        if (name == "IHDR") {
            if (length != 13) return testing::AssertionFailure() << "IHDR of " << length << " bytes";
            info.width = BigEndian32(type + 4);
            info.height = BigEndian32(type + 8);
        }
        info.hasImageData |= name == "IDAT";
        first = false;
        at += 12 + length;
        if (name == "IEND") {
            if (at != data.nSize) return testing::AssertionFailure() << "data after IEND";
            return testing::AssertionSuccess();
        }
    }
    return testing::AssertionFailure() << "no IEND";
}

TEST(IconResources, WindowAndAboutBoxGetTheSameApplicationIcon) {
    const AFX_RESDATA window = AfxFindImageResource(IDR_MAINFRAME);
    const AFX_RESDATA about = AfxFindImageResource(IDI_ABOUT);
    ASSERT_NE(window.pData, nullptr);
    EXPECT_EQ(about.pData, window.pData);
    EXPECT_EQ(about.nSize, window.nSize);
}

TEST(IconResources, IconIsAWellFormedSquarePng) {
    PngInfo info;
    ASSERT_TRUE(ParsePng(AfxFindImageResource(IDR_MAINFRAME), info));
    EXPECT_TRUE(info.hasImageData);
    EXPECT_EQ(info.width, 64u);
    EXPECT_EQ(info.height, 64u);
}

TEST(IconResources, UnknownIdsHaveNoPicture) {
    for (UINT id : {0u, IDS_ABOUTBOX, IDD_QUILLON_DIALOG, 0xFFFFu}) {
        const AFX_RESDATA data = AfxFindImageResource(id);
        EXPECT_EQ(data.pData, nullptr) << id;
        EXPECT_EQ(data.nSize, 0u) << id;
    }
}

}  // namespace
