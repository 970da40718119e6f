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

TEST(IconResources, IconIsASquarePngWithTransparencyDrawnFromAWholeDocument) {
    EXPECT_TRUE(IsWholeSvgDocument(ComposedDocument("quillon-icon.svg"), R"(width="64" height="64")"));
    const std::string png = Resource(IDR_MAINFRAME);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x40\0\0\0\x40", 8));  // 64 x 64, big-endian
    EXPECT_EQ(png[25], 6) << "red, green, blue and alpha";
}

TEST(PictureResources, EachPageIsDrawnFromAWholeDocumentIntoPixelsDrawnAsTheyStand) {
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
        const std::string bmp = Resource(id);
        ASSERT_GT(bmp.size(), 54u) << file;
        EXPECT_EQ(bmp.substr(0, 2), "BM") << file;
        EXPECT_EQ(Field(bmp, 18, 4), 1024u) << file;
        EXPECT_EQ(static_cast<std::int32_t>(Field(bmp, 22, 4)), -768) << file << ": top row first";
        EXPECT_EQ(Field(bmp, 28, 2), 32u) << file;
        EXPECT_EQ(Field(bmp, 30, 4), 0u) << file << ": uncompressed";
        const std::uint32_t nOffset = Field(bmp, 10, 4);
        EXPECT_EQ(bmp.size(), nOffset + 1024u * 768u * 4u) << file;
        // Drawn in place, the rows must lie aligned in memory.
        EXPECT_EQ((reinterpret_cast<std::uintptr_t>(AfxFindImageResource(id).pData) + nOffset) % 4, 0u)
            << file;
        EXPECT_TRUE(pictures.insert(bmp).second) << file << " repeats another page";
    }
}

TEST(IconResources, UnknownIdsHaveNoPicture) {
    for (UINT id : {0u, IDS_ABOUTBOX, IDD_QUILLON_DIALOG, 0xFFFFu}) {
        const AFX_RESDATA data = AfxFindImageResource(id);
        EXPECT_EQ(data.pData, nullptr) << id;
        EXPECT_EQ(data.nSize, 0u) << id;
    }
}

}  // namespace
