// The MFC-style dialog framework the system is written against, over Qt
// Widgets. Qt stays inside this folder's .cpp files: nothing here includes it.
// Everything runs on the user-interface thread except PostMessageA, which any
// thread may call.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/afx/AfxRes.h"
#include "platform/afx/AfxStr.h"
#include "platform/win32/Win32.h"

using INT_PTR = std::intptr_t;
using COLORREF = DWORD;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return r | (static_cast<DWORD>(g) << 8) | (static_cast<DWORD>(b) << 16); }

struct HICON__;
struct HBRUSH__;
struct HFONT__;
struct HBITMAP__;
struct HMENU__;
using HICON = HICON__*;
using HCURSOR = HICON__*;
using HBRUSH = HBRUSH__*;
using HFONT = HFONT__*;
using HBITMAP = HBITMAP__*;
using HMENU = HMENU__*;

struct RECT {
    LONG left, top, right, bottom;
};
using LPRECT = RECT*;

struct SIZE {
    LONG cx, cy;
};

constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_DLG = 4;
constexpr UINT CTLCOLOR_STATIC = 6;
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
// A timer of the window's SetTimer has elapsed; wParam is its id.
constexpr UINT WM_TIMER = 0x0113;
// Sent to a dialog after each message it handled, before the next one is taken. A dialog whose
// picture depends on state the framework cannot see checks that state here and invalidates
// itself; the repaint then reaches the screen before the next message.
constexpr UINT WM_KICKIDLE = 0x036A;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr WORD BN_CLICKED = 0;
constexpr UINT EM_GETFIRSTVISIBLELINE = 0x00CE;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_CLICK = 0x00F5;
constexpr LRESULT BST_UNCHECKED = 0;
constexpr LRESULT BST_CHECKED = 1;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_DOWN = 0x28;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;

// The platform's colour of a display element (the dialog face, window background, text).
COLORREF GetSysColor(int nIndex);

class CWnd;
class CDataExchange;
struct AfxDialogWindow;

// ---- message maps -------------------------------------------------------
class CCmdTarget;
class CDC;

// The handler, as the member of the signature that nSig names.
union AFX_PMSG {
    void (CCmdTarget::*pfn_v_v)();
    void (CCmdTarget::*pfn_v_u)(UINT);
    LRESULT (CCmdTarget::*pfn_l_wl)(WPARAM, LPARAM);
    void (CCmdTarget::*pfn_v_ul)(UINT, LPARAM);
    void (CCmdTarget::*pfn_v_up)(UINT_PTR);
    HBRUSH (CCmdTarget::*pfn_hbr)(CDC*, CWnd*, UINT);
    HCURSOR (CCmdTarget::*pfn_hcur_v)();
};

enum AfxSig : UINT {
    AfxSig_end = 0,
    AfxSig_v_v,     // void ()                     commands, paint
    AfxSig_v_u,     // void (UINT)                 command ranges (the id)
    AfxSig_l_wl,    // LRESULT (WPARAM, LPARAM)    window and registered messages
    AfxSig_v_ul,    // void (UINT, LPARAM)         system command
    AfxSig_hbr,     // HBRUSH (CDC*, CWnd*, UINT)  control colour
    AfxSig_hcur_v,  // HCURSOR ()                  drag icon
    AfxSig_v_up,    // void (UINT_PTR)             timer (its id)
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;            // WM_* or 0 for a registered message
    UINT nID;                 // first command id
    UINT nLastID;             // last command id of a range
    const UINT* pnRegistered; // the registered message's id variable
    AfxSig nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                         \
protected:                                            \
    static const AFX_MSGMAP* GetThisMessageMap();     \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }         \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                         \
        using ThisClass = theClass;                                                           \
        using TheBaseClass = baseClass;                                                       \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                           \
    {0, 0, 0, nullptr, AfxSig_end, AFX_PMSG{.pfn_v_v = nullptr}}                                         \
    }                                                                               \
    ;                                                                               \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                             \
    }

