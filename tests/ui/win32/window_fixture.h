#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

namespace ui::test {

// COM for the test's thread, as the program has it: multithreaded.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
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

} // namespace ui::test
