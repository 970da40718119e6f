// Dialog templates 100 (About box), 102 (main window) and 103 (send-frame box). Positions are dialog
// units; on screen one unit is 2 px across and 2.25 px down, which puts the hot areas on the tiles of
// the page pictures.

#include <iterator>

#include "Resource.h"
#include "platform/afx/AfxRes.h"

namespace {

constexpr DWORD kShown = WS_CHILD | WS_VISIBLE;

constexpr AFX_DLGITEM Hidden(AFX_DLGITEM item) {
    item.dwStyle &= ~WS_VISIBLE;
    return item;
}

constexpr AFX_DLGITEM Disabled(AFX_DLGITEM item) {
    item.dwStyle |= WS_DISABLED;
    return item;
}

// Draws nothing, so the tile of the picture beneath shows through and the click lands here. The
// caption is never displayed.
constexpr AFX_DLGITEM HotArea(UINT id, const char* caption, short x, short y, short cx, short cy) {
    return {id, "BUTTON", caption, x, y, cx, cy, kShown | BS_OWNERDRAW | WS_TABSTOP, WS_EX_TRANSPARENT};
}

// No border: the white panel of the picture is the field's frame.
constexpr AFX_DLGITEM ValueField(UINT id, short x, short y, short cx, short cy) {
    return {id, "EDIT", "", x, y, cx, cy, kShown | ES_RIGHT | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, 0};
}

constexpr AFX_DLGITEM TextArea(UINT id, short x, short y, short cx, short cy, DWORD extra = 0) {
    const DWORD style = kShown | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP | extra;
    return {id, "EDIT", "", x, y, cx, cy, style, 0};
}

// WS_GROUP: a label closes any radio group before it.
constexpr AFX_DLGITEM Label(UINT id, const char* caption, short x, short y, short cx, short cy,
                            DWORD align = SS_LEFT) {
    return {id, "STATIC", caption, x, y, cx, cy, kShown | WS_GROUP | align, 0};
}

constexpr AFX_DLGITEM CentredLabel(UINT id, const char* caption, short x, short y, short cx, short cy) {
    return Label(id, caption, x, y, cx, cy, SS_CENTER);
}

// The "5V" selector of each port starts a group, so a port's three supplies exclude each other.
constexpr AFX_DLGITEM Selector(UINT id, const char* caption, short x, short y, DWORD extra = 0) {
    return {id, "BUTTON", caption, x, y, 35, 13, kShown | BS_AUTORADIOBUTTON | extra, 0};
}

constexpr AFX_DLGITEM FirstSelector(UINT id, short y) {
    return Selector(id, "5V", 273, y, WS_GROUP | WS_TABSTOP);
}
constexpr AFX_DLGITEM Selector12V(UINT id, short y) {
    return Selector(id, "12V", 311, y);
}
constexpr AFX_DLGITEM SelectorRI(UINT id, short y) {
    return Selector(id, "RI", 352, y);
}

constexpr AFX_DLGITEM PortLabel(UINT id, const char* caption, short y) {
    return CentredLabel(id, caption, 240, y, 25, 13);
}

constexpr AFX_DLGITEM PushButton(UINT id, const char* caption, short x, short y, short cx, short cy,
                                 DWORD kind = BS_PUSHBUTTON) {
    return {id, "BUTTON", caption, x, y, cx, cy, kShown | kind | WS_TABSTOP, 0};
}

constexpr AFX_DLGITEM Frame(UINT id, const char* caption, short x, short y, short cx, short cy) {
    return {id, "BUTTON", caption, x, y, cx, cy, kShown | BS_GROUPBOX, 0};
}

constexpr AFX_DLGITEM DropDownList(UINT id, short x, short y, short cx, short cy) {
    const DWORD style = kShown | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP;
    return {id, "COMBOBOX", "", x, y, cx, cy, style, 0};
}

constexpr AFX_DLGITEM kMainItems[] = {
    // The first control lies on top. Where two controls that can be shown together overlap, the
    // one the user must read or press lies on top: the busy and result messages above the notice
    // box, both above the question "Apply This Change", the page controls above the frame and the
    // hot areas, so that a click on a control shown over a hot area's place reaches the control.

    // Messages. The runs of spaces push the words onto their lines in the 14-point message font
    // inside these narrow controls: 51 and 10; 50 and 10; 50 and 5; 30.
    CentredLabel(IDC_STATIC_OSD_ON_REBOOT,
                 "                                                   Set OSD ON"
                 "          Please Process the Cold Reboot",
                 392, 122, 104, 41),
    CentredLabel(IDC_STATIC_OSD_OFF_REBOOT,
                 "                                                  Set OSD OFF"
                 "          Please Process the Cold Reboot",
                 392, 122, 104, 41),
    Label(IDC_STATIC_BUSY,
          "                                                  The System is busy"
          "     Please wait click once again",
          391, 124, 104, 41),
    TextArea(IDC_EDIT_NOTICE, 392, 134, 104, 31, ES_CENTER),
    CentredLabel(IDC_STATIC_APPLY_CHANGE, "                              Apply This Change", 403, 135, 80,
                 30),

    // Dialogue buttons; the COM-port and OSD dialogues show them in turn on the same spots.
    PushButton(IDC_COM_PORT_SET, "Com Port Set", 417, 172, 57, 28),
    PushButton(IDC_COM_SET_YES, "Yes", 395, 180, 45, 20),
    PushButton(IDC_COM_SET_NO, "No", 446, 180, 45, 20),
    PushButton(IDC_COM_CONFIRM, "Confirm", 417, 172, 57, 28),
    PushButton(IDC_OSD_ON, "OSD ON", 401, 210, 41, 25),
    PushButton(IDC_OSD_OFF, "OSD OFF", 449, 210, 41, 25),
    PushButton(IDC_OSD_ON_YES, "Yes", 392, 210, 25, 25),
    PushButton(IDC_OSD_ON_NO, "No", 422, 210, 25, 25),
    PushButton(IDC_OSD_OFF_YES, "Yes", 441, 210, 25, 25),
    PushButton(IDC_OSD_OFF_NO, "No", 471, 210, 25, 25),

    // Terminal-status page. The I/O version stays hidden until the page shows it.
    Label(IDC_STATIC_MB_VERSION, "MB Version : ", 27, 71, 88, 12),
    ValueField(IDC_EDIT_MB_VERSION, 115, 71, 90, 12),
    Label(IDC_STATIC_BIOS_VERSION, "BIOS Version : ", 27, 87, 88, 12),
    ValueField(IDC_EDIT_BIOS_VERSION, 115, 87, 90, 12),
    Label(IDC_STATIC_IO_VERSION, "IO Version : ", 27, 102, 88, 12),
    Hidden(ValueField(IDC_EDIT_IO_VERSION, 115, 102, 90, 12)),
    Label(IDC_STATIC_DISPLAY_VERSION, "Display Version : ", 27, 118, 88, 12),
    ValueField(IDC_EDIT_DISPLAY_VERSION, 115, 118, 90, 12),
    Label(IDC_STATIC_OPERATION_SERVICE_HOURS, "Operation Service Hours : ", 27, 134, 88, 12),
    ValueField(IDC_EDIT_OPERATION_SERVICE_HOURS, 115, 134, 90, 12),
    Label(IDC_STATIC_STANDBY_SERVICE_HOURS, "Stand-by Service Hours : ", 27, 150, 88, 12),
    ValueField(IDC_EDIT_STANDBY_SERVICE_HOURS, 115, 150, 90, 12),
    Label(IDC_STATIC_ABNORMAL_ONOFF_COUNT, "Abnormal On/Off Count : ", 27, 166, 88, 12),
    ValueField(IDC_EDIT_ABNORMAL_ONOFF_COUNT, 115, 166, 90, 12),
    Label(IDC_STATIC_ONOFF_TOTAL, "ON / OFF Total : ", 27, 183, 88, 12),
    ValueField(IDC_EDIT_ONOFF_TOTAL, 115, 183, 90, 12),
    Label(IDC_STATIC_SYSTEM_OPERATION_HOURS, "System Operation Hour :", 27, 199, 121, 12),
    ValueField(IDC_EDIT_SYSTEM_OPERATION_HOURS, 148, 199, 59, 12),
    Label(IDC_STATIC_DISPLAY_PLUGIN_TIME, "Display Module Plug in Time :", 27, 214, 121, 12),
    ValueField(IDC_EDIT_DISPLAY_PLUGIN_TIME, 148, 214, 59, 12),
    Label(IDC_STATIC_DISPLAY_STANDBY_HOURS, "Total Display Module Standby Hour :", 27, 230, 121, 12),
    ValueField(IDC_EDIT_DISPLAY_STANDBY_HOURS, 148, 230, 59, 12),
    Label(IDC_STATIC_BACKLIGHT_HOURS, "Total Back Light Hour :", 27, 246, 121, 12),
    ValueField(IDC_EDIT_BACKLIGHT_HOURS, 148, 246, 59, 12),
    TextArea(IDC_EDIT_SERIAL_NUMBERS, 240, 78, 226, 167, WS_VSCROLL),

    // Thermal page.
    Label(IDC_STATIC_CPU_TEMP_CURRENT, "CPU Current Temperature(°C) : ", 26, 84, 135, 12),
    ValueField(IDC_EDIT_CPU_TEMP_CURRENT, 161, 84, 43, 12),
    Label(IDC_STATIC_CPU_TEMP_MAX, "CPU Maximum Temperature(°C) : ", 26, 100, 135, 12),
    ValueField(IDC_EDIT_CPU_TEMP_MAX, 161, 100, 43, 12),
    Label(IDC_STATIC_CPU_TEMP_MIN, "CPU Minimum Temperature(°C) : ", 26, 116, 135, 12),
    ValueField(IDC_EDIT_CPU_TEMP_MIN, 161, 116, 43, 12),
    Label(IDC_STATIC_CPU_TEMP_AVG, "CPU Average Temperature(°C) : ", 26, 132, 135, 12),
    ValueField(IDC_EDIT_CPU_TEMP_AVG, 161, 132, 43, 12),
    Label(IDC_STATIC_CPU_FAN_CURRENT, "CPU Fan Current Speed(RPM) : ", 26, 156, 135, 12),
    ValueField(IDC_EDIT_CPU_FAN_CURRENT, 161, 156, 43, 12),
    Label(IDC_STATIC_CPU_FAN_MAX, "CPU Fan Maximum Speed(RPM) : ", 26, 172, 135, 12),
    ValueField(IDC_EDIT_CPU_FAN_MAX, 161, 172, 43, 12),
    Label(IDC_STATIC_CPU_FAN_MIN, "CPU Fan Minimum Speed(RPM) : ", 26, 188, 135, 12),
    ValueField(IDC_EDIT_CPU_FAN_MIN, 161, 188, 43, 12),
    Label(IDC_STATIC_CPU_FAN_AVG, "CPU Fan Average Speed(>1000RPM) : ", 26, 204, 135, 12),
    ValueField(IDC_EDIT_CPU_FAN_AVG, 161, 204, 43, 12),
    Label(IDC_STATIC_SYSTEM_TEMP_CURRENT, "System Current Temperature(°C) :", 255, 84, 142, 12),
    ValueField(IDC_EDIT_SYSTEM_TEMP_CURRENT, 397, 84, 43, 12),
    Label(IDC_STATIC_SYSTEM_TEMP_MAX, "System Maximum Temperature(°C) : ", 255, 100, 142, 12),
    ValueField(IDC_EDIT_SYSTEM_TEMP_MAX, 397, 100, 43, 12),
    Label(IDC_STATIC_SYSTEM_TEMP_MIN, "System Minimum Temperature(°C) :", 255, 116, 142, 12),
    ValueField(IDC_EDIT_SYSTEM_TEMP_MIN, 397, 116, 43, 12),
    Label(IDC_STATIC_SYSTEM_TEMP_AVG, "System Average Temperature(0~80°C) : ", 255, 132, 142, 12),
    ValueField(IDC_EDIT_SYSTEM_TEMP_AVG, 397, 132, 43, 12),
    Label(IDC_STATIC_THERMAL_SPARE1, "", 266, 156, 125, 12),
    ValueField(IDC_EDIT_THERMAL_SPARE1, 391, 156, 43, 12),
    Label(IDC_STATIC_THERMAL_SPARE2, "", 266, 172, 125, 12),
    ValueField(IDC_EDIT_THERMAL_SPARE2, 391, 172, 43, 12),
    Label(IDC_STATIC_THERMAL_SPARE3, "", 266, 188, 125, 12),
    ValueField(IDC_EDIT_THERMAL_SPARE3, 391, 188, 43, 12),
    Label(IDC_STATIC_THERMAL_SPARE4, "", 266, 204, 125, 12),
    ValueField(IDC_EDIT_THERMAL_SPARE4, 391, 204, 43, 12),

    // Power page.
    Label(IDC_STATIC_VCORE_CURRENT, "CPU Vcore Status Current : ", 33, 72, 125, 12),
    ValueField(IDC_EDIT_VCORE_CURRENT, 158, 72, 43, 12),
    Label(IDC_STATIC_VCORE_MAX, "CPU Vcore Status Maximum : ", 33, 87, 125, 12),
    ValueField(IDC_EDIT_VCORE_MAX, 158, 87, 43, 12),
    Label(IDC_STATIC_VCORE_MIN, "CPU Vcore Status Minimum :", 33, 100, 125, 12),
    ValueField(IDC_EDIT_VCORE_MIN, 158, 100, 43, 12),
    Label(IDC_STATIC_VCORE_AVG, "CPU Vcore Status Average :", 33, 114, 125, 12),
    ValueField(IDC_EDIT_VCORE_AVG, 158, 114, 43, 12),
    Label(IDC_STATIC_BATTERY_CURRENT, "MB Battery Current Voltage : ", 33, 135, 125, 12),
    ValueField(IDC_EDIT_BATTERY_CURRENT, 158, 135, 43, 12),
    Label(IDC_STATIC_BATTERY_MAX, "MB Battery Maximum Voltage : ", 33, 149, 125, 12),
    ValueField(IDC_EDIT_BATTERY_MAX, 158, 149, 43, 12),
    Label(IDC_STATIC_BATTERY_MIN, "MB Battery Minimum Voltage : ", 33, 163, 125, 12),
    ValueField(IDC_EDIT_BATTERY_MIN, 158, 163, 43, 12),
    Label(IDC_STATIC_BATTERY_AVG, "MB Battery Average Voltage(2.5V~3.3V) : ", 33, 177, 140, 12),
    ValueField(IDC_EDIT_BATTERY_AVG, 173, 177, 28, 12),
    Label(IDC_STATIC_V12_CURRENT, "12V Voltage Status Current :", 33, 196, 125, 12),
    ValueField(IDC_EDIT_V12_CURRENT, 158, 196, 43, 12),
    Label(IDC_STATIC_V12_MAX, "12V Voltage Status Maximum :", 33, 210, 125, 12),
    ValueField(IDC_EDIT_V12_MAX, 158, 210, 43, 12),
    Label(IDC_STATIC_V12_MIN, "12V Voltage Status Minimum :", 33, 224, 125, 12),
    ValueField(IDC_EDIT_V12_MIN, 158, 224, 43, 12),
    Label(IDC_STATIC_V12_AVG, "12V Voltage Status Average(>10V) :", 33, 238, 125, 12),
    ValueField(IDC_EDIT_V12_AVG, 158, 238, 43, 12),
    Label(IDC_STATIC_DCIN_VOLTAGE_CURRENT, "DC In-Voltage Current : ", 255, 74, 152, 12),
    ValueField(IDC_EDIT_DCIN_VOLTAGE_CURRENT, 407, 74, 28, 12),
    Label(IDC_STATIC_DCIN_VOLTAGE_MAX, "DC In-Voltage Maximum : ", 255, 88, 152, 12),
    ValueField(IDC_EDIT_DCIN_VOLTAGE_MAX, 407, 88, 28, 12),
    Label(IDC_STATIC_DCIN_VOLTAGE_MIN, "DC In-Voltage Minimum :", 255, 102, 152, 12),
    ValueField(IDC_EDIT_DCIN_VOLTAGE_MIN, 407, 102, 28, 12),
    Label(IDC_STATIC_DCIN_VOLTAGE_AVG, "DC In-Voltage Average(>10V) :", 255, 116, 152, 12),
    ValueField(IDC_EDIT_DCIN_VOLTAGE_AVG, 407, 116, 28, 12),
    Label(IDC_STATIC_DCIN_CURRENT_CURRENT, "DC In-Current Current : ", 255, 137, 152, 12),
    ValueField(IDC_EDIT_DCIN_CURRENT_CURRENT, 407, 137, 28, 12),
    Label(IDC_STATIC_DCIN_CURRENT_MAX, "DC In-Current Maximum : ", 255, 151, 152, 12),
    ValueField(IDC_EDIT_DCIN_CURRENT_MAX, 407, 151, 28, 12),
    Label(IDC_STATIC_DCIN_CURRENT_MIN, "DC In-Current Minimum : ", 255, 165, 152, 12),
    ValueField(IDC_EDIT_DCIN_CURRENT_MIN, 407, 165, 28, 12),
    Label(IDC_STATIC_DCIN_CURRENT_AVG, "DC In-Current Average(<15A) : ", 255, 180, 152, 12),
    ValueField(IDC_EDIT_DCIN_CURRENT_AVG, 407, 180, 28, 12),
    Label(IDC_STATIC_DCIN_POWER_CURRENT, "DC In-Power Consumption Current : ", 255, 200, 152, 12),
    ValueField(IDC_EDIT_DCIN_POWER_CURRENT, 407, 200, 28, 12),
    Label(IDC_STATIC_DCIN_POWER_MAX, "DC In-Power Consumption Maximum : ", 255, 214, 152, 12),
    ValueField(IDC_EDIT_DCIN_POWER_MAX, 407, 214, 28, 12),
    Label(IDC_STATIC_DCIN_POWER_MIN, "DC In-Power Consumption Minimum : ", 255, 228, 152, 12),
    ValueField(IDC_EDIT_DCIN_POWER_MIN, 407, 228, 28, 12),
    Label(IDC_STATIC_DCIN_POWER_AVG, "DC In-Power Consumption Average(<150W) : ", 255, 242, 152, 12),
    ValueField(IDC_EDIT_DCIN_POWER_AVG, 407, 242, 28, 12),

    // I/O pages.
    TextArea(IDC_EDIT_COM_PORT_STATE, 35, 81, 145, 135),

    // COM-port supply selection, one row per port.
    PortLabel(IDC_STATIC_COM1, "COM1", 96),
    FirstSelector(IDC_COM1_5V, 93),
    Selector12V(IDC_COM1_12V, 93),
    SelectorRI(IDC_COM1_RI, 93),
    PortLabel(IDC_STATIC_COM2, "COM2", 114),
    FirstSelector(IDC_COM2_5V, 113),
    Selector12V(IDC_COM2_12V, 113),
    SelectorRI(IDC_COM2_RI, 113),
    PortLabel(IDC_STATIC_COM3, "COM3", 135),
    FirstSelector(IDC_COM3_5V, 133),
    Selector12V(IDC_COM3_12V, 133),
    SelectorRI(IDC_COM3_RI, 133),
    PortLabel(IDC_STATIC_COM4, "COM4", 155),
    FirstSelector(IDC_COM4_5V, 153),
    Selector12V(IDC_COM4_12V, 153),
    SelectorRI(IDC_COM4_RI, 153),
    PortLabel(IDC_STATIC_COM5, "COM5", 175),
    FirstSelector(IDC_COM5_5V, 173),
    Selector12V(IDC_COM5_12V, 173),
    SelectorRI(IDC_COM5_RI, 173),
    PortLabel(IDC_STATIC_COM6, "COM6", 195),
    FirstSelector(IDC_COM6_5V, 193),
    Selector12V(IDC_COM6_12V, 193),
    SelectorRI(IDC_COM6_RI, 193),
    PortLabel(IDC_STATIC_COM7, "COM7", 216),
    FirstSelector(IDC_COM7_5V, 213),
    Selector12V(IDC_COM7_12V, 213),
    SelectorRI(IDC_COM7_RI, 213),
    PortLabel(IDC_STATIC_COM8, "COM8", 236),
    FirstSelector(IDC_COM8_5V, 233),
    Selector12V(IDC_COM8_12V, 233),
    SelectorRI(IDC_COM8_RI, 233),

    // OSD state and backlight, below the COM-port report.
    Label(IDC_STATIC_OSD_FUNCTION, "OSD Function :", 34, 225, 88, 12),
    ValueField(IDC_EDIT_OSD_FUNCTION, 122, 225, 80, 12),
    Label(IDC_STATIC_BACKLIGHT_BRIGHTNESS, "Backlight Brightness :", 34, 241, 88, 12),
    ValueField(IDC_EDIT_BACKLIGHT_BRIGHTNESS, 122, 241, 80, 12),

    // Beneath the selectors and labels it frames; after the last row, so that it joins no radio group.
    Frame(IDC_COM_ENABLE_FRAME, "COM Enable", 233, 78, 158, 176),

    // The console lies over the logo at the top left.
    {IDC_CONSOLE, "EDIT", "", 1, 12, 106, 49, kShown | WS_DISABLED | ES_LEFT | ES_READONLY | ES_AUTOHSCROLL,
     WS_EX_TRANSPARENT},

    // Hot areas. YES (IDCANCEL) and OUT2, NO and IN2, and the two yellow-tile areas share their
    // places; the pages show one of each pair.
    HotArea(IDC_PAGE_TERMINAL_STATUS, "Termlnal status", 17, 272, 63, 56),
    HotArea(IDC_PAGE_THERMAL, "Thermal Manager", 122, 272, 63, 56),
    HotArea(IDC_PAGE_POWER, "Power Manager", 225, 272, 64, 56),
    HotArea(IDC_PAGE_IO_COM, "I/O Port Manager(com)", 331, 272, 64, 56),
    HotArea(IDC_PAGE_IO, "I/O Port Manager", 331, 272, 64, 56),
    HotArea(IDC_PAGE_EXIT, "Exit", 433, 272, 64, 56),
    HotArea(IDCANCEL, "Exit", 273, 116, 89, 51),
    HotArea(IDC_EXIT_NO, "NO", 273, 173, 89, 51),
    HotArea(IDC_START_EXIT, "EXIT2", 433, 272, 63, 56),
    HotArea(IDC_START_EXIT_NO, "IN2", 273, 173, 89, 51),
    HotArea(IDC_START_EXIT_YES, "OUT2", 273, 116, 89, 51),

    // Never shown.
    Hidden(Disabled(DropDownList(IDC_PORT, 4, 5, 16, 98))),
    Hidden(Disabled(DropDownList(IDC_SPEED, 15, 5, 16, 98))),
    Hidden(Disabled(
        PushButton(IDC_ALL_STATE_CONTINUOUS, "All State Continuous", 93, 0, 55, 28, BS_DEFPUSHBUTTON))),
    Hidden(Disabled(PushButton(IDC_CLEAR_CONSOLE, "Clear", 0, 1, 17, 23, BS_DEFPUSHBUTTON))),
    Hidden(Disabled(PushButton(IDC_ALL, "all", 0, 2, 37, 17, BS_DEFPUSHBUTTON))),
    Hidden({IDC_TAB_MAIN, "SysTabControl32", "", 0, 4, 8, 13, kShown | WS_TABSTOP, 0}),
};

// Captionless: the pictures carry all decoration.
constexpr AFX_DLGTEMPLATE kMainDialog = {
    IDD_QUILLON_DIALOG,
    "",
    0,
    0,
    513,
    342,
    WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_THICKFRAME | DS_SHELLFONT | DS_3DLOOK,
    WS_EX_APPWINDOW,
    "MS Shell Dlg",
    11,
    400,
    0,
    kMainItems,
    std::size(kMainItems),
};

constexpr AFX_DLGITEM kAboutItems[] = {
    {IDC_ABOUT_ICON, "STATIC", "#128", 14, 17, 21, 20, kShown | SS_ICON, 0},
    Label(IDC_ABOUT_VERSION, "Quillon Version 1.0", 44, 23, 120, 8),
    PushButton(IDOK, "確定", 178, 20, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP),
};

constexpr BYTE kChineseBig5Charset = 136;

constexpr AFX_DLGTEMPLATE kAboutBox = {
    IDD_ABOUTBOX,
    "關於 Quillon",
    0,
    0,
    235,
    55,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    0,
    "新細明體",
    9,
    400,
    kChineseBig5Charset,
    kAboutItems,
    std::size(kAboutItems),
};

// The custom frame's hexadecimal text and how many times to send it. Send stays open, so that a frame
// can be sent again or changed.
constexpr AFX_DLGITEM kSendFrameItems[] = {
    Label(IDC_STATIC_SEND_TEXT, "&Frame (hexadecimal):", 7, 9, 76, 8),
    {IDC_SEND_TEXT, "EDIT", "", 85, 7, 200, 14, kShown | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, 0},
    Label(IDC_STATIC_SEND_COUNT, "&Repeat count:", 7, 27, 76, 8),
    {IDC_SEND_COUNT, "EDIT", "", 85, 25, 40, 14, kShown | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, 0},
    PushButton(IDOK, "&Send", 181, 45, 50, 14, BS_DEFPUSHBUTTON),
    PushButton(IDCANCEL, "Close", 235, 45, 50, 14),
};

constexpr AFX_DLGTEMPLATE kSendFrameBox = {
    IDD_SEND_FRAME,
    "Send frame",
    0,
    0,
    292,
    66,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT,
    0,
    "MS Shell Dlg",
    8,
    400,
    0,
    kSendFrameItems,
    std::size(kSendFrameItems),
};

constexpr const AFX_DLGTEMPLATE* kTemplates[] = {&kAboutBox, &kMainDialog, &kSendFrameBox};

}  // namespace

const AFX_DLGTEMPLATE* AfxFindDialogTemplate(UINT nID) {
    for (const AFX_DLGTEMPLATE* pTemplate : kTemplates) {
        if (pTemplate->nID == nID) return pTemplate;
    }
    return nullptr;
}
