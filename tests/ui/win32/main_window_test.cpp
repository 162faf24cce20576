#include "ui/win32/main_window.h"

#include "app/clock.h"
#include "cpp/bus.h"
#include "cpp/program.h"
#include "resources/resource.h"
#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class MainWindowTest : public ui::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        window.create();
        ASSERT_NE(window.window(), nullptr);
    }

    HWND list() const { return GetDlgItem(GetDlgItem(window.window(), IDC_SPLITTER), IDC_HOST_LIST); }

    struct Row {
        std::wstring host;
        std::wstring ping;
        int image;
        bool operator==(const Row&) const = default;
    };

    std::vector<Row> rows() const {
        std::vector<Row> read;
        const auto count = static_cast<int>(SendMessageW(list(), LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            std::array<wchar_t, 256> host{};
            std::array<wchar_t, 256> ping{};
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = row;
            item.pszText = host.data();
            item.cchTextMax = static_cast<int>(host.size());
            SendMessageW(list(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            item.mask = LVIF_TEXT;
            item.iSubItem = 1;
            item.pszText = ping.data();
            item.cchTextMax = static_cast<int>(ping.size());
            SendMessageW(list(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            read.push_back({host.data(), ping.data(), item.iImage});
        }
        return read;
    }

    void select(int row) const {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }

    void command(int id, int code = 0) const {
        SendMessageW(window.window(), WM_COMMAND, MAKEWPARAM(id, code), 0);
    }

    std::wstring scaleBoxText() const {
        std::array<wchar_t, 64> text{};
        GetDlgItemTextW(window.window(), IDC_SCALE, text.data(), static_cast<int>(text.size()));
        return text.data();
    }

    const std::shared_ptr<Clock> clock = systemClock();
    cpp::Bus bus = cpp::Bus::create(0, "test");
    SampleStore store{clock, [] { return cpp::FilePath(cpp::FilePath::temp(), "tarnlet-ui-tests/missing"); }};
    // Never the system's ping: a program that cannot start, so an enabled
    // host keeps the sample a test gives it.
    HostRegistry hosts{store, clock, bus, {cpp::FilePath("/nonexistent/ping.exe"), cpp::Duration::seconds(3600)}};
    ui::FontCache fonts;
    int saves = 0;
    ui::MainWindow window{hosts, store, fonts, [this] { ++saves; }};
};

TEST_F(MainWindowTest, ShowsTheVersionAndTheScaleBoxAndSetScaleAgree) {
    std::array<wchar_t, 64> caption{};
    GetWindowTextW(window.window(), caption.data(), static_cast<int>(caption.size()));
    EXPECT_STREQ(caption.data(), L"tarnlet 1.1");
    EXPECT_EQ(SendDlgItemMessageW(window.window(), IDC_SCALE, CB_GETCOUNT, 0, 0), 11);
    EXPECT_EQ(window.scale(), cpp::Duration::seconds(1));
    EXPECT_EQ(scaleBoxText(), L"1 second");

    window.setScale(cpp::Duration::minutes(1));
    EXPECT_EQ(scaleBoxText(), L"1 minute");
    EXPECT_EQ(window.scale(), cpp::Duration::minutes(1));
    SendDlgItemMessageW(window.window(), IDC_SCALE, CB_SETCURSEL, 10, 0);
    command(IDC_SCALE, CBN_SELCHANGE);
    EXPECT_EQ(window.scale(), cpp::Duration::hours(24));
    EXPECT_EQ(saves, 0);
}

TEST_F(MainWindowTest, RowsFollowTheRegistryInNameOrderWithTheirStatus) {
    hosts.ensure("b.test");
    hosts.enable("c.test");
    hosts.recordSample("c.test", 24);
    hosts.ensure("a.test");
    window.refreshHosts();
    EXPECT_EQ(rows(), (std::vector<Row>{{L"a.test", L"-", 0}, {L"b.test", L"-", 0}, {L"c.test", L"24", 5}}));

    window.updateHost("c.test", 250);
    EXPECT_EQ(rows()[2], (Row{L"c.test", L"250", 1}));
    window.updateHost("c.test", -1);
    EXPECT_EQ(rows()[2], (Row{L"c.test", L"-", 6}));
    // A disabled host shows as disabled whatever it is told.
    window.updateHost("a.test", 10);
    EXPECT_EQ(rows()[0], (Row{L"a.test", L"-", 0}));
    // Unknown hosts change nothing.
    window.updateHost("z.test", 10);
    EXPECT_EQ(rows().size(), 3u);
}

TEST_F(MainWindowTest, TheHostListTakesTheLeft160PixelsOfTheSplitter) {
    RECT rect;
    GetWindowRect(list(), &rect);
    EXPECT_EQ(rect.right - rect.left, 160);
    EXPECT_EQ(GetParent(window.pingView().window()), GetDlgItem(window.window(), IDC_SPLITTER));
}

// Answers the message box of that caption with the button once it is up.
void answerQuestion(const wchar_t* caption, int button) {
    ui::test::actOnDialog(caption, [button](HWND box) { ui::test::press(box, button); });
}

TEST_F(MainWindowTest, HostCommandsActOnTheSelectedRowAndSave) {
    hosts.ensure("a.test");
    hosts.ensure("b.test");
    window.refreshHosts();
    // Without a selected row nothing happens.
    for (const int id : {ID_HOST_ENABLED, ID_HOST_REMOVE, ID_HOST_CLEAR, ID_HOST_EXPORT, ID_HOST_OPEN_LOCATION}) {
        command(id);
    }
    EXPECT_EQ(hosts.names().size(), 2u);
    EXPECT_FALSE(hosts.record("a.test").enabled());
    EXPECT_EQ(saves, 0);

    select(0);
    command(ID_HOST_ENABLED);
    EXPECT_TRUE(hosts.record("a.test").enabled());
    EXPECT_EQ(saves, 1);
    select(0);
    command(ID_HOST_ENABLED);
    EXPECT_FALSE(hosts.record("a.test").enabled());
    EXPECT_EQ(saves, 2);

    select(1);
    answerQuestion(L"Remove Host", IDYES);
    command(ID_HOST_REMOVE);
    EXPECT_FALSE(hosts.contains("b.test"));
    EXPECT_EQ(rows(), (std::vector<Row>{{L"a.test", L"-", 0}}));
    EXPECT_EQ(saves, 3);
}

TEST_F(MainWindowTest, TheHoverTextIsCutToTheRequestBuffer) {
    hosts.enable("a.test");
    Sleep(5);
    // A reply after the start: connected since now.
    hosts.recordSample("a.test", 20);
    window.refreshHosts();
    std::array<wchar_t, 12> buffer{};
    const std::wstring label = L"a.test";
    label.copy(buffer.data(), label.size());
    NMLVGETINFOTIPW request{};
    request.hdr.hwndFrom = list();
    request.hdr.idFrom = IDC_HOST_LIST;
    request.hdr.code = LVN_GETINFOTIPW;
    request.pszText = buffer.data();
    request.cchTextMax = static_cast<int>(buffer.size());
    request.iItem = 0;
    SendMessageW(window.window(), WM_NOTIFY, IDC_HOST_LIST, reinterpret_cast<LPARAM>(&request));
    // "a.test\n\nConnected for ...", cut to 11 and a terminator.
    EXPECT_EQ(std::wstring(buffer.data()), L"a.test\n\nCon");
    EXPECT_EQ(buffer.back(), L'\0');
}

// Answers the Add Address dialog with the text once it is up.
void answerAddDialog(const wchar_t* text) {
    ui::test::actOnDialog(L"Add Address", [text](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_ADDRESS, text);
        ui::test::press(dialog, IDOK);
    });
}

TEST_F(MainWindowTest, AddAddressEnablesTheHostAndSavesUnlessTheTextIsEmpty) {
    // Loading the host's data goes to the current program's bus.
    const cpp::Program::Standard program(L"");
    answerAddDialog(L"");
    command(IDC_ADD_ADDRESS, BN_CLICKED);
    EXPECT_TRUE(hosts.names().empty());
    EXPECT_EQ(saves, 0);

    answerAddDialog(L"new.test");
    command(IDC_ADD_ADDRESS, BN_CLICKED);
    ASSERT_TRUE(hosts.contains("new.test"));
    EXPECT_TRUE(hosts.record("new.test").enabled());
    EXPECT_EQ(rows(), (std::vector<Row>{{L"new.test", L"-", 6}}));
    EXPECT_EQ(saves, 1);
}

TEST_F(MainWindowTest, TabGoesThroughTheControlsInReadingOrder) {
    const HWND dialog = window.window();
    const std::vector<HWND> order{GetDlgItem(dialog, IDC_ADD_ADDRESS), GetDlgItem(dialog, IDC_OUTAGES),
                                  GetDlgItem(dialog, IDC_SCALE),
                                  GetDlgItem(dialog, IDC_LIVE), list(), window.pingView().window()};
    for (std::size_t i = 0; i < order.size(); ++i) {
        const HWND next = order[(i + 1) % order.size()];
        EXPECT_EQ(GetNextDlgTabItem(dialog, order[i], FALSE), next) << "after stop " << i;
        EXPECT_EQ(GetNextDlgTabItem(dialog, next, TRUE), order[i]) << "before stop " << i + 1;
    }
}

TEST_F(MainWindowTest, DeleteAsksBeforeRemovingAndSpaceTurnsEnabledKeepingTheRow) {
    hosts.ensure("a.test");
    hosts.ensure("b.test");
    window.refreshHosts();
    const auto key = [this](WPARAM code) { SendMessageW(list(), WM_KEYDOWN, code, 0); };
    select(1);
    key(VK_SPACE);
    EXPECT_TRUE(hosts.record("b.test").enabled());
    EXPECT_EQ(saves, 1);
    key(VK_SPACE);
    EXPECT_FALSE(hosts.record("b.test").enabled());
    EXPECT_EQ(saves, 2);

    answerQuestion(L"Remove Host", IDNO);
    key(VK_DELETE);
    EXPECT_TRUE(hosts.contains("b.test"));
    EXPECT_EQ(saves, 2);
    answerQuestion(L"Remove Host", IDYES);
    key(VK_DELETE);
    EXPECT_FALSE(hosts.contains("b.test"));
    EXPECT_EQ(rows(), (std::vector<Row>{{L"a.test", L"-", 0}}));
    EXPECT_EQ(saves, 3);
}

TEST_F(MainWindowTest, CtrlNOpensAddAddressWhereverTheFocusIs) {
    const cpp::Program::Standard program(L"");
    std::array<BYTE, 256> keys{};
    GetKeyboardState(keys.data());
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys.data());
    // As the program's loop hands it over, to the focused list.
    MSG message{list(), WM_KEYDOWN, 'N', 0, 0, {}};
    const BOOL used = IsDialogMessageW(window.window(), &message);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys.data());
    EXPECT_TRUE(used);
    answerAddDialog(L"new.test");
    ui::test::quitPosted();
    EXPECT_TRUE(hosts.contains("new.test"));
    // Without Ctrl, N is the list's own (it looks for a row starting so).
    message = MSG{list(), WM_KEYDOWN, 'N', 0, 0, {}};
    IsDialogMessageW(window.window(), &message);
    ui::test::quitPosted();
    EXPECT_EQ(hosts.names().size(), 1u);
}

// Whether a popup menu came up while the queue was dispatched; it is
// closed at once.
bool menuShownWhileDispatching() {
    static bool shown;
    shown = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        const HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu && IsWindowVisible(menu)) {
            shown = true;
            EndMenu();
        }
    });
    ui::test::quitPosted();
    KillTimer(nullptr, timer);
    return shown;
}

