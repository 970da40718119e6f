// The page tables as data: every control they name exists, and the rules a user relies on hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>
#include <vector>

#include "platform/afx/AfxRes.h"
#include "ui/Pages.h"

using namespace quillon;

namespace {

std::set<UINT> TemplateIds() {
    std::set<UINT> ids;
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialogTemplate(IDD_QUILLON_DIALOG);
    for (std::size_t i = 0; pTemplate && i < pTemplate->nItems; ++i) ids.insert(pTemplate->pItems[i].nID);
    return ids;
}

std::set<UINT> Mentioned(const std::vector<ShowStep>& steps) {
    std::set<UINT> ids;
    for (const auto& step : steps)
        for (UINT nID = step.nFirst; nID <= step.nLast; ++nID) ids.insert(nID);
    return ids;
}

bool Shows(const std::vector<ShowStep>& steps, UINT nID) {
    return std::any_of(steps.begin(), steps.end(), [nID](const ShowStep& step) {
        return nID >= step.nFirst && nID <= step.nLast && step.bShow;
    });
}

}  // namespace

TEST(PageTables, NameOnlyControlsOfTheTemplate) {
    const std::set<UINT> ids = TemplateIds();
    auto check = [&](ControlSet controls) {
        for (const IdRange& range : controls)
            for (UINT nID = range.nFirst; nID <= range.nLast; ++nID) EXPECT_TRUE(ids.count(nID)) << nID;
    };
    for (const auto& row : kSwitchTable) check(row.controls);
    for (const auto& row : kPaintTable) check(row.controls);
    for (const auto& row : kPaintEntryTable) check(row.controls);
    for (ControlSet set : {ControlSet(kPaintLabels)}) check(set);
}

TEST(PageTables, PicturesByPageCode) {
    EXPECT_EQ(PagePicture(PAGE_IO), PagePicture(PAGE_IO_COM));
    EXPECT_EQ(PagePicture(PAGE_WAIT_ACTIVATION), 133u);
    EXPECT_EQ(PagePicture(PAGE_WAIT_EXIT_CONFIRM), 154u);
    EXPECT_EQ(PagePicture(1), 0u);
    EXPECT_TRUE(PaintVisibility(1, 0, true).empty());
}

TEST(PageTables, TheIoPagesLeaveWhatTheyDoNotOwn) {
    const std::set<UINT> ioTile = Mentioned(SwitchVisibility(PageTile::Io));
    for (UINT nID : {1373u, 1396u, 1213u, 1216u, 1222u, 1408u, 1414u, 1209u})
        EXPECT_FALSE(ioTile.count(nID)) << nID;
    const std::set<UINT> ioPaint = Mentioned(PaintVisibility(PAGE_IO, 1, true));
    for (UINT nID : {1022u, 1399u, 1407u}) EXPECT_FALSE(ioPaint.count(nID)) << nID;
    EXPECT_FALSE(Mentioned(PaintVisibility(PAGE_IO_COM, 1, true)).count(IDC_PAGE_IO));
}

TEST(PageTables, TheYellowTileChoosesOneHotArea) {
    for (int nPage : {PAGE_TERMINAL_STATUS, PAGE_THERMAL, PAGE_POWER, PAGE_EXIT_CONFIRM}) {
        for (int bNoCom : {0, 1}) {
            const auto visibility = PaintVisibility(nPage, bNoCom, false);
            EXPECT_EQ(Shows(visibility, IDC_PAGE_IO), bNoCom == 1);
            EXPECT_EQ(Shows(visibility, IDC_PAGE_IO_COM), bNoCom == 0);
        }
    }
    EXPECT_FALSE(Shows(PaintVisibility(PAGE_WAIT_ACTIVATION, 0, true), IDC_PAGE_IO_COM));
    EXPECT_FALSE(Shows(PaintVisibility(PAGE_WAIT_EXIT_CONFIRM, 1, true), IDC_PAGE_IO));
}

// Only the first paint of the terminal-status page completes it: a later one leaves the pause that
// "Exit" began, with its fields hidden and NO shown.
TEST(PageTables, OnlyTheFirstPaintOfTheTerminalStatusPageShowsItsFields) {
    const auto first = PaintVisibility(PAGE_TERMINAL_STATUS, 0, true);
    EXPECT_TRUE(Shows(first, 1243));
    EXPECT_TRUE(Shows(first, IDC_CONSOLE));
    EXPECT_TRUE(Mentioned(first).count(IDC_EXIT_NO));
    EXPECT_FALSE(Shows(first, IDC_EXIT_NO));
    const std::set<UINT> later = Mentioned(PaintVisibility(PAGE_TERMINAL_STATUS, 0, false));
    for (UINT nID : {1004u, 1243u, 1364u, 1000u, 1209u, 1253u, 1301u}) EXPECT_FALSE(later.count(nID)) << nID;
}

// The first control of the template lies on top. Every pair of controls that overlap in the
// template, whether or not a page shows them together, keeps this order of layers, top first.
TEST(PageTables, OverlappingControlsLieInTheOrderTheUserNeeds) {
    struct Layer {
        const char* name;
        std::vector<IdRange> controls;
    };
    const Layer layers[] = {
        {"busy and result messages", {{1410, 1411}, {1414, 1414}}},
        {"notice box", {{1408, 1408}}},
        {"question", {{1409, 1409}}},
        {"dialogue buttons", {{1213, 1222}}},
        {"page controls", {{1004, 1004}, {1008, 1008}, {1016, 1016}, {1239, 1396}, {1399, 1406}}},
        {"frame", {{1407, 1407}}},
        {"console", {{1000, 1000}}},
        {"hot areas",
         {{2, 2},
          {1010, 1010},
          {1015, 1015},
          {1020, 1020},
          {1022, 1022},
          {1026, 1026},
          {1209, 1212},
          {1236, 1236}}},
    };
    auto layerOf = [&](UINT nID) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < std::size(layers); ++i)
            for (const IdRange& range : layers[i].controls)
                if (nID >= range.nFirst && nID <= range.nLast) return i;
        return std::nullopt;
    };
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialogTemplate(IDD_QUILLON_DIALOG);
    ASSERT_NE(pTemplate, nullptr);
    auto overlap = [](const AFX_DLGITEM& a, const AFX_DLGITEM& b) {
        return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
    };
    int nOrdered = 0;
    for (std::size_t i = 0; i < pTemplate->nItems; ++i) {
        const AFX_DLGITEM& upper = pTemplate->pItems[i];
        const auto upperLayer = layerOf(upper.nID);
        // Controls that no page ever shows (the port and speed lists, the hidden commands) have none.
        if (!upperLayer) continue;
        for (std::size_t j = i + 1; j < pTemplate->nItems; ++j) {
            const AFX_DLGITEM& lower = pTemplate->pItems[j];
            const auto lowerLayer = layerOf(lower.nID);
            if (!lowerLayer || !overlap(upper, lower) || *lowerLayer == *upperLayer) continue;
            EXPECT_LT(*upperLayer, *lowerLayer)
                << upper.nID << " (" << layers[*upperLayer].name << ") lies over " << lower.nID << " ("
                << layers[*lowerLayer].name << ")";
            ++nOrdered;
        }
    }
    EXPECT_GT(nOrdered, 100);
}
