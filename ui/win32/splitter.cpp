#include "ui/win32/splitter.h"

#include "cpp/win32/windows_exception.h"
#include "ui/win32/rect.h"
#include "ui/win32/window_dpi.h"

namespace ui {

namespace {

constexpr wchar_t className[] = L"tarnlet.Splitter";

} // namespace

void Splitter::registerClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    // The bar is all of the splitter that shows: the panes cover the rest.
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw cpp::windows::Exception();
    }
}

Splitter::~Splitter() {
    if (window_) {
        DestroyWindow(window_);
    }
}

void Splitter::create(HWND parent, const Rect& area, int id) {
    registerClass();
    barWidth_ = systemMetric(SM_CXSIZEFRAME, dpiOf(parent));
    // A control parent: the dialog's keyboard navigation reaches the panes.
    if (!CreateWindowExW(WS_EX_CONTROLPARENT, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                        area.left, area.top, area.width(), area.height(), parent,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                        this)) {
        throw cpp::windows::Exception();
    }
}

void Splitter::setPanes(HWND left, HWND right) {
    left_ = left;
    right_ = right;
    layout();
}

void Splitter::updateBarWidth() {
    barWidth_ = systemMetric(SM_CXSIZEFRAME, dpiOf(window_));
    layout();
}

void Splitter::setBarPosition(int position) {
    barPosition_ = position;
    layout();
}

LRESULT CALLBACK Splitter::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<Splitter*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* splitter = reinterpret_cast<Splitter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (splitter) {
        switch (message) {
        case WM_SIZE:
            splitter->layout();
            return 0;
        case WM_NOTIFY:
        case WM_COMMAND:
            // The panes' notifications belong to the dialog that holds the splitter.
            return SendMessageW(GetParent(window), message, wParam, lParam);
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            splitter->window_ = nullptr;
            break;
        default:
            break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Splitter::layout() const {
    if (!window_) {
        return;
    }
    RECT client;
    GetClientRect(window_, &client);
    const SplitPanes panes = splitSideBySide(toRect(client), barPosition_, barWidth_);
    const auto place = [](HWND pane, const Rect& rect) {
        if (pane) {
            SetWindowPos(pane, nullptr, rect.left, rect.top, rect.width(), rect.height(),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    };
    place(left_, panes.left);
    place(right_, panes.right);
    InvalidateRect(window_, nullptr, TRUE);
}

} // namespace ui
