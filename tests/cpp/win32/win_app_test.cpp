#include "cpp/win32/win_app.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <objbase.h>
#include <optional>
#include <stdexcept>
#include <thread>

namespace cpp::Program {
namespace {

Time after(Duration duration) {
    return Time() + duration;
}

TEST(MessagePump, PastDeadlineRunsDueTasksInOrderWithoutWaitingAndPastAThrowingOne) {
    WinApp app(L"");
    std::vector<int> order;
    app.bus().post([&] { order.push_back(1); }, Duration::milliseconds(30));
    app.bus().post([&] { order.push_back(2); }, Duration::milliseconds(30));
    app.bus().post([] { throw std::runtime_error("ignored"); });
    app.bus().post([&] { order.push_back(0); });
    Sleep(60);
    EXPECT_TRUE(app.pump(Time()));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(MessagePump, QuitMessageReturnsFalseAndRunsNoTask) {
    WinApp app(L"");
    int ran = 0;
    app.bus().post([&] { ++ran; });
    PostQuitMessage(0);
    EXPECT_FALSE(app.pump(after(Duration::seconds(5))));
    EXPECT_FALSE(app.running());
    EXPECT_EQ(ran, 0);
    // Nothing sets it back; later calls still run the tasks.
    EXPECT_FALSE(app.poll());
    EXPECT_EQ(ran, 1);
}

TEST(MessagePump, DelayedTaskIsNotRunEarly) {
    WinApp app(L"");
    bool ran = false;
    const Time posted;
    app.bus().post([&] { ran = true; }, Duration::seconds(2));
    while (!ran && Time() - posted < Duration::seconds(10)) {
        app.pump(after(Duration::milliseconds(50)));
    }
    EXPECT_TRUE(ran);
    EXPECT_GE(Time() - posted, Duration::seconds(2));
}

TEST(MessagePump, DispatchesMessagesToTheirWindow) {
    WinApp app(L"");
    static int received = 0;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_APP) {
            ++received;
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    };
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TarnletPumpTest";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    const HWND window = CreateWindowW(L"TarnletPumpTest", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                      windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_APP, 0, 0);
    const Time deadline = after(Duration::seconds(5));
    while (received == 0 && Time() < deadline) {
        app.pump(after(Duration::milliseconds(50)));
    }
    EXPECT_EQ(received, 1);
    PostMessageW(window, WM_APP, 0, 0);
    EXPECT_TRUE(app.poll());
    EXPECT_EQ(received, 2);
    DestroyWindow(window);
}

struct WakeCase {
    const char* what;
    bool fromOtherThread;
    std::uint64_t delayMs;
};

// A pump with nothing to do sleeps to its deadline, however far; what wakes
// it early is a post (from any thread) or a task falling due.
TEST(MessagePump, APostOrADueTaskEndsTheSleepLongBeforeTheDeadline) {
    for (const WakeCase& item :
         {WakeCase{"a post from a worker", true, 0}, WakeCase{"a post from this thread, due later", false, 300}}) {
        SCOPED_TRACE(item.what);
        WinApp app(L"");
        std::atomic<bool> ran{false};
        const Time started;
        std::thread poster;
        if (item.fromOtherThread) {
            poster = std::thread([&] {
                Sleep(200);
                app.bus().post([&] { ran = true; });
            });
        } else {
            app.bus().post([&] { ran = true; }, Duration::milliseconds(item.delayMs));
        }
        // The deadline is far beyond any wait the test allows.
        const Time deadline = after(Duration::seconds(60));
        while (!ran && Time() < deadline) {
            ASSERT_TRUE(app.pump(deadline));
        }
        if (poster.joinable())
            poster.join();
        EXPECT_TRUE(ran);
        EXPECT_LT(Time() - started, Duration::seconds(20));
        EXPECT_GE(Time() - started, Duration::milliseconds(item.delayMs));
    }
}

TEST(MessagePump, WithNothingPostedItSleepsToTheDeadline) {
    WinApp app(L"");
    const Time started;
    EXPECT_TRUE(app.pump(after(Duration::milliseconds(300))));
    EXPECT_GE(Time() - started, Duration::milliseconds(300));
}

struct CountCase {
    const char* what;
    std::function<void(WinApp&)> work;
    std::uint64_t input, post, due, deadline;
};

// Each sleep ends once, for its one cause: a pump that woke on a timer or
// for nothing would count more than that.
TEST(MessagePump, CountsEachWakeByItsCause) {
    const CountCase cases[] = {
        {"nothing to do", [](WinApp&) {}, 0, 0, 0, 1},
        {"a post from a worker",
         [](WinApp& app) {
             std::thread([bus = app.bus()] {
                 Sleep(100);
                 bus.post([] {});
             }).detach();
         },
         0, 1, 0, 0},
        // The window thread's own posts set no event to wake it for nothing.
        {"a task posted here", [](WinApp& app) { app.bus().post([] {}); }, 0, 0, 1, 0},
        {"a task due later", [](WinApp& app) { app.bus().post([] {}, Duration::milliseconds(100)); }, 0, 0, 1, 0},
        {"a message", [](WinApp&) { PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0); }, 1, 0, 0, 1},
    };
    for (const CountCase& item : cases) {
        SCOPED_TRACE(item.what);
        WinApp app(L"");
        item.work(app);
        EXPECT_TRUE(app.pump(after(Duration::seconds(1))));
        const WinApp::Wakes& wakes = app.wakes();
        EXPECT_EQ(wakes.input, item.input);
        EXPECT_EQ(wakes.post, item.post);
        EXPECT_EQ(wakes.due, item.due);
        EXPECT_EQ(wakes.deadline, item.deadline);
    }
}

TEST(MessagePump, TheWindowThreadIsASingleThreadedApartment) {
    WinApp app(L"");
    // The same apartment again is S_FALSE; a multithreaded one is refused.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
}

TEST(MessagePump, PostsThroughACopyOfTheBusOutliveTheProgram) {
    std::optional<Bus> kept;
    {
        WinApp app(L"");
        kept = app.bus();
    }
    // The closed program's event is no longer set by anyone.
    kept->post([] {});
    kept->dispatchMain();
}

} // namespace
} // namespace cpp::Program
