#pragma once

// Shared by the process tests: a scripts folder for the ping stand-in and
// bounded waits on children.

#include "cpp/file_path.h"
#include "cpp/line_reader.h"
#include "cpp/process.h"
#include "cpp/thread.h"
#include "cpp/time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace cpp::test {

inline std::filesystem::path fsPath(const FilePath& path) {
    return std::filesystem::path(static_cast<const std::string&>(path.text()));
}

// The stand-in's scripts folder, made once per run and published through
// TARNLET_PING_SCRIPTS, which the children inherit.
inline const FilePath& pingScripts() {
    static const FilePath folder = [] {
        // A helper process started by a test shares its parent's folder.
        if (const char* inherited = std::getenv("TARNLET_PING_SCRIPTS"); inherited && *inherited) {
            return FilePath(TextSpan(inherited));
        }
        std::random_device random;
        const FilePath made = FilePath::temp().combine(String("tarnlet-process-test-%", random()).span());
        std::filesystem::create_directories(fsPath(made));
        static std::string assignment = "TARNLET_PING_SCRIPTS=" + made.text();
        putenv(assignment.data());
        return made;
    }();
    return folder;
}

inline FilePath scriptedPing() {
    return FilePath(TARNLET_SCRIPTED_PING);
}

inline void writeScript(const std::string& host, const std::string& script) {
    std::ofstream(pingScripts().text() + "/" + host + ".txt", std::ios::binary | std::ios::trunc) << script;
}

// The stand-in's record: "cwd <folder>", then "arg <text>" per argument.
inline std::vector<std::string> recordedArguments(const std::string& host) {
    std::ifstream record(pingScripts().text() + "/" + host + ".args", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(record, line);) {
        lines.push_back(line);
    }
    return lines;
}

// True once the child has ended, false if it still runs after the bound.
inline bool waitForEnd(const Process& process, Duration bound = Duration::seconds(20)) {
    const Stopwatch watch;
    while (process.running()) {
        if (watch.elapsed() >= bound) {
            return false;
        }
        Thread::sleep(Duration::milliseconds(10));
    }
    return true;
}

// Every line up to the end; a line that takes longer than the bound fails.
inline std::vector<std::string> readLines(const Input& input, Duration bound = Duration::seconds(20)) {
    std::vector<std::string> lines;
    LineReader reader(input, 4096, bound);
    for (const LineReader::Line& line : reader) {
        if (!line.hasLine()) {
            ADD_FAILURE() << "no line within the bound";
            break;
        }
        lines.emplace_back(line.text.view());
    }
    return lines;
}

} // namespace cpp::test

namespace cpp::test {

// By the system's process id; defined by each back end's tests. A child that
// has ended but was not yet reaped counts as ended.
bool processAlive(std::uint64_t id);
void killProcess(std::uint64_t id);

} // namespace cpp::test
