#include "ui/win32/window.h"

#include "cpp/exception.h"
#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr UINT failingMessage = WM_APP + 1;

// Records the messages it sees in a log that outlives it, and fails on
// request, at its creation or on failingMessage.
class Probe : public ui::Window {
public:
    struct Log {
        std::vector<UINT> messages;
        std::vector<cpp::String> failures;
    };

    Probe(Log& log, UINT failOn = 0) : log_(log), failOn_(failOn) {}

    void make() {
        static const ui::WindowClass type{L"tarnlet.test.Probe"};
        create(type, 0, WS_POPUP, {0, 0, 20, 20}, nullptr);
    }

private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        log_.messages.push_back(message);
        if (message == failOn_)
            throw cpp::Exception("handler failed");
        if (message == failingMessage)
            throw 42;
        return Window::onMessage(message, wParam, lParam);
    }
    void onFailure(const cpp::String& text) override { log_.failures.push_back(text); }

    Log& log_;
    const UINT failOn_;
};

using WindowBaseTest = ui::test::WindowTest;

TEST_F(WindowBaseTest, TheBindingEndsWithTheWindowWhicheverGoesFirst) {
    Probe::Log log;
    {
        // The window destroyed under its object: the object lets go of it.
        Probe probe(log);
        probe.make();
        const HWND window = probe.window();
        ASSERT_TRUE(IsWindow(window));
        DestroyWindow(window);
        EXPECT_EQ(probe.window(), nullptr);
        EXPECT_NE(std::find(log.messages.begin(), log.messages.end(), UINT(WM_DESTROY)), log.messages.end());
        // Another of the same class: registered once, reused.
        Probe second(log);
        second.make();
        EXPECT_TRUE(IsWindow(second.window()));
    }
    // The object destroyed first: its window goes with it, and no message of
    // the window's end reaches the object that is gone.
    HWND orphan = nullptr;
    {
        auto probe = std::make_unique<Probe>(log);
        probe->make();
        orphan = probe->window();
        log.messages.clear();
        probe.reset();
    }
    EXPECT_FALSE(IsWindow(orphan));
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(WindowBaseTest, AFailingHandlerNeverUnwindsThroughTheSystem) {
    Probe::Log log;
    Probe probe(log, WM_USER);
    probe.make();
    EXPECT_EQ(SendMessageW(probe.window(), WM_USER, 0, 0), 0);
    EXPECT_EQ(SendMessageW(probe.window(), failingMessage, 0, 0), 0);
    EXPECT_EQ(log.failures, (std::vector<cpp::String>{"handler failed", "An unknown error occured"}));
    EXPECT_TRUE(IsWindow(probe.window())) << "the window lives on";
}

TEST_F(WindowBaseTest, AFailureWhileMakingTheWindowIsThrownByCreateAndLeavesNoWindow) {
    for (const UINT failOn : {UINT(WM_NCCREATE), UINT(WM_CREATE)}) {
        Probe::Log log;
        Probe probe(log, failOn);
        EXPECT_THROW(probe.make(), cpp::Exception) << failOn;
        EXPECT_EQ(probe.window(), nullptr) << failOn;
        EXPECT_TRUE(log.failures.empty()) << "thrown to the maker, not reported";
    }
}

} // namespace
