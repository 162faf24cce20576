#include "ui/win32/outage_window.h"

#include "app/no_data_directory.h"
#include "resources/resource.h"
#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using Scope = Incident::Scope;
using Ending = Incident::Ending;

// Two hours ago, on a minute boundary.
const cpp::DateTime recently(
    cpp::Duration::seconds(cpp::DateTime().sinceEpoch().count() / 60000000 * 60 - 7200));

class OutageWindowTest : public ui::test::WindowTest {
protected:
    std::vector<std::vector<std::wstring>> cells(int id) const {
        const HWND list = GetDlgItem(window.window(), id);
        const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        const auto columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
        std::vector<std::vector<std::wstring>> rows;
        const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            rows.emplace_back();
            for (int column = 0; column < columns; ++column) {
                std::array<wchar_t, 256> text{};
                LVITEMW item{};
                item.iSubItem = column;
                item.pszText = text.data();
                item.cchTextMax = static_cast<int>(text.size());
                SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
                rows.back().push_back(text.data());
            }
        }
        return rows;
    }

    static std::wstring clipboardText() {
        std::wstring text;
        if (!OpenClipboard(nullptr))
            return text;
        if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    }

    OutageWindowTest() {
        ledger.restore({{recently, cpp::Duration::seconds(30), Scope::remote, {"a"}, Ending::reply},
                        {recently + cpp::Duration::minutes(5), cpp::Duration::seconds(90), Scope::local, {"a", "b"},
                         Ending::suspend}});
    }

    OutageLedger ledger;
    SampleStore store{systemClock(), noDataDirectory};
    ui::OutageWindow window{ledger, store};
};

TEST_F(OutageWindowTest, ListsTotalsAndIncidentsNewestFirstCopiesThemAndOpensAgainAfterClosing) {
    window.open(nullptr);
    ASSERT_NE(window.window(), nullptr);
    const auto incidents = cells(IDC_OUTAGE_LIST);
    ASSERT_EQ(incidents.size(), 2u);
    EXPECT_EQ(incidents[0][1], L"1 min 30 s");
    EXPECT_EQ(incidents[0][2], L"local");
    EXPECT_EQ(incidents[0][3], L"a, b");
    EXPECT_EQ(incidents[1][2], L"remote");
    const auto totals = cells(IDC_OUTAGE_TOTALS);
    ASSERT_EQ(totals.size(), 3u);
    for (const auto& row : totals) {
        EXPECT_EQ(row[1], L"1");
        EXPECT_EQ(row[2], L"1 min 30 s");
        // No sample in the store: the two minutes of the local outage are
        // all the monitored time.
        EXPECT_EQ(row[4], L"25.000 %");
    }

    ui::test::press(window.window(), IDC_OUTAGE_COPY);
    const std::wstring copied = clipboardText();
    EXPECT_EQ(copied.substr(0, copied.find(L'\n') + 1), L"Start\tLength\tScope\tHosts\r\n");
    EXPECT_NE(copied.find(L"\t1 min 30 s\tlocal\ta, b\r\n"), std::wstring::npos) << copied;

    ui::test::press(window.window(), IDCANCEL);
    EXPECT_EQ(window.window(), nullptr);
    window.open(nullptr);
    EXPECT_EQ(cells(IDC_OUTAGE_LIST).size(), 2u);
}

} // namespace
