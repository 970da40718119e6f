// The pages: which controls each tile's command and each paint show or hide,
// and which picture each page code draws. Pure data and helpers; the dialog's
// handlers apply them.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "app/Startup.h"
#include "res/Resource.h"
#include "ui/PageCode.h"
#include "workflows/ShowSteps.h"

namespace quillon {

// "Keep" leaves a control as it is. The two conditional entries are the yellow
// tile's choice between its two hot areas.
enum class Vis : unsigned char { Keep, Show, Hide, ShowIfComPower, ShowIfNoComPower };

using ControlSet = std::span<const IdRange>;

// ---- control groups ---------------------------------------------------------------
inline constexpr IdRange kYes[] = {{IDCANCEL, IDCANCEL}};
inline constexpr IdRange kNo[] = {{IDC_EXIT_NO, IDC_EXIT_NO}};
inline constexpr IdRange kConsole[] = {{IDC_CONSOLE, IDC_CONSOLE}};
inline constexpr IdRange kTerminalStatusFields[] = {{1004, 1004}, {1008, 1008}, {1016, 1016}, {1239, 1242},
                                                    {1358, 1358}, {1361, 1364}, {1243, 1243}};
inline constexpr IdRange kThermalFields[] = {{1253, 1268}};
inline constexpr IdRange kPowerFields[] = {{1269, 1292}};
inline constexpr IdRange kIoFields[] = {{1369, 1369}, {1372, 1372}, {1301, 1301}};
inline constexpr IdRange kIoValueFields[] = {{1369, 1369}, {1372, 1372}};
inline constexpr IdRange kComPortReport[] = {{1301, 1301}};
inline constexpr IdRange kSupplySelectors[] = {{1373, 1396}};
inline constexpr IdRange kComPortSet[] = {{1213, 1213}};
inline constexpr IdRange kComDialogue[] = {{1214, 1216}};
inline constexpr IdRange kOsdButtons[] = {{1217, 1218}};
inline constexpr IdRange kOsdAnswers[] = {{1219, 1222}};
inline constexpr IdRange kMessages[] = {{1408, 1411}, {1414, 1414}};

inline constexpr IdRange kBottomRowTiles[] = {{1010, 1010}, {1015, 1015}, {1020, 1020}, {1236, 1236}};
inline constexpr IdRange kYellowTileCom[] = {{IDC_PAGE_IO_COM, IDC_PAGE_IO_COM}};
inline constexpr IdRange kYellowTileNoCom[] = {{IDC_PAGE_IO, IDC_PAGE_IO}};
inline constexpr IdRange kStartExit[] = {{IDC_START_EXIT, IDC_START_EXIT}};
inline constexpr IdRange kStartExitAnswers[] = {{IDC_START_EXIT_NO, IDC_START_EXIT_YES}};
inline constexpr IdRange kTerminalStatusLabels[] = {{1302, 1308}, {1357, 1357}, {1365, 1368}};
inline constexpr IdRange kThermalLabels[] = {{1315, 1330}};
inline constexpr IdRange kPowerLabels[] = {{1331, 1354}};
inline constexpr IdRange kIoLabels[] = {{1370, 1371}};
inline constexpr IdRange kComLabelsAndFrame[] = {{1399, 1407}};

// ---- what a tile's command does -----------------------------------------------------
enum class PageTile { TerminalStatus, Thermal, Power, IoCom, Io, Exit };
constexpr std::size_t kPageTileCount = 6;

struct SwitchRow {
    ControlSet controls;
    std::array<Vis, kPageTileCount> vis;  // in PageTile order
};

constexpr Vis K = Vis::Keep;
constexpr Vis S = Vis::Show;
constexpr Vis H = Vis::Hide;
constexpr Vis C0 = Vis::ShowIfComPower;
constexpr Vis C1 = Vis::ShowIfNoComPower;

// clang-format off
inline constexpr SwitchRow kSwitchTable[] = {
    //                          1010 1015 1020 1022 1026 1236
    {kYes,                     {K,   H,   H,   H,   H,   K}},
    {kNo,                      {H,   H,   H,   K,   K,   S}},
    {kConsole,                 {S,   H,   H,   S,   H,   H}},
    {kTerminalStatusFields,    {S,   H,   H,   H,   H,   H}},
    {kThermalFields,           {H,   S,   H,   H,   H,   H}},
    {kPowerFields,             {H,   H,   S,   H,   H,   H}},
    {kIoFields,                {H,   H,   H,   S,   S,   H}},
    {kSupplySelectors,         {H,   H,   H,   S,   K,   H}},
    {kComPortSet,              {H,   H,   H,   K,   K,   H}},
    {kComDialogue,             {H,   H,   H,   H,   K,   H}},
    {kOsdButtons,              {H,   H,   H,   S,   K,   H}},
    {kOsdAnswers,              {H,   H,   H,   H,   K,   H}},
    {kMessages,                {H,   H,   H,   H,   K,   H}},
};
// clang-format on

// The page code each tile stores; the Exit tile leaves it.
inline constexpr std::array<std::optional<int>, kPageTileCount> kTilePage = {
    PAGE_TERMINAL_STATUS, PAGE_THERMAL, PAGE_POWER, PAGE_IO_COM, PAGE_IO, std::nullopt};

// ---- what each paint does -------------------------------------------------------------
// Columns by page code: 0, 2, 3, 4, 5, 6, 7, 8.
inline constexpr int kPaintPages[] = {
    PAGE_WAIT_ACTIVATION, PAGE_TERMINAL_STATUS, PAGE_THERMAL,           PAGE_POWER,
    PAGE_IO_COM,          PAGE_EXIT_CONFIRM,    PAGE_WAIT_EXIT_CONFIRM, PAGE_IO};
constexpr std::size_t kPaintPageCount = std::size(kPaintPages);

struct PaintRow {
    ControlSet controls;
    std::array<Vis, kPaintPageCount> vis;
};

// clang-format off
inline constexpr PaintRow kPaintTable[] = {
    //                          0    2    3    4    5    6    7    8
    {kBottomRowTiles,          {H,   S,   S,   S,   S,   S,   H,   S}},
    {kYellowTileCom,           {H,   C0,  C0,  C0,  S,   C0,  H,   K}},
    {kYellowTileNoCom,         {H,   C1,  C1,  C1,  K,   C1,  H,   S}},
    {kStartExit,               {S,   H,   H,   H,   H,   H,   S,   H}},
    {kStartExitAnswers,        {H,   H,   H,   H,   H,   H,   S,   H}},
    {kTerminalStatusLabels,    {K,   S,   H,   H,   H,   H,   K,   H}},
    {kThermalLabels,           {K,   H,   S,   H,   H,   H,   K,   H}},
    {kPowerLabels,             {K,   H,   H,   S,   H,   H,   K,   H}},
    {kIoLabels,                {K,   H,   H,   H,   S,   H,   K,   S}},
    {kComLabelsAndFrame,       {K,   H,   H,   H,   S,   H,   K,   K}},
};

// The first paint of a page code after another: the terminal-status page completes itself however
// it was reached. Only then, so that a pause of the page that "Exit" began is not undone.
inline constexpr PaintRow kPaintEntryTable[] = {
    //                          0    2    3    4    5    6    7    8
    {kNo,                      {K,   H,   K,   K,   K,   K,   K,   K}},
    {kConsole,                 {K,   S,   K,   K,   K,   K,   K,   K}},
    {kTerminalStatusFields,    {K,   S,   K,   K,   K,   K,   K,   K}},
    {kThermalFields,           {K,   H,   K,   K,   K,   K,   K,   K}},
    {kPowerFields,             {K,   H,   K,   K,   K,   K,   K,   K}},
    {kIoValueFields,           {K,   H,   K,   K,   K,   K,   K,   K}},
    {kComPortReport,           {K,   H,   K,   K,   K,   K,   K,   K}},
    {kMessages,                {K,   H,   K,   K,   K,   K,   K,   K}},
};
// clang-format on

// The picture of each page code, in kPaintPages order.
inline constexpr UINT kPagePictures[] = {
    IDB_WAIT_ACTIVATION, IDB_TERMINAL_STATUS,   IDB_THERMAL, IDB_POWER, IDB_IO,
    IDB_EXIT_CONFIRM,    IDB_WAIT_EXIT_CONFIRM, IDB_IO};

// The controls a paint brings up on the fresh picture: fields first, labels last.
inline constexpr IdRange kPaintFields[] = {{1004, 1004}, {1008, 1008}, {1016, 1016}, {1239, 1292},
                                           {1301, 1301}, {1358, 1358}, {1361, 1364}, {1369, 1369},
                                           {1372, 1396}, {1213, 1222}, {1408, 1411}, {1414, 1414}};
inline constexpr IdRange kPaintLabels[] = {{1302, 1308}, {1315, 1354}, {1357, 1357},
                                           {1365, 1368}, {1370, 1371}, {1399, 1407}};

// The shows and hides of a tile's command, in table order.
std::vector<ShowStep> SwitchVisibility(PageTile tile);
// The shows and hides of a paint of page code nPage, bEntered on its first paint after another
// code; none for a code without a page.
std::vector<ShowStep> PaintVisibility(int nPage, int bIoNoComPower, bool bEntered);
// The picture of a page code, or 0 for a code without a page.
UINT PagePicture(int nPage);

}  // namespace quillon
