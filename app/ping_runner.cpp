#include "app/ping_runner.h"

#include "app/host_registry.h"
#include "cpp/exception.h"
#include "cpp/known_folder.h"
#include "cpp/line_reader.h"
#include "cpp/logger.h"
#include "cpp/process.h"
#include "cpp/thread.h"

#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr std::size_t lineBufferSize = 4096;

// The digits of the first "time<N" or "time=N" directly followed by "ms":
// the leftmost match of the reply pattern time[<=](\d+)ms. Scanned by hand,
// as std::regex recurses once per repeated character and overflows the
// stack on a line with some ten thousand digits.
std::optional<std::string_view> replyDigits(std::string_view line) {
    constexpr std::string_view prefix = "time";
    for (std::size_t at = line.find(prefix); at != std::string_view::npos; at = line.find(prefix, at + 1)) {
        const std::size_t first = at + prefix.size() + 1;
        if (first > line.size() || (line[first - 1] != '<' && line[first - 1] != '=')) {
            continue;
        }
        std::size_t end = first;
        while (end < line.size() && line[end] >= '0' && line[end] <= '9') {
            ++end;
        }
        if (end > first && line.substr(end, 2) == "ms") {
            return line.substr(first, end - first);
        }
    }
    return std::nullopt;
}

} // namespace

PingRunner::PingRunner(cpp::String host, HostRegistry* registry, Options options)
    : host_(std::move(host)), registry_(registry), options_(std::move(options)) {}

cpp::FilePath PingRunner::systemPing() {
    return cpp::FilePath(cpp::knownFolder(cpp::KnownFolder::System), "ping.exe");
}

std::optional<std::int32_t> PingRunner::classify(const cpp::String& line) {
    // The first pattern wins: a line with a time and a failure is a reply.
    if (const std::optional<std::string_view> digits = replyDigits(line)) {
        const std::int64_t time = cpp::String(std::string(*digits)).toInteger();
        // A sample is 32 bits; a larger time is as bogus as one beyond 64.
        if (time > std::numeric_limits<std::int32_t>::max()) {
            throw cpp::Exception("range error while parsing integer");
        }
        return static_cast<std::int32_t>(time);
    }
    if (line.find("timed out") != std::string::npos || line.find("failed") != std::string::npos) {
        return -1;
    }
    return std::nullopt;
}

void PingRunner::pass() const {
    const cpp::FilePath program = options_.program ? *options_.program : systemPing();
    // Unquoted on purpose: the host text reaches ping.exe as the user typed it.
    const cpp::Process child = cpp::Process::startWithPipes(program, cpp::String("-t %", host_), cpp::FilePath());
    cpp::LineReader reader(child.output(), lineBufferSize, cpp::Duration::infinite);
    for (const cpp::LineReader::Line& line : reader) {
        const cpp::String text(line.text);
        cpp::debug(text);
        if (const std::optional<std::int32_t> result = classify(text)) {
            registry_->recordSample(host_, *result);
        }
    }
    // Leaving drops the child, which terminates it if it still runs.
}

void PingRunner::run() const {
    cpp::Thread::setName(host_);
    cpp::debug(cpp::String("begin: %", host_));
    for (;;) {
        try {
            pass();
        } catch (const cpp::InterruptException&) {
            cpp::debug(cpp::String("stopping: %", host_));
            cpp::debug(cpp::String("end: %", host_));
            return;
        } catch (const cpp::Exception& e) {
            cpp::debug(cpp::String("error: %", e.what()));
        }
        try {
            registry_->setRunState(host_, 2);
            registry_->showAsLost(host_);
            cpp::Thread::sleep(options_.restartPause);
            registry_->setRunState(host_, 1);
        } catch (const cpp::Exception&) {
            cpp::debug(cpp::String("stopping: %", host_));
            cpp::debug(cpp::String("end: %", host_));
            return;
        }
    }
}
