// soak: the monitoring core under a long, steady load. Fifty hosts, each a
// scripted-ping child printing ten lines a second, through the real
// HostRegistry, PingRunners and SampleStore, with this thread standing in for
// the window thread: it dispatches the bus's main queue every few ms.
// Prints one "name: value" figure per line and exits with 1 when a check
// fails:
//   - every classified line is in the store: the scripts never fail twice in
//     a row, so each reply is a count and each failure a drop, per host and
//     in the all-hosts buckets, and every sample reached the view;
//   - tasks posted to the window thread run within 100 ms;
//   - stopAll ends within 2 seconds and leaves no child.
// Memory growth per hour is RSS sampled every second after a warm-up,
// extrapolated from its least-squares slope.
//
//   soak --ping PATH [--seconds N] [--hosts N]
// PATH is the scripted-ping program; N seconds of lines per host (default 600).

#include "app/host_registry.h"
#include "app/host_view.h"
#include "app/ping_runner.h"
#include "app/sample_store.h"
#include "cpp/bus.h"
#include "cpp/file_path.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr auto linePause = std::chrono::milliseconds(100);
constexpr auto dispatchPause = std::chrono::milliseconds(5);
constexpr auto probePause = std::chrono::milliseconds(20);
constexpr double lateLimitMs = 100.0;
constexpr double shutdownLimitS = 2.0;

struct Options {
    std::string ping;
    long seconds = 600;
    int hosts = 50;
};

struct Printed {
    long replies = 0;
    long failures = 0;
};

double secondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

double millisecondsBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Ping.exe's header, then ten lines a second: replies with an occasional
// timeout that never follows another, and silence at the end, so that the
// runner never restarts the child and plays the lines twice.
Printed writeScript(const std::filesystem::path& file, const std::string& host, int index, long lines) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "flood 1 Pinging " << host << " with 32 bytes of data:\n";
    Printed printed;
    const long failureEvery = 7 + index % 5;
    for (long i = 0; i < lines; ++i) {
        const long delay = std::chrono::duration_cast<std::chrono::milliseconds>(linePause).count();
        if (i % failureEvery == failureEvery - 1) {
            out << delay << " Request timed out.\n";
            ++printed.failures;
        } else {
            out << delay << " Reply from " << host << ": bytes=32 time=" << (i + index) % 40 << "ms TTL=128\n";
            ++printed.replies;
        }
    }
    out << "hang\n";
    return printed;
}

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Least-squares slope of (seconds, KiB), in KiB per hour.
double growthPerHour(const std::vector<std::pair<double, long>>& samples) {
    if (samples.size() < 2)
        return 0;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto& [x, y] : samples) {
        sx += x;
        sy += static_cast<double>(y);
        sxx += x * x;
        sxy += x * static_cast<double>(y);
    }
    const double n = static_cast<double>(samples.size());
    const double denominator = n * sxx - sx * sx;
    return denominator == 0 ? 0 : (n * sxy - sx * sy) / denominator * 3600.0;
}

// Our children by state: "live" for any state but a zombie's.
std::map<std::string, int> children() {
    std::map<std::string, int> found;
    const std::string self = std::to_string(getpid());
    DIR* proc = opendir("/proc");
    if (!proc)
        return found;
    while (const dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // pid (comm) state ppid ...; comm may hold blanks and parentheses.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos || close + 4 > line.size())
            continue;
        const char state = line[close + 2];
        const std::size_t ppidStart = close + 4;
        const std::string ppid = line.substr(ppidStart, line.find(' ', ppidStart) - ppidStart);
        if (ppid == self)
            found[state == 'Z' ? "zombie" : "live"] += 1;
    }
    closedir(proc);
    return found;
}

class CountingView : public HostView {
public:
    void updateHost(const cpp::String&, std::int32_t) override { ++updates; }
    long updates = 0;
};

