#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <functional>
#include <string>

namespace ui::test {

// COM for the test's thread, as the program has it: a single-threaded apartment.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

// For tests that make real windows. Wine makes none without an X display
// (DISPLAY unset): those tests are skipped there rather than failed.
class WindowTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        const HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (!probe) {
            GTEST_SKIP() << "no windows can be made here (under Wine: no DISPLAY)";
        }
        DestroyWindow(probe);
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
    }
};

// Plays the user on the dialog of that caption once a modal loop has it up:
// from a thread timer, which the dialog's own message loop dispatches.
inline void actOnDialog(const wchar_t* caption, std::function<void(HWND)> action) {
    static std::wstring pendingCaption;
    static std::function<void(HWND)> pending;
    pendingCaption = caption;
    pending = std::move(action);
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
        const HWND dialog = FindWindowW(L"#32770", pendingCaption.c_str());
        if (!dialog) {
            return;
        }
        KillTimer(nullptr, timer);
        pending(dialog);
    });
}

// Whether the thread's queue holds WM_QUIT. What else is queued is
// dispatched, as paint messages come again until handled.
inline bool quitPosted() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return true;
        }
        DispatchMessageW(&message);
    }
    return false;
}

inline void press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

} // namespace ui::test
