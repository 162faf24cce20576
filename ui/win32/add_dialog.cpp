#include "ui/win32/add_dialog.h"

#include "resources/resource.h"

#include <array>

namespace ui {

INT_PTR AddDialog::run(HWND owner) {
    text_.clear();
    return runModal(IDD_ADD_ADDRESS, owner);
}

bool AddDialog::onCommand(int id, int /*code*/, HWND /*control*/) {
    switch (id) {
    case IDOK: {
        std::array<wchar_t, maximumLength + 1> buffer{};
        const UINT length = GetDlgItemTextW(window(), IDC_ADDRESS, buffer.data(), static_cast<int>(buffer.size()));
        text_ = cpp::String(buffer.data(), buffer.data() + length);
        endModal(IDOK);
        return true;
    }
    case IDCANCEL:
        // The close box arrives here too.
        endModal(IDCANCEL);
        return true;
    default:
        return false;
    }
}

} // namespace ui
