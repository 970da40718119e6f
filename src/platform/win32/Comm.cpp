// The comm functions: argument checks as Windows makes them, then the port does the work.
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/win32/CommPort.h"
#include "platform/win32/PortAccess.h"

namespace {

using win32::CommPort;
using win32::Fail;

constexpr DWORD kAllEvents = 0x1FFF;  // EV_RXCHAR .. EV_EVENT2
constexpr DWORD kAllPurges = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD PST_RS232 = 0x00000001;

std::string DevicePath(const char* pszName) {
    return win32::ResolvePort(pszName).path;
}

// The combinations SetCommState refuses on Windows.
bool IsValid(const DCB& dcb) {
    if (dcb.DCBlength != sizeof(DCB) || dcb.BaudRate == 0) return false;
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS)
        return false;
    // 1.5 stop bits go only with 5 data bits, 2 stop bits never do.
    if (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5) return false;
    if (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5) return false;
    if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar) return false;
    return true;
}

std::shared_ptr<CommPort> Port(HANDLE hFile) {
    return win32::Lookup<CommPort>(hFile);
}

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, SECURITY_ATTRIBUTES*,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
    if (!lpFileName || dwCreationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = DevicePath(lpFileName);
    // Another program's lock file keeps the port from us as surely as its exclusive open.
    win32::LockFile lock;
    // Without access rights the device is only looked at, as Windows opens one for its attributes.
    const bool bQuery = dwDesiredAccess == 0;
    DWORD dwError = bQuery ? lock.Check(path) : lock.Acquire(path);
    std::shared_ptr<win32::Object> object;
    std::shared_ptr<CommPort> port;
    if (dwError == ERROR_SUCCESS && bQuery)
        object = win32::DeviceQuery::Open(path.c_str(), dwError);
    else if (dwError == ERROR_SUCCESS)
        object = port =
            CommPort::Open(path.c_str(), (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0, dwError);
    win32::NoteOpenResult(lpFileName, path, object ? ERROR_SUCCESS : dwError, lock);
    if (!object) {
        SetLastError(dwError);
        return INVALID_HANDLE_VALUE;
    }
    if (port) port->KeepLock(std::move(lock));
    HANDLE hFile = win32::RegisterObject(object);
    if (!hFile) {
        object->OnClose();
        return INVALID_HANDLE_VALUE;
    }
    return hFile;
}

BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD) {
    auto port = Port(hFile);
    return port ? port->Setup(dwInQueue) : FALSE;
}

BOOL GetDefaultCommConfigA(LPCSTR lpszName, LPCOMMCONFIG lpCC, LPDWORD lpdwSize) {
    if (!lpszName || !lpdwSize) return Fail(ERROR_INVALID_PARAMETER);
    struct stat info {};
    if (stat(DevicePath(lpszName).c_str(), &info) != 0) return win32::FailErrno(errno);
    if (!S_ISCHR(info.st_mode)) return Fail(ERROR_FILE_NOT_FOUND);
    if (!lpCC || *lpdwSize < sizeof(COMMCONFIG)) {
        *lpdwSize = sizeof(COMMCONFIG);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    *lpCC = COMMCONFIG{};
    lpCC->dwSize = sizeof(COMMCONFIG);
    lpCC->wVersion = 1;
    lpCC->dcb = win32::DefaultDcb();
    lpCC->dwProviderSubType = PST_RS232;
    *lpdwSize = sizeof(COMMCONFIG);
    return TRUE;
}

BOOL SetCommConfig(HANDLE hCommDev, LPCOMMCONFIG lpCC, DWORD dwSize) {
    auto port = Port(hCommDev);
    if (!port) return FALSE;
    if (!lpCC || dwSize < offsetof(COMMCONFIG, dcb) + sizeof(DCB) || !IsValid(lpCC->dcb))
        return Fail(ERROR_INVALID_PARAMETER);
    return port->SetState(lpCC->dcb);
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (!lpDCB) return Fail(ERROR_INVALID_PARAMETER);
    return port->GetState(*lpDCB);
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (!lpDCB || !IsValid(*lpDCB)) return Fail(ERROR_INVALID_PARAMETER);
    return port->SetState(*lpDCB);
}

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (!lpCommTimeouts) return Fail(ERROR_INVALID_PARAMETER);
    return port->GetTimeouts(*lpCommTimeouts);
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (!lpCommTimeouts) return Fail(ERROR_INVALID_PARAMETER);
    const COMMTIMEOUTS& t = *lpCommTimeouts;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
        t.ReadTotalTimeoutConstant == MAXDWORD)
        return Fail(ERROR_INVALID_PARAMETER);
    return port->SetTimeouts(t);
}

BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (dwEvtMask & ~kAllEvents) return Fail(ERROR_INVALID_PARAMETER);
    return port->SetMask(dwEvtMask);
}

BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (!lpEvtMask) return Fail(ERROR_INVALID_PARAMETER);
    return port->GetMask(*lpEvtMask);
}

BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (!lpEvtMask) return Fail(ERROR_INVALID_PARAMETER);
    return port->WaitEvent(lpEvtMask, lpOverlapped);
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
    auto port = Port(hFile);
    return port ? port->ClearError(lpErrors, lpStat) : FALSE;
}

BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (!lpModemStat) return Fail(ERROR_INVALID_PARAMETER);
    return port->GetModemStatus(*lpModemStat);
}

BOOL PurgeComm(HANDLE hFile, DWORD dwFlags) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (dwFlags & ~kAllPurges) return Fail(ERROR_INVALID_PARAMETER);
    return port->Purge(dwFlags);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
    auto port = Port(hFile);
    return port ? port->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped) : FALSE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
    auto port = Port(hFile);
    return port ? port->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped) : FALSE;
}

BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                         BOOL bWait) {
    auto port = Port(hFile);
    if (!port) return FALSE;
    if (!lpOverlapped) return Fail(ERROR_INVALID_PARAMETER);
    return port->GetResult(lpOverlapped, lpNumberOfBytesTransferred, bWait);
}

BOOL CancelIo(HANDLE hFile) {
    auto port = Port(hFile);
    return port ? port->Cancel() : FALSE;
}