// Posts a timestamped task to the window thread every few ms and records how
// late each one runs.
class LatenessProbe {
public:
    explicit LatenessProbe(cpp::Bus bus) : bus_(std::move(bus)), thread_([this] { run(); }) {}
    ~LatenessProbe() {
        stop_ = true;
        thread_.join();
    }

    // From the window thread.
    std::vector<double> late;

private:
    void run() {
        while (!stop_) {
            const SteadyClock::time_point posted = SteadyClock::now();
            bus_.post([this, posted] { late.push_back(millisecondsBetween(posted, SteadyClock::now())); });
            std::this_thread::sleep_for(probePause);
        }
    }

    cpp::Bus bus_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--ping")
            options.ping = argv[i + 1];
        else if (name == "--seconds")
            options.seconds = std::stol(argv[i + 1]);
        else if (name == "--hosts")
            options.hosts = std::stoi(argv[i + 1]);
        else
            throw std::invalid_argument("unknown option " + name);
    }
    if (options.ping.empty() || options.seconds < 1 || options.hosts < 1)
        throw std::invalid_argument("usage: soak --ping PATH [--seconds N] [--hosts N]");
    return options;
}

template <class T>
void figure(const char* name, T value) {
    std::printf("%s: %s\n", name, std::to_string(value).c_str());
    std::fflush(stdout);
}

bool check(const char* name, bool passed) {
    std::printf("%s: %s\n", name, passed ? "pass" : "FAIL");
    std::fflush(stdout);
    return passed;
}

std::pair<long, long> countsAndDrops(const PingSeries& series, long* disconnects = nullptr) {
    long counts = 0;
    long drops = 0;
    for (const PingStats& stats : series.stats) {
        counts += stats.count;
        drops += stats.drops;
        if (disconnects)
            *disconnects += stats.disconnects;
    }
    return {counts, drops};
}

