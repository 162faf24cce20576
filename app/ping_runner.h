#pragma once

#include "app/clock.h"
#include "cpp/file_path.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <memory>
#include <optional>

class HostRegistry;

// What a test replaces in a runner: the program and the pause before a restart.
struct PingRunnerOptions {
    // Unset means ping.exe in the system folder.
    std::optional<cpp::FilePath> program;
    cpp::Duration restartPause = cpp::Duration::seconds(10);
};

// One host's measuring loop, the body of the host's runner thread: starts
// "ping.exe -t <host>", decodes its output from the OEM code page, turns each
// reply or failed attempt in it (PingOutput) into a result for the registry,
// and starts the child again after a pause when it ends or a pass fails.
// Ends only when its thread is interrupted.
class PingRunner {
public:
    using Options = PingRunnerOptions;

    // The restart pause is waited on clock.
    PingRunner(cpp::String host, HostRegistry* registry, Options options = {},
               std::shared_ptr<Clock> clock = systemClock());

    // The thread body. Lets no cpp::Exception out.
    void run() const;

    // The system folder's ping.exe.
    static cpp::FilePath systemPing();

    const cpp::String& host() const { return host_; }

private:
    void pass() const;

    cpp::String host_;
    HostRegistry* registry_;
    Options options_;
    std::shared_ptr<Clock> clock_;
};