TEST_F(MainWindowTest, ShiftF10AndTheMenuKeyOpenTheSelectedHostsMenu) {
    hosts.ensure("a.test");
    window.refreshHosts();
    std::array<BYTE, 256> keys{};
    GetKeyboardState(keys.data());
    const auto press = [&](UINT message, WPARAM code, bool shift) {
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys.data());
        MSG key{list(), message, code, 0, 0, {}};
        const BOOL used = IsDialogMessageW(window.window(), &key);
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys.data());
        return used != FALSE;
    };
    // No row chosen: no menu.
    EXPECT_TRUE(press(WM_SYSKEYDOWN, VK_F10, true));
    EXPECT_FALSE(menuShownWhileDispatching());
    select(0);
    EXPECT_TRUE(press(WM_SYSKEYDOWN, VK_F10, true));
    EXPECT_TRUE(menuShownWhileDispatching());
    EXPECT_TRUE(press(WM_KEYDOWN, VK_APPS, false));
    EXPECT_TRUE(menuShownWhileDispatching());
}

TEST_F(MainWindowTest, ADpiChangeTakesTheSuggestedRectangleAndScalesWhatTheWindowSizes) {
    hosts.ensure("a.test");
    window.refreshHosts();
    const HWND dialog = window.window();
    const HWND button = GetDlgItem(dialog, IDC_ADD_ADDRESS);
    const auto height = [](HWND control) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
        return std::abs(font.lfHeight);
    };
    const auto minimum = [dialog] {
        MINMAXINFO info{};
        SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        return info.ptMinTrackSize;
    };
    RECT before;
    GetWindowRect(button, &before);
    const LONG fontBefore = height(button);
    const POINT minimumBefore = minimum();
    const RECT listBefore = [this] {
        RECT rect;
        GetWindowRect(list(), &rect);
        return rect;
    }();

    // From 96 to 192 DPI, as when the window is dragged to such a screen.
    RECT suggested{100, 50, 100 + 2 * (minimumBefore.x + 40), 50 + 2 * (minimumBefore.y + 30)};
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));

    RECT now;
    GetWindowRect(dialog, &now);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.right - now.left, suggested.right - suggested.left);
    EXPECT_EQ(now.bottom - now.top, suggested.bottom - suggested.top);
    const POINT minimumAfter = minimum();
    EXPECT_NEAR(minimumAfter.x, 2 * minimumBefore.x, 1);
    EXPECT_NEAR(minimumAfter.y, 2 * minimumBefore.y, 1);
    // The row of controls: twice as large, its font made anew at twice the height.
    RECT after;
    GetWindowRect(button, &after);
    EXPECT_NEAR(after.right - after.left, 2 * (before.right - before.left), 1);
    EXPECT_NEAR(after.bottom - after.top, 2 * (before.bottom - before.top), 1);
    EXPECT_NEAR(height(button), 2 * fontBefore, 1);
    // The list: twice as wide, its columns and images too.
    RECT listAfter;
    GetWindowRect(list(), &listAfter);
    EXPECT_EQ(listAfter.right - listAfter.left, 2 * (listBefore.right - listBefore.left));
    EXPECT_EQ(SendMessageW(list(), LVM_GETCOLUMNWIDTH, 0, 0), 250);
    EXPECT_EQ(SendMessageW(list(), LVM_GETCOLUMNWIDTH, 1, 0), 70);
    int cx = 0;
    int cy = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(list(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
                          &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(rows(), (std::vector<Row>{{L"a.test", L"-", 0}}));
}

TEST_F(MainWindowTest, ClosingSavesDestroysTheWindowAndQuits) {
    const HWND handle = window.window();
    SendMessageW(handle, WM_CLOSE, 0, 0);
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_TRUE(ui::test::quitPosted());
    // A result that arrives after the window went is dropped.
    window.updateHost("a.test", 5);
}

} // namespace
