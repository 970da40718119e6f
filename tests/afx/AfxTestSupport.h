// Helpers of the framework's tests: waiting on the event loop, and reading back what a window shows.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "TestResources.h"
#include "platform/afx/Afx.h"

namespace afxtest {

// Processes messages until the condition holds; false after five seconds without it.
inline bool PumpUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        AfxPumpMessages(10);
    }
    return true;
}

inline RECT ClientRectOf(CWnd& dialog, int nID) {
    RECT rect{};
    CWnd* pControl = dialog.GetDlgItem(nID);
    if (!pControl) return rect;
    pControl->GetWindowRect(&rect);
    dialog.ScreenToClient(&rect);
    return rect;
}

// What a window shows, saved as a PNG and read back through the framework's own pictures.
class WindowImage {
public:
    explicit WindowImage(CWnd& window) {
        static UINT nNextID = 5000;
        const std::string path = testing::TempDir() + "afx_window_" + std::to_string(getpid()) + "_" +
                                 std::to_string(nNextID) + ".png";
        m_bSaved = AfxSaveWindowImage(&window, path.c_str());
        std::ifstream file(path, std::ios::binary);
        std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file),
                                         std::istreambuf_iterator<char>()};
        std::remove(path.c_str());
        m_bIsPng = bytes.size() > 8 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G';
        SetPictureResource(nNextID, std::move(bytes));
        m_bLoaded = m_bitmap.LoadBitmap(nNextID++);
        m_dc.CreateCompatibleDC(nullptr);
        m_dc.SelectObject(&m_bitmap);
    }
    ~WindowImage() {
        m_dc.SelectObject(static_cast<CBitmap*>(nullptr));
        m_dc.DeleteDC();
    }

    bool Valid() const { return m_bSaved && m_bIsPng && m_bLoaded; }
    SIZE Size() const {
        BITMAP info{};
        m_bitmap.GetBitmap(&info);
        return {info.bmWidth, info.bmHeight};
    }
    COLORREF Pixel(int x, int y) const { return m_dc.GetPixel(x, y); }
    // Pixels of the rectangle darker than mid grey: the strokes of text.
    int DarkPixels(int left, int top, int right, int bottom) const {
        int n = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                const COLORREF c = Pixel(x, y);
                if ((c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF) < 3 * 128) ++n;
            }
        }
        return n;
    }
    int PixelsOf(COLORREF colour, const RECT& r) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) n += Pixel(x, y) == colour;
        }
        return n;
    }

private:
    bool m_bSaved = false;
    bool m_bIsPng = false;
    bool m_bLoaded = false;
    CBitmap m_bitmap;
    CDC m_dc;
};

}  // namespace afxtest
