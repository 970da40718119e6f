// The quillon and quillon-sim programs together, as a user starts them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "Program.h"

using namespace std::chrono_literals;
using e2e::Count;
using e2e::Program;

// The device given as the argument is the only port: COM1's variable names one that is not there.
TEST(Programs, QuillonHoldsTheWholeConversationWithTheSimulator) {
    Program sim(QUILLON_SIM_PROGRAM, {"--delay", "1500", "--log", "--rate", "20"}, {});
    ASSERT_TRUE(sim.Running());
    ASSERT_TRUE(sim.WaitFor([&] { return sim.Out().find('\n') != std::string::npos; }, 10s));
    ASSERT_EQ(sim.Out().rfind("device: ", 0), 0u) << sim.Out();
    const std::string device = sim.Out().substr(8, sim.Out().find('\n') - 8);

    char szLocks[] = "/tmp/quillon-e2e-locks-XXXXXX";
    ASSERT_NE(::mkdtemp(szLocks), nullptr);
    const auto environment = [&szLocks](const std::string& com1) {
        std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "QUILLON_LOCK_DIR=" + std::string(szLocks),
                                     "QUILLON_COM1=" + com1};
        for (int n = 2; n <= 8; ++n)
            env.push_back("QUILLON_COM" + std::to_string(n) + "=/nonexistent/com" + std::to_string(n));
        return env;
    };
    Program quillon(QUILLON_PROGRAM, {device}, environment("/nonexistent/com1"));
    ASSERT_TRUE(quillon.Running());

    // Announcement, link open, I/O version, serial numbers, then the stream.
    const bool streaming =
        sim.WaitFor([&] { return sim.Err().find("accepted all states\n") != std::string::npos; }, 20s);
    EXPECT_TRUE(streaming) << sim.Err();
    EXPECT_NE(sim.Err().find("accepted link open"), std::string::npos);
    EXPECT_NE(sim.Err().find("accepted I/O version"), std::string::npos);
    EXPECT_NE(sim.Err().find("accepted serial number start"), std::string::npos);
    EXPECT_GE(Count(sim.Err(), "accepted serial number\n"), 1u);
    EXPECT_EQ(sim.Err().find("rejected"), std::string::npos) << sim.Err();

    quillon.WaitFor([&] { return Count(quillon.Out(), "recv\n") >= 10; }, 10s);
    EXPECT_GE(Count(quillon.Out(), "recv\n"), 10u) << quillon.Out();
    EXPECT_NE(quillon.Err().find("quillon: COM1 is " + device + "\n"), std::string::npos) << quillon.Err();
    EXPECT_EQ(quillon.Err().find("/nonexistent"), std::string::npos) << quillon.Err();

    // Another start lists the ports as they are: the variables' devices, COM1 held by the first.
    Program list(QUILLON_PROGRAM, {"--list-ports"}, environment(device));
    EXPECT_EQ(list.Wait(), 0) << list.Err();
    EXPECT_EQ(list.Out().rfind("COM1  " + device + " ", 0), 0u) << list.Out();
    EXPECT_NE(list.Out().find("  held by process " + std::to_string(quillon.Pid()) + "\n"), std::string::npos)
        << list.Out();
    EXPECT_NE(list.Out().find("\nCOM8  /nonexistent/com8  missing\n"), std::string::npos) << list.Out();
    quillon.Stop();
    sim.Stop();
    std::filesystem::remove_all(szLocks);
}

// What a user types wrong, or sends where nothing can be written.
TEST(Programs, QuillonRefusesAWrongCommandLineAndAnUnwritableAnswer) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* err;
    } rows[] = {
        {{"--bogus"}, 2, "quillon: unknown option '--bogus'\nUsage: quillon [--list-ports] [DEVICE]\n"},
        {{"/dev/ttyUSB0", "/dev/ttyUSB1"}, 2, "Usage: quillon"},
        {{"--help"}, 1, "No space left on device"},
        {{"--version"}, 1, "No space left on device"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"-c", "exec \"$0\" \"$@\" >/dev/full", QUILLON_PROGRAM};
        args.insert(args.end(), row.args.begin(), row.args.end());
        Program program("/bin/sh", args, {});
        EXPECT_EQ(program.Wait(), row.status) << row.args[0];
        EXPECT_NE(program.Err().find(row.err), std::string::npos) << program.Err();
    }
}
