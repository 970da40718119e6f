// Fuzz target of the real receive path: the main dialog, offscreen, reads any
// bytes from a pseudo-terminal through CQuillonDlg::ProcessReceivedData.
//
// An input is a sequence of pieces of line data, each a length byte (its low
// seven bits; the top bit set means the dialog is not told before the next
// piece comes) and that many bytes. The program's waits take no time here:
// each of them is the moment the next piece arrives, so a frame cut at the
// end of a read is completed from the pieces behind it, and the
// serial-number exchange gets its answers.
//
// Beyond the sanitizers, every input checks that the console's dumps hold
// exactly the bytes that arrived, in their order, and that everything the
// dialog wrote to the line is a request the controller knows.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/QuillonDlg.h"
#include "sim/RequestParser.h"
#include "support/Pty.h"

using namespace quillon;
using Bytes = std::vector<Byte>;

namespace {

// Beyond this the driver's queue could be full, and the check of the dumps would not hold.
constexpr std::size_t kMaxLineBytes = 4000;
constexpr Byte kQuietBit = 0x80;
constexpr int kPumpEvery = 64;

struct Piece {
    Bytes bytes;
    bool bNotify = true;
};

std::vector<Piece> Pieces(const std::uint8_t* data, std::size_t size) {
    std::vector<Piece> pieces;
    std::size_t total = 0;
    for (std::size_t i = 0; i < size;) {
        const std::size_t length = std::min<std::size_t>(data[i] & ~kQuietBit, size - i - 1);
        if (total + length > kMaxLineBytes) break;
        pieces.push_back({Bytes(data + i + 1, data + i + 1 + length), (data[i] & kQuietBit) == 0});
        total += length;
        i += 1 + length;
    }
    return pieces;
}

[[noreturn]] void Finding(const char* pszWhat, const std::string& detail) {
    std::fprintf(stderr, "receive fuzz: %s\n%s\n", pszWhat, detail.c_str());
    std::abort();
}

int NoMessageBox(LPCSTR, LPCSTR, UINT) {
    return IDOK;
}

class Harness {
public:
    Harness() {
        for (int n = 1; n <= 8; ++n) ::setenv(("QUILLON_COM" + std::to_string(n)).c_str(), "/nonexistent", 1);
        AfxSetMessageBoxHook(&NoMessageBox);
        m_dlg.Create(IDD_QUILLON_DIALOG);
        if (m_dlg.m_serial.OpenPort(m_peer.Path().c_str()) != ERROR_SUCCESS)
            Finding("cannot open the pty", "");
    }

    void Run(const std::uint8_t* data, std::size_t size) {
        m_pieces = Pieces(data, size);
        m_nNext = 0;
        m_arrived.clear();
        m_parser = sim::RequestParser();
        g_nPage = PAGE_WAIT_ACTIVATION;
        g_bOsdRequestAck = g_bOsdApplyAck = g_bComConfirmAck = g_bIoNoComPower = 0;
        g_nVersionMask = g_bSerialListEnd = 0;
        m_dlg.m_strConsole.Empty();
        m_dlg.m_strSerialNumbers.Empty();

        while (m_nNext < m_pieces.size()) {
            const Piece& piece = m_pieces[m_nNext++];
            Deliver(piece.bytes);
            if (piece.bNotify) Notify();
        }
        // Whatever is still queued is read as later notifications would.
        for (int n = 0; n < 64 && Queued() > 0; ++n) Notify();
        DrainLine();
        CheckDumps();
        CheckRequests();
        if (++m_nRuns % kPumpEvery == 0) AfxPumpMessages(0);
    }

    // A wait of the program: the next piece arrives meanwhile.
    void Wait() {
        DrainLine();
        if (m_nNext < m_pieces.size()) {
            Deliver(m_pieces[m_nNext++].bytes);
            m_bArrivedMeanwhile = true;
        }
    }

private:
    DWORD Queued() {
        COMSTAT stat{};
        DWORD dwErrors = 0;
        return ::ClearCommError(m_dlg.m_serial.GetCommHandle(), &dwErrors, &stat) ? stat.cbInQue : 0;
    }

