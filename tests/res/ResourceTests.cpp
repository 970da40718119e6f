#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <utility>

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

std::string Resource(UINT id) {
    const AFX_RESDATA data = AfxFindImageResource(id);
    if (data.pData == nullptr) return {};
    return {reinterpret_cast<const char*>(data.pData), data.nSize};
}

std::string ComposedDocument(const std::string& file) {
    std::ifstream in(std::string(QUILLON_COMPOSED_DIR) + "/" + file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Little-endian field of a picture's header.
std::uint32_t Field(const std::string& bytes, std::size_t nAt, std::size_t nSize) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < nSize && nAt + i < bytes.size(); ++i)
        value |= std::uint32_t{static_cast<unsigned char>(bytes[nAt + i])} << (8 * i);
    return value;
}

// The renderer follows no reference into another file and draws nothing for a link it cannot
// resolve: every picture must be one whole document.
testing::AssertionResult IsWholeSvgDocument(const std::string& text, const std::string& size) {
    if (!text.starts_with("<?xml")) return testing::AssertionFailure() << "no XML declaration";
    const std::size_t root = text.find("<svg ");
    if (root == std::string::npos) return testing::AssertionFailure() << "no <svg> element";
    if (text.find(size, root) > text.find('>', root))
        return testing::AssertionFailure() << "the root does not declare " << size;
    std::set<std::string> ids;
    const std::regex id(R"( id="([^"]+)\")");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), id); it != std::sregex_iterator(); ++it) {
        if (!ids.insert((*it)[1]).second) return testing::AssertionFailure() << "id " << (*it)[1] << " twice";
    }
    const std::regex reference(R"((?:xlink:href="|url\()([^")]*)#([^")]+))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), reference); it != std::sregex_iterator();
         ++it) {
        if ((*it)[1].length() != 0) return testing::AssertionFailure() << "refers into " << (*it)[1];
        if (!ids.contains((*it)[2])) return testing::AssertionFailure() << "refers to missing " << (*it)[2];
    }
    return testing::AssertionSuccess();
}

TEST(IconResources, WindowAndAboutBoxGetTheSameApplicationIcon) {
    const AFX_RESDATA window = AfxFindImageResource(IDR_MAINFRAME);
    const AFX_RESDATA about = AfxFindImageResource(IDI_ABOUT);
    ASSERT_NE(window.pData, nullptr);
    EXPECT_EQ(about.pData, window.pData);
    EXPECT_EQ(about.nSize, window.nSize);
}

// The form in which the program draws the icon from its embedded bytes: 32 bits a pixel, top row
// first, the rows aligned in memory, with an alpha byte by bit masks.
testing::AssertionResult IsTopDownBitmap(UINT id, std::int32_t nWidth, std::int32_t nHeight) {
    const std::string bmp = Resource(id);
    const std::uint32_t nOffset = Field(bmp, 10, 4);
    if (bmp.size() < 70 || bmp.substr(0, 2) != "BM") return testing::AssertionFailure() << "not a bitmap";
    if (static_cast<std::int32_t>(Field(bmp, 18, 4)) != nWidth ||
        static_cast<std::int32_t>(Field(bmp, 22, 4)) != -nHeight)
        return testing::AssertionFailure() << "not " << nWidth << " x " << nHeight << " top row first";
    if (Field(bmp, 28, 2) != 32 || Field(bmp, 30, 4) != 3)
        return testing::AssertionFailure() << "not 32 bits a pixel by bit masks";
    if (Field(bmp, 54, 4) != 0x00FF0000u || Field(bmp, 66, 4) != 0xFF000000u)
        return testing::AssertionFailure() << "red or alpha mask is not the usual one";
    if (bmp.size() != nOffset + std::uint64_t{4} * nWidth * nHeight)
        return testing::AssertionFailure() << "cut";
    if ((reinterpret_cast<std::uintptr_t>(AfxFindImageResource(id).pData) + nOffset) % 4 != 0)
        return testing::AssertionFailure() << "rows not aligned in memory";
    return testing::AssertionSuccess();
}

