#pragma once

#include "cpp/string.h"
#include "ui/win32/dialog.h"

#include <windows.h>

#include <cstddef>

namespace ui {

// The modal "Add Address" dialog (template 107): asks for a host name or
// address, which it neither trims nor checks.
class AddDialog : public Dialog {
public:
    // The most characters taken from the box; longer text is cut.
    static constexpr std::size_t maximumLength = 1023;

    AddDialog() = default;

    // IDOK or IDCANCEL. Throws cpp::windows::Exception when the dialog
    // cannot be made.
    INT_PTR run(HWND owner);
    // What was entered, once run ended with IDOK; empty otherwise.
    const cpp::String& text() const { return text_; }

private:
    bool onCommand(int id, int code, HWND control) override;

    cpp::String text_;
};

} // namespace ui