    // Writes the bytes to the line and waits until the driver holds them.
    void Deliver(const Bytes& bytes) {
        if (bytes.empty()) return;
        const DWORD dwWant = Queued() + static_cast<DWORD>(bytes.size());
        if (!m_peer.Write(bytes)) Finding("cannot write to the pty", std::strerror(errno));
        m_arrived.insert(m_arrived.end(), bytes.begin(), bytes.end());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Queued() < dwWant) {
            if (std::chrono::steady_clock::now() > deadline) Finding("the driver never took the bytes", "");
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    }

    // One notification, and one more for the pieces that came while it ran.
    void Notify() {
        m_bArrivedMeanwhile = false;
        m_dlg.ProcessReceivedData();
        if (m_bArrivedMeanwhile) {
            m_bArrivedMeanwhile = false;
            m_dlg.ProcessReceivedData();
        }
        DrainLine();
    }

    void DrainLine() {
        const Bytes written = m_peer.Drain(std::chrono::milliseconds(0));
        for (const sim::ParsedRequest& request : m_parser.Feed(written)) {
            if (!request.kind) Finding("the dialog wrote no known request", sim::Hex(request.bytes));
        }
    }

    void CheckRequests() {
        for (const sim::ParsedRequest& request : m_parser.Flush())
            Finding("the dialog wrote part of a request", sim::Hex(request.bytes));
    }

    void CheckDumps() {
        static const std::regex entry(R"(\r\nRxChar\((\d+)\):((?: [0-9A-F]{2})*))");
        const std::string& console = m_dlg.m_strConsole.Str();
        Bytes dumped;
        for (auto it = std::sregex_iterator(console.begin(), console.end(), entry);
             it != std::sregex_iterator(); ++it) {
            const std::string hex = (*it)[2];
            const std::size_t nCount = std::stoul((*it)[1]);
            if (hex.size() != 3 * nCount) Finding("a dump's count is not its bytes", it->str());
            for (std::size_t i = 0; i < hex.size(); i += 3)
                dumped.push_back(static_cast<Byte>(std::stoul(hex.substr(i + 1, 2), nullptr, 16)));
        }
        if (dumped != m_arrived) Finding("the dumps are not the bytes that arrived", console);
    }

    quillon::test::Pty m_peer;
    CQuillonDlg m_dlg;
    std::vector<Piece> m_pieces;
    std::size_t m_nNext = 0;
    bool m_bArrivedMeanwhile = false;
    Bytes m_arrived;
    sim::RequestParser m_parser;
    int m_nRuns = 0;
};

Harness* g_pHarness = nullptr;

}  // namespace

// The program's waits, as the linker hands them here (--wrap): a sleep, and a
// read that may wait for its bytes. Either is the moment the next piece
// arrives, and then takes no time.
extern "C" void __wrap__Z5Sleepj(DWORD) {
    if (g_pHarness) g_pHarness->Wait();
}

extern "C" BOOL __real__Z15SetCommTimeoutsPvP12COMMTIMEOUTS(HANDLE hFile, LPCOMMTIMEOUTS lpTimeouts);

extern "C" BOOL __wrap__Z15SetCommTimeoutsPvP12COMMTIMEOUTS(HANDLE hFile, LPCOMMTIMEOUTS lpTimeouts) {
    if (!g_pHarness || !lpTimeouts || lpTimeouts->ReadTotalTimeoutConstant == 0)
        return __real__Z15SetCommTimeoutsPvP12COMMTIMEOUTS(hFile, lpTimeouts);
    g_pHarness->Wait();
    COMMTIMEOUTS atOnce = *lpTimeouts;
    atOnce.ReadIntervalTimeout = MAXDWORD;
    atOnce.ReadTotalTimeoutMultiplier = 0;
    atOnce.ReadTotalTimeoutConstant = 0;
    return __real__Z15SetCommTimeoutsPvP12COMMTIMEOUTS(hFile, &atOnce);
}

// The dialog loads its icon through the application object.
CWinApp g_fuzzApp;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    AfxInitPlatform(*argc, *argv);
    g_pHarness = new Harness;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    g_pHarness->Run(data, size);
    return 0;
}
