// hold-file: holds a file open for writing from a process of its own, letting
// others only read, as another program writing it would. End-to-end checks
// use it to see what tarnlet does meanwhile.
//
//   hold-file <file> <signal folder>
//
// Opens <file> (created if missing), then creates <signal folder>\held and
// waits until <signal folder>\release exists; closes the file and ends with
// exit code 0. Exit code 1 when the file cannot be opened, 2 for a wrong
// command line.

#include "cpp/win32/unique_handle.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: hold-file <file> <signal folder>\n");
        return 2;
    }
    const cpp::windows::UniqueFileHandle file(
        CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        std::fwprintf(stderr, L"hold-file: cannot open %ls: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    const std::wstring folder = argv[2];
    // Made and closed at once: only its being there tells.
    cpp::windows::UniqueFileHandle(CreateFileW((folder + L"\\held").c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    while (!exists(folder + L"\\release"))
        Sleep(100);
    return 0;
}
