#include "ui/win32/splitter.h"

#include "ui/win32/rect.h"
#include "ui/win32/window_dpi.h"

namespace ui {

void Splitter::create(HWND parent, const Rect& area, int id) {
    barWidth_ = systemMetric(SM_CXSIZEFRAME, dpiOf(parent));
    // The bar is all of the splitter that shows: the panes cover the rest.
    static const WindowClass type{L"tarnlet.Splitter", reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)};
    // A control parent: the dialog's keyboard navigation reaches the panes.
    Window::create(type, WS_EX_CONTROLPARENT, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, area, parent,
                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

void Splitter::setPanes(HWND left, HWND right) {
    left_ = left;
    right_ = right;
    layout();
}

void Splitter::updateBarWidth() {
    barWidth_ = systemMetric(SM_CXSIZEFRAME, dpiOf(window()));
    layout();
}

void Splitter::setBarPosition(int position) {
    barPosition_ = position;
    layout();
}

LRESULT Splitter::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        layout();
        return 0;
    case WM_NOTIFY:
    case WM_COMMAND:
        // The panes' notifications belong to the dialog that holds the splitter.
        return SendMessageW(GetParent(window()), message, wParam, lParam);
    default:
        return Window::onMessage(message, wParam, lParam);
    }
}

void Splitter::layout() const {
    if (!window()) {
        return;
    }
    RECT client;
    GetClientRect(window(), &client);
    const SplitPanes panes = splitSideBySide(toRect(client), barPosition_, barWidth_);
    const auto place = [](HWND pane, const Rect& rect) {
        if (pane) {
            SetWindowPos(pane, nullptr, rect.left, rect.top, rect.width(), rect.height(),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    };
    place(left_, panes.left);
    place(right_, panes.right);
    InvalidateRect(window(), nullptr, TRUE);
}

} // namespace ui
