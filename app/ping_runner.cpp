#include "app/ping_runner.h"

#include "app/host_registry.h"
#include "app/ping_output.h"
#include "cpp/exception.h"
#include "cpp/known_folder.h"
#include "cpp/line_reader.h"
#include "cpp/logger.h"
#include "cpp/oem_decoder.h"
#include "cpp/process.h"
#include "cpp/thread.h"

#include <utility>

namespace {

constexpr std::size_t lineBufferSize = 4096;

} // namespace

PingRunner::PingRunner(cpp::String host, HostRegistry* registry, Options options, std::shared_ptr<Clock> clock)
    : host_(std::move(host)), registry_(registry), options_(std::move(options)), clock_(std::move(clock)) {}

cpp::FilePath PingRunner::systemPing() {
    return cpp::FilePath(cpp::knownFolder(cpp::KnownFolder::System), "ping.exe");
}

void PingRunner::pass() const {
    const cpp::FilePath program = options_.program ? *options_.program : systemPing();
    // Unquoted on purpose: the host text reaches ping.exe as the user typed it.
    const cpp::Process child = cpp::Process::startWithPipes(program, cpp::String("-t %", host_), cpp::FilePath());
    cpp::LineReader reader(child.output(), lineBufferSize, cpp::Duration::infinite);
    // Lines are split on bytes first: no trail byte of an OEM code page is a
    // line feed or a carriage return.
    cpp::OemDecoder decoder;
    PingOutput output;
    for (const cpp::LineReader::Line& line : reader) {
        const cpp::String text = decoder.decodeAll(line.text);
        cpp::debug(text);
        if (const std::optional<std::int32_t> result = output.classify(text)) {
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
            registry_->setRunState(host_, RunState::restarting);
            registry_->showAsLost(host_);
            clock_->sleep(options_.restartPause);
            registry_->setRunState(host_, RunState::running);
        } catch (const cpp::Exception&) {
            cpp::debug(cpp::String("stopping: %", host_));
            cpp::debug(cpp::String("end: %", host_));
            return;
        }
    }
}
