#pragma once

#include "cpp/string.h"

#include <windows.h>

namespace ui {

// The text of the failure being handled; call only inside a catch block.
cpp::String currentFailureText();

// Shows a failure to the user in a message box over owner.
void showFailure(HWND owner, const cpp::String& text);

// Runs handler, a window's or a dialog's handler for one message. No failure
// may unwind through the system's frames, so one it throws goes to report as
// text instead. Returns whether handler finished.
template <typename Handler, typename Report>
bool catchFailures(Handler&& handler, Report&& report) {
    try {
        handler();
        return true;
    } catch (...) {
        report(currentFailureText());
        return false;
    }
}

} // namespace ui
