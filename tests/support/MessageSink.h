// A window that records what is posted to it, for tests without a dialog.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win32/Win32.h"

namespace quillon::test {

struct PostedMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    std::chrono::steady_clock::time_point when;
};

class MessageSink : public HWND__ {
public:
    ~MessageSink() override { RevokeWindow(); }
    BOOL QueueMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        {
            std::lock_guard lock(m_mutex);
            m_messages.push_back({msg, wParam, lParam, std::chrono::steady_clock::now()});
        }
        m_cv.notify_all();
        return TRUE;
    }
    LRESULT DispatchMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        QueueMessage(msg, wParam, lParam);
        return 0;
    }

    // Waits until at least `count` messages arrived.
    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, timeout, [&] { return m_messages.size() >= count; });
    }
    std::vector<PostedMessage> Messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<PostedMessage> m_messages;
};

}  // namespace quillon::test
