// The page tables as data: every control they name exists, and the rules a user relies on hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

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
    for (ControlSet set : {ControlSet(kPaintLabels)}) check(set);
}

TEST(PageTables, PicturesByPageCode) {
    EXPECT_EQ(PagePicture(PAGE_IO), PagePicture(PAGE_IO_COM));
    EXPECT_EQ(PagePicture(PAGE_WAIT_ACTIVATION), 133u);
    EXPECT_EQ(PagePicture(PAGE_WAIT_EXIT_CONFIRM), 154u);
    EXPECT_EQ(PagePicture(1), 0u);
    EXPECT_TRUE(PaintVisibility(1, 0).empty());
}

TEST(PageTables, TheIoPagesLeaveWhatTheyDoNotOwn) {
    const std::set<UINT> ioTile = Mentioned(SwitchVisibility(PageTile::Io));
    for (UINT nID : {1373u, 1396u, 1213u, 1216u, 1222u, 1408u, 1414u, 1209u})
        EXPECT_FALSE(ioTile.count(nID)) << nID;
    const std::set<UINT> ioPaint = Mentioned(PaintVisibility(PAGE_IO, 1));
    for (UINT nID : {1022u, 1399u, 1407u}) EXPECT_FALSE(ioPaint.count(nID)) << nID;
    EXPECT_FALSE(Mentioned(PaintVisibility(PAGE_IO_COM, 1)).count(IDC_PAGE_IO));
}

TEST(PageTables, TheYellowTileChoosesOneHotArea) {
    for (int nPage : {PAGE_TERMINAL_STATUS, PAGE_THERMAL, PAGE_POWER, PAGE_EXIT_CONFIRM}) {
        for (int bNoCom : {0, 1}) {
            const auto visibility = PaintVisibility(nPage, bNoCom);
            EXPECT_EQ(Shows(visibility, IDC_PAGE_IO), bNoCom == 1);
            EXPECT_EQ(Shows(visibility, IDC_PAGE_IO_COM), bNoCom == 0);
        }
    }
    EXPECT_FALSE(Shows(PaintVisibility(PAGE_WAIT_ACTIVATION, 0), IDC_PAGE_IO_COM));
    EXPECT_FALSE(Shows(PaintVisibility(PAGE_WAIT_EXIT_CONFIRM, 1), IDC_PAGE_IO));
}

// The first control of the template lies on top: the busy and result messages must stay readable
// while the question is shown beneath them.
TEST(PageTables, TheBusyAndResultMessagesLieOverTheQuestion) {
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialogTemplate(IDD_QUILLON_DIALOG);
    ASSERT_NE(pTemplate, nullptr);
    auto position = [&](UINT nID) {
        for (std::size_t i = 0; i < pTemplate->nItems; ++i)
            if (pTemplate->pItems[i].nID == nID) return i;
        return pTemplate->nItems;
    };
    for (UINT nID : {1410u, 1411u, 1414u}) EXPECT_LT(position(nID), position(1409)) << nID;
    EXPECT_LT(position(1409), pTemplate->nItems);
}
