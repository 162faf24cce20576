#include "cpp/thread_name.h"

#include <windows.h>

namespace cpp::detail {

namespace {

// The exception through which debuggers learn thread names.
constexpr DWORD threadNameCode = 0x406D1388;

#pragma pack(push, 8)
struct ThreadNameRecord {
    DWORD type;
    LPCSTR name;
    DWORD threadId;
    DWORD flags;
};
#pragma pack(pop)

LONG CALLBACK swallowThreadName(EXCEPTION_POINTERS* pointers) {
    return pointers->ExceptionRecord->ExceptionCode == threadNameCode ? EXCEPTION_CONTINUE_EXECUTION
                                                                      : EXCEPTION_CONTINUE_SEARCH;
}

// Registration of the handler above for the duration of one raise.
class SwallowThreadName {
public:
    SwallowThreadName() : registration_(AddVectoredExceptionHandler(1, swallowThreadName)) {}
    ~SwallowThreadName() {
        if (registration_) {
            RemoveVectoredExceptionHandler(registration_);
        }
    }
    SwallowThreadName(const SwallowThreadName&) = delete;
    SwallowThreadName& operator=(const SwallowThreadName&) = delete;

    bool active() const { return registration_ != nullptr; }

private:
    PVOID registration_;
};

} // namespace

void setThreadName(const String& name) {
    // mingw has no __try, so a vectored handler registered around the raise
    // swallows exactly this code. An attached debugger sees the exception
    // first and takes the name from it; without one the handler ends it.
    // Always raising (rather than only under IsDebuggerPresent) keeps the
    // debugger-less path, the one users run, the one that is tested.
    const SwallowThreadName swallow;
    if (!swallow.active()) {
        return; // unswallowed, the raise would end the process
    }
    const ThreadNameRecord record{0x1000, name.c_str(), static_cast<DWORD>(-1), 0};
    RaiseException(threadNameCode, 0, sizeof(record) / sizeof(ULONG_PTR), reinterpret_cast<const ULONG_PTR*>(&record));
}

} // namespace cpp::detail
