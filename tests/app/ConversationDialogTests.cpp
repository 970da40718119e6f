// The dialog against the simulated controller: what the pages' fields hold
// once the conversation has run, and how faults on the line are borne.
#include "sim/Simulator.h"
#include "support/DialogFixture.h"

using namespace std::chrono_literals;
using quillon::sim::Config;
using quillon::sim::RequestKind;
using quillon::sim::Simulator;
using quillon::test::DialogTest;

class ConversationTest : public DialogTest {
protected:
    // Starts the controller, opens the dialog on it and presses the button.
    Simulator& Connect(Config config) {
        config.announceDelay.reset();
        m_sim = std::make_unique<Simulator>(std::move(config));
        MapPort(1, m_sim->DevicePath());
        m_sim->Start();
        OpenDialog();
        Pump(50ms);
        m_sim->Announce();
        return *m_sim;
    }

    // Runs the dialog until the controller has taken `count` requests of the kind.
    bool PumpUntil(RequestKind kind, std::size_t count, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            Pump(20ms);
            if (m_sim->WaitForRequests(kind, count, 0ms)) return true;
        }
        return false;
    }

    // Runs the dialog while `busy` holds, at most for `timeout`.
    template <typename Busy>
    void PumpWhile(Busy busy, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (busy() && std::chrono::steady_clock::now() < deadline) Pump(20ms);
    }

    // Each list answer is read 10 ms after its request: one that comes later
    // or in pieces is skipped, so what holds whatever the scheduler does is
    // that the list keeps the answers it took in order, each whole, and that
    // the exchange stops early only at the end marker.
    void ExpectListTakenInOrder(const std::string& prefix, const std::vector<std::string>& entries) {
        const std::string list = m_dlg->m_strSerialNumbers.Str();
        ASSERT_EQ(list.rfind(prefix, 0), 0u) << list;
        std::string rest = list.substr(prefix.size());
        for (const std::string& entry : entries) {
            if (rest.rfind(entry, 0) == 0) rest.erase(0, entry.size());
        }
        EXPECT_EQ(rest, g_bSerialListEnd ? "\r\n" : "") << list;
        const auto accepted = m_sim->Accepted();
        const auto requests = std::count_if(accepted.begin(), accepted.end(),
                                            [](const auto& r) { return r.kind == RequestKind::SerialNext; });
        if (g_bSerialListEnd) {
            EXPECT_GE(requests, static_cast<long>(entries.size()) + 1);
            EXPECT_LE(requests, 38);
        } else {
            EXPECT_EQ(requests, 38);  // indices 10 to 47
        }
    }

    void TearDown() override {
        DialogTest::TearDown();
        if (m_sim) m_sim->Stop();
    }

    std::unique_ptr<Simulator> m_sim;
};

TEST_F(ConversationTest, IdentityAndSerialNumbersFillTheTerminalStatusPage) {
    Config config;
    config.systemSerial = "QT2301A0042";
    config.serials = {{13, "LP7710932"}, {16, "TP0098123AB"}};
    config.rateHz = 100;
    Simulator& sim = Connect(config);
    ASSERT_TRUE(PumpUntil(RequestKind::AllStatesStart, 1, 10s));
    // The stream fills the other values.
    PumpWhile([&] { return g_nVersionMask != 7 || m_dlg->m_strDisplayVersion.IsEmpty(); }, 10s);

    EXPECT_EQ(g_nPage, PAGE_TERMINAL_STATUS);
    EXPECT_EQ(m_dlg->m_strIoVersion, config.ioVersion.c_str());
    EXPECT_EQ(g_bIoNoComPower, 0);

    ExpectListTakenInOrder("System Serial No: QT2301A0042", {"\r\nLCD Panel Serial No: LP7710932\r\n",
                                                             "\r\nTouch Panel Serial No: TP0098123AB"});
    EXPECT_TRUE(sim.Rejected().empty());

    EXPECT_EQ(m_dlg->m_strMbVersion, config.mbVersion.c_str());
    EXPECT_EQ(m_dlg->m_strBiosVersion, config.biosVersion.c_str());
    EXPECT_EQ(m_dlg->m_strDisplayVersion, config.displayVersion.c_str());
    EXPECT_EQ(g_nVersionMask, 7);
    PumpWhile(
        [&] {
            return m_dlg->m_strSensor[1289 - kFirstSensorField].IsEmpty() || m_dlg->m_strOsdState.IsEmpty() ||
                   m_dlg->m_strBacklight.IsEmpty() || m_dlg->m_strComPortState.IsEmpty() ||
                   m_dlg->m_strOperationHours.IsEmpty();
        },
        10s);
    EXPECT_NE(m_dlg->m_strOperationHours.Find("h:"), -1);
    EXPECT_FALSE(m_dlg->m_strSensor[0].IsEmpty());                          // CPU temperature
    EXPECT_NE(m_dlg->m_strSensor[1289 - kFirstSensorField].Find("W"), -1);  // DC power
    EXPECT_TRUE(m_dlg->m_strSensor[1265 - kFirstSensorField].IsEmpty());    // never written
    EXPECT_EQ(m_dlg->m_strOsdState, config.osdOn ? "ON" : "OFF");
    EXPECT_EQ(m_dlg->m_strBacklight, "80%");
    EXPECT_NE(m_dlg->m_strComPortState.Find(" COM1:  12V"), -1);
    EXPECT_EQ(m_dlg->m_strConsole.Find("CS ERROR"), -1);
}

