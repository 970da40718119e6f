#include "platform/win32/Line.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace win32::line {
namespace {

struct SpeedCode {
    DWORD dwSpeed;
    tcflag_t code;
};

// Speeds that have a Bnnn constant; any other goes through BOTHER.
constexpr SpeedCode kSpeedCodes[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

constexpr tcflag_t kSizeCodes[] = {CS5, CS6, CS7, CS8};

int Get(int fd, termios2& t) {
    return ioctl(fd, TCGETS2, &t) == 0 ? 0 : errno;
}

int Set(int fd, const termios2& t) {
    return ioctl(fd, TCSETS2, &t) == 0 ? 0 : errno;
}

int ModemBits(int fd, unsigned long request, int bits) {
    return ioctl(fd, request, &bits) == 0 ? 0 : errno;
}

static_assert(sizeof(termios2) <= sizeof(Settings::termios));

}  // namespace

int Save(int fd, Settings& settings) {
    termios2 t{};
    if (int err = Get(fd, t)) return err;
    std::memcpy(settings.termios, &t, sizeof t);
    settings.bExclusive = false;
    GetExclusive(fd, settings.bExclusive);
    return 0;
}

int Restore(int fd, const Settings& settings) {
    termios2 t{};
    std::memcpy(&t, settings.termios, sizeof t);
    const int err = Set(fd, t);
    if (!settings.bExclusive) SetExclusive(fd, false);
    return err;
}

int MakeRaw(int fd) {
    termios2 t{};
    if (int err = Get(fd, t)) return err;
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IUCLC);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return Set(fd, t);
}

int Apply(int fd, const DCB& dcb) {
    termios2 t{};
    if (int err = Get(fd, t)) return err;

    tcflag_t speedCode = BOTHER;
    for (const SpeedCode& speed : kSpeedCodes) {
        if (speed.dwSpeed == dcb.BaudRate) speedCode = speed.code;
    }
    // Input speed bits 0: the input runs at the output speed.
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= speedCode;
    t.c_ispeed = t.c_ospeed = dcb.BaudRate;

    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= kSizeCodes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
        case ODDPARITY:
            t.c_cflag |= PARENB | PARODD;
            break;
        case EVENPARITY:
            t.c_cflag |= PARENB;
            break;
        case MARKPARITY:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case SPACEPARITY:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    // With 5 data bits the UART sends 1.5 stop bits for CSTOPB.
    if (dcb.StopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) t.c_cflag |= CRTSCTS;

    t.c_iflag &= ~(INPCK | IXON | IXOFF);
    if (dcb.fParity) t.c_iflag |= INPCK;
    if (dcb.fOutX) t.c_iflag |= IXON;
    if (dcb.fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    return Set(fd, t);
}

int Read(int fd, DCB& dcb) {
    termios2 t{};
    if (int err = Get(fd, t)) return err;

    const tcflag_t code = t.c_cflag & CBAUD;
    if (code == BOTHER) {
        dcb.BaudRate = t.c_ospeed;
    } else {
        for (const SpeedCode& speed : kSpeedCodes) {
            if (speed.code == code) dcb.BaudRate = speed.dwSpeed;
        }
    }

    for (BYTE size = 5; size <= 8; ++size) {
        if ((t.c_cflag & CSIZE) == kSizeCodes[size - 5]) dcb.ByteSize = size;
    }
    if (!(t.c_cflag & PARENB))
        dcb.Parity = NOPARITY;
    else if (t.c_cflag & CMSPAR)
        dcb.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        dcb.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    if (!(t.c_cflag & CSTOPB))
        dcb.StopBits = ONESTOPBIT;
    else
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;

    // The DCB's two CTS/RTS settings share one termios flag: keep them unless it disagrees.
    const bool bCtsRts = (t.c_cflag & CRTSCTS) != 0;
    if (bCtsRts != (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)) {
        dcb.fOutxCtsFlow = bCtsRts;
        if (bCtsRts)
            dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        else if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
            dcb.fRtsControl = RTS_CONTROL_ENABLE;
    }

    dcb.fParity = (t.c_iflag & INPCK) != 0;
    dcb.fOutX = (t.c_iflag & IXON) != 0;
    dcb.fInX = (t.c_iflag & IXOFF) != 0;
    dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return 0;
}

int SetModemControl(int fd, const DCB& dcb) {
    int set = 0;
    int clear = 0;
    if (dcb.fDtrControl == DTR_CONTROL_ENABLE)
        set |= TIOCM_DTR;
    else if (dcb.fDtrControl == DTR_CONTROL_DISABLE)
        clear |= TIOCM_DTR;
    if (dcb.fRtsControl == RTS_CONTROL_ENABLE)
        set |= TIOCM_RTS;
    else if (dcb.fRtsControl == RTS_CONTROL_DISABLE)
        clear |= TIOCM_RTS;
    if (set) {
        if (int err = ModemBits(fd, TIOCMBIS, set)) return err;
    }
    if (clear) return ModemBits(fd, TIOCMBIC, clear);
    return 0;
}

int GetModemStatus(int fd, DWORD& dwModemStat) {
    int bits = 0;
    if (ioctl(fd, TIOCMGET, &bits) != 0) return errno;
    dwModemStat = ((bits & TIOCM_CTS) ? MS_CTS_ON : 0) | ((bits & TIOCM_DSR) ? MS_DSR_ON : 0) |
                  ((bits & TIOCM_RI) ? MS_RING_ON : 0) | ((bits & TIOCM_CD) ? MS_RLSD_ON : 0);
    return 0;
}

int WaitModemChange(int fd) {
    return ioctl(fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD) == 0 ? 0 : errno;
}

int GetOutputQueue(int fd, DWORD& dwBytes) {
    int bytes = 0;
    if (ioctl(fd, TIOCOUTQ, &bytes) != 0) return errno;
    dwBytes = bytes > 0 ? static_cast<DWORD>(bytes) : 0;
    return 0;
}

int FlushInput(int fd) {
    return ioctl(fd, TCFLSH, TCIFLUSH) == 0 ? 0 : errno;
}

int SetExclusive(int fd, bool bExclusive) {
    return ioctl(fd, bExclusive ? TIOCEXCL : TIOCNXCL) == 0 ? 0 : errno;
}

int GetExclusive(int fd, bool& bExclusive) {
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) != 0) return errno;
    bExclusive = exclusive != 0;
    return 0;
}

int GetErrorCounts(int fd, ErrorCounts& counts) {
    serial_icounter_struct icount{};
    if (ioctl(fd, TIOCGICOUNT, &icount) != 0) return errno;
    counts.frame = icount.frame;
    counts.overrun = icount.overrun;
    counts.parity = icount.parity;
    counts.brk = icount.brk;
    counts.bufferOverrun = icount.buf_overrun;
    return 0;
}

}  // namespace win32::line