#define AFX_MSG_CAST(member, sig, fn) AFX_PMSG{.member = static_cast<sig>(fn)}

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, static_cast<UINT>(id), static_cast<UINT>(id), nullptr, AfxSig_v_v, AFX_MSG_CAST(pfn_v_v, void (CCmdTarget::*)(), &ThisClass::memberFxn)},
#define ON_BN_CLICKED(id, memberFxn) ON_COMMAND(id, memberFxn)
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                                    \
    {WM_COMMAND, static_cast<UINT>(id), static_cast<UINT>(idLast), nullptr, AfxSig_v_u,            \
     AFX_MSG_CAST(pfn_v_u, void (CCmdTarget::*)(UINT), &ThisClass::memberFxn)},
#define ON_MESSAGE(message, memberFxn) \
    {message, 0, 0, nullptr, AfxSig_l_wl, AFX_MSG_CAST(pfn_l_wl, LRESULT (CCmdTarget::*)(WPARAM, LPARAM), &ThisClass::memberFxn)},
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn) \
    {0, 0, 0, &(nMessageVariable), AfxSig_l_wl, AFX_MSG_CAST(pfn_l_wl, LRESULT (CCmdTarget::*)(WPARAM, LPARAM), &ThisClass::memberFxn)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, nullptr, AfxSig_v_v, AFX_MSG_CAST(pfn_v_v, void (CCmdTarget::*)(), &ThisClass::OnPaint)},
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, nullptr, AfxSig_v_ul, AFX_MSG_CAST(pfn_v_ul, void (CCmdTarget::*)(UINT, LPARAM), &ThisClass::OnSysCommand)},
#define ON_WM_CTLCOLOR()                                    \
    {WM_CTLCOLORSTATIC, 0, 0, nullptr, AfxSig_hbr,          \
     AFX_MSG_CAST(pfn_hbr, HBRUSH (CCmdTarget::*)(CDC*, CWnd*, UINT), &ThisClass::OnCtlColor)},
#define ON_WM_TIMER() \
    {WM_TIMER, 0, 0, nullptr, AfxSig_v_up, AFX_MSG_CAST(pfn_v_up, void (CCmdTarget::*)(UINT_PTR), &ThisClass::OnTimer)},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, nullptr, AfxSig_hcur_v, AFX_MSG_CAST(pfn_hcur_v, HCURSOR (CCmdTarget::*)(), &ThisClass::OnQueryDragIcon)},

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    friend class CWnd;
};

// ---- GDI objects ----------------------------------------------------------
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    BOOL DeleteObject();
    void* m_hObject = nullptr;
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
    BOOL CreateSolidBrush(COLORREF crColor);
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CFont : public CGdiObject {
public:
    BOOL CreatePointFont(int nPointSize, LPCSTR lpszFaceName, CDC* pDC = nullptr);
    BOOL CreateFontIndirect(const LOGFONTA* lpLogFont);
    int GetLogFont(LOGFONTA* pLogFont) const;
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CBitmap : public CGdiObject {
public:
    // Pictures are decoded once per process and shared; loading again is cheap.
    BOOL LoadBitmap(UINT nIDResource);
    int GetBitmap(BITMAP* pBitMap) const;
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

// A drawing surface: a window's client area or an off-screen memory context.
class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    BOOL CreateCompatibleDC(CDC* pDC);
    BOOL DeleteDC();
    CBitmap* SelectObject(CBitmap* pBitmap);
    CFont* SelectObject(CFont* pFont);
    BOOL StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                    int nSrcHeight, DWORD dwRop);
    COLORREF SetBkColor(COLORREF crColor);
    COLORREF GetBkColor() const;
    COLORREF GetPixel(int x, int y) const;
    // Text measures of the selected font (the window's font until one is selected).
    BOOL GetTextMetrics(TEXTMETRICA* lpMetrics) const;
    SIZE GetTextExtent(LPCSTR lpszString, int nCount) const;
    // The face that the selected font resolved to on this machine.
    int GetTextFace(int nCount, LPSTR lpszFacename) const;

    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;
};

