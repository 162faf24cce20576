// window-driver: lets end-to-end checks see and steer tarnlet's main window
// from outside, as a user would, under Wine. Every command names the
// top-level window by its caption and waits up to 10 seconds for it.
//
//   window-driver rect <caption>              "left top right bottom" of the window
//   window-driver control <caption> <id>      the same for a control, any depth
//   window-driver rows <caption> <id>         one line per list view row:
//                                             "text<TAB>subitem 1<TAB>image<TAB>
//                                             left top right bottom" (icon, screen)
//   window-driver close <caption>             posts WM_CLOSE
//   window-driver command <caption> <id>      posts WM_COMMAND with that id
//   window-driver text <caption>              the texts of the window's static controls
//   window-driver visible <caption> <id>      "1" when the control and all its
//                                             parents are visible, else "0"
//   window-driver shown <caption>             "visible iconic" of the window, each 1 or 0
//   window-driver minimize <caption>          posts the system's Minimize command
//   window-driver focus <caption>             "id class" of the control with the
//                                             keyboard focus in the window's thread
//                                             ("none" without one)
//   window-driver menu                        "left top right bottom" of the popup
//                                             menu shown, if any (its caption is
//                                             ignored)
//   window-driver tray                        "left top right bottom" of the first
//                                             notification-area icon in Wine's own
//                                             tray window (its caption is ignored)
//   window-driver cells <caption> <id>        one line per list view row: the
//                                             text of every column, tab-separated
//   window-driver power <caption> <event>     posts WM_POWERBROADCAST with that
//                                             event (4 suspend, 18 resume), as
//                                             the system sends it
//   window-driver dpi <caption> <dpi>         sends WM_DPICHANGED for a move from
//                                             96 DPI to dpi, suggesting the window's
//                                             size scaled, at the screen's top left
//
// Exit code 0 on success, 1 when the window or control is not found, 2 for
// a wrong command line.

#include "cpp/win32/unique_handle.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND findWindow(const wchar_t* caption) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const HWND window = FindWindowW(nullptr, caption))
            return window;
        Sleep(100);
    }
    return nullptr;
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK matchControl(HWND child, LPARAM parameter) {
    auto* search = reinterpret_cast<ControlSearch*>(parameter);
    if (GetDlgCtrlID(child) == search->id) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

// EnumChildWindows visits every descendant, so a control inside a splitter
// is found too.
HWND findControl(HWND window, int id) {
    ControlSearch search{id, nullptr};
    EnumChildWindows(window, matchControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void printRect(const RECT& rect) {
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
}

std::string narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(std::char_traits<char>::length(result.c_str()));
    return result;
}

// A list view answers only with pointers into its own process, so the item
// record and its text buffer live there and are read back.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, std::size_t size)
        : process_(process), size_(size),
          address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteBuffer() {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    void* address() const { return address_; }
    bool write(const void* data, std::size_t size) const {
        return WriteProcessMemory(process_, address_, data, size, nullptr) != 0;
    }
    bool read(void* data, std::size_t size) const {
        return size <= size_ && ReadProcessMemory(process_, address_, data, size, nullptr) != 0;
    }

private:
    HANDLE process_;
    std::size_t size_;
    void* address_;
};

// The process of a window, open for reading and writing its memory; empty
// when it cannot be opened.
cpp::windows::UniqueKernelHandle openProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return cpp::windows::UniqueKernelHandle(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
}

struct Row {
    std::wstring text;
    std::wstring subitem;
    int image = -1;
    RECT icon{};
};

// The text of one cell, and the row's image with the first.
bool readCell(HWND list, const RemoteBuffer& item, const RemoteBuffer& text, int index, int subitem,
              std::wstring& cell, int* image) {
    LVITEMW record{};
    record.mask = LVIF_TEXT | (image ? LVIF_IMAGE : 0);
    record.iItem = index;
    record.iSubItem = subitem;
    record.pszText = static_cast<wchar_t*>(text.address());
    record.cchTextMax = 1024;
    if (!item.write(&record, sizeof record) || !SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(item.address())))
        return false;
    wchar_t buffer[1024] = {};
    LVITEMW answer{};
    if (!text.read(buffer, sizeof buffer) || !item.read(&answer, sizeof answer))
        return false;
    buffer[1023] = L'\0';
    cell = buffer;
    if (image)
        *image = answer.iImage;
    return true;
}

bool readItem(HWND list, const RemoteBuffer& item, const RemoteBuffer& text, int index, int subitem, Row& row) {
    return subitem == 0 ? readCell(list, item, text, index, 0, row.text, &row.image)
                        : readCell(list, item, text, index, subitem, row.subitem, nullptr);
}

int printRows(HWND list) {
    // The buffers go before the process they live in.
    const cpp::windows::UniqueKernelHandle process = openProcessOf(list);
    if (!process)
        return 1;
    const RemoteBuffer item(process.get(), sizeof(LVITEMW));
    const RemoteBuffer text(process.get(), 1024 * sizeof(wchar_t));
    const RemoteBuffer rect(process.get(), sizeof(RECT));
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        Row row;
        RECT icon{LVIR_ICON, 0, 0, 0};
        if (!readItem(list, item, text, index, 0, row) || !readItem(list, item, text, index, 1, row) ||
            !rect.write(&icon, sizeof icon) ||
            !SendMessageW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(rect.address())) ||
            !rect.read(&row.icon, sizeof row.icon))
            return 1;
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&row.icon), 2);
        std::printf("%s\t%s\t%d\t%ld %ld %ld %ld\n", narrow(row.text.c_str()).c_str(),
                    narrow(row.subitem.c_str()).c_str(), row.image, row.icon.left, row.icon.top, row.icon.right,
                    row.icon.bottom);
    }
    return 0;
}

