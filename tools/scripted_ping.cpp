// scripted-ping: stands in for ping.exe in tests. It is started exactly as
// ping.exe is ("ping.exe -t <host>"), sends nothing over the network and plays
// a script instead.
//
// The script is $TARNLET_PING_SCRIPTS/<host>.txt, where <host> is the last
// argument. One entry a line:
//   <delay ms> <text>      wait, then write text and CR LF (text may be empty)
//   bytes <delay ms> <text>
//                          the same, with "\xNN" in text written as the byte of
//                          hex value NN and "\\" as one backslash: lines in a
//                          code page of the script's choice, such as
//                          "bytes 500 \x8e\xe2\xa2\xa5\xe2 ..." for Russian in
//                          866 (a "\" before anything else stays as it is)
//   flood <count> <text>   write text and CR LF count times without waiting
//   exit <code>            end with that exit code
//   repeat                 write the last text or bytes line again, with its
//                          delay, forever
//   second <s>             wait until the clock is at second s (0-59) of a
//                          minute, so that a test can keep minute boundaries quiet
//   hang                   stay silent until killed
//   # ...                  a comment; so is an empty line
// A script that runs out ends with exit code 0. Without a script file it
// answers as ping.exe does for a host it cannot resolve, with exit code 1.
//
// It writes the arguments it received to $TARNLET_PING_SCRIPTS/<host>.args,
// one a line: "cwd <working directory>", then "arg <text>" for each argument,
// the program itself first.

#include "cpp/process.h"
#include "cpp/string.h"
#include "cpp/thread.h"
#include "cpp/time.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

struct Entry {
    cpp::Duration delay;
    cpp::String text;
};

void recordArguments(const std::string& folder, const std::string& host, int argc, char** argv) {
    std::ofstream record(folder + "/" + host + ".args", std::ios::binary | std::ios::trunc);
    std::error_code error;
    record << "cwd " << std::filesystem::current_path(error).string() << "\n";
    for (int i = 0; i < argc; ++i) {
        record << "arg " << argv[i] << "\n";
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        return (c | 0x20) - 'a' + 10;
    }
    return -1;
}

// The text of a bytes entry with its escapes replaced.
std::string unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\\' && at + 1 < text.size() && text[at + 1] == '\\') {
            bytes += '\\';
            ++at;
        } else if (text[at] == '\\' && at + 3 < text.size() && text[at + 1] == 'x' && hexDigit(text[at + 2]) >= 0 &&
                   hexDigit(text[at + 3]) >= 0) {
            bytes += static_cast<char>(hexDigit(text[at + 2]) * 16 + hexDigit(text[at + 3]));
            at += 3;
        } else {
            bytes += text[at];
        }
    }
    return bytes;
}

void put(const cpp::Output& out, const cpp::String& text) {
    out.put(cpp::String("%\r\n", text));
}

int play(std::istream& script, const cpp::Output& out) {
    std::string line;
    Entry last;
    bool haveLast = false;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::size_t blank = line.find(' ');
        const std::string word = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (word == "exit") {
            return static_cast<int>(cpp::String(rest).toInteger());
        }
        if (word == "hang") {
            cpp::Thread::sleep(cpp::Duration::infinite);
        }
        if (word == "repeat") {
            for (;;) {
                if (haveLast) {
                    cpp::Thread::sleep(last.delay);
                    put(out, last.text);
                } else {
                    cpp::Thread::sleep(cpp::Duration::seconds(1));
                }
            }
        }
        if (word == "second") {
            const std::uint64_t minute = 60'000'000;
            const std::uint64_t into = cpp::DateTime().sinceEpoch().count() % minute;
            const auto wanted = static_cast<std::uint64_t>(cpp::String(rest).toInteger() % 60) * 1'000'000;
            cpp::Thread::sleep(cpp::Duration((wanted + minute - into) % minute));
            continue;
        }
        if (word == "flood") {
            const std::size_t next = rest.find(' ');
            const std::int64_t count = cpp::String(rest.substr(0, next)).toInteger();
            const cpp::String text = next == std::string::npos ? std::string() : rest.substr(next + 1);
            for (std::int64_t i = 0; i < count; ++i) {
                put(out, text);
            }
            continue;
        }
        std::string delay = word;
        std::string text = rest;
        if (word == "bytes") {
            const std::size_t next = rest.find(' ');
            delay = rest.substr(0, next);
            text = next == std::string::npos ? std::string() : unescape(rest.substr(next + 1));
        }
        last = {cpp::Duration::milliseconds(static_cast<std::uint64_t>(cpp::String(delay).toInteger())),
                cpp::String(text)};
        haveLast = true;
        cpp::Thread::sleep(last.delay);
        put(out, last.text);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const cpp::Output out = cpp::PipeOutput::standardOutput();
        if (argc < 2) {
            put(out, "Usage: ping [-t] target_name");
            return 1;
        }
        const std::string host = argv[argc - 1];
        const char* folder = std::getenv("TARNLET_PING_SCRIPTS");
        if (folder && *folder) {
            recordArguments(folder, host, argc, argv);
        }
        std::ifstream script;
        if (folder && *folder) {
            script.open(std::string(folder) + "/" + host + ".txt", std::ios::binary);
        }
        if (!script) {
            put(out, cpp::String("Ping request could not find host %. Please check the name and try again.", host));
            return 1;
        }
        return play(script, out);
    } catch (const std::exception& error) {
        std::cerr << "scripted-ping: " << error.what() << "\n";
        return 2;
    }
}
