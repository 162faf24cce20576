#include "ui/win32/failure_report.h"

#include <exception>

namespace ui {

cpp::String currentFailureText() {
    try {
        throw;
    } catch (const std::exception& failure) {
        return cpp::String(failure.what());
    } catch (...) {
        return cpp::String("An unknown error occured");
    }
}

void showFailure(HWND owner, const cpp::String& text) {
    MessageBoxW(owner, text.toWide().c_str(), L"", MB_OK);
}

} // namespace ui
