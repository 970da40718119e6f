// The resource module of the framework's tests: it stands where the program's resources stand.

#include "TestResources.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>

namespace afxtest {

namespace {

constexpr DWORD kShown = WS_CHILD | WS_VISIBLE;

constexpr AFX_DLGITEM HotArea(int id, short x, short y, short cx, short cy, DWORD extra = WS_VISIBLE) {
    return {
        static_cast<UINT>(id), "BUTTON", "hot", x, y, cx, cy, WS_CHILD | extra | BS_OWNERDRAW | WS_TABSTOP,
        WS_EX_TRANSPARENT};
}

constexpr AFX_DLGITEM Label(int id, const char* caption, short x, short y, short cx, short cy,
                            DWORD align = SS_LEFT) {
    return {static_cast<UINT>(id), "STATIC", caption, x, y, cx, cy, kShown | WS_GROUP | align, 0};
}

constexpr AFX_DLGITEM Field(int id, short x, short y, DWORD extra = WS_VISIBLE) {
    return {static_cast<UINT>(id),
            "EDIT",
            "",
            x,
            y,
            90,
            12,
            WS_CHILD | extra | ES_RIGHT | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP,
            0};
}

constexpr AFX_DLGITEM Radio(int id, const char* caption, short x, short y, DWORD extra = 0) {
    return {static_cast<UINT>(id), "BUTTON", caption, x, y, 35, 13, kShown | BS_AUTORADIOBUTTON | extra, 0};
}

constexpr AFX_DLGITEM Combo(int id, short x, DWORD sort) {
    return {static_cast<UINT>(id),
            "COMBOBOX",
            "",
            x,
            230,
            60,
            98,
            kShown | CBS_DROPDOWNLIST | sort | WS_VSCROLL | WS_TABSTOP,
            0};
}

// The label comes first, so it lies on top of the hot area it overlaps.
constexpr AFX_DLGITEM kMainItems[] = {
    Label(IDC_HOT_LABEL, "over the tile", 17, 272, 63, 10),
    HotArea(IDC_HOT, 17, 272, 63, 56),
    HotArea(IDC_HOT_HIDDEN, 331, 272, 64, 56, 0),
    Label(IDC_LABEL, "MB Version : ", 27, 71, 88, 12),
    Field(IDC_FIELD, 115, 71),
    Field(IDC_FIELD_DISABLED, 115, 87, WS_VISIBLE | WS_DISABLED),
    Field(IDC_FIELD_HIDDEN, 115, 102, 0),
    Label(IDC_MESSAGE, "                              Apply This Change", 403, 135, 80, 30, SS_CENTER),
    {IDC_FRAME, "BUTTON", "COM Enable", 233, 78, 158, 176, kShown | BS_GROUPBOX, 0},
    Radio(IDC_COM1_5V, "5V", 273, 93, WS_GROUP | WS_TABSTOP),
    Radio(IDC_COM1_12V, "12V", 311, 93),
    Radio(IDC_COM1_RI, "RI", 352, 93),
    Radio(IDC_COM2_5V, "5V", 273, 113, WS_GROUP | WS_TABSTOP),
    Radio(IDC_COM2_12V, "12V", 311, 113),
    Radio(IDC_COM2_RI, "RI", 352, 113),
    {IDC_CONSOLE, "EDIT", "", 1, 12, 106, 49, kShown | WS_DISABLED | ES_LEFT | ES_READONLY | ES_AUTOHSCROLL,
     WS_EX_TRANSPARENT},
    {IDC_TEXT_AREA, "EDIT", "", 20, 120, 150, 90,
     kShown | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0},
    {IDC_NOTICE, "EDIT", "", 410, 262, 90, 31, kShown | ES_MULTILINE | ES_READONLY | ES_CENTER, 0},
    {IDC_INPUT, "EDIT", "", 120, 250, 60, 12, kShown | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 0},
    Combo(IDC_SPEED, 20, CBS_SORT),
    Combo(IDC_UNSORTED, 90, 0),
    {IDC_TAB, "SysTabControl32", "", 0, 4, 8, 13, WS_CHILD | WS_TABSTOP, 0},
    {IDC_BUTTON, "BUTTON", "Com Port Set", 417, 172, 57, 28, kShown | BS_PUSHBUTTON | WS_TABSTOP, 0},
    {IDC_ICON, "STATIC", "#301", 460, 10, 21, 20, kShown | SS_ICON, 0},
};

constexpr AFX_DLGTEMPLATE kMain = {
    IDD_MAIN,
    "",
    0,
    0,
    513,
    342,
    WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_THICKFRAME | DS_SHELLFONT,
    WS_EX_APPWINDOW,
    "MS Shell Dlg",
    11,
    400,
    0,
    kMainItems,
    std::size(kMainItems),
};

constexpr AFX_DLGITEM kBoxItems[] = {
    {IDC_ICON, "STATIC", "#301", 14, 17, 21, 20, kShown | SS_ICON, 0},
    Label(IDC_BOX_TEXT, "版本 1.0", 44, 23, 120, 8),
    {IDOK, "BUTTON", "確定", 178, 20, 50, 14, kShown | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0},
};

constexpr AFX_DLGTEMPLATE kBox = {
    IDD_BOX,
    "關於",
    0,
    0,
    235,
    55,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    0,
    "新細明體",
    9,
    400,
    136,
    kBoxItems,
    std::size(kBoxItems),
};

constexpr AFX_DLGTEMPLATE kPlain = {
    IDD_PLAIN, "", 0, 0, 100, 50, WS_POPUP | WS_VISIBLE, 0, "MS Shell Dlg", 11, 400, 0, nullptr, 0,
};

constexpr AFX_DLGITEM kButtonItems[] = {
    {IDC_PUSH, "BUTTON", "Push", 10, 10, 50, 14, kShown | BS_PUSHBUTTON | WS_TABSTOP, 0},
    {IDC_FIELD, "EDIT", "", 10, 30, 50, 12, kShown | WS_BORDER | WS_TABSTOP, 0},
    // Two labels, the first partly over the second.
    Label(IDC_UPPER, "", 62, 10, 25, 14),
    Label(IDC_LOWER, "", 72, 16, 25, 14),
};

constexpr AFX_DLGTEMPLATE kButtons = {
    IDD_BUTTONS,
    "",
    0,
    0,
    100,
    50,
    WS_POPUP | WS_VISIBLE,
    0,
    "MS Shell Dlg",
    11,
    400,
    0,
    kButtonItems,
    std::size(kButtonItems),
};

// An uncompressed 24-bit picture, rows stored bottom up as the format wants.
std::vector<unsigned char> MakeBitmap(int width, int height, COLORREF (*pixel)(int x, int y)) {
    const int rowSize = (width * 3 + 3) & ~3;
    const int dataSize = rowSize * height;
    std::vector<unsigned char> bmp;
    const auto put16 = [&](unsigned v) {
        bmp.push_back(v & 0xFF);
        bmp.push_back((v >> 8) & 0xFF);
    };
    const auto put32 = [&](unsigned v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    bmp.push_back('B');
    bmp.push_back('M');
    put32(54 + dataSize);
    put32(0);
    put32(54);
    put32(40);
    put32(width);
    put32(height);
    put16(1);
    put16(24);
    put32(0);
    put32(dataSize);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            bmp.push_back((c >> 16) & 0xFF);
            bmp.push_back((c >> 8) & 0xFF);
            bmp.push_back(c & 0xFF);
        }
        for (int pad = width * 3; pad < rowSize; ++pad) bmp.push_back(0);
    }
    return bmp;
}

}  // namespace

