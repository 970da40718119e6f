// Time the receive path spends on one 9-byte frame with a full console,
// without the waits the protocol prescribes (the frame arrives whole).
#include <cstdlib>
#include <thread>

#include "app/QuillonDlg.h"
#include "Stats.h"
#include "support/Pty.h"

using quillon::test::Pty;

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    AfxInitPlatform(argc, argv);
    Pty pty;
    for (int n = 2; n <= 8; ++n) ::setenv(("QUILLON_COM" + std::to_string(n)).c_str(), "/nonexistent", 1);
    ::setenv("QUILLON_COM1", pty.Path().c_str(), 1);
    CQuillonDlg dlg;
    bool warmedUp = false;
    dlg.Create(IDD_QUILLON_DIALOG);

    // The first pass warms the platform's caches and is not reported.
    for (std::size_t keep : {std::size_t{0}, std::size_t{0}, std::size_t{16 * 1024}, std::size_t{64 * 1024},
                             std::size_t{120 * 1024}}) {
        dlg.m_strConsole.Empty();
        while (dlg.m_strConsole.GetLength() < static_cast<int>(keep))
            dlg.AppendConsole("\r\nRxChar(9): AA 55 07 02 7D 00 2A 00 B0");
        std::vector<double> samples;
        for (int i = 0; i < 1000; ++i) {
            pty.Write({0xAA, 0x55, 0x07, 0x02, 0x7D, 0x00, static_cast<BYTE>(i & 0x3F), 0x00,
                       static_cast<BYTE>(0x86 + (i & 0x3F))});
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            const auto start = std::chrono::steady_clock::now();
            dlg.ProcessReceivedData();
            samples.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
        char what[64];
        std::snprintf(what, sizeof(what), "one frame, console %zu KiB", keep / 1024);
        if (warmedUp) PrintPercentiles(what, samples);
        warmedUp = true;
        AfxPumpMessages(50);
    }
    return 0;
}
