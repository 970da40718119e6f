// A watcher of the bytes that pass between the open ports and their devices, for a capture of
// the line. Not a Win32 call: on Windows a filter below the serial driver sees the same.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/win32/Win32.h"

namespace win32 {

enum class LineDirection { Received, Sent };

// Called on whichever thread moves the bytes (the caller's, the port's I/O thread, a thread that
// drives a wait), under the port's lock, so that one port's calls come in the order the bytes
// passed. A tap must not call the port back.
class LineTap {
public:
    // A port has been opened.
    virtual void OnPortOpened() = 0;
    // What the port took from the device, or what the device took from the port.
    virtual void OnLineBytes(LineDirection direction, const BYTE* pBytes, std::size_t nBytes) = 0;

protected:
    ~LineTap() = default;
};

// None unless a capture was asked for: then one load per transfer is all it costs. A tap must stay
// alive until it has been taken away and no port is open.
inline std::atomic<LineTap*> g_pLineTap{nullptr};

inline LineTap* CurrentLineTap() {
    return g_pLineTap.load(std::memory_order_acquire);
}

}  // namespace win32
