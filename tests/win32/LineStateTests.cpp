// The DCB as the device's termios shows it. The peer's side of a pty reads the
// device's termios, so what a setting did is seen where a program would see it.
// A pty keeps CS8 and clears PARENB whatever is asked; the rest of the format shows.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "PortFixture.h"

namespace win32_test {
namespace {

class LineState : public PortTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(Open());
        m_dcb.DCBlength = sizeof(DCB);
        ASSERT_TRUE(GetCommState(m_hPort, &m_dcb));
    }

    termios2 DeviceTermios() {
        termios2 t{};
        EXPECT_EQ(ioctl(m_peer.MasterFd(), TCGETS2, &t), 0);
        return t;
    }

    DCB ReadBack() {
        DCB dcb{};
        dcb.DCBlength = sizeof(DCB);
        EXPECT_TRUE(GetCommState(m_hPort, &dcb));
        return dcb;
    }

    DCB m_dcb{};
};

TEST_F(LineState, DeviceIsRawFromTheMomentItIsOpen) {
    const termios2 t = DeviceTermios();
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN));
    EXPECT_FALSE(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IUCLC | BRKINT | PARMRK));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
}

TEST_F(LineState, SpeedsWithoutABnnnConstantGoThroughBother) {
    for (DWORD dwSpeed : {CBR_14400, CBR_56000, CBR_128000, CBR_256000}) {
        m_dcb.BaudRate = dwSpeed;
        ASSERT_TRUE(SetCommState(m_hPort, &m_dcb)) << dwSpeed;
        const termios2 t = DeviceTermios();
        EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER)) << dwSpeed;
        EXPECT_EQ(t.c_ospeed, dwSpeed);
        EXPECT_EQ(ReadBack().BaudRate, dwSpeed);
    }
}

TEST_F(LineState, StandardSpeedsUseTheirConstant) {
    const struct {
        DWORD dwSpeed;
        tcflag_t code;
    } speeds[] = {
        {CBR_110, B110}, {CBR_300, B300}, {CBR_9600, B9600}, {CBR_57600, B57600}, {CBR_115200, B115200}};
    for (const auto& speed : speeds) {
        m_dcb.BaudRate = speed.dwSpeed;
        ASSERT_TRUE(SetCommState(m_hPort, &m_dcb)) << speed.dwSpeed;
        EXPECT_EQ(DeviceTermios().c_cflag & CBAUD, speed.code) << speed.dwSpeed;
        EXPECT_EQ(ReadBack().BaudRate, speed.dwSpeed);
    }
}

TEST_F(LineState, SevenDataBitsEvenParityTwoStopBits) {
    m_dcb.ByteSize = 7;
    m_dcb.Parity = EVENPARITY;
    m_dcb.StopBits = TWOSTOPBITS;
    m_dcb.fParity = TRUE;
    ASSERT_TRUE(SetCommState(m_hPort, &m_dcb));
    const termios2 t = DeviceTermios();
    EXPECT_FALSE(t.c_cflag & (PARODD | CMSPAR));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_iflag & INPCK);

    const DCB dcb = ReadBack();
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(dcb.fParity);
}

TEST_F(LineState, EveryParityHasItsFlags) {
    const struct {
        BYTE byParity;
        tcflag_t flags;
    } parities[] = {{MARKPARITY, CMSPAR | PARODD},
                    {NOPARITY, 0},
                    {ODDPARITY, PARODD},
                    {SPACEPARITY, CMSPAR},
                    {EVENPARITY, 0}};
    for (const auto& parity : parities) {
        m_dcb.Parity = parity.byParity;
        ASSERT_TRUE(SetCommState(m_hPort, &m_dcb)) << int(parity.byParity);
        EXPECT_EQ(DeviceTermios().c_cflag & (PARODD | CMSPAR), parity.flags) << int(parity.byParity);
        EXPECT_EQ(ReadBack().Parity, parity.byParity);
    }
}

TEST_F(LineState, FiveDataBitsTakeOneAndAHalfStopBits) {
    m_dcb.ByteSize = 5;
    m_dcb.StopBits = ONE5STOPBITS;
    ASSERT_TRUE(SetCommState(m_hPort, &m_dcb));
    EXPECT_TRUE(DeviceTermios().c_cflag & CSTOPB);
    const DCB dcb = ReadBack();
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.StopBits, ONE5STOPBITS);
}

