#include "ui/win32/dialog_resizer.h"

#include "cpp/win32/windows_exception.h"
#include "ui/win32/rect.h"
#include "ui/win32/window_dpi.h"

namespace ui {

namespace {

SIZE gripSize(HWND dialog) {
    const Dpi dpi = dpiOf(dialog);
    return {systemMetric(SM_CXVSCROLL, dpi), systemMetric(SM_CYHSCROLL, dpi)};
}

} // namespace

void DialogResizer::init(HWND dialog, const std::vector<Rule>& rules) {
    dialog_ = dialog;
    RECT window;
    GetWindowRect(dialog_, &window);
    minimum_ = {window.right - window.left, window.bottom - window.top};
    RECT client;
    GetClientRect(dialog_, &client);
    initialClient_ = {client.right, client.bottom};

    controls_.clear();
    // Every control of the dialog's own: those without a rule stay where
    // they are, and are scaled with the rest when the DPI changes.
    for (HWND control = GetWindow(dialog_, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        std::uint32_t flags = resizeNone;
        for (const Rule& rule : rules)
            if (GetDlgItem(dialog_, rule.controlId) == control)
                flags = rule.rules;
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&rect), 2);
        controls_.push_back({control, toRect(rect), flags});
    }

    const SIZE size = gripSize(dialog_);
    const Rect place = sizeGripRect(toRect(client), size.cx, size.cy);
    grip_ = CreateWindowExW(0, L"SCROLLBAR", nullptr,
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN,
                            place.left, place.top, place.width(), place.height(), dialog_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!grip_) {
        throw cpp::windows::Exception();
    }
}

void DialogResizer::rescale(const Dpi& from, const Dpi& to) {
    minimum_ = {from.convert(minimum_.cx, to), from.convert(minimum_.cy, to)};
    initialClient_ = {from.convert(initialClient_.cx, to), from.convert(initialClient_.cy, to)};
    for (Control& control : controls_)
        control.initial = convertRect(control.initial, from, to);
}

bool DialogResizer::handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!dialog_) {
        return false;
    }
    switch (message) {
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {minimum_.cx, minimum_.cy};
        result = 0;
        return true;
    }
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) {
            layout(LOWORD(lParam), HIWORD(lParam), wParam == SIZE_MAXIMIZED);
        }
        result = 0;
        return true;
    default:
        return false;
    }
}

void DialogResizer::layout(int width, int height, bool maximised) {
    const int dx = width - initialClient_.cx;
    const int dy = height - initialClient_.cy;
    HDWP positions = BeginDeferWindowPos(static_cast<int>(controls_.size()) + 1);
    const auto place = [&positions](HWND window, const Rect& rect) {
        if (positions) {
            positions = DeferWindowPos(positions, window, nullptr, rect.left, rect.top, rect.width(), rect.height(),
                                       SWP_NOZORDER | SWP_NOACTIVATE);
        }
    };
    for (const Control& control : controls_) {
        place(control.window, followResize(control.initial, control.rules, dx, dy));
    }
    if (grip_) {
        const SIZE size = gripSize(dialog_);
        place(grip_, sizeGripRect({0, 0, width, height}, size.cx, size.cy));
    }
    if (positions) {
        EndDeferWindowPos(positions);
    }
    if (grip_) {
        // A maximised window cannot be sized by its corner.
        ShowWindow(grip_, maximised ? SW_HIDE : SW_SHOW);
    }
}

} // namespace ui
