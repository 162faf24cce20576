#include "ui/win32/ping_view.h"

#include "cpp/logger.h"
#include "cpp/win32/unique_handle.h"
#include "cpp/win32/windows_exception.h"
#include "ui/graph_hover.h"
#include "ui/graph_layout.h"
#include "ui/graph_scene.h"
#include "ui/graph_scroll.h"
#include "ui/win32/back_buffer.h"
#include "ui/win32/graph_painter.h"
#include "ui/win32/rect.h"
#include "ui/win32/window.h"
#include "ui/win32/window_dpi.h"

#include <commctrl.h>
#include <versionhelpers.h>
#include <windowsx.h>

#include <optional>
#include <string>

namespace ui {

namespace {

constexpr wchar_t className[] = L"TarnletPingView";
constexpr UINT_PTR refreshTimer = 1;
constexpr UINT refreshPeriod = 1000;
// Wide enough that the hover text breaks at its line feeds only: a maximum
// of 0 breaks it at every word (seen under Wine).
constexpr std::int32_t tipWidth = 1000;

} // namespace

class PingView::Detail : public Window {
public:
    Detail(SampleStore& store, FontCache& fonts, cpp::String homePage, ScaleHandler applyScale)
        : store_(store), fonts_(fonts), notice_(fonts, std::move(homePage)),
          applyScale_(std::move(applyScale)), position_(store) {}

    // Destroyed here, while the handlers of its end can still run.
    ~Detail() override { destroy(); }

    void create(HWND parent);
    UpdateWindow& notice() { return notice_; }

    void setHost(const cpp::String& name) {
        host_ = name;
        refresh();
    }
    void setScale(const cpp::Duration& scale) {
        position_.setScale(scale, store_.clock().now());
        refresh();
    }
    void scrollTo(const cpp::DateTime& time) {
        position_.scrollTo(time, store_.clock().now());
        refresh();
    }
    void refresh();
    void rescale(const Dpi& from, const Dpi& to) {
        notice_.rescale(from, to);
        placeNotice();
    }

private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The timer would repeat a message box every second, so a failure is
    // logged instead.
    void onFailure(const cpp::String& text) override { cpp::warning(cpp::String("Graph view: %", text)); }

    void onCreate();
    void onDestroy();
    void onSize();
    // The notice in the top right corner, whatever its size.
    void placeNotice();
    void onPaint();
    void onPrintClient(HDC dc);
    void onScroll(WORD request);
    void onMouseWheel(short delta, POINT screen);
    void onMouseLeave();
    void onKey(WPARAM key);
    // Keyboard cues shown or hidden: kept, as the system's own answer to
    // WM_QUERYUISTATE was seen to lag behind under Wine.
    void onUiState(WORD action, WORD flags);
    // Asks for the next scale up or down; a wheel turn anchors the column
    // under the mouse, a key none.
    void zoom(std::int32_t delta, std::optional<std::size_t> column);
    // The focus rectangle as the system draws it, unless keyboard cues are
    // hidden (until the keyboard is first used).
    void drawFocus(HDC dc, const RECT& client) const;

    void paint(HDC target, const RECT& area);
    void createTooltip();
    // forced: the series changed, so the text is made anew even where the
    // cursor has not moved.
    void updateHover(bool forced);
    void hideHover();
    // The bucket column under a point of the client area, if any.
    std::optional<std::size_t> columnAt(const POINT& client) const;

