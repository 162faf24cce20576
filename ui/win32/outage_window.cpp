#include "ui/win32/outage_window.h"

#include "app/outage_file.h"
#include "cpp/exception.h"
#include "cpp/file.h"
#include "resources/resource.h"
#include "ui/win32/file_save_dialog.h"

#include <commctrl.h>

#include <cstring>
#include <string>

namespace ui {

namespace {

constexpr UINT_PTR refreshTimer = 1;
constexpr UINT refreshInterval = 1000;
// Monitored time grows slowly: the all-hosts minutes of 30 days (a
// megabyte) are asked for no more often than this.
const cpp::Duration totalsInterval = cpp::Duration::seconds(10);
const cpp::Duration minute = cpp::Duration::seconds(60);

void setColumns(HWND list, const Cells& headings, const std::vector<int>& widths) {
    for (std::size_t i = 0; i < headings.size(); ++i) {
        std::wstring title = headings[i].toWide();
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = title.data();
        column.cx = widths[i];
        column.iSubItem = static_cast<int>(i);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void setCell(HWND list, int row, int column, const cpp::String& text) {
    std::wstring wide = text.toWide();
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void fillList(HWND list, const std::vector<Cells>& rows) {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::wstring first = rows[r].at(0).toWide();
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.pszText = first.data();
        const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        for (std::size_t c = 1; row >= 0 && c < rows[r].size(); ++c)
            setCell(list, row, static_cast<int>(c), rows[r][c]);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

} // namespace

OutageWindow::OutageWindow(OutageLedger& ledger, SampleStore& store) : ledger_(ledger), store_(store) {}

OutageWindow::~OutageWindow() {
    destroy();
}

void OutageWindow::open(HWND owner) {
    if (!window())
        createModeless(IDD_OUTAGES, owner);
    refresh(true);
    show();
    SetForegroundWindow(window());
}

bool OutageWindow::onInit() {
    const HWND window = this->window();
    const HWND totals = GetDlgItem(window, IDC_OUTAGE_TOTALS);
    const HWND incidents = GetDlgItem(window, IDC_OUTAGE_LIST);
    SendMessageW(totals, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    SendMessageW(incidents, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    setColumns(totals, totalsHeadings, {110, 90, 100, 100, 100});
    setColumns(incidents, incidentHeadings, {130, 90, 60, 260});
    resizer_.init(window, {{IDC_OUTAGE_TOTALS, growX},
                           {IDC_OUTAGE_LIST, growX | growY},
                           {IDC_OUTAGE_COPY, moveX | moveY},
                           {IDC_OUTAGE_SAVE, moveX | moveY},
                           {IDCANCEL, moveX | moveY}});
    centre();
    SetTimer(window, refreshTimer, refreshInterval, nullptr);
    return true;
}

bool OutageWindow::onCommand(int id, int /*code*/, HWND /*control*/) {
    switch (id) {
    case IDC_OUTAGE_COPY:
        copyToClipboard();
        return true;
    case IDC_OUTAGE_SAVE:
        saveAs();
        return true;
    case IDCANCEL:
        return onClose();
    default:
        return false;
    }
}

bool OutageWindow::onClose() {
    // Made afresh at the next opening, so no timer runs while it is away.
    destroy();
    shownVersion_.reset();
    return true;
}

bool OutageWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_TIMER && wParam == refreshTimer) {
        refresh(false);
        return true;
    }
    return resizer_.handle(message, wParam, lParam, result);
}

void OutageWindow::refresh(bool all) {
    const std::uint64_t version = ledger_.version();
    const std::optional<Incident> current = ledger_.current();
    const HWND incidents = GetDlgItem(window(), IDC_OUTAGE_LIST);
    const bool changed = all || shownVersion_ != version || showsCurrent_ != current.has_value();
    if (changed) {
        rows_ = incidentRows(ledger_.history(), current);
        fillList(incidents, rows_);
        shownVersion_ = version;
        showsCurrent_ = current.has_value();
    } else if (current && !rows_.empty()) {
        rows_[0] = incidentRows({}, current).at(0);
        setCell(incidents, 0, 1, rows_[0][1]);
    }
    if (changed || current || cpp::Time() - totalsAt_ >= totalsInterval)
        fillTotals(all || cpp::Time() - totalsAt_ >= totalsInterval);
}

void OutageWindow::fillTotals(bool askStore) {
    const cpp::DateTime now;
    if (askStore) {
        totalsAt_ = cpp::Time();
        const cpp::Duration longest = outagePeriods.back();
        minutes_ = store_.series(now, minute, static_cast<std::size_t>(longest.count() / minute.count()));
    }
    std::vector<Incident> incidents = ledger_.history();
    if (const std::optional<Incident> current = ledger_.current())
        incidents.push_back(*current);
    std::vector<Cells> rows;
    for (const cpp::Duration& period : outagePeriods) {
        const cpp::DateTime from = now - period;
        const cpp::Duration monitored = monitoredTime(minutes_, incidents, from, now);
        rows.push_back(totalsRow(periodName(period), outageTotals(incidents, from, now, monitored)));
    }
    fillList(GetDlgItem(window(), IDC_OUTAGE_TOTALS), rows);
}

void OutageWindow::copyToClipboard() const {
    const std::wstring text = tabSeparated(incidentHeadings, rows_).toWide();
    if (!OpenClipboard(window()))
        return;
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    // The clipboard owns the memory once it has taken it.
    if (const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory))
                GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

void OutageWindow::saveAs() const {
    try {
        const FileSaveDialog dialog(L"CSV Files", L"*.csv");
        const auto path = dialog.show(window());
        if (!path)
            return;
        const cpp::Output output = cpp::File::openForWriting(*path, cpp::AsyncIO());
        output.put(OutageFile::text(ledger_.history()));
        output.flush();
        if (!output.isOpen())
            throw cpp::IOException(cpp::String("Unable to write to file: %", *path));
    } catch (const cpp::Exception& failure) {
        MessageBoxW(window(), cpp::String(failure.what()).toWide().c_str(), L"", MB_OK);
    }
}

} // namespace ui
