#include "cpp/win32/win_app.h"

#include "cpp/win32/unique_handle.h"
#include "cpp/win32/windows_exception.h"

#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <optional>

namespace cpp::Program {

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

    WinApp::Wakes wakes;
    const Time started;

private:
    windows::UniqueKernelHandle wake_;
};

namespace {

bool messageWaiting() {
    MSG message;
    return PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) != 0;
}

enum class Woken { input, work, timeOut };

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
        return Woken::timeOut;
    }
}

} // namespace

WinApp::WinApp(const std::wstring& commandLine) : Standard(commandLine), detail_(std::make_shared<Detail>()) {
    // The window thread's own posts need no event: it is awake, and looks for
    // the earliest task again before it sleeps. Set, the event would only end
    // its next sleep at once for nothing.
    bus().setMainWaker([wake = detail_->wake(), thread = GetCurrentThreadId()] {
        if (GetCurrentThreadId() != thread)
            SetEvent(wake);
    });
}

WinApp::~WinApp() {
    // Workers may still post; none may set the event once it is closed.
    bus().setMainWaker(nullptr);
    const Wakes& counts = detail_->wakes;
    logger().append(6, String(),
                    String("Window thread woke % times in % s: input %, post %, due %, deadline %",
                           counts.input + counts.post + counts.due + counts.deadline,
                           String::format("%.1f", (Time() - detail_->started).count() / 1e6), counts.input,
                           counts.post, counts.due, counts.deadline));
}

const WinApp::Wakes& WinApp::wakes() const {
    return detail_->wakes;
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
        const bool taskFirst = due && *due < deadline;
        const Woken woken = waitUntil(detail_->wake(), taskFirst ? *due : deadline);
        Wakes& counts = detail_->wakes;
        ++(woken == Woken::input  ? counts.input
           : woken == Woken::work ? counts.post
           : taskFirst            ? counts.due
                                  : counts.deadline);
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
