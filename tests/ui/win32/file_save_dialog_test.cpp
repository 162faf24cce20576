#include "ui/win32/file_save_dialog.h"

#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

using FileSaveDialogTest = ui::test::WindowTest;

BOOL CALLBACK findEdit(HWND child, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (std::wstring(name) == L"Edit") {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Plays the user from another thread while the dialog runs: types name into
// the name box and saves, or cancels when name is empty.
std::optional<cpp::FilePath> answer(const std::wstring& name) {
    // The caption differs between systems, and a thread timer of ours did
    // not fire under Wine while it ran: it is found as this process's
    // visible dialog, whichever thread made it.
    std::thread user([name] {
        HWND dialog = nullptr;
        for (int attempt = 0; attempt < 200 && !dialog; ++attempt) {
            Sleep(50);
            EnumWindows(findDialog, reinterpret_cast<LPARAM>(&dialog));
        }
        if (!dialog) {
            return;
        }
        if (name.empty()) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        HWND edit = nullptr;
        EnumChildWindows(dialog, findEdit, reinterpret_cast<LPARAM>(&edit));
        SetWindowTextW(edit, name.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    auto chosen = ui::FileSaveDialog(L"Text Files", L"*.txt").show(nullptr);
    user.join();
    return chosen;
}

TEST_F(FileSaveDialogTest, GivesTheWholeChosenPathOrNoneWhenCancelled) {
    EXPECT_EQ(answer(L""), std::nullopt);
    const cpp::FilePath chosen(cpp::FilePath::temp(), "tarnlet export test.txt");
    EXPECT_EQ(answer(chosen.toString('\\').toWide()), chosen);
}

} // namespace
