#include "ui/win32/add_dialog.h"

#include "resources/resource.h"
#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using AddDialogTest = ui::test::WindowTest;
using ui::test::press;

INT_PTR runWith(ui::AddDialog& dialog, std::function<void(HWND)> action) {
    ui::test::actOnDialog(L"Add Address", std::move(action));
    return dialog.run(nullptr);
}

TEST_F(AddDialogTest, OkGivesTheTextAsEnteredWithoutTrimming) {
    ui::AddDialog dialog;
    const INT_PTR result = runWith(dialog, [](HWND window) {
        EXPECT_EQ(GetFocus(), GetDlgItem(window, IDC_ADDRESS));
        SetDlgItemTextW(window, IDC_ADDRESS, L" h\u00f6st.example ");
        press(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.text(), " h\xc3\xb6st.example ");
}

TEST_F(AddDialogTest, TextBeyond1023CharactersIsCut) {
    ui::AddDialog dialog;
    std::wstring text(1500, L'a');
    text[1022] = L'b';
    text[1023] = L'c';
    runWith(dialog, [&text](HWND window) {
        SetDlgItemTextW(window, IDC_ADDRESS, text.c_str());
        press(window, IDOK);
    });
    ASSERT_EQ(dialog.text().size(), ui::AddDialog::maximumLength);
    EXPECT_EQ(dialog.text().back(), 'b');
}

TEST_F(AddDialogTest, CancelAndTheCloseBoxGiveNoText) {
    ui::AddDialog dialog;
    EXPECT_EQ(runWith(dialog,
                      [](HWND window) {
                          SetDlgItemTextW(window, IDC_ADDRESS, L"ignored");
                          press(window, IDCANCEL);
                      }),
              IDCANCEL);
    EXPECT_EQ(dialog.text(), "");
    // The close box sends IDCANCEL through the default dialog procedure.
    EXPECT_EQ(runWith(dialog, [](HWND window) { SendMessageW(window, WM_CLOSE, 0, 0); }), IDCANCEL);
    EXPECT_EQ(dialog.text(), "");
}

} // namespace