TEST_F(ConversationTest, ListAnswersThatMissTheirReadAreTakenWholeOrNotAtAll) {
    Config config;
    config.serials = {{13, "LP7710932"}, {16, "TP0098123AB"}, {12, "MB23A004211"}};
    config.faults.ackDelay = 15ms;
    Simulator& sim = Connect(config);
    ASSERT_TRUE(PumpUntil(RequestKind::AllStatesStart, 1, 15s));
    ExpectListTakenInOrder("System Serial No: QT2301A0042",
                           {"\r\nLCD Panel Serial No: LP7710932\r\n",
                            "\r\nTouch Panel Serial No: TP0098123AB", "\r\nMB Serial No: MB23A004211"});
    EXPECT_TRUE(sim.Rejected().empty());
}

TEST_F(ConversationTest, IoFirmwareWithoutComSupplyIsRecognised) {
    Config config;
    config.ioVersion = std::string(quillon::sim::kIoVersionNoComPower);
    Connect(config);
    ASSERT_TRUE(PumpUntil(RequestKind::SerialStart, 1, 10s));
    EXPECT_EQ(g_bIoNoComPower, 1);
}

TEST_F(ConversationTest, NoSystemSerialGoesStraightToTheStream) {
    Config config;
    config.systemSerial.reset();
    Simulator& sim = Connect(config);
    ASSERT_TRUE(PumpUntil(RequestKind::AllStatesStart, 1, 10s));
    EXPECT_TRUE(m_dlg->m_strSerialNumbers.IsEmpty());
    EXPECT_FALSE(sim.WaitForRequests(RequestKind::SerialNext, 1, 0ms));
}

TEST_F(ConversationTest, SplitFramesAndNoiseLoseNoValue) {
    Config config;
    config.faults.splitAt = 4;
    config.faults.splitPause = 30ms;
    config.faults.garbageEvery = 3;
    config.rateHz = 100;
    Simulator& sim = Connect(config);
    ASSERT_TRUE(PumpUntil(RequestKind::AllStatesStart, 1, 15s));
    Pump(2s);
    EXPECT_EQ(m_dlg->m_strConsole.Find("CS ERROR"), -1);
    EXPECT_FALSE(m_dlg->m_strSensor[0].IsEmpty());
    EXPECT_TRUE(sim.Rejected().empty());
}

TEST_F(ConversationTest, EscIsAnsweredPromptlyWhileEveryFrameComesInPieces) {
    Config config;
    config.systemSerial.reset();
    config.faults.splitAt = 4;
    config.faults.splitPause = 30ms;
    config.rateHz = 100;
    Simulator& sim = Connect(config);
    ASSERT_TRUE(PumpUntil(RequestKind::AllStatesStart, 1, 10s));
    PumpWhile([&] { return sim.GetState().framesSent < 200; }, 10s);
    AfxSimulateKey(m_dlg.get(), VK_ESCAPE);
    const auto start = std::chrono::steady_clock::now();
    PumpWhile([&] { return m_dlg->IsWindowVisible(); }, 20s);
    EXPECT_FALSE(m_dlg->IsWindowVisible());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(ConversationTest, BadChecksumsAreMarkedAndNotDecoded) {
    Config config;
    config.faults.badChecksumEvery = 1;
    Simulator& sim = Connect(config);
    EXPECT_TRUE(PumpUntil(RequestKind::LinkOpen, 1, 5s));
    Pump(500ms);
    // The acknowledgement of the link fails its check: the I/O version is never asked for.
    EXPECT_NE(m_dlg->m_strConsole.Find("\r\n CS ERROR\r\nRxChar("), -1);
    EXPECT_FALSE(sim.WaitForRequests(RequestKind::IoVersion, 1, 0ms));
}