// The header is the list's child: its column count needs no buffer.
int printCells(HWND list) {
    const cpp::windows::UniqueKernelHandle process = openProcessOf(list);
    if (!process)
        return 1;
    const RemoteBuffer item(process.get(), sizeof(LVITEMW));
    const RemoteBuffer text(process.get(), 1024 * sizeof(wchar_t));
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        std::string line;
        for (int column = 0; column < columns; ++column) {
            std::wstring cell;
            if (!readCell(list, item, text, index, column, cell, nullptr))
                return 1;
            if (column)
                line += '\t';
            line.append(narrow(cell.c_str()));
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

BOOL CALLBACK printStatic(HWND child, LPARAM) {
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (lstrcmpiW(className, L"Static") == 0) {
        wchar_t text[1024] = {};
        GetWindowTextW(child, text, 1024);
        if (text[0])
            std::printf("%s\n", narrow(text).c_str());
    }
    return TRUE;
}

int printFocus(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return 1;
    if (!info.hwndFocus) {
        std::printf("none\n");
        return 0;
    }
    wchar_t className[128] = {};
    GetClassNameW(info.hwndFocus, className, 128);
    std::printf("%d %s\n", GetDlgCtrlID(info.hwndFocus), narrow(className).c_str());
    return 0;
}

// The suggested rectangle must be in the window's process, as the system
// puts it there.
int sendDpiChange(HWND window, int dpi) {
    const cpp::windows::UniqueKernelHandle process = openProcessOf(window);
    if (!process)
        return 1;
    RECT bounds;
    GetWindowRect(window, &bounds);
    // At the top left, so that the grown window stays on a small screen.
    const RECT suggested{0, 0, MulDiv(bounds.right - bounds.left, dpi, 96), MulDiv(bounds.bottom - bounds.top, dpi, 96)};
    const RemoteBuffer rect(process.get(), sizeof(RECT));
    DWORD_PTR answer = 0;
    const bool sent = rect.address() && rect.write(&suggested, sizeof suggested) &&
                      SendMessageTimeoutW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                          reinterpret_cast<LPARAM>(rect.address()), SMTO_ABORTIFHUNG, 10000, &answer);
    return sent ? 0 : 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: window-driver rect|control|rows|cells|close|command|power|dpi|text|visible|shown|minimize|focus "
                 "<caption> [id]\n"
                 "       window-driver tray|menu\n");
    return 2;
}

// Wine, with no notification area on the display, shows the icons in a
// window of its own, one child window per icon.
int printTrayIcon() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr)) {
            if (const HWND icon = FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr)) {
                RECT rect{};
                GetWindowRect(icon, &rect);
                printRect(rect);
                std::fflush(stdout);
                return 0;
            }
        }
        Sleep(100);
    }
    return 1;
}

// A shown popup menu is a top-level window of the menu class.
int printMenu() {
    for (int attempt = 0; attempt < 30; ++attempt) {
        const HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu && IsWindowVisible(menu)) {
            RECT rect{};
            GetWindowRect(menu, &rect);
            printRect(rect);
            std::fflush(stdout);
            return 0;
        }
        Sleep(100);
    }
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // Aware of the DPI as tarnlet is, so that rectangles come in the screen's
    // own pixels rather than scaled for a program that knows no DPI.
    SetProcessDPIAware();
    if (argc == 2 && std::wstring(argv[1]) == L"tray")
        return printTrayIcon();
    if (argc == 2 && std::wstring(argv[1]) == L"menu")
        return printMenu();
    if (argc < 3)
        return usage();
    const std::wstring command = argv[1];
    const bool needsId = command == L"control" || command == L"rows" || command == L"cells" || command == L"command" ||
                         command == L"power" || command == L"visible" || command == L"dpi";
    if (needsId != (argc == 4) || argc > 4)
        return usage();
    const HWND window = findWindow(argv[2]);
    if (!window)
        return 1;
    const int id = needsId ? _wtoi(argv[3]) : 0;
    RECT rect{};
    if (command == L"rect") {
        GetWindowRect(window, &rect);
        printRect(rect);
    } else if (command == L"control" || command == L"rows" || command == L"cells" || command == L"visible") {
        const HWND control = findControl(window, id);
        if (!control)
            return 1;
        if (command == L"rows")
            return printRows(control);
        if (command == L"cells")
            return printCells(control);
        if (command == L"visible") {
            std::printf("%d\n", IsWindowVisible(control) ? 1 : 0);
            std::fflush(stdout);
            return 0;
        }
        GetWindowRect(control, &rect);
        printRect(rect);
    } else if (command == L"close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else if (command == L"command") {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    } else if (command == L"dpi") {
        return sendDpiChange(window, id);
    } else if (command == L"power") {
        PostMessageW(window, WM_POWERBROADCAST, static_cast<WPARAM>(id), 0);
    } else if (command == L"text") {
        EnumChildWindows(window, printStatic, 0);
    } else if (command == L"shown") {
        std::printf("%d %d\n", IsWindowVisible(window) ? 1 : 0, IsIconic(window) ? 1 : 0);
    } else if (command == L"minimize") {
        PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (command == L"focus") {
        const int result = printFocus(window);
        std::fflush(stdout);
        return result;
    } else {
        return usage();
    }
    std::fflush(stdout);
    return 0;
}
