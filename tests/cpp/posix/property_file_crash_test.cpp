#include "cpp/property_file.h"

#include "cpp/exception.h"
#include "cpp/file.h"

#include "../temp_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace cpp {
namespace {

using Settings = std::map<std::string, std::string>;

// How a child that loads the file ends.
constexpr int stoppedAtStep = 40;
constexpr int loaded = 41;
constexpr int failed = 42;

// Loads path in a child process that stops dead at the stopAt-th step of the
// compaction, counted from 1, with a setting held only in memory before the
// load. The child's exit code.
int loadInChild(const FilePath& path, int stopAt) {
    const pid_t child = ::fork();
    if (child == 0) {
        int steps = 0;
        PropertyFile file(AsyncIO(), [&steps, stopAt](CompactionStep) {
            if (++steps == stopAt) {
                ::_exit(stoppedAtStep);
            }
        });
        file.set("pos", "1,2,3,4");
        try {
            file.load(path, Duration::seconds(5));
        } catch (...) {
            ::_exit(failed);
        }
        ::_exit(loaded);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

Settings settingsIn(const FilePath& path) {
    PropertyFile file;
    file.load(path, Duration::seconds(1));
    Settings settings;
    for (const auto& [key, value] : file.values()) {
        settings.emplace(key, value);
    }
    return settings;
}

class PropertyFileCrash : public TempFolderTest {};

TEST_F(PropertyFileCrash, AProcessKilledAtAnyStepLeavesTheOldLogOrTheNewFile) {
    const FilePath path = at("config.txt");
    // Longer than its compact form, and with lines that would read as
    // something else if a part of them were left behind the new contents.
    const std::string log = "hosts a;\nhosts a;b;\nactive:a;\n[remove] active\nscale 60\nhosts=a;b;c;\n";
    const std::string compact = "hosts\ta;b;c;\npos\t1,2,3,4\nscale\t60\n";
    const Settings before{{"hosts", "a;b;c;"}, {"scale", "60"}};
    Settings after = before;
    after.emplace("pos", "1,2,3,4");

    int stopAt = 1;
    for (;; ++stopAt) {
        writeFile(path, log);
        const int outcome = loadInChild(path, stopAt);
        ASSERT_TRUE(outcome == stoppedAtStep || outcome == loaded) << "step " << stopAt << ": " << outcome;
        const std::string left = readFile(path);
        EXPECT_TRUE(left == log || left == compact) << "step " << stopAt << ": " << left;
        const Settings settings = settingsIn(path);
        EXPECT_TRUE(settings == before || settings == after) << "step " << stopAt;
        // Whatever a stopped compaction left beside the file, the next one
        // has put in place or cleared away.
        EXPECT_FALSE(File::exists(at("config.txt.new"))) << "step " << stopAt;
        if (outcome == loaded) {
            EXPECT_EQ(left, compact);
            break;
        }
    }
    // Locked, read, written, synced, replaced, released: each one stopped at.
    EXPECT_EQ(stopAt, 7);
}

} // namespace
} // namespace cpp
