// The tty side of a comm port: termios and the serial ioctls. Kept apart
// because the kernel's termios2, needed for speeds without a Bnnn constant,
// cannot share a translation unit with <termios.h>. Every call returns 0 or errno.
#pragma once

#include "platform/win32/Win32.h"

namespace win32::line {

struct ErrorCounts {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufferOverrun = 0;
};

// The device's own settings, taken at open and put back at close. Opaque here,
// since termios2 cannot be named where <termios.h> is.
struct Settings {
    alignas(8) unsigned char termios[64];
    bool bExclusive;
};

int Save(int fd, Settings& settings);
int Restore(int fd, const Settings& settings);
// Raw from the start, as a Windows COM port: no echo, no line editing, no translation.
int MakeRaw(int fd);
// Speed, character format and flow control of the DCB.
int Apply(int fd, const DCB& dcb);
// Overlays what termios holds onto dcb; the rest of dcb is left as given.
int Read(int fd, DCB& dcb);
// DTR and RTS as the DCB's enable/disable settings ask.
int SetModemControl(int fd, const DCB& dcb);
// MS_*_ON bits.
int GetModemStatus(int fd, DWORD& dwModemStat);
// Blocks until a modem input line (CTS, DSR, RI, DCD) changes; EINTR when interrupted.
int WaitModemChange(int fd);
int GetOutputQueue(int fd, DWORD& dwBytes);
int FlushInput(int fd);
int SetExclusive(int fd, bool bExclusive);
// Whether the device is in exclusive mode, asked without changing it.
int GetExclusive(int fd, bool& bExclusive);
int GetErrorCounts(int fd, ErrorCounts& counts);

}  // namespace win32::line
