#pragma once

#include "app/sample_store.h"
#include "cpp/string.h"
#include "cpp/time.h"
#include "ui/win32/font_cache.h"
#include "ui/win32/update_window.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace ui {

// The cell graph of one host, or of all hosts, in the right pane of the main
// window: one column per bucket, newest on the right, following the present
// while live. Carries the update notice in its top right corner. Takes the
// focus (a click, or Tab) and then scrolls with Left, Right, Page Up, Page
// Down, Home (the oldest page) and End (live), and zooms with + and -.
class PingView {
public:
    // applyScale is how a wheel zoom applies its scale: through the main
    // window, which shows it in its combo box and calls setScale.
    using ScaleHandler = std::function<void(const cpp::Duration&)>;

    PingView(SampleStore& store, FontCache& fonts, cpp::String homePage,
             ScaleHandler applyScale);
    ~PingView();
    PingView(const PingView&) = delete;
    PingView& operator=(const PingView&) = delete;

    // Creates the view as a child of parent (child, visible, border).
    void create(HWND parent);
    HWND window() const;

    // Empty shows all hosts.
    void setHost(const cpp::String& name);
    void setScale(const cpp::Duration& scale);
    void scrollTo(const cpp::DateTime& time);
    void refresh();
    // After the main window's DPI changed: the notice made anew for to.
    void rescale(const Dpi& from, const Dpi& to);

    UpdateWindow& updateNotice();

private:
    class Detail;
    std::unique_ptr<Detail> detail_;
};

} // namespace ui
