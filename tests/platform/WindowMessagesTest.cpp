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
            LRESULT r = window.SendMessage((WM_USER + 100), 0, i);
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
    std::thread sender([&] { result = window.SendMessage((WM_USER + 102), 0, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    window.close();
    sender.join();
    EXPECT_EQ(result, 0);
    // After closing, sends from other threads are refused at once.
    std::thread late([&] { result = window.SendMessage((WM_USER + 102), 0, 0); });
    late.join();
    EXPECT_EQ(result, 0);
}

TEST(MessageWindow, OneQueuePerThreadServesEveryWindowOfIt) {
    // A modal dialog's loop pumps the thread's queue, so the main window still gets its messages.
    std::vector<std::string> seen;
    MessageWindow main([&](unsigned, WPARAM, LPARAM) -> LRESULT {
        seen.push_back("main");
        return 1;
    });
    MessageWindow modal([&](unsigned, WPARAM, LPARAM) -> LRESULT {
        seen.push_back("modal");
        return 2;
    });
    EXPECT_EQ(&main.queue(), &modal.queue());
    std::atomic<int> replies{0};
    std::thread worker([&] {
        replies += static_cast<int>(main.SendMessage((WM_USER + 100), 0, 0));
        modal.PostMessage(WM_USER, 0, 0);
        replies += static_cast<int>(main.SendMessage((WM_USER + 102), 0, 0));
    });
    while (seen.size() < 3)
        modal.pumpMessages(std::chrono::milliseconds(20));
    worker.join();
    EXPECT_EQ(seen, (std::vector<std::string>{"main", "modal", "main"}));
    EXPECT_EQ(replies, 2);
}

TEST(MessageWindow, ClosingOneWindowAnswersOnlyItsOwnPendingMessages) {
    auto queue = MessageQueue::forCurrentThread();
    MessageWindow keep([](unsigned, WPARAM, LPARAM) -> LRESULT { return 7; });
    auto gone =
        std::make_unique<MessageWindow>([](unsigned, WPARAM, LPARAM) -> LRESULT { return 9; });
    std::atomic<LRESULT> fromGone{-1}, fromKeep{-1};
    std::thread a([&] { fromGone = gone->SendMessage(WM_USER, 0, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    gone->close();
    a.join();
    std::thread b([&] { fromKeep = keep.SendMessage(WM_USER, 0, 0); });
    while (fromKeep == -1)
        queue->pump(std::chrono::milliseconds(10));
    b.join();
    EXPECT_EQ(fromGone, 0);
    EXPECT_EQ(fromKeep, 7);
}

}  // namespace
}  // namespace plovik
