// Dialog templates, strings and pictures of the framework's tests.
#pragma once

#include <vector>

#include "platform/afx/Afx.h"

namespace afxtest {

// Templates.
constexpr UINT IDD_MAIN = 200;     // 513 x 342 units, captionless, one control of each kind
constexpr UINT IDD_BOX = 201;      // small captioned box in a Chinese face, like an About box
constexpr UINT IDD_PLAIN = 202;    // 100 x 50 units, no controls
constexpr UINT IDD_BUTTONS = 203;  // a push button that takes the focus first, two overlapping labels
constexpr UINT IDD_MISSING = 299;  // no such template

// Pictures and strings.
constexpr UINT IDB_QUADRANTS = 300;  // 2 x 2: red, green above blue, white
constexpr UINT IDI_TEST = 301;       // 16 x 16 green, clear on its left half
constexpr UINT IDB_GRID = 302;  // 7 x 5, each pixel a colour of its own
constexpr UINT IDB_MISSING = 399;
constexpr UINT IDS_GREETING = 400;

// Controls of IDD_MAIN.
constexpr int IDC_CONSOLE = 1000;
constexpr int IDC_FIELD = 1004;
constexpr int IDC_INPUT = 1005;
constexpr int IDC_FIELD_DISABLED = 1008;
constexpr int IDC_HOT = 1010;
constexpr int IDC_HOT_LABEL = 1011;
constexpr int IDC_SPEED = 1013;
constexpr int IDC_UNSORTED = 1014;
constexpr int IDC_FIELD_HIDDEN = 1016;
constexpr int IDC_HOT_HIDDEN = 1026;
constexpr int IDC_BUTTON = 1213;
constexpr int IDC_TAB = 1231;
constexpr int IDC_TEXT_AREA = 1243;
constexpr int IDC_LABEL = 1302;
constexpr int IDC_COM1_5V = 1373;
constexpr int IDC_COM1_12V = 1374;
constexpr int IDC_COM1_RI = 1375;
constexpr int IDC_COM2_5V = 1376;
constexpr int IDC_COM2_12V = 1377;
constexpr int IDC_COM2_RI = 1378;
constexpr int IDC_FRAME = 1407;
constexpr int IDC_NOTICE = 1408;
constexpr int IDC_MESSAGE = 1409;
constexpr int IDC_ICON = 1501;

// Controls of IDD_BOX and IDD_BUTTONS; of the labels, the upper one first.
constexpr int IDC_BOX_TEXT = 1502;
constexpr int IDC_PUSH = 1600;
constexpr int IDC_UPPER = 1700;
constexpr int IDC_LOWER = 1701;

// A 32-bit picture stored top row first, as the build draws the program's pictures, its pixels
// nPixelOffset bytes from its start: uncompressed, or with an alpha byte by bit masks (then the
// offset must leave room for the longer header, 122 bytes).
std::vector<unsigned char> MakeTopDownBitmap(int width, int height, std::size_t nPixelOffset,
                                             COLORREF (*pixel)(int x, int y),
                                             BYTE (*alpha)(int x, int y) = nullptr);

// Serves the bytes as the picture nID from now on (a saved image read back); once for each id.
void SetPictureResource(UINT nID, std::vector<unsigned char> bytes);

}  // namespace afxtest
