#include "app/settings.h"

#include "app/host_registry.h"
#include "app/no_data_directory.h"
#include "app/sample_store.h"
#include "cpp/file.h"
#include "cpp/property_file.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

using cpp::Duration;

namespace {

class SettingsSharingTest : public cpp::TempFolderTest {};

// Another process writing config.txt while the program saves: what could
// not be written stays in memory and goes out with the next save.
TEST_F(SettingsSharingTest, ASaveRefusedByAnotherWriterIsMadeGoodByTheNextSave) {
    SampleStore store{systemClock(), noDataDirectory};
    HostRegistry registry{store, systemClock(), cpp::Bus::create(0, "test"),
                          PingRunner::Options{cpp::FilePath("/nonexistent/ping.exe"), Duration::seconds(60)}};
    const cpp::FilePath path = at("config.txt");
    writeFile(path, "hosts\ta.example;\n");
    cpp::PropertyFile file;
    file.load(path, Duration::seconds(1));
    registry.ensure("a.example");
    registry.ensure("b.example");
    {
        const cpp::Output writer = cpp::File::openForAppending(path, cpp::AsyncIO());
        settings::save(file, registry, std::nullopt);
        writer.close();
    }
    EXPECT_EQ(readFile(path), "hosts\ta.example;\n");
    EXPECT_EQ(std::string(file.get("hosts").view()), "a.example;b.example;");

    registry.ensure("c.example");
    settings::save(file, registry, std::nullopt);
    EXPECT_EQ(readFile(path), "hosts\ta.example;\nhosts\ta.example;b.example;c.example;\nactive\t\n");
    registry.stopAll();
}

} // namespace