// ---- windows ---------------------------------------------------------------
class CMenu {
public:
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
    HMENU m_hMenu = nullptr;
};

// A window: the dialog itself or one of its controls. The object may be
// attached to a control after construction (DDX_Control); until then
// m_hWnd is null.
class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowVisible() const;
    BOOL IsWindowEnabled() const;
    void UpdateWindow();
    void Invalidate(BOOL bErase = TRUE);
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    void SetWindowText(LPCSTR lpszString);
    void GetWindowText(CString& rString) const;
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    CMenu* GetSystemMenu(BOOL bRevert);
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    void ScreenToClient(LPRECT lpRect) const;
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);
    // A dialog's timer: WM_TIMER with the id every nElapse ms until it is killed; the same id again
    // restarts it. Returns the id, or 0 for a window that has none.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse);
    BOOL KillTimer(UINT_PTR nIDEvent);

    HWND m_hWnd = nullptr;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // The framework's default answer to a message that the map does not handle.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs the message map; returns whether an entry handled the message.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnSysCommand(UINT nID, LPARAM lParam);

    friend class CDataExchange;
    friend struct AfxWindow;
};

class CEdit : public CWnd {};
class CButton : public CWnd {};
class CStatic : public CWnd {};

class CComboBox : public CWnd {
public:
    int AddString(LPCSTR lpszString);
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int GetLBTextLen(int nIndex) const;
    void GetLBText(int nIndex, CString& rString) const;
};

class CTabCtrl : public CWnd {
public:
    LONG InsertItem(int nItem, LPCSTR lpszItem);
    int GetItemCount() const;
};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    // The framework's window behind m_pDlgWnd, found once for the whole exchange.
    AfxDialogWindow* m_pWindow = nullptr;
};

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Runs the dialog until EndDialog; returns its result.
    virtual INT_PTR DoModal();
    // Creates the window without a modal loop (tests drive it with AfxPumpMessages).
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

private:
    // Outlives each run of the dialog, so that a thread still posting to the
    // window after DoModal returns finds it closed rather than gone.
    std::unique_ptr<AfxDialogWindow> m_pWindow;
};

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;
    virtual BOOL InitInstance();
    HICON LoadIcon(UINT nIDResource) const;
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
void AfxEnableControlContainer();
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);

// The program's entry: sets up the platform, runs the application object's
// InitInstance and returns the process's exit code.
int AfxWinMain(int argc, char** argv);

// ---- for tests and tools ----------------------------------------------------
// Sets up the platform without running the application (idempotent).
void AfxInitPlatform(int argc, char** argv);
// Processes pending messages and paints for about the given time.
void AfxPumpMessages(DWORD dwMilliseconds);
// Message boxes call the hook, when one is set, instead of showing.
using AFX_MESSAGEBOX_HOOK = int (*)(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType);
void AfxSetMessageBoxHook(AFX_MESSAGEBOX_HOOK pfnHook);
// Called by DoModal once the dialog is shown and before its loop runs; a hook
// may end the dialog at once (tests).
using AFX_MODAL_HOOK = void (*)(CDialog* pDialog, UINT nIDTemplate);
void AfxSetModalHook(AFX_MODAL_HOOK pfnHook);
// Renders the window as it is shown into a PNG file.
BOOL AfxSaveWindowImage(CWnd* pWnd, LPCSTR lpszPath);
// Queue input as the user would give it; it takes effect when messages are
// next processed. A key goes to the open popup menu, else to the focused
// control of the window, else to the window.
void AfxSimulateKey(CWnd* pWnd, UINT nVirtKey);
// A click at a point of the window's client area, on whatever lies there.
void AfxSimulateClick(CWnd* pWnd, int x, int y, BOOL bRightButton = FALSE);
