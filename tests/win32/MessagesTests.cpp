// Registered messages, posting and sending.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32.h"

namespace {

using namespace std::chrono_literals;

struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class Sink : public HWND__ {
public:
    BOOL QueueMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        {
            std::lock_guard lock(m_mutex);
            m_queued.push_back({msg, wParam, lParam});
        }
        m_cv.notify_all();
        return TRUE;
    }

    LRESULT DispatchMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        m_dispatchThread = std::this_thread::get_id();
        return static_cast<LRESULT>(msg + wParam) + lParam;
    }

    std::vector<Message> WaitFor(std::size_t count) {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, 5s, [&] { return m_queued.size() >= count; });
        return m_queued;
    }

    std::thread::id m_dispatchThread;

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Message> m_queued;
};

TEST(RegisterWindowMessage, SameNameSameIdFromTheRegisteredRange) {
    const UINT uFirst = RegisterWindowMessageA("Win32Tests_First");
    const UINT uSecond = RegisterWindowMessageA("Win32Tests_Second");
    EXPECT_GE(uFirst, 0xC000u);
    EXPECT_LE(uFirst, 0xFFFFu);
    EXPECT_GE(uSecond, 0xC000u);
    EXPECT_NE(uFirst, uSecond);
    EXPECT_EQ(RegisterWindowMessageA("Win32Tests_First"), uFirst);
    EXPECT_EQ(RegisterWindowMessageA("WIN32TESTS_FIRST"), uFirst) << "names ignore case";

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
}

TEST(RegisterWindowMessage, ThreadsRacingForTheSameNamesAgree) {
    constexpr int kThreads = 4;
    constexpr int kNames = 50;
    std::vector<std::vector<UINT>> ids(kThreads, std::vector<UINT>(kNames));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&ids, t] {
            for (int n = 0; n < kNames; ++n)
                ids[t][n] = RegisterWindowMessageA(("Win32Tests_Race" + std::to_string(n)).c_str());
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(ids[t], ids[0]);
    EXPECT_EQ(std::set<UINT>(ids[0].begin(), ids[0].end()).size(), static_cast<std::size_t>(kNames));
}

TEST(PostMessage, ReachesALiveWindowInOrderFromAnotherThread) {
    Sink sink;
    constexpr int kCount = 100;
    std::thread poster([&sink] {
        for (int i = 0; i < kCount; ++i)
            EXPECT_TRUE(PostMessageA(&sink, WM_USER + 1, static_cast<WPARAM>(i), -i));
    });
    const std::vector<Message> queued = sink.WaitFor(kCount);
    poster.join();
    ASSERT_EQ(queued.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(queued[i].msg, WM_USER + 1);
        EXPECT_EQ(queued[i].wParam, static_cast<WPARAM>(i));
        EXPECT_EQ(queued[i].lParam, -i);
    }
}

TEST(PostMessage, DestroyedOrNullWindowIsRefused) {
    auto sink = std::make_unique<Sink>();
    EXPECT_TRUE(PostMessageA(sink.get(), WM_USER, 0, 0));
    // Passed through a volatile, since using the dead window's address is the point here.
    volatile std::uintptr_t dead = reinterpret_cast<std::uintptr_t>(static_cast<HWND>(sink.get()));
    sink.reset();
    const HWND hWnd = reinterpret_cast<HWND>(dead);

    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(PostMessageA(hWnd, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(PostMessageA(nullptr, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(SendMessageA(hWnd, WM_USER, 1, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(SendMessage, DispatchesOnTheCallingThreadAndReturnsTheResult) {
    Sink sink;
    EXPECT_EQ(SendMessageA(&sink, WM_USER, 5, 100), static_cast<LRESULT>(WM_USER + 5 + 100));
    EXPECT_EQ(sink.m_dispatchThread, std::this_thread::get_id());
}

// Set and read outside the window: the window itself is being destroyed while it queues.
std::atomic<bool> g_bStallEntered{false};
std::atomic<bool> g_bStallReleased{false};

// A window whose queueing blocks until released, to catch a window dying mid-post.
class StallingSink : public HWND__ {
public:
    BOOL QueueMessage(UINT, WPARAM, LPARAM) override {
        g_bStallEntered = true;
        while (!g_bStallReleased) std::this_thread::sleep_for(1ms);
        return TRUE;
    }

    LRESULT DispatchMessage(UINT, WPARAM, LPARAM) override { return 0; }
};

TEST(PostMessage, AWindowCannotBeDestroyedWhileAPostIsInProgress) {
    std::atomic<bool> destroyed{false};
    auto* sink = new StallingSink;

    std::thread poster([sink] { PostMessageA(sink, WM_USER, 0, 0); });
    while (!g_bStallEntered) std::this_thread::sleep_for(1ms);
    std::thread destroyer([&] {
        delete sink;
        destroyed = true;
    });
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(destroyed.load());
    g_bStallReleased = true;
    poster.join();
    destroyer.join();
    EXPECT_TRUE(destroyed.load());
}

}  // namespace
