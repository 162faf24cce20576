#include "cpp/win32/win_app.h"

#include "cpp/win32/unique_handle.h"
#include "cpp/win32/windows_exception.h"

#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <optional>

namespace cpp::Program {

namespace {

} // namespace

class WinApp::Detail {
public:
    // The window thread is a single-threaded apartment: the shell's file
    // dialog and the other COM objects of the window layer need one.
    Detail() : wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        if (!wake_.valid()) {
            throw windows::Exception();
        }
        windows::checkResult(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    ~Detail() { CoUninitialize(); }
    Detail(const Detail&) = delete;
    Detail& operator=(const Detail&) = delete;

    // Set by every post to the window thread, so that a pump asleep in the
    // system wakes for it.
    HANDLE wake() const { return wake_.get(); }

    // The window layer's module object joins here once windows need one.

private:
    windows::UniqueKernelHandle wake_;
};

namespace {

bool messageWaiting() {
    MSG message;
    return PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) != 0;
}

enum class Woken { input, work, deadline };

// Sleeps until input arrives, wake is set or until; milliseconds are rounded
// up, so that a task is not found early and waited for again at once.
Woken waitUntil(HANDLE wake, const Time& until) {
    const Time now;
    DWORD milliseconds = 0;
    if (now < until) {
        const std::int64_t micro = (until - now).count();
        // Below INFINITE: a wait always ends, at the latest when the caller's
        // deadline has passed.
        milliseconds = static_cast<DWORD>(std::min<std::int64_t>((micro + 999) / 1000, 0x7fffffff));
    }
    // Input already in the queue counts as well, not only input that
    // arrived since the queue was last looked at.
    switch (MsgWaitForMultipleObjectsEx(1, &wake, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE)) {
    case WAIT_OBJECT_0:
        return Woken::work;
    case WAIT_OBJECT_0 + 1:
        return Woken::input;
    default:
        return Woken::deadline;
    }
}

} // namespace

WinApp::WinApp(const std::wstring& commandLine) : Standard(commandLine), detail_(std::make_shared<Detail>()) {
    bus().setMainWaker([wake = detail_->wake()] { SetEvent(wake); });
}

WinApp::~WinApp() {
    // Workers may still post; none may set the event once it is closed.
    bus().setMainWaker(nullptr);
}

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
    for (;;) {
        const std::optional<Time> due = bus().nextMainDue();
        const Woken woken = waitUntil(detail_->wake(), due && *due < deadline ? *due : deadline);
        // Messages first, whatever woke it: the quit message stops the
        // program before any task runs.
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
        if (woken != Woken::input) {
            break;
        }
    }
    runDueWork();
    return running();
}

} // namespace cpp::Program