int soak(const Options& options) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("tarnlet-soak-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "scripts");
    std::filesystem::create_directories(folder / "data");
    setenv("TARNLET_PING_SCRIPTS", (folder / "scripts").c_str(), 1);

    std::vector<cpp::String> hosts;
    std::map<cpp::String, Printed> printed;
    Printed total;
    for (int i = 1; i <= options.hosts; ++i) {
        const std::string host = "127.0.0." + std::to_string(i);
        hosts.emplace_back(host);
        const Printed p = writeScript(folder / "scripts" / (host + ".txt"), host, i, options.seconds * 10);
        printed[host] = p;
        total.replies += p.replies;
        total.failures += p.failures;
    }
    figure("hosts", options.hosts);
    figure("printed_replies", total.replies);
    figure("printed_failures", total.failures);

    const cpp::Bus bus = cpp::Bus::create(2, "soak");
    const auto dataFolder = [data = (folder / "data").string()] { return cpp::FilePath(data); };
    MinuteWriter writer(systemClock(), dataFolder);
    SampleStore store(systemClock(), dataFolder, &writer);
    PingRunner::Options runnerOptions;
    runnerOptions.program = cpp::FilePath(options.ping);
    CountingView view;
    bool passed = true;
    {
        HostRegistry registry(store, systemClock(), bus, runnerOptions);
        registry.setView(&view);
        const SteadyClock::time_point start = SteadyClock::now();
        for (const cpp::String& host : hosts) {
            registry.ensure(host);
            registry.enable(host);
        }
        figure("enable_all_s", secondsSince(start));
        // Probed from here: starting fifty children is the start's work, not
        // the steady state's.
        LatenessProbe probe(bus);

        // The window thread's loop: until every line is stored, or well past
        // the scripts' end.
        const long expected = total.replies + total.failures;
        const double giveUp = static_cast<double>(options.seconds) * 1.2 + 60;
        const double warmUp = std::min(30.0, static_cast<double>(options.seconds) / 10);
        std::vector<std::pair<double, long>> rss;
        SteadyClock::time_point nextSample = start;
        long stored = 0;
        double longestDispatchMs = 0;
        double longestGapMs = 0;
        SteadyClock::time_point lastDispatch = SteadyClock::now();
        while (secondsSince(start) < giveUp) {
            const SteadyClock::time_point before = SteadyClock::now();
            longestGapMs = std::max(longestGapMs, millisecondsBetween(lastDispatch, before));
            lastDispatch = before;
            bus.dispatchMain();
            longestDispatchMs = std::max(longestDispatchMs, millisecondsBetween(before, SteadyClock::now()));
            if (SteadyClock::now() >= nextSample) {
                nextSample += std::chrono::seconds(1);
                const double at = secondsSince(start);
                if (at >= warmUp)
                    rss.emplace_back(at, residentKiB());
                const auto [counts, drops] =
                    countsAndDrops(store.series(cpp::DateTime(), cpp::Duration::hours(24), 2));
                stored = counts + drops;
                if (stored >= expected && view.updates >= expected)
                    break;
            }
            std::this_thread::sleep_for(dispatchPause);
        }
        figure("run_s", secondsSince(start));
        figure("lines_per_s", static_cast<double>(stored) / secondsSince(start));
        if (!rss.empty()) {
            figure("rss_first_kib", rss.front().second);
            figure("rss_last_kib", rss.back().second);
            figure("rss_peak_kib", std::max_element(rss.begin(), rss.end(), [](auto& a, auto& b) {
                                       return a.second < b.second;
                                   })->second);
        }
        figure("rss_growth_kib_per_hour", growthPerHour(rss));

        // Accounting, per host and for all hosts.
        long mismatchedHosts = 0;
        long disconnects = 0;
        for (const cpp::String& host : hosts) {
            const auto [counts, drops] =
                countsAndDrops(store.series(cpp::DateTime(), cpp::Duration::hours(24), 2, host), &disconnects);
            const Printed& p = printed[host];
            if (counts != p.replies || drops != p.failures) {
                std::printf("mismatch: %s counts %ld of %ld replies, drops %ld of %ld failures\n", host.c_str(),
                            counts, p.replies, drops, p.failures);
                ++mismatchedHosts;
            }
        }
        const auto [counts, drops] = countsAndDrops(store.series(cpp::DateTime(), cpp::Duration::hours(24), 2));
        figure("stored_counts", counts);
        figure("stored_drops", drops);
        figure("stored_disconnects", disconnects);
        figure("view_updates", view.updates);
        figure("hosts_mismatched", mismatchedHosts);
        passed &= check("accounting_hosts", mismatchedHosts == 0 && disconnects == 0);
        passed &= check("accounting_all", counts == total.replies && drops == total.failures);
        passed &= check("accounting_view", view.updates == expected);

        // Window thread lateness, over the probes run so far.
        std::vector<double> late = probe.late;
        std::sort(late.begin(), late.end());
        const double worst = late.empty() ? 0 : late.back();
        figure("posted_tasks_probed", late.size());
        figure("posted_task_late_p99_ms", late.empty() ? 0 : late[late.size() * 99 / 100]);
        figure("posted_task_late_max_ms", worst);
        figure("dispatch_longest_ms", longestDispatchMs);
        figure("dispatch_gap_longest_ms", longestGapMs);
        passed &= check("window_thread_within_100ms", !late.empty() && worst < lateLimitMs);

        figure("children_before_stop", children()["live"]);
        const SteadyClock::time_point stopping = SteadyClock::now();
        registry.stopAll();
        const double stopS = secondsSince(stopping);
        std::map<std::string, int> left = children();
        figure("shutdown_s", stopS);
        figure("children_left", left["live"]);
        figure("zombies_left", left["zombie"]);
        passed &= check("shutdown_within_2s", stopS < shutdownLimitS);
        passed &= check("children_gone", left["live"] == 0 && left["zombie"] == 0);
        registry.setView(nullptr);
    }
    bus.resize(0);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::printf("result: %s\n", passed ? "pass" : "FAIL");
    return passed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return soak(parse(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "soak: %s\n", e.what());
        return 2;
    }
}
