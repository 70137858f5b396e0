#include "platform/WindowMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace plovik {
namespace {

TEST(MessageWindow, SendFromOwnerThreadCallsHandlerDirectly) {
    std::thread::id seen;
    MessageWindow window([&](unsigned m, WPARAM w, LPARAM l) -> LRESULT {
        seen = std::this_thread::get_id();
        return static_cast<LRESULT>(m + w + static_cast<WPARAM>(l));
    });
    EXPECT_EQ(window.SendMessage(WM_USER, 1, 2), WM_USER + 3);
    EXPECT_EQ(seen, std::this_thread::get_id());
}

TEST(MessageWindow, SendFromAnotherThreadRunsOnOwnerAndBlocksUntilHandled) {
    std::vector<LPARAM> received;
    std::atomic<int> handledBeforeReturn{-1};
    const auto owner = std::this_thread::get_id();
    bool allOnOwner = true;
    MessageWindow window([&](unsigned, WPARAM, LPARAM l) -> LRESULT {
        allOnOwner = allOnOwner && std::this_thread::get_id() == owner;
        received.push_back(l);
        return l * 10;
    });
    std::atomic<bool> finished{false};
    std::thread sender([&] {
        for (LPARAM i = 0; i < 50; ++i) {
            LRESULT r = window.SendMessage(WM_BUILD_LOG, 0, i);
            if (r != i * 10)
                handledBeforeReturn = static_cast<int>(i);
        }
        finished = true;
        window.wake();
    });
    while (!finished)
        window.pumpMessages(std::chrono::milliseconds(50));
    sender.join();
    EXPECT_TRUE(allOnOwner);
    EXPECT_EQ(handledBeforeReturn, -1);
    ASSERT_EQ(received.size(), 50u);
    for (LPARAM i = 0; i < 50; ++i)
        EXPECT_EQ(received[static_cast<size_t>(i)], i);
}

TEST(MessageWindow, CloseReleasesWaitingSenders) {
    MessageWindow window([](unsigned, WPARAM, LPARAM) -> LRESULT { return 5; });
    std::atomic<LRESULT> result{-1};
    std::thread sender([&] { result = window.SendMessage(WM_BUILD_DONE, 0, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    window.close();
    sender.join();
    EXPECT_EQ(result, 0);
    // After closing, sends from other threads are refused at once.
    std::thread late([&] { result = window.SendMessage(WM_BUILD_DONE, 0, 0); });
    late.join();
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace plovik