// A page as it is stored: a PNG of 8-bit red, green and blue, with no alpha channel, compressed to a
// small part of its 3 MB of pixels.
testing::AssertionResult IsOpaquePng(UINT id, std::uint32_t nWidth, std::uint32_t nHeight) {
    const std::string png = Resource(id);
    const auto big = [&png](std::size_t nAt) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(png[nAt + i]);
        return value;
    };
    if (png.size() < 33 || png.substr(0, 8) != "\x89PNG\r\n\x1a\n" || png.substr(12, 4) != "IHDR")
        return testing::AssertionFailure() << "not a PNG";
    if (big(16) != nWidth || big(20) != nHeight)
        return testing::AssertionFailure()
               << big(16) << " x " << big(20) << ", not " << nWidth << " x " << nHeight;
    if (png[24] != 8 || png[25] != 2) return testing::AssertionFailure() << "not 8-bit RGB";
    if (png.size() > 256 * 1024) return testing::AssertionFailure() << png.size() << " bytes";
    return testing::AssertionSuccess();
}

TEST(IconResources, IconIsASquarePictureWithTransparencyDrawnFromAWholeDocument) {
    EXPECT_TRUE(IsWholeSvgDocument(ComposedDocument("quillon-icon.svg"), R"(width="64" height="64")"));
    ASSERT_TRUE(IsTopDownBitmap(IDR_MAINFRAME, 64, 64));
    const std::string bmp = Resource(IDR_MAINFRAME);
    const auto alpha = [&bmp](int x, int y) {
        return static_cast<unsigned char>(bmp[Field(bmp, 10, 4) + 4 * (64 * y + x) + 3]);
    };
    EXPECT_EQ(alpha(0, 0), 0) << "a round badge leaves its corners clear";
    EXPECT_EQ(alpha(32, 28), 255) << "and covers its middle";
}

TEST(PictureResources, EachPageIsAnOpaquePictureDrawnFromAWholeDocument) {
    const std::pair<UINT, const char*> pages[] = {{IDB_WAIT_ACTIVATION, "pictures/wait-activation.svg"},
                                                  {IDB_TERMINAL_STATUS, "pictures/terminal-status.svg"},
                                                  {IDB_THERMAL, "pictures/thermal.svg"},
                                                  {IDB_POWER, "pictures/power.svg"},
                                                  {IDB_IO, "pictures/io.svg"},
                                                  {IDB_EXIT_CONFIRM, "pictures/exit-confirm.svg"},
                                                  {IDB_WAIT_EXIT_CONFIRM, "pictures/wait-exit-confirm.svg"}};
    std::set<std::string> pictures;
    for (const auto& [id, file] : pages) {
        EXPECT_TRUE(IsWholeSvgDocument(ComposedDocument(file), R"(width="1024" height="768")")) << file;
        EXPECT_TRUE(IsOpaquePng(id, 1024, 768)) << file;
        EXPECT_TRUE(pictures.insert(Resource(id)).second) << file << " repeats another page";
    }
}

TEST(PictureResources, EveryPageIsDecodedAheadOfNeedTheStartScreenFirst) {
    const UINT* pIds = nullptr;
    const std::size_t nIds = AfxBitmapResourceIds(&pIds);
    ASSERT_GT(nIds, 0u);
    const std::set<UINT> ids(pIds, pIds + nIds);
    EXPECT_EQ(ids, (std::set<UINT>{IDB_WAIT_ACTIVATION, IDB_TERMINAL_STATUS, IDB_THERMAL, IDB_POWER, IDB_IO,
                                   IDB_EXIT_CONFIRM, IDB_WAIT_EXIT_CONFIRM}));
    EXPECT_EQ(ids.size(), nIds) << "a page listed twice";
    EXPECT_EQ(pIds[0], IDB_WAIT_ACTIVATION);
}

TEST(IconResources, UnknownIdsHaveNoPicture) {
    for (UINT id : {0u, IDS_ABOUTBOX, IDD_QUILLON_DIALOG, 0xFFFFu}) {
        const AFX_RESDATA data = AfxFindImageResource(id);
        EXPECT_EQ(data.pData, nullptr) << id;
        EXPECT_EQ(data.nSize, 0u) << id;
    }
}

}  // namespace
