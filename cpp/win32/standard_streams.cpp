#include "cpp/standard_streams_platform.h"

#include "cpp/win32/unique_handle.h"

#include <algorithm>

namespace cpp::detail {

struct StandardInputHandle {
    windows::UniqueKernelHandle handle;
};

void StandardInputHandleFree::operator()(StandardInputHandle* handle) const noexcept {
    delete handle;
}

StandardInputOwner openStandardInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    // Fails for anything but a console, which is fine.
    SetConsoleMode(input, 0);
    INPUT_RECORD record;
    DWORD events = 0;
    if (PeekConsoleInputW(input, &record, 1, &events)) {
        return nullptr;
    }
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), input, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return StandardInputOwner(new StandardInputHandle{windows::UniqueKernelHandle(own)});
}

StandardInputRead readStandardInput(StandardInputHandle& own, std::span<char> buffer) {
    const HANDLE input = own.handle.get();
    DWORD wanted = static_cast<DWORD>((std::min<std::size_t>)(buffer.size(), MAXDWORD));
    // A read from an empty pipe would block past the caller's time-out, so
    // take only what the pipe already holds.
    if (GetFileType(input) == FILE_TYPE_PIPE) {
        DWORD available = 0;
        if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) {
            return {0, true};
        }
        if (available == 0) {
            return {0, false};
        }
        wanted = (std::min)(wanted, available);
    }
    DWORD count = 0;
    if (!ReadFile(input, buffer.data(), wanted, &count, nullptr)) {
        return {0, true};
    }
    // For a file (or a device) a read of nothing is its end.
    return {count, count == 0};
}

} // namespace cpp::detail
