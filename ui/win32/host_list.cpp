#include "ui/win32/host_list.h"

#include "cpp/win32/windows_exception.h"
#include "resources/resource.h"
#include "ui/host_row.h"
#include "ui/hover_text.h"

#include <algorithm>
#include <cwchar>
#include <string>

namespace ui {

namespace {

// The columns' widths at 96 DPI.
constexpr int hostColumnWidth = 125;
constexpr int pingColumnWidth = 35;

void insertColumn(HWND list, int index, const wchar_t* title, int width, const Dpi& dpi) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(title);
    column.iSubItem = index;
    // First as wide as its title, as a column is made; then its own width.
    column.cx = static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(title))) + dpi(15);
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, index, width);
}

void setPingText(HWND list, int row, const cpp::String& text) {
    std::wstring wide = text.toWide();
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = wide.data();
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

} // namespace

HostList::HostList(HostRegistry& hosts) : hosts_(hosts) {}

void HostList::create(HWND parent, HIMAGELIST statusImages, const Dpi& dpi) {
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                LVS_SHAREIMAGELISTS | LVS_NOCOLUMNHEADER,
                            0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_HOST_LIST)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!list_) {
        throw cpp::windows::Exception();
    }
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);
    insertColumn(list_, 0, L"Host", dpi(hostColumnWidth), dpi);
    insertColumn(list_, 1, L"Ping", dpi(pingColumnWidth), dpi);
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(statusImages));
}

void HostList::setDpi(HIMAGELIST statusImages, const Dpi& dpi) const {
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(statusImages));
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, dpi(hostColumnWidth));
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, 1, dpi(pingColumnWidth));
}

void HostList::rebuild() {
    const std::vector<cpp::String> names = hosts_.names();
    // Painting after every row makes thousands of hosts take the window
    // thread for half a minute; the list is drawn once when it is whole.
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(names.size()), 0);
    rows_.clear();
    for (std::size_t position = 0; position < names.size(); ++position) {
        const HostRecord host = hosts_.recordAt(position);
        std::wstring name = host.name.toWide();
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = name.data();
        item.iImage = statusImage(host.enabled(), host.last);
        const int row = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0) {
            continue;
        }
        setPingText(list_, row, pingText(host.enabled(), host.last));
        rows_[host.name] = row;
    }
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
}

void HostList::update(const cpp::String& name, bool active, std::int32_t value) {
    const auto found = rows_.find(name);
    if (!list_ || found == rows_.end()) {
        return;
    }
    setPingText(list_, found->second, pingText(active, value));
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = found->second;
    item.iImage = statusImage(active, value);
    SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void HostList::select(std::size_t row) const {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::optional<std::size_t> HostList::selection() const {
    const auto row = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(row);
}

void HostList::fillInfoTip(NMLVGETINFOTIPW& request) const {
    if (request.cchTextMax <= 0 || request.iItem < 0 || !request.pszText) {
        return;
    }
    const HostRecord host = hosts_.recordAt(static_cast<std::size_t>(request.iItem));
    std::optional<cpp::String> label;
    if (!(request.dwFlags & LVGIT_UNFOLDED)) {
        const std::size_t length = wcsnlen(request.pszText, static_cast<std::size_t>(request.cchTextMax));
        label = cpp::String(request.pszText, request.pszText + length);
    }
    const std::wstring wide = hoverText(host, hosts_.clock().now(), label).toWide();
    const std::u16string text =
        fitToBuffer(std::u16string(wide.begin(), wide.end()), static_cast<std::size_t>(request.cchTextMax));
    std::copy(text.begin(), text.end(), request.pszText);
    request.pszText[text.size()] = L'\0';
}

} // namespace ui