std::vector<unsigned char> MakeTopDownBitmap(int width, int height, std::size_t nPixelOffset,
                                             COLORREF (*pixel)(int x, int y), BYTE (*alpha)(int x, int y)) {
    std::vector<unsigned char> bmp(nPixelOffset + std::size_t{4} * width * height, 0);
    const auto put = [&bmp](std::size_t nAt, std::uint32_t value, int nBytes) {
        for (int i = 0; i < nBytes; ++i) bmp[nAt + i] = static_cast<unsigned char>(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(2, static_cast<std::uint32_t>(bmp.size()), 4);
    put(10, static_cast<std::uint32_t>(nPixelOffset), 4);
    put(14, alpha ? 108 : 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(-height), 4);
    put(26, 1, 2);
    put(28, 32, 2);
    put(34, static_cast<std::uint32_t>(4 * width * height), 4);
    if (alpha) {
        put(30, 3, 4);  // by bit masks: red, green, blue, alpha
        put(54, 0x00FF0000u, 4);
        put(58, 0x0000FF00u, 4);
        put(62, 0x000000FFu, 4);
        put(66, 0xFF000000u, 4);
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            // Blue, green, red and alpha (or an unused byte) in memory; a colour reference holds red
            // lowest.
            const std::uint32_t a = alpha ? alpha(x, y) : 0xFF;
            const std::uint32_t bgra = a << 24 | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
            put(nPixelOffset + 4 * (static_cast<std::size_t>(y) * width + x), bgra, 4);
        }
    }
    return bmp;
}

namespace {

std::map<UINT, std::vector<unsigned char>>& Pictures() {
    static std::map<UINT, std::vector<unsigned char>> pictures = {
        {IDB_QUADRANTS, MakeBitmap(2, 2,
                                   [](int x, int y) {
                                       constexpr COLORREF colours[2][2] = {
                                           {RGB(255, 0, 0), RGB(0, 255, 0)},
                                           {RGB(0, 0, 255), RGB(255, 255, 255)}};
                                       return colours[y][x];
                                   })},
        {IDB_GRID, MakeBitmap(7, 5, [](int x, int y) { return RGB(x * 40, y * 60, 200); })},
        // Clear on its left half.
        {IDI_TEST, MakeTopDownBitmap(
                       16, 16, 128, [](int, int) { return RGB(0, 128, 0); },
                       [](int x, int) { return static_cast<BYTE>(x < 8 ? 0 : 255); })},
    };
    return pictures;
}

}  // namespace

void SetPictureResource(UINT nID, std::vector<unsigned char> bytes) {
    // The framework may draw a picture straight from its bytes: they are never replaced.
    if (!Pictures().emplace(nID, std::move(bytes)).second) {
        std::fprintf(stderr, "picture %u is set twice\n", nID);
        std::abort();
    }
}

}  // namespace afxtest

const AFX_DLGTEMPLATE* AfxFindDialogTemplate(UINT nID) {
    using namespace afxtest;
    for (const AFX_DLGTEMPLATE* pTemplate : {&kMain, &kBox, &kPlain, &kButtons}) {
        if (pTemplate->nID == nID) return pTemplate;
    }
    return nullptr;
}

const char* AfxFindStringResource(UINT nID) {
    return nID == afxtest::IDS_GREETING ? "Hello" : nullptr;
}

AFX_RESDATA AfxFindImageResource(UINT nID) {
    const auto& pictures = afxtest::Pictures();
    const auto it = pictures.find(nID);
    if (it == pictures.end()) return {nullptr, 0};
    return {it->second.data(), it->second.size()};
}

// The framework's tests decode their pictures when they ask for them.
std::size_t AfxBitmapResourceIds(const UINT** ppIds) {
    if (ppIds) *ppIds = nullptr;
    return 0;
}
