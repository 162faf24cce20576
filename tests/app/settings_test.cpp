#include "app/settings.h"

#include "app/host_registry.h"
#include "app/no_data_directory.h"
#include "app/sample_store.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

using cpp::Duration;

TEST(Settings, HostNamesAreSplitAtSemicolonsTrimmedAndEmptyPiecesDropped) {
    EXPECT_EQ(settings::hostNames("8.8.8.8;10.0.0.1;"), (std::vector<cpp::String>{"8.8.8.8", "10.0.0.1"}));
    EXPECT_EQ(settings::hostNames(" a ;\t;b\r\n; "), (std::vector<cpp::String>{"a", "b"}));
    EXPECT_TRUE(settings::hostNames(cpp::TextSpan()).empty());
}

TEST(Settings, PlacementIsFourUnsignedNumbersAndNothingElse) {
    const auto place = settings::placement("10,20,800,600");
    ASSERT_TRUE(place);
    EXPECT_EQ(place->left, 10);
    EXPECT_EQ(place->top, 20);
    EXPECT_EQ(place->width, 800);
    EXPECT_EQ(place->height, 600);
    for (const char* bad : {"-8,-8,1936,1056", "10,20,800", "10,20,800,600,", "a,b,c,d", "", " 10,20,800,600",
                            "1,2,3,99999999999999999999999", "1,2,3,2147483648"})
        EXPECT_FALSE(settings::placement(bad)) << bad;
    EXPECT_TRUE(settings::placement("1,2,3,2147483647"));
    EXPECT_TRUE(settings::placement("000000000001,2,3,4"));
    EXPECT_FALSE(settings::placement(cpp::String(std::string(1 << 20, '1') + ",2,3,4")));
}

TEST(Settings, ScaleIsTheStoreScaleOfThatManySeconds) {
    EXPECT_EQ(settings::scale("60"), Duration::seconds(60));
    EXPECT_EQ(settings::scale("86400"), Duration::hours(24));
    EXPECT_EQ(settings::scale("1"), Duration::seconds(1));
    for (const char* bad : {"61", "x", "", "0", "-60", "99999999999999999999999"})
        EXPECT_FALSE(settings::scale(bad)) << bad;
}

class SettingsSaveTest : public cpp::TempFolderTest {
protected:
    SettingsSaveTest() {
        // A runner that never finds its program waits a minute before trying again.
        registry.enable("b.example");
    }
    ~SettingsSaveTest() override { registry.stopAll(); }

    std::string saved(const std::optional<settings::WindowState>& window) {
        cpp::PropertyFile file;
        file.load(path(), Duration::seconds(1));
        settings::save(file, registry, window);
        return readFile(path());
    }
    cpp::FilePath path() const { return at("config.txt"); }

    SampleStore store{systemClock(), noDataDirectory};
    HostRegistry registry{store, systemClock(), cpp::Bus::create(0, "test"),
                          PingRunner::Options{cpp::FilePath("/nonexistent/ping.exe"), Duration::seconds(60)}};
};

TEST_F(SettingsSaveTest, SavesHostsActivePosScaleAndTheTrayChoicesInThatOrder) {
    registry.ensure("a.example");
    registry.ensure("c.example");
    EXPECT_EQ(saved(settings::WindowState{{10, 20, 800, 600}, Duration::minutes(5), {false, true, true}}),
              "hosts\ta.example;b.example;c.example;\n"
              "active\tb.example;\n"
              "pos\t10,20,800,600\n"
              "scale\t300\n"
              "tray\t0\n"
              "notify\t1\n"
              "autostart\t1\n");
}

TEST_F(SettingsSaveTest, TrayChoicesReadBackAndAnythingButOneOrZeroIsTheDefault) {
    const settings::TrayChoices defaults{true, true, false};
    const auto read = [this](const std::string& text) {
        writeFile(path(), text);
        cpp::PropertyFile file;
        file.load(path(), Duration::seconds(1));
        return settings::trayChoices(file);
    };
    EXPECT_EQ(read(""), defaults);
    EXPECT_EQ(read("tray\t0\nnotify\t0\nautostart\t1\n"), (settings::TrayChoices{false, false, true}));
    EXPECT_EQ(read("tray\tyes\nnotify\t\nautostart\t01\n"), defaults);
    // The last line of a key wins, as with every key.
    EXPECT_EQ(read("autostart\t1\nautostart\t0\n"), defaults);
}

TEST_F(SettingsSaveTest, WithoutAWindowOnlyTheHostsAreSaved) {
    registry.disable("b.example");
    EXPECT_EQ(saved(std::nullopt), "hosts\tb.example;\nactive\t\n");
}
