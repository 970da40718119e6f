// A simulator on a pty, with the test playing the program on the other end.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ProgramEnd.h"
#include "sim/Simulator.h"

namespace quillon::sim::test {

class SimulatorTest : public testing::Test {
protected:
    void Launch() {
        m_sim = std::make_unique<Simulator>(config, line.TakeMaster());
        m_sim->Start();
    }

    Simulator& sim() { return *m_sim; }

    // Writes a request and returns the frame that answers it (empty if none came).
    std::vector<Byte> Ask(const std::vector<Byte>& request) {
        line.Write(request);
        return line.NextFrame().value_or(std::vector<Byte>{});
    }

    Config config = QuietConfig();
    ProgramEnd line;

private:
    std::unique_ptr<Simulator> m_sim;  // stopped before the line closes
};

}  // namespace quillon::sim::test
