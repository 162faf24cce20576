// A config.txt that is hostile: binary garbage, a value of 50 MiB, thousands
// of hosts. Loading keeps every readable setting and compacts to a file that
// reads back the same.

#include "app/settings.h"

#include "cpp/property_file.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

using cpp::Duration;
using cpp::String;

namespace {

class ConfigFaultsTest : public cpp::TempFolderTest {};

TEST_F(ConfigFaultsTest, GarbageAHugeValueAndThousandsOfHostsLoadAndCompactToTheSame) {
    String hosts;
    for (int n = 0; n < 5000; ++n)
        hosts += String("10.%.%.%;", n / 65536, n / 256 % 256, n % 256);
    const std::string huge(50u << 20, 'v');
    std::string config = std::string("\0\x01\xfe\xff binary\tgarbage\0\n", 21) + "hosts\t" + std::string(hosts) +
                         "\n" + "junk\t" + huge + "\n" + "\xff\xfe" + std::string(2, '\0') + "\n" + "active\t10.0.0.0;\n" +
                         "pos\t\x80\x81,2,3,4\n" + "scale\t60\n" + std::string(100000, '\0');
    writeFile(at("config.txt"), config);

    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        cpp::PropertyFile file;
        file.load(at("config.txt"), Duration::seconds(5));
        const auto names = settings::hostNames(file.get("hosts"));
        ASSERT_EQ(names.size(), 5000u);
        EXPECT_EQ(names.front(), "10.0.0.0");
        EXPECT_EQ(names.back(), "10.0.19.135");
        EXPECT_EQ(settings::hostNames(file.get("active")), std::vector<String>{"10.0.0.0"});
        EXPECT_EQ(file.get("junk").size(), huge.size());
        EXPECT_FALSE(settings::placement(file.get("pos")));
        EXPECT_EQ(settings::scale(file.get("scale")), Duration::minutes(1));
        // Still writable after such a load.
        EXPECT_TRUE(file.set("scale", "60"));
    }
}

} // namespace
