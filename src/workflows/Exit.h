// The exit question: the pause that the "Exit" tile starts, and the waits of NO.
#pragma once

#include "platform/win32/Win32.h"
#include "res/Resource.h"
#include "workflows/ShowSteps.h"

namespace quillon {

// Between the stop request and hiding the fields.
constexpr DWORD kExitPauseMs = 100;
// After NO's all-states request, before the terminal-status page.
inline constexpr DWORD kExitNoWaitsMs[] = {100, 200};

// NO comes up; every edit, message and dialogue control goes. The page code,
// YES, the tiles and the start page's exit controls stay as they are.
inline constexpr ShowStep kExitPageSteps[] = {
    Show(IDC_EXIT_NO),
    Hide(IDC_CONSOLE),
    Hide(IDC_EDIT_MB_VERSION),
    Hide(IDC_EDIT_BIOS_VERSION),
    Hide(IDC_EDIT_IO_VERSION),
    HideRange(IDC_EDIT_DISPLAY_VERSION, IDC_EDIT_DCIN_POWER_AVG),
    Hide(IDC_EDIT_COM_PORT_STATE),
    Hide(IDC_EDIT_ONOFF_TOTAL),
    HideRange(IDC_EDIT_SYSTEM_OPERATION_HOURS, IDC_EDIT_BACKLIGHT_HOURS),
    Hide(IDC_EDIT_OSD_FUNCTION),
    Hide(IDC_EDIT_BACKLIGHT_BRIGHTNESS),
    Hide(IDC_EDIT_NOTICE),
    Hide(IDC_STATIC_APPLY_CHANGE),
    Hide(IDC_STATIC_OSD_ON_REBOOT),
    Hide(IDC_STATIC_OSD_OFF_REBOOT),
    Hide(IDC_STATIC_BUSY),
    HideRange(IDC_COM1_5V, IDC_COM8_RI),
    HideRange(IDC_COM_PORT_SET, IDC_OSD_OFF_NO),
};

}  // namespace quillon
