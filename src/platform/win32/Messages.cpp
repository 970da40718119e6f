// Registered messages and posting to live windows.
#include <cctype>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/win32/Handles.h"

namespace {

// Posting and sending only read it, and do so at once from several threads.
struct LiveWindows {
    std::shared_mutex mutex;
    std::unordered_set<const HWND__*> windows;
};

struct MessageNames {
    std::mutex mutex;
    std::unordered_map<std::string, UINT> ids;
    UINT nextId = 0xC000;
};

// Built on first use and never destroyed: messages are registered during static
// initialisation, and windows may outlive the end of main.
LiveWindows& TheLiveWindows() {
    static LiveWindows* live = new LiveWindows;
    return *live;
}

MessageNames& TheMessageNames() {
    static MessageNames* names = new MessageNames;
    return *names;
}

bool IsLive(LiveWindows& live, HWND hWnd) {
    return hWnd && live.windows.count(hWnd) != 0;
}

}  // namespace

HWND__::HWND__() {
    LiveWindows& live = TheLiveWindows();
    std::lock_guard lock(live.mutex);
    live.windows.insert(this);
}

HWND__::~HWND__() { RevokeWindow(); }

void HWND__::RevokeWindow() {
    LiveWindows& live = TheLiveWindows();
    std::lock_guard lock(live.mutex);
    live.windows.erase(this);
}

UINT RegisterWindowMessageA(LPCSTR lpString) {
    if (!lpString || !*lpString) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Names compare without regard to case, as Windows' atoms do.
    std::string key(lpString);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    MessageNames& names = TheMessageNames();
    std::lock_guard lock(names.mutex);
    if (auto it = names.ids.find(key); it != names.ids.end()) return it->second;
    if (names.nextId > 0xFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    try {
        names.ids.emplace(std::move(key), names.nextId);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return names.nextId++;
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    LiveWindows& live = TheLiveWindows();
    // Held while queueing, so the window cannot be destroyed mid-post.
    std::shared_lock lock(live.mutex);
    if (!IsLive(live, hWnd)) return win32::Fail(ERROR_INVALID_WINDOW_HANDLE);
    return hWnd->QueueMessage(Msg, wParam, lParam);
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    {
        LiveWindows& live = TheLiveWindows();
        std::shared_lock lock(live.mutex);
        if (!IsLive(live, hWnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    }
    // Not under the lock: a handler may post, or close a port whose listener is posting.
    return hWnd->DispatchMessage(Msg, wParam, lParam);
}
