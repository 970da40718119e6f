#include <gtest/gtest.h>

#include <regex>
#include <set>
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

std::string Document(UINT id) {
    const AFX_RESDATA data = AfxFindImageResource(id);
    if (data.pData == nullptr) return {};
    return {reinterpret_cast<const char*>(data.pData), data.nSize};
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

TEST(IconResources, IconIsASquareSvgDocument) {
    EXPECT_TRUE(IsWholeSvgDocument(Document(IDR_MAINFRAME), R"(width="64" height="64")"));
}

TEST(PictureResources, EachPageHasItsOwnWholeSvgDocument) {
    std::set<std::string> documents;
    for (UINT id : {IDB_WAIT_ACTIVATION, IDB_TERMINAL_STATUS, IDB_THERMAL, IDB_POWER, IDB_IO,
                    IDB_EXIT_CONFIRM, IDB_WAIT_EXIT_CONFIRM}) {
        const std::string text = Document(id);
        EXPECT_TRUE(IsWholeSvgDocument(text, R"(width="1024" height="768")")) << id;
        EXPECT_TRUE(documents.insert(text).second) << id << " repeats another page";
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
