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

TEST(Settings, TheMetricsFlagWinsOverTheKeyAndAloneMeansTheLoopbackDefault) {
    const struct {
        const char* commandLine;
        const char* setting;
        std::optional<cpp::String> listen;
    } cases[] = {
        {"", "", std::nullopt},
        {"", " \t ", std::nullopt},
        {"", " 0.0.0.0:9100 ", "0.0.0.0:9100"},
        {"--metrics", "0.0.0.0:9100", "127.0.0.1:9464"},
        {"--metrics=", "", "127.0.0.1:9464"},
        {"--metrics=[::1]:9465", "0.0.0.0:9100", "[::1]:9465"},
    };
    for (const auto& c : cases) {
        cpp::PropertyMap commandLine;
        commandLine.parseLine(c.commandLine);
        EXPECT_EQ(settings::metricsListen(c.setting, commandLine), c.listen) << c.commandLine << " " << c.setting;
    }
}

TEST(Settings, AnEndpointIsAnAddressAndAPortAndOnlyAnExplicitHostLeavesLoopback) {
    const struct {
        const char* value;
        const char* address;
        std::uint16_t port;
    } cases[] = {
        {"127.0.0.1:9464", "127.0.0.1", 9464}, {"9464", "127.0.0.1", 9464},
        {":1", "127.0.0.1", 1},                {"localhost:65535", "127.0.0.1", 65535},
        {"[::1]:9464", "::1", 9464},           {"0.0.0.0:80", "0.0.0.0", 80},
        {"192.0.2.7:9464", "192.0.2.7", 9464},
    };
    for (const auto& c : cases) {
        const auto endpoint = settings::endpoint(c.value);
        ASSERT_TRUE(endpoint) << c.value;
        EXPECT_EQ(endpoint->address, c.address) << c.value;
        EXPECT_EQ(endpoint->port, c.port) << c.value;
    }
    for (const char* bad : {"", "127.0.0.1", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536", "::1:9464", "[::1]9464",
                            "[]:9464", "[::1:9464", "host:94a4", "127.0.0.1:+80", "127.0.0.1:000009464",
                            "a:b:c", "127.0.0.1: 9464"})
        EXPECT_FALSE(settings::endpoint(bad)) << bad;
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
