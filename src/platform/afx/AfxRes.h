// The program's resources as data: dialog templates, strings, pictures and
// icons. The framework looks them up by id; res/ defines them.
#pragma once

#include <cstddef>

#include "platform/win32/Win32.h"

// One control of a dialog template. Class names are the platform's:
// "BUTTON", "EDIT", "STATIC", "COMBOBOX", "SysTabControl32". An SS_ICON
// static names its icon as "#<id>" in its caption.
struct AFX_DLGITEM {
    UINT nID;
    const char* lpszClass;
    const char* lpszCaption;
    short x, y, cx, cy;  // dialog units
    DWORD dwStyle;       // WS_* and the class's own style bits
    DWORD dwExStyle;
};

struct AFX_DLGTEMPLATE {
    UINT nID;
    const char* lpszCaption;
    short x, y, cx, cy;
    DWORD dwStyle;
    DWORD dwExStyle;
    const char* lpszFaceName;
    WORD wPointSize;
    WORD wWeight;
    BYTE bCharSet;
    const AFX_DLGITEM* pItems;
    std::size_t nItems;
};

struct AFX_RESDATA {
    const unsigned char* pData;
    std::size_t nSize;
};

// Null (or empty data) when the program has no such resource.
const AFX_DLGTEMPLATE* AfxFindDialogTemplate(UINT nID);
const char* AfxFindStringResource(UINT nID);
// Encoded picture (PNG or BMP) of an icon or bitmap resource, whose bytes last as long as the
// program. A 32-bit BMP stored top row first, its pixels 4-byte aligned in memory, is drawn straight
// from these bytes: uncompressed (its unused byte set to 255) or with an alpha byte by bit masks.
AFX_RESDATA AfxFindImageResource(UINT nID);
// The bitmap resources that AfxWinMain decodes on a thread of its own from the start, in this order.
std::size_t AfxBitmapResourceIds(const UINT** ppIds);