    SampleStore& store_;
    FontCache& fonts_;
    // The window's, as of the last refresh or paint.
    Dpi dpi_;
    // Until the keyboard is used, as a window starts.
    bool hideFocus_ = true;
    UpdateWindow notice_;
    cpp::windows::WindowHandle tooltip_;
    TOOLINFOW tool_{};
    std::wstring tipText_;
    std::optional<POINT> lastCursor_;
    // The refresh timer was stopped while the window was hidden.
    bool refreshStopped_ = false;
    const ScaleHandler applyScale_;
    cpp::String host_;
    GraphPosition position_;
    Rect plot_;
    PingSeries series_;
    BackBuffer buffer_;
    std::optional<GraphPainter> painter_;
};

void PingView::Detail::create(HWND parent) {
    static const WindowClass type{className};
    Window::create(type, 0, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_TABSTOP, Rect{}, parent);
}

LRESULT PingView::Detail::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        onCreate();
        return 0;
    case WM_DESTROY:
        onDestroy();
        return 0;
    case WM_SIZE:
        onSize();
        return 0;
    case WM_PAINT:
        // Shown again after the timer stopped: what it missed, and its ticks.
        if (refreshStopped_ && SetTimer(window(), refreshTimer, refreshPeriod, nullptr)) {
            refreshStopped_ = false;
            refresh();
        }
        onPaint();
        return 0;
    case WM_PRINTCLIENT:
        onPrintClient(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        // The paint covers every pixel; erasing first would flicker.
        return 1;
    case WM_TIMER:
        if (wParam != refreshTimer)
            break;
        // Hidden, as in the notification area, the graph shows nothing and
        // the window thread may sleep: the next paint starts the timer again.
        if (!IsWindowVisible(window())) {
            KillTimer(window(), refreshTimer);
            refreshStopped_ = true;
            return 0;
        }
        refresh();
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        onScroll(LOWORD(wParam));
        return 0;
    case WM_MOUSEMOVE:
        updateHover(false);
        return 0;
    case WM_MOUSEWHEEL:
        onMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSELEAVE:
        onMouseLeave();
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(window());
        return 0;
    case WM_GETDLGCODE:
        // The arrows scroll rather than move the focus; Tab still leaves.
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        onKey(wParam);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(window(), nullptr, FALSE);
        return 0;
    case WM_UPDATEUISTATE:
        onUiState(LOWORD(wParam), HIWORD(wParam));
        return DefWindowProcW(window(), message, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcW(window(), message, wParam, lParam);
}

void PingView::Detail::onCreate() {
    hideFocus_ = (SendMessageW(window(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
    painter_.emplace();
    notice_.create(window());
    ShowWindow(notice_.window(), SW_HIDE);
    createTooltip();
    if (!SetTimer(window(), refreshTimer, refreshPeriod, nullptr))
        throw cpp::windows::Exception();
}

void PingView::Detail::createTooltip() {
    tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window(), nullptr,
                                   GetModuleHandleW(nullptr), nullptr));
    if (!tooltip_)
        throw cpp::windows::Exception();
    SendMessageW(tooltip_.get(), TTM_SETMAXTIPWIDTH, 0, dpiOf(window())(tipWidth));
    SendMessageW(tooltip_.get(), TTM_ACTIVATE, TRUE, 0);

    // Systems before version 6 reject the record's newest field.
    tool_.cbSize = IsWindowsVistaOrGreater() ? sizeof(TOOLINFOW) : TTTOOLINFOW_V2_SIZE;
    // Shown, placed and hidden by the view alone (the leave is tracked): a
    // tooltip that also watched the mouse itself would poll ten times a
    // second for as long as the pointer rests on the graph.
    tool_.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    tool_.hwnd = GetParent(window());
    tool_.uId = reinterpret_cast<UINT_PTR>(window());
    // Replaced before the box is ever shown.
    tipText_ = L"tooltip\ntwah\ntwah";
    tool_.lpszText = tipText_.data();
    SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool_));
}

void PingView::Detail::onDestroy() {
    KillTimer(window(), refreshTimer);
    // Owned by the view: it goes first, while the tool's windows still exist.
    tooltip_.reset();
}

void PingView::Detail::onSize() {
    placeNotice();
    refresh();
}

void PingView::Detail::placeNotice() {
    const HWND notice = notice_.window();
    if (!notice)
        return;
    RECT client;
    GetClientRect(window(), &client);
    RECT bounds;
    GetWindowRect(notice, &bounds);
    const int width = bounds.right - bounds.left;
    const Dpi dpi = dpiOf(window());
    SetWindowPos(notice, nullptr, client.right - (width + dpi(2)), dpi(2), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PingView::Detail::refresh() {
    if (!window())
        return;
    // The plot as the next paint will place it, so that a new size takes
    // effect at once rather than a timer tick later.
    RECT client;
    GetClientRect(window(), &client);
    dpi_ = dpiOf(window());
    plot_ = plotRect(toRect(client), dpi_);

    const cpp::DateTime now;
    const GraphPosition::ScrollBar bar = position_.refresh(pageColumns(plot_, dpi_), now);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    // Always shown, so that the client area does not change under the plot.
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = bar.maximum;
    info.nPage = static_cast<UINT>(bar.page);
    info.nPos = bar.position;
    SetScrollInfo(window(), SB_HORZ, &info, TRUE);

    const auto count = static_cast<std::size_t>(position_.page());
    series_ = host_.empty() ? store_.series(position_.viewEnd(), position_.bucket(), count)
                            : store_.series(position_.viewEnd(), position_.bucket(), count, host_);
    updateHover(true);
    InvalidateRect(window(), nullptr, FALSE);
}

void PingView::Detail::onPaint() {
    PAINTSTRUCT paintStruct;
    const HDC dc = BeginPaint(window(), &paintStruct);
    if (dc) {
        paint(dc, paintStruct.rcPaint);
        EndPaint(window(), &paintStruct);
    }
}

void PingView::Detail::onPrintClient(HDC dc) {
    RECT client;
    GetClientRect(window(), &client);
    paint(dc, client);
}

void PingView::Detail::paint(HDC target, const RECT& area) {
    RECT client;
    GetClientRect(window(), &client);
    dpi_ = dpiOf(window());
    plot_ = plotRect(toRect(client), dpi_);
    // At device pixels: the client area is in them, as the program is aware
    // of the DPI, so nothing is stretched.
    const HDC dc = buffer_.prepare(client.right, client.bottom);
    const std::shared_ptr<Font> font = fonts_.byName("ui", dpi_);
    painter_->paint(dc, font->handle(),
                    GraphFrame{toRect(client), series_, host_, position_.viewEnd(), position_.live(), dpi_});
    drawFocus(dc, client);
    buffer_.present(target, area);
}

void PingView::Detail::drawFocus(HDC dc, const RECT& client) const {
    if (GetFocus() != window() || hideFocus_)
        return;
    RECT frame = client;
    InflateRect(&frame, -1, -1);
    // DrawFocusRect inverts: the text colour decides what it inverts to.
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &frame);
}

void PingView::Detail::onUiState(WORD action, WORD flags) {
    if (!(flags & UISF_HIDEFOCUS))
        return;
    if (action == UIS_SET)
        hideFocus_ = true;
    else if (action == UIS_CLEAR)
        hideFocus_ = false;
    InvalidateRect(window(), nullptr, FALSE);
}

void PingView::Detail::onKey(WPARAM key) {
    std::optional<std::int32_t> request;
    switch (key) {
    case VK_LEFT:
        request = GraphPosition::lineLeft;
        break;
    case VK_RIGHT:
        request = GraphPosition::lineRight;
        break;
    case VK_PRIOR:
        request = GraphPosition::pageLeft;
        break;
    case VK_NEXT:
        request = GraphPosition::pageRight;
        break;
    case VK_HOME:
        request = GraphPosition::top;
        break;
    case VK_END:
        request = GraphPosition::bottom;
        break;
    case VK_ADD:
    case VK_OEM_PLUS:
        zoom(WHEEL_DELTA, std::nullopt);
        return;
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
        zoom(-WHEEL_DELTA, std::nullopt);
        return;
    default:
        return;
    }
    if (const auto time = position_.requestTarget(*request, 0, 0, store_.clock().now()))
        scrollTo(*time);
}

void PingView::Detail::onScroll(WORD request) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_TRACKPOS;
    GetScrollInfo(window(), SB_HORZ, &info);
    const cpp::DateTime now;
    if (const auto time = position_.requestTarget(request, info.nTrackPos, info.nMax, now))
        scrollTo(*time);
}

void PingView::Detail::onMouseWheel(short delta, POINT screen) {
    POINT client = screen;
    ScreenToClient(window(), &client);
    zoom(delta, columnAt(client));
}

void PingView::Detail::zoom(std::int32_t delta, std::optional<std::size_t> column) {
    const auto scale = position_.zoom(delta, column, series_.start);
    if (!scale)
        return;
    if (applyScale_)
        applyScale_(*scale);
    else
        setScale(*scale);
}

std::optional<std::size_t> PingView::Detail::columnAt(const POINT& client) const {
    if (!contains(plot_, Point{client.x, client.y}))
        return std::nullopt;
    return ui::columnAt(plot_, series_.stats.size(), client.x, dpi_);
}

void PingView::Detail::onMouseLeave() {
    hideHover();
}

void PingView::Detail::hideHover() {
    if (tooltip_ && IsWindowVisible(tooltip_.get()))
        SendMessageW(tooltip_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool_));
}

