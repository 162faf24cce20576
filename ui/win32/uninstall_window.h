#pragma once

#include "cpp/string.h"
#include "install/win32/uninstaller.h"
#include "ui/win32/dialog.h"
#include "ui/win32/font_cache.h"
#include "ui/win32/handles.h"

#include <windows.h>

namespace ui {

// The uninstaller's progress window (template 118). It cannot be closed
// until finished() enables "Close", which then ends the program's message
// loop; its title bar's close box does nothing.
class UninstallWindow : public Dialog, public install::UninstallProgress {
public:
    explicit UninstallWindow(FontCache& fonts);
    // The window goes before the icon it shows.
    ~UninstallWindow() override;

    // Modeless, from the program's module, not yet shown. Throws
    // cpp::windows::Exception when it cannot be made.
    void create();
    void show() override;
    // Replaces the status text.
    void setStatus(const cpp::String& text) override;
    // Uninstalling is done: "Close" may be used.
    void finished() override;

private:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    bool onClose() override;

    FontCache& fonts_;
    IconHandle icon_;
};

} // namespace ui
