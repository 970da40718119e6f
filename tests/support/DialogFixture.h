// The real main dialog under the offscreen platform, with its ports mapped to
// pseudo-terminals that the tests choose.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/QuillonDlg.h"
#include "support/Pty.h"

namespace quillon::test {

inline std::vector<std::string>& MessageBoxTexts() {
    static std::vector<std::string> texts;
    return texts;
}

inline int RecordMessageBox(LPCSTR lpszText, LPCSTR, UINT) {
    MessageBoxTexts().emplace_back(lpszText ? lpszText : "");
    return IDOK;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int n = 1; n <= 8; ++n) MapPort(n, "/nonexistent/quillon-com" + std::to_string(n));
        g_nPage = PAGE_WAIT_ACTIVATION;
        g_bOsdRequestAck = g_bOsdApplyAck = g_bComConfirmAck = g_bIoNoComPower = 0;
        g_nVersionMask = g_bSerialListEnd = 0;
        MessageBoxTexts().clear();
        AfxSetMessageBoxHook(&RecordMessageBox);
    }
    void TearDown() override {
        m_dlg.reset();
        AfxSetMessageBoxHook(nullptr);
    }

    static void MapPort(int n, const std::string& path) {
        ::setenv(("QUILLON_COM" + std::to_string(n)).c_str(), path.c_str(), 1);
    }

    CQuillonDlg& OpenDialog() {
        m_dlg = std::make_unique<CQuillonDlg>();
        EXPECT_TRUE(m_dlg->Create(IDD_QUILLON_DIALOG));
        return *m_dlg;
    }

    static void Pump(std::chrono::milliseconds time) { AfxPumpMessages(static_cast<DWORD>(time.count())); }

    // Runs the dialog while collecting what the peer receives, until `count` bytes came.
    static std::vector<Byte> PumpUntilReceived(const Pty& peer, std::size_t count,
                                               std::chrono::milliseconds timeout) {
        std::vector<Byte> got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            Pump(std::chrono::milliseconds(10));
            const auto more = peer.Drain(std::chrono::milliseconds(0));
            got.insert(got.end(), more.begin(), more.end());
        }
        return got;
    }

    bool Visible(int nID) const {
        return m_dlg->GetDlgItem(nID) && m_dlg->GetDlgItem(nID)->IsWindowVisible();
    }

    std::unique_ptr<CQuillonDlg> m_dlg;
};

// The dialog open on COM1, a pseudo-terminal whose other side the test plays.
class PeerDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        MapPort(1, m_peer.Path());
        OpenDialog();
        Pump(std::chrono::milliseconds(100));
    }
    const std::string& Console() const { return m_dlg->m_strConsole.Str(); }

    Pty m_peer;
};

}  // namespace quillon::test
