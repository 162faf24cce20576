#pragma once

#include <windows.h>

namespace ui {

// A dialog built from a template of the program's module, with its messages
// handed to one member per kind. The object is bound to its window at
// WM_INITDIALOG (through the creation parameter) and unbound at
// WM_NCDESTROY, so it must outlive its window or destroy it: the destructor
// destroys a modeless window that still exists.
class Dialog {
public:
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    HWND window() const { return window_; }

    // Centres the window on its owner, or on the work area of its monitor
    // when it has none.
    void centre() const;
    void show(int command = SW_SHOWNORMAL) const;

protected:
    Dialog() = default;
    virtual ~Dialog();

    // Throws cpp::windows::Exception when the window cannot be made.
    void createModeless(int templateId, HWND parent);
    // Returns what endModal was given, or throws as createModeless.
    INT_PTR runModal(int templateId, HWND owner);
    void endModal(INT_PTR result) const;
    // Destroys a modeless window that still exists.
    void destroy();

    // The handlers: each returns whether it handled its message. A failure
    // thrown by one is shown in a message box and counts as handled.
    // Returns whether the system should set the default focus.
    virtual bool onInit() { return true; }
    virtual bool onCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    virtual bool onNotify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    virtual bool onClose() { return false; }
    // Everything else (sizing, for one).
    virtual bool onMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/) {
        return false;
    }

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Returns what the dialog procedure returns for message.
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND window_ = nullptr;
    bool modal_ = false;
};

} // namespace ui
