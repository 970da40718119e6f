#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "Resource.h"
#include "platform/afx/AfxRes.h"

namespace {

std::span<const AFX_DLGITEM> ItemsOf(const AFX_DLGTEMPLATE& dialog) {
    return {dialog.pItems, dialog.nItems};
}

const AFX_DLGTEMPLATE& Template(UINT id) {
    const AFX_DLGTEMPLATE* dialog = AfxFindDialogTemplate(id);
    if (dialog == nullptr) throw std::runtime_error("no dialog template " + std::to_string(id));
    return *dialog;
}

const AFX_DLGTEMPLATE& MainDialog() {
    return Template(IDD_QUILLON_DIALOG);
}

const AFX_DLGITEM& Item(const AFX_DLGTEMPLATE& dialog, UINT id) {
    for (const AFX_DLGITEM& item : ItemsOf(dialog)) {
        if (item.nID == id) return item;
    }
    throw std::runtime_error("no control " + std::to_string(id));
}

bool Is(const AFX_DLGITEM& item, const char* cls) {
    return std::strcmp(item.lpszClass, cls) == 0;
}
DWORD ButtonKind(const AFX_DLGITEM& item) {
    return item.dwStyle & 0x000F;
}
bool IsHotArea(const AFX_DLGITEM& item) {
    return Is(item, "BUTTON") && ButtonKind(item) == BS_OWNERDRAW;
}
bool IsRadio(const AFX_DLGITEM& item) {
    return Is(item, "BUTTON") && ButtonKind(item) == BS_AUTORADIOBUTTON;
}

// Picture pixels; right and bottom exclusive.
struct Rect {
    double left, top, right, bottom;
    double Area() const { return std::max(0.0, right - left) * std::max(0.0, bottom - top); }
};

// One dialog unit is 2 px across and 2.25 px down on screen.
Rect OnScreen(const AFX_DLGITEM& item) {
    return {item.x * 2.0, item.y * 2.25, (item.x + item.cx) * 2.0, (item.y + item.cy) * 2.25};
}

// The picture layout gives both ends of a range.
Rect Pixels(int left, int right, int top, int bottom) {
    return {double(left), double(top), right + 1.0, bottom + 1.0};
}

Rect Intersection(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool Contains(const Rect& outer, const Rect& inner, double slack) {
    return inner.left >= outer.left - slack && inner.top >= outer.top - slack &&
           inner.right <= outer.right + slack && inner.bottom <= outer.bottom + slack;
}

std::string Describe(const Rect& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ") - (" + std::to_string(r.right) +
           ", " + std::to_string(r.bottom) + ")";
}

TEST(DialogTemplateLookup, FindsBothTemplatesByIdAndNothingElse) {
    const AFX_DLGTEMPLATE* about = AfxFindDialogTemplate(IDD_ABOUTBOX);
    const AFX_DLGTEMPLATE* main = AfxFindDialogTemplate(IDD_QUILLON_DIALOG);
    ASSERT_NE(about, nullptr);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(about->nID, IDD_ABOUTBOX);
    EXPECT_EQ(main->nID, IDD_QUILLON_DIALOG);
    EXPECT_EQ(AfxFindDialogTemplate(IDS_ABOUTBOX), nullptr);
    EXPECT_EQ(AfxFindDialogTemplate(0), nullptr);
}

class EachDialogTemplate : public testing::TestWithParam<UINT> {
protected:
    const AFX_DLGTEMPLATE& Dialog() const { return Template(GetParam()); }
};

TEST_P(EachDialogTemplate, ControlIdsAreUnique) {
    std::set<UINT> seen;
    for (const AFX_DLGITEM& item : ItemsOf(Dialog())) {
        EXPECT_TRUE(seen.insert(item.nID).second) << "control " << item.nID << " appears twice";
    }
}

TEST_P(EachDialogTemplate, EveryControlLiesInsideTheDialog) {
    const AFX_DLGTEMPLATE& dialog = Dialog();
    for (const AFX_DLGITEM& item : ItemsOf(dialog)) {
        EXPECT_GE(item.x, 0) << item.nID;
        EXPECT_GE(item.y, 0) << item.nID;
        EXPECT_GT(item.cx, 0) << item.nID;
        EXPECT_GT(item.cy, 0) << item.nID;
        EXPECT_LE(item.x + item.cx, dialog.cx) << item.nID;
        EXPECT_LE(item.y + item.cy, dialog.cy) << item.nID;
    }
}

TEST_P(EachDialogTemplate, ControlsAreChildWindowsOfKnownClasses) {
    const std::set<std::string> classes = {"BUTTON", "EDIT", "STATIC", "COMBOBOX", "SysTabControl32"};
    for (const AFX_DLGITEM& item : ItemsOf(Dialog())) {
        ASSERT_NE(item.lpszClass, nullptr) << item.nID;
        ASSERT_NE(item.lpszCaption, nullptr) << item.nID;
        EXPECT_TRUE(classes.contains(item.lpszClass)) << item.nID << " " << item.lpszClass;
        EXPECT_TRUE(item.dwStyle & WS_CHILD) << item.nID;
        EXPECT_FALSE(item.dwStyle & WS_POPUP) << item.nID;
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, EachDialogTemplate, testing::Values(IDD_ABOUTBOX, IDD_QUILLON_DIALOG));

TEST(MainDialogTemplate, IsACaptionlessPopupThatTheStretchedPictureFills) {
    const AFX_DLGTEMPLATE& dialog = MainDialog();
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_TRUE(dialog.dwStyle & WS_POPUP);
    EXPECT_TRUE(dialog.dwStyle & WS_VISIBLE);
    EXPECT_TRUE(dialog.dwStyle & WS_CLIPCHILDREN) << "the paint would draw over the controls";
    EXPECT_EQ(dialog.dwStyle & WS_CAPTION, 0u);
    EXPECT_EQ(dialog.dwStyle & WS_SYSMENU, 0u);
    EXPECT_EQ(dialog.dwStyle & DS_SHELLFONT, DS_SHELLFONT);
    EXPECT_TRUE(dialog.dwExStyle & WS_EX_APPWINDOW);
    EXPECT_STREQ(dialog.lpszCaption, "");
    EXPECT_STREQ(dialog.lpszFaceName, "MS Shell Dlg");
    EXPECT_EQ(dialog.wPointSize, 11);

    // The 1024 x 768 picture is stretched to the client area: it must come out close to 1:1.
    const Rect client = OnScreen({0, "", "", 0, 0, dialog.cx, dialog.cy, 0, 0});
    EXPECT_GE(client.right, 1024);
    EXPECT_LE(client.right, 1030);
    EXPECT_GE(client.bottom, 768);
    EXPECT_LE(client.bottom, 772);
}

TEST(MainDialogTemplate, HoldsExactlyTheControlInventory) {
    std::set<UINT> expected = {IDCANCEL, 1000, 1002, 1004, 1008, 1010, 1013, 1015, 1016, 1020,
                               1022,     1026, 1124, 1171, 1205, 1231, 1236, 1357, 1358, 1414};
    const std::pair<UINT, UINT> ranges[] = {{1209, 1222}, {1239, 1243}, {1253, 1292}, {1301, 1308},
                                            {1315, 1354}, {1361, 1396}, {1399, 1411}};
    for (auto [first, last] : ranges) {
        for (UINT id = first; id <= last; ++id) expected.insert(id);
    }
    std::set<UINT> actual;
    for (const AFX_DLGITEM& item : ItemsOf(MainDialog())) actual.insert(item.nID);
    EXPECT_EQ(actual, expected);
}

TEST(MainDialogTemplate, StartsWithOnlyTheNeverShownControlsAndFieldIoVersionHidden) {
    const std::set<UINT> hidden = {IDC_PORT, IDC_SPEED,    IDC_ALL_STATE_CONTINUOUS, IDC_CLEAR_CONSOLE,
                                   IDC_ALL,  IDC_TAB_MAIN, IDC_EDIT_IO_VERSION};
    const std::set<UINT> disabled = {IDC_CONSOLE,       IDC_PORT, IDC_SPEED, IDC_ALL_STATE_CONTINUOUS,
                                     IDC_CLEAR_CONSOLE, IDC_ALL};
    for (const AFX_DLGITEM& item : ItemsOf(MainDialog())) {
        EXPECT_EQ((item.dwStyle & WS_VISIBLE) == 0, hidden.contains(item.nID)) << item.nID;
        EXPECT_EQ((item.dwStyle & WS_DISABLED) != 0, disabled.contains(item.nID)) << item.nID;
    }
}

TEST(MainDialogTemplate, ControlsHaveTheStylesOfTheirKind) {
    const std::map<UINT, DWORD> textAreaExtras = {
        {IDC_EDIT_SERIAL_NUMBERS, WS_VSCROLL}, {IDC_EDIT_COM_PORT_STATE, 0}, {IDC_EDIT_NOTICE, ES_CENTER}};
    const std::set<UINT> centredLabels = {1399, 1400, 1401, 1402, 1403, 1404, 1405, 1406, 1409, 1410, 1411};
    int fields = 0;
    for (const AFX_DLGITEM& item : ItemsOf(MainDialog())) {
        const DWORD style = item.dwStyle & ~(WS_CHILD | WS_VISIBLE | WS_DISABLED);
        if (IsHotArea(item)) {
            EXPECT_EQ(style, BS_OWNERDRAW | WS_TABSTOP) << item.nID;
            EXPECT_EQ(item.dwExStyle, WS_EX_TRANSPARENT) << item.nID;
        } else if (Is(item, "EDIT") && textAreaExtras.contains(item.nID)) {
            EXPECT_EQ(style & ~WS_TABSTOP,
                      ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | textAreaExtras.at(item.nID))
                << item.nID;
        } else if (Is(item, "EDIT") && item.nID != IDC_CONSOLE) {
            ++fields;
            EXPECT_EQ(style, ES_RIGHT | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP)
                << "value field " << item.nID;
            EXPECT_EQ(item.dwExStyle, 0u) << item.nID;
        } else if (Is(item, "STATIC")) {
            const DWORD align = centredLabels.contains(item.nID) ? SS_CENTER : SS_LEFT;
            EXPECT_EQ(style & 0x000F, align) << "label " << item.nID;
            EXPECT_EQ(style & WS_TABSTOP, 0u) << item.nID;
        }
    }
    EXPECT_EQ(fields, 12 + 16 + 24 + 2);

    const AFX_DLGITEM& console = Item(MainDialog(), IDC_CONSOLE);
    EXPECT_EQ(console.dwStyle & (ES_MULTILINE | ES_CENTER | ES_RIGHT), 0u);
    EXPECT_EQ(console.dwStyle & (ES_READONLY | ES_AUTOHSCROLL), ES_READONLY | ES_AUTOHSCROLL);
    EXPECT_EQ(console.dwExStyle, WS_EX_TRANSPARENT);

    for (UINT id = IDC_COM_PORT_SET; id <= IDC_OSD_OFF_NO; ++id) {
        EXPECT_EQ(ButtonKind(Item(MainDialog(), id)), BS_PUSHBUTTON) << "dialogue button " << id;
    }
    for (UINT id : {IDC_ALL_STATE_CONTINUOUS, IDC_CLEAR_CONSOLE, IDC_ALL}) {
        EXPECT_EQ(ButtonKind(Item(MainDialog(), id)), BS_DEFPUSHBUTTON) << id;
    }
    EXPECT_EQ(ButtonKind(Item(MainDialog(), IDC_COM_ENABLE_FRAME)), BS_GROUPBOX);
    for (UINT id : {IDC_PORT, IDC_SPEED}) {
        const AFX_DLGITEM& combo = Item(MainDialog(), id);
        EXPECT_TRUE(Is(combo, "COMBOBOX"));
        EXPECT_EQ(combo.dwStyle & (CBS_DROPDOWNLIST | CBS_SORT), CBS_DROPDOWNLIST | CBS_SORT) << id;
    }
    EXPECT_TRUE(Is(Item(MainDialog(), IDC_TAB_MAIN), "SysTabControl32"));
}

struct Tile {
    const char* name;
    Rect pixels;
    std::vector<UINT> hotAreas;
};

// Where the pictures put their tiles and the fields of the exit question.
const Tile kTiles[] = {
    {"red TERMINAL tile", Pixels(35, 160, 612, 737), {IDC_PAGE_TERMINAL_STATUS}},
    {"green THERMAL tile", Pixels(245, 370, 612, 737), {IDC_PAGE_THERMAL}},
    {"blue POWER STATUS tile", Pixels(449, 574, 612, 737), {IDC_PAGE_POWER}},
    {"yellow ADVANCED tile", Pixels(663, 787, 612, 737), {IDC_PAGE_IO_COM, IDC_PAGE_IO}},
    {"purple EXIT tile", Pixels(867, 992, 612, 737), {IDC_PAGE_EXIT, IDC_START_EXIT}},
    {"YES field", Pixels(543, 717, 261, 370), {static_cast<UINT>(IDCANCEL), IDC_START_EXIT_YES}},
    {"NO field", Pixels(543, 717, 391, 502), {IDC_EXIT_NO, IDC_START_EXIT_NO}},
};

TEST(MainDialogHotAreas, EachCoversItsTileOnTheScaledPicture) {
    std::set<UINT> checked;
    for (const Tile& tile : kTiles) {
        for (UINT id : tile.hotAreas) {
            checked.insert(id);
            const Rect area = OnScreen(Item(MainDialog(), id));
            const double covered = Intersection(area, tile.pixels).Area() / tile.pixels.Area();
            EXPECT_GE(covered, 0.95) << id << " " << Describe(area) << " on the " << tile.name;
            // Nor may it spill far beyond the tile, where a click should miss.
            EXPECT_TRUE(Contains(tile.pixels, area, 8.0))
                << id << " " << Describe(area) << " on the " << tile.name;
        }
    }
    for (const AFX_DLGITEM& item : ItemsOf(MainDialog())) {
        if (IsHotArea(item)) {
            EXPECT_TRUE(checked.contains(item.nID)) << "hot area " << item.nID << " has no tile";
        }
    }
}

TEST(MainDialogHotAreas, LieBeneathEveryControlThatOverlapsThem) {
    // The first control of a template lies on top; a control shown over a hot area's place must get the
    // click.
    const auto items = ItemsOf(MainDialog());
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!IsHotArea(items[i])) continue;
        for (std::size_t j = i + 1; j < items.size(); ++j) {
            if (IsHotArea(items[j])) continue;
            EXPECT_EQ(Intersection(OnScreen(items[i]), OnScreen(items[j])).Area(), 0.0)
                << "hot area " << items[i].nID << " lies over control " << items[j].nID;
        }
    }
}

TEST(MainDialogPageControls, StandOnTheWhitePanelsOfTheScaledPicture) {
    const Rect panels[] = {Pixels(36, 428, 149, 579), Pixels(450, 991, 159, 579)};
    const std::set<UINT> offPanel = {IDC_CONSOLE, IDC_PORT,          IDC_SPEED,   IDC_ALL_STATE_CONTINUOUS,
                                     IDC_ALL,     IDC_CLEAR_CONSOLE, IDC_TAB_MAIN};
    for (const AFX_DLGITEM& item : ItemsOf(MainDialog())) {
        if (IsHotArea(item) || offPanel.contains(item.nID)) continue;
        const Rect r = OnScreen(item);
        // Half a pixel of rounding is allowed at the panels' edges.
        const bool onPanel =
            std::ranges::any_of(panels, [&](const Rect& panel) { return Contains(panel, r, 1.0); });
        EXPECT_TRUE(onPanel) << item.nID << " at " << Describe(r);
    }
}

TEST(MainDialogSupplySelectors, FormEightExclusiveRowsStartingAt5V) {
    // A group runs from a WS_GROUP control to the control before the next one.
    std::vector<std::vector<const AFX_DLGITEM*>> groups;
    for (const AFX_DLGITEM& item : ItemsOf(MainDialog())) {
        if ((item.dwStyle & WS_GROUP) || groups.empty()) groups.emplace_back();
        groups.back().push_back(&item);
    }
    int rows = 0;
    for (const auto& group : groups) {
        if (std::ranges::none_of(group, [](const AFX_DLGITEM* item) { return IsRadio(*item); })) continue;
        ++rows;
        ASSERT_EQ(group.size(), 3u) << "group led by " << group.front()->nID;
        const UINT first = group.front()->nID;
        EXPECT_EQ((first - IDC_COM1_5V) % 3, 0u) << first;
        const char* supplies[] = {"5V", "12V", "RI"};
        for (std::size_t i = 0; i < group.size(); ++i) {
            EXPECT_TRUE(IsRadio(*group[i])) << group[i]->nID;
            EXPECT_EQ(group[i]->nID, first + i);
            EXPECT_STREQ(group[i]->lpszCaption, supplies[i]) << group[i]->nID;
            EXPECT_EQ(group[i]->y, group.front()->y) << group[i]->nID << " is not on its port's row";
        }
    }
    EXPECT_EQ(rows, 8);
}

TEST(MainDialogSupplySelectors, EachRowSitsBesideItsPortLabelInsideTheFrame) {
    const AFX_DLGITEM& frame = Item(MainDialog(), IDC_COM_ENABLE_FRAME);
    for (UINT port = 0; port < 8; ++port) {
        const AFX_DLGITEM& label = Item(MainDialog(), IDC_STATIC_COM1 + port);
        EXPECT_EQ(label.lpszCaption, "COM" + std::to_string(port + 1));
        for (UINT supply = 0; supply < 3; ++supply) {
            const AFX_DLGITEM& selector = Item(MainDialog(), IDC_COM1_5V + 3 * port + supply);
            EXPECT_GT(selector.x, label.x + label.cx - 1) << selector.nID;
            EXPECT_LT(std::abs(selector.y - label.y), 4) << selector.nID;
            EXPECT_TRUE(Contains(OnScreen(frame), OnScreen(selector), 0.0)) << selector.nID;
        }
    }
}

// A caption as its pieces, with each run of two or more spaces written as "<n>".
std::vector<std::string> Pieces(const std::string& caption) {
    std::vector<std::string> pieces;
    std::size_t i = 0;
    while (i < caption.size()) {
        const std::size_t run = caption.find_first_not_of(' ', i) == std::string::npos
                                    ? caption.size() - i
                                    : caption.find_first_not_of(' ', i) - i;
        if (run >= 2) {
            pieces.push_back("<" + std::to_string(run) + ">");
            i += run;
            continue;
        }
        const std::size_t end = std::min(caption.find("  ", i), caption.size());
        pieces.push_back(caption.substr(i, end - i));
        i = end;
    }
    return pieces;
}

TEST(MainDialogMessages, CaptionsKeepTheirRunsOfSpaces) {
    using Expected = std::vector<std::string>;
    EXPECT_EQ(Pieces(Item(MainDialog(), IDC_STATIC_APPLY_CHANGE).lpszCaption),
              (Expected{"<30>", "Apply This Change"}));
    EXPECT_EQ(Pieces(Item(MainDialog(), IDC_STATIC_OSD_ON_REBOOT).lpszCaption),
              (Expected{"<51>", "Set OSD ON", "<10>", "Please Process the Cold Reboot"}));
    EXPECT_EQ(Pieces(Item(MainDialog(), IDC_STATIC_OSD_OFF_REBOOT).lpszCaption),
              (Expected{"<50>", "Set OSD OFF", "<10>", "Please Process the Cold Reboot"}));
    EXPECT_EQ(Pieces(Item(MainDialog(), IDC_STATIC_BUSY).lpszCaption),
              (Expected{"<50>", "The System is busy", "<5>", "Please wait click once again"}));
    EXPECT_STREQ(Item(MainDialog(), IDC_EDIT_NOTICE).lpszCaption, "");
}

TEST(AboutBoxTemplate, ShowsIconTextAndOkButtonSideBySide) {
    const AFX_DLGTEMPLATE* about = AfxFindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->dwStyle & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(about->dwStyle & WS_SYSMENU);
    EXPECT_TRUE(about->dwStyle & DS_MODALFRAME);
    EXPECT_EQ(about->cx, 235);
    EXPECT_EQ(about->cy, 55);

    const AFX_DLGITEM& icon = Item(*about, IDC_ABOUT_ICON);
    const AFX_DLGITEM& text = Item(*about, IDC_ABOUT_VERSION);
    const AFX_DLGITEM& ok = Item(*about, IDOK);
    EXPECT_EQ(about->nItems, 3u);

    ASSERT_TRUE(Is(icon, "STATIC"));
    EXPECT_EQ(icon.dwStyle & 0x000F, SS_ICON);
    ASSERT_EQ(icon.lpszCaption[0], '#');
    const AFX_RESDATA picture = AfxFindImageResource(static_cast<UINT>(std::stoul(icon.lpszCaption + 1)));
    EXPECT_NE(picture.pData, nullptr) << icon.lpszCaption << " names no icon";

    EXPECT_STREQ(text.lpszCaption, "Quillon Version 1.0");
    EXPECT_TRUE(Is(ok, "BUTTON"));
    EXPECT_EQ(ButtonKind(ok), BS_DEFPUSHBUTTON);
    EXPECT_TRUE(ok.dwStyle & WS_TABSTOP);

    EXPECT_LE(icon.x + icon.cx, text.x) << "icon must stand left of the text";
    EXPECT_LE(text.x + text.cx, ok.x) << "button must stand right of the text";
}

}  // namespace
