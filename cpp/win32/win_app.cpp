#include "cpp/win32/win_app.h"

#include "cpp/win32/windows_exception.h"

#include <objbase.h>
#include <windows.h>

namespace cpp::Program {

class WinApp::Detail {
public:
    Detail() {
        windows::checkResult(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    }
    ~Detail() { CoUninitialize(); }
    Detail(const Detail&) = delete;
    Detail& operator=(const Detail&) = delete;

    // The window layer's module object joins here once windows need one.
};

namespace {

bool messageWaiting() {
    MSG message;
    return PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) != 0;
}

// Waits for input until deadline; false once the deadline has passed or the
// wait failed.
bool waitForInput(const Time& deadline) {
    const Time now;
    if (!(now < deadline)) {
        return false;
    }
    const auto milliseconds = static_cast<DWORD>((deadline - now).count() / 1000);
    return MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT) == WAIT_OBJECT_0;
}

} // namespace

WinApp::WinApp(const std::wstring& commandLine) : Standard(commandLine), detail_(std::make_shared<Detail>()) {}

WinApp::~WinApp() = default;

bool WinApp::poll() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            stopRunning();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    runDueWork();
    return running();
}

bool WinApp::pump(const Time& deadline) {
    while (waitForInput(deadline)) {
        const HWND active = GetActiveWindow();
        while (messageWaiting()) {
            MSG message;
            const BOOL result = GetMessageW(&message, nullptr, 0, 0);
            if (result == 0) {
                stopRunning();
                return false;
            }
            if (result == -1) {
                continue;
            }
            if (active && IsDialogMessageW(active, &message)) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    runDueWork();
    return running();
}

} // namespace cpp::Program