void PingView::Detail::updateHover(bool forced) {
    if (!tooltip_)
        return;
    POINT screen;
    if (!GetCursorPos(&screen))
        return;
    POINT client = screen;
    ScreenToClient(window(), &client);
    const bool foreground = GetAncestor(window(), GA_ROOT) == GetForegroundWindow();
    // Between the plot's edge and the oldest column there is no bucket to
    // tell of, and the box would show an older bucket's text.
    const std::optional<std::size_t> column = columnAt(client);
    if (!foreground || !column) {
        hideHover();
        return;
    }
    // Text and place first, so that the box never shows the old ones.
    const bool moved = !lastCursor_ || lastCursor_->x != screen.x || lastCursor_->y != screen.y;
    if (forced || moved) {
        const cpp::DateTime start = series_.start + cpp::Duration(series_.scale.count() * *column);
        tipText_ = hoverText(start, series_.stats[*column]).toWide();
        tool_.lpszText = tipText_.data();
        SendMessageW(tooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool_));
    }
    if (moved) {
        lastCursor_ = screen;
        SendMessageW(tooltip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x + dpi_(10), screen.y + dpi_(20)));
    }
    if (!IsWindowVisible(tooltip_.get())) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window(), 0};
        TrackMouseEvent(&track);
        SendMessageW(tooltip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool_));
    }
}

PingView::PingView(SampleStore& store, FontCache& fonts, cpp::String homePage,
                   ScaleHandler applyScale)
    : detail_(std::make_unique<Detail>(store, fonts, std::move(homePage), std::move(applyScale))) {}

PingView::~PingView() = default;

void PingView::create(HWND parent) {
    detail_->create(parent);
}

HWND PingView::window() const {
    return detail_->window();
}

void PingView::setHost(const cpp::String& name) {
    detail_->setHost(name);
}

void PingView::setScale(const cpp::Duration& scale) {
    detail_->setScale(scale);
}

void PingView::scrollTo(const cpp::DateTime& time) {
    detail_->scrollTo(time);
}

void PingView::refresh() {
    detail_->refresh();
}

void PingView::rescale(const Dpi& from, const Dpi& to) {
    detail_->rescale(from, to);
}

UpdateWindow& PingView::updateNotice() {
    return detail_->notice();
}

} // namespace ui
