#pragma once

#include "app/outage_ledger.h"
#include "app/sample_store.h"
#include "cpp/time.h"
#include "ui/outage_table.h"
#include "ui/win32/dialog.h"
#include "ui/win32/dialog_resizer.h"

#include <windows.h>

#include <cstdint>
#include <optional>

namespace ui {

// The "Outages" window (template 130): the totals of the user's own line
// over the last day, week and 30 days, and every incident, the one in
// progress first, then newest first. Copy puts the incidents on the
// clipboard as tab-separated text; Save As... writes them as outages.csv
// has them. It follows the ledger once a second while open.
class OutageWindow : public Dialog {
public:
    OutageWindow(OutageLedger& ledger, SampleStore& store);
    ~OutageWindow() override;

    // Made on first use, owned by owner; shown, filled and brought to the
    // front. Throws cpp::windows::Exception when it cannot be made.
    void open(HWND owner);

private:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    bool onClose() override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The incidents when the ledger changed, the length of the one in
    // progress otherwise, and the totals when the incidents changed or
    // their monitored time may have grown.
    void refresh(bool all);
    // askStore: the monitored minutes are asked for anew.
    void fillTotals(bool askStore);
    void copyToClipboard() const;
    void saveAs() const;

    OutageLedger& ledger_;
    SampleStore& store_;
    DialogResizer resizer_;
    std::optional<std::uint64_t> shownVersion_;
    std::vector<Cells> rows_;
    bool showsCurrent_ = false;
    PingSeries minutes_;
    cpp::Time totalsAt_{cpp::Duration()};
};

} // namespace ui
