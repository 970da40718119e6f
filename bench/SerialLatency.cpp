// From a byte written by the peer to the posted notification; and the CPU a
// process uses while it holds an idle port, and after its peer hung up.
#include <sys/resource.h>

#include <thread>

#include "serial/SerialWnd.h"
#include "Stats.h"
#include "support/MessageSink.h"
#include "support/Pty.h"

using namespace std::chrono_literals;
using quillon::test::MessageSink;
using quillon::test::Pty;

namespace {

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double CpuShareOver(std::chrono::seconds span) {
    const double before = CpuSeconds();
    std::this_thread::sleep_for(span);
    return (CpuSeconds() - before) / static_cast<double>(span.count()) * 100.0;
}

}  // namespace

int main() {
    Pty pty;
    MessageSink sink;
    CSerialWnd port;
    if (port.OpenForWindow(pty.Path().c_str(), static_cast<HWND>(&sink)) != 0) return 1;
    port.SetEventMask(0x1FD);
    std::this_thread::sleep_for(100ms);

    std::vector<double> latencies;
    for (int i = 0; i < 2000; ++i) {
        sink.Clear();
        const auto sent = std::chrono::steady_clock::now();
        pty.Write({0x55});
        if (!sink.WaitFor(1, 2s)) return 1;
        latencies.push_back(std::chrono::duration<double, std::micro>(sink.Messages()[0].when - sent).count());
        BYTE buf[16];
        port.ReadData(buf, sizeof(buf));
        std::this_thread::sleep_for(1ms);
    }
    PrintPercentiles("byte to notification", latencies);

    std::fprintf(stderr, "CPU while idle and open: %.2f%%\n", CpuShareOver(3s));
    pty.CloseSlave();
    pty.HangUp();
    std::this_thread::sleep_for(200ms);
    std::fprintf(stderr, "CPU after the peer hung up: %.2f%%\n", CpuShareOver(3s));
    port.ClosePort();
    return 0;
}
