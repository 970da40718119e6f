// Rules of start-up: the speed list and the controls hidden for the start screen.
#pragma once

#include <array>
#include <span>

#include "platform/win32/Win32.h"

namespace quillon {

// Added in this order; the list sorts them as text.
inline constexpr const char* kSpeedTexts[] = {"300", "9600", "19200", "115200", "38400", "56000", "57600"};

// The speed of each index of the sorted list. The list's order is text order,
// so this table must follow it rather than the numbers.
inline constexpr DWORD kSpeedByIndex[] = {115200, 19200, 300, 38400, 56000, 57600, 9600};

// Index out of range (no selection) falls back to the default speed.
constexpr DWORD SpeedForIndex(int nIndex) {
    return nIndex >= 0 && nIndex < static_cast<int>(std::size(kSpeedByIndex)) ? kSpeedByIndex[nIndex]
                                                                              : kSpeedByIndex[0];
}

struct IdRange {
    UINT nFirst;
    UINT nLast;
};

// Every page control, hidden so that the dialog opens on the start screen.
inline constexpr IdRange kStartHidden[] = {
    {2, 2},       {1004, 1004}, {1008, 1008}, {1016, 1016}, {1209, 1209}, {1213, 1222}, {1239, 1292},
    {1301, 1354}, {1357, 1357}, {1358, 1358}, {1361, 1372}, {1373, 1396}, {1399, 1411}, {1414, 1414},
};

// The controls that get the message font, in this order.
inline constexpr UINT kMessageFontControls[] = {1409, 1410, 1411, 1414, 1408};

constexpr int kPortCount = 8;

}  // namespace quillon
