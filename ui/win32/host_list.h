#pragma once

#include "app/host_registry.h"
#include "cpp/string.h"
#include "ui/dpi.h"

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

namespace ui {

// The list view of the main window's left pane: one row per registered
// host in name order, with its status image and its last reply time.
class HostList {
public:
    explicit HostList(HostRegistry& hosts);
    HostList(const HostList&) = delete;
    HostList& operator=(const HostList&) = delete;

    // The list view (control 1004) as a child of parent, showing images
    // from statusImages, which it does not own, its columns sized for dpi.
    // Throws cpp::windows::Exception when it cannot be made.
    void create(HWND parent, HIMAGELIST statusImages, const Dpi& dpi);
    // After a change of DPI: the images drawn for it, the columns' widths.
    void setDpi(HIMAGELIST statusImages, const Dpi& dpi) const;
    HWND window() const { return list_; }

    // Every row anew from the registry; no row stays selected.
    void rebuild();
    // One host's row after a ping result; value is a reply time in ms or
    // negative for no reply. A host without a row is left alone.
    void update(const cpp::String& name, bool active, std::int32_t value);

    // Selects the row and gives it the focus rectangle.
    void select(std::size_t row) const;
    // The first selected row.
    std::optional<std::size_t> selection() const;

    // Answers the list's info-tip request with the row's hover text.
    void fillInfoTip(NMLVGETINFOTIPW& request) const;

private:
    HostRegistry& hosts_;
    HWND list_ = nullptr;
    std::map<cpp::String, std::int32_t> rows_;
};

} // namespace ui