TEST_F(LineState, FlowControlSettingsReachTermios) {
    m_dcb.fOutxCtsFlow = TRUE;
    m_dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    m_dcb.fOutX = TRUE;
    m_dcb.fInX = TRUE;
    m_dcb.XonChar = 0x01;
    m_dcb.XoffChar = 0x02;
    ASSERT_TRUE(SetCommState(m_hPort, &m_dcb));
    termios2 t = DeviceTermios();
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_iflag & IXOFF);
    EXPECT_EQ(t.c_cc[VSTART], 0x01);
    EXPECT_EQ(t.c_cc[VSTOP], 0x02);

    m_dcb.fOutxCtsFlow = FALSE;
    m_dcb.fRtsControl = RTS_CONTROL_ENABLE;
    m_dcb.fOutX = FALSE;
    m_dcb.fInX = FALSE;
    ASSERT_TRUE(SetCommState(m_hPort, &m_dcb));
    t = DeviceTermios();
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
}

TEST_F(LineState, WhatTermiosCannotHoldIsStillReadBack) {
    m_dcb.fOutxDsrFlow = TRUE;
    m_dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    m_dcb.fDsrSensitivity = TRUE;
    m_dcb.fTXContinueOnXoff = TRUE;
    m_dcb.fNull = TRUE;
    m_dcb.fAbortOnError = TRUE;
    m_dcb.fErrorChar = TRUE;
    m_dcb.XonLim = 100;
    m_dcb.XoffLim = 200;
    m_dcb.ErrorChar = '?';
    m_dcb.EofChar = 0x1A;
    m_dcb.EvtChar = '\n';
    ASSERT_TRUE(SetCommState(m_hPort, &m_dcb));
    const DCB dcb = ReadBack();
    EXPECT_TRUE(dcb.fOutxDsrFlow);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_HANDSHAKE);
    EXPECT_TRUE(dcb.fDsrSensitivity);
    EXPECT_TRUE(dcb.fTXContinueOnXoff);
    EXPECT_TRUE(dcb.fNull);
    EXPECT_TRUE(dcb.fAbortOnError);
    EXPECT_TRUE(dcb.fErrorChar);
    EXPECT_EQ(dcb.XonLim, 100);
    EXPECT_EQ(dcb.XoffLim, 200);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.EvtChar, '\n');
}

TEST_F(LineState, ChangesMadeToTheDeviceBySomeoneElseShow) {
    m_dcb.BaudRate = CBR_9600;
    ASSERT_TRUE(SetCommState(m_hPort, &m_dcb));
    termios2 t = DeviceTermios();
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= B38400;
    t.c_ispeed = t.c_ospeed = 38400;
    t.c_iflag |= IXON;
    ASSERT_EQ(ioctl(m_peer.MasterFd(), TCSETS2, &t), 0);

    const DCB dcb = ReadBack();
    EXPECT_EQ(dcb.BaudRate, CBR_38400);
    EXPECT_TRUE(dcb.fOutX);
}

TEST_F(LineState, InvalidBlocksAreRefusedAndChangeNothing) {
    m_dcb.BaudRate = CBR_19200;
    ASSERT_TRUE(SetCommState(m_hPort, &m_dcb));
    const termios2 before = DeviceTermios();

    const auto refused = [&](auto change) {
        DCB dcb = m_dcb;
        dcb.BaudRate = CBR_38400;
        change(dcb);
        SetLastError(ERROR_SUCCESS);
        return !SetCommState(m_hPort, &dcb) && GetLastError() == ERROR_INVALID_PARAMETER;
    };
    EXPECT_TRUE(refused([](DCB& dcb) { dcb.DCBlength = 0; }));
    EXPECT_TRUE(refused([](DCB& dcb) { dcb.BaudRate = 0; }));
    EXPECT_TRUE(refused([](DCB& dcb) { dcb.ByteSize = 4; }));
    EXPECT_TRUE(refused([](DCB& dcb) { dcb.ByteSize = 9; }));
    EXPECT_TRUE(refused([](DCB& dcb) { dcb.Parity = 5; }));
    EXPECT_TRUE(refused([](DCB& dcb) { dcb.StopBits = 3; }));
    EXPECT_TRUE(refused([](DCB& dcb) { dcb.StopBits = ONE5STOPBITS; }));
    EXPECT_TRUE(refused([](DCB& dcb) {
        dcb.ByteSize = 5;
        dcb.StopBits = TWOSTOPBITS;
    }));
    EXPECT_TRUE(refused([](DCB& dcb) {
        dcb.fOutX = TRUE;
        dcb.XonChar = dcb.XoffChar;
    }));

    const termios2 after = DeviceTermios();
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_ospeed, before.c_ospeed);
    EXPECT_EQ(ReadBack().BaudRate, CBR_19200);
}

}  // namespace
}  // namespace win32_test
