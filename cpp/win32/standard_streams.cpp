#include "cpp/standard_streams_platform.h"

#include <windows.h>

#include <algorithm>

namespace cpp::detail {

namespace {

HANDLE toHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

std::intptr_t openStandardInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return noStandardInput;
    }
    // Fails for anything but a console, which is fine.
    SetConsoleMode(input, 0);
    INPUT_RECORD record;
    DWORD events = 0;
    if (PeekConsoleInputW(input, &record, 1, &events)) {
        return noStandardInput;
    }
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), input, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return noStandardInput;
    }
    return reinterpret_cast<std::intptr_t>(own);
}

StandardInputRead readStandardInput(std::intptr_t handle, std::span<char> buffer) {
    const HANDLE input = toHandle(handle);
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

void closeStandardInput(std::intptr_t handle) {
    CloseHandle(toHandle(handle));
}

} // namespace cpp::detail
