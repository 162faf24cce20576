// store-bench: a year of one host's minute rows loaded through the real
// loader into the real store, then queried, destroyed and run live; the same
// for the plain map-per-scale store that the tests keep as their oracle.
// Prints one "name: value" figure per line, the plain store's with the prefix
// "literal_". Each store is measured in a child process of its own, so that
// peak memory and allocations are its own.
//
// Memory figures count the bytes that the store's allocations hold (the
// allocator's usable size of every block, through a counting global operator
// new and delete in this program), not resident pages; "_cpu_s" figures are
// CPU time, which the machine's other work does not stretch.
//
//   store-bench [--slice ROWS] [--no-literal]
// --slice: how many rows the plain store loads, its figures scaled up to the
// year (default a twelfth); --no-literal: the store's own figures only.

#include "app/clock.h"
#include "app/load_plan.h"
#include "app/sample_store.h"
#include "cpp/bus.h"
#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/line_reader.h"
#include "cpp/thread.h"
#include "app/literal_store.h"

#include <malloc.h>
#include <sys/resource.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <latch>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<long long> heldBytes{0};

} // namespace

// These operators are the allocation functions: their blocks come from malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    heldBytes.fetch_add(static_cast<long long>(malloc_usable_size(block)), std::memory_order_relaxed);
    return block;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* block) noexcept {
    if (!block)
        return;
    heldBytes.fetch_sub(static_cast<long long>(malloc_usable_size(block)), std::memory_order_relaxed);
    std::free(block);
}
void operator delete[](void* block) noexcept {
    operator delete(block);
}
void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    operator delete(block);
}

namespace {

using cpp::DateTime;
using cpp::Duration;
using cpp::FilePath;
using cpp::String;

constexpr std::int64_t yearRows = 525600;
constexpr int hostsAtOnce = 4;
constexpr int liveDays = 4;
constexpr int monthsHosts = 10;
constexpr int monthsDays = 180;
constexpr double mib = 1024.0 * 1024.0;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <class Body>
double timed(Body&& body) {
    const auto start = std::chrono::steady_clock::now();
    body();
    return secondsSince(start);
}

// CPU seconds of this thread or of the whole process: what the work cost,
// whatever else the machine is running.
double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Target {
    const char* name;
    double most;
};
// The figures the store is held to, each printed after its figure as
// "<name>_target: <= most (met|MISSED)".
constexpr Target targets[] = {
    {"live_mib_per_host_day", 0.1}, {"months_resident_mib", 200},        {"loaded_bytes_per_row", 16},
    {"load_year_s", 0.06},          {"load_vs_read_ratio", 3},           {"series_2000_ms", 1},
    {"live_series_2000_ms", 1},     {"months_oldest_series_2000_ms", 1},
};

void print(const std::string& prefix, const char* name, double value) {
    std::printf("%s%s: %.6g\n", prefix.c_str(), name, value);
    for (const Target& target : targets) {
        if (prefix.empty() && std::string(name) == target.name)
            std::printf("%s_target: <= %g (%s)\n", name, target.most, value <= target.most ? "met" : "MISSED");
    }
    std::fflush(stdout);
}

// The local midnight of today: the year of rows ends there.
std::time_t todaysMidnight() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    fields.tm_hour = 0;
    fields.tm_min = 0;
    fields.tm_sec = 0;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

// Rows as the writer makes them, with varied but plausible statistics.
void writeYear(const std::filesystem::path& path, std::int64_t rows) {
    std::ofstream out(path, std::ios::binary);
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t limit) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % limit;
    };
    const std::time_t first = todaysMidnight() - static_cast<std::time_t>(yearRows) * 60;
    char line[128];
    for (std::int64_t i = 0; i < rows; ++i) {
        const std::time_t start = first + static_cast<std::time_t>(i) * 60;
        std::tm fields{};
        localtime_r(&start, &fields);
        char date[32];
        std::strftime(date, sizeof date, "%F %X", &fields);
        const unsigned minimum = 5 + next(20);
        const unsigned maximum = minimum + next(200);
        const unsigned average = minimum + (maximum - minimum) / 3;
        const int length = std::snprintf(line, sizeof line, "%s\t%u\t%u\t%u\t%u\t%u\t%u\n", date, 55 + next(6), average,
                                         minimum, maximum, next(8) == 0 ? 1u : 0u, next(200) == 0 ? 1u : 0u);
        out.write(line, length);
    }
}

// The system's calendar, or a calendar the benchmark moves by hand.
class SteppedClock : public Clock {
public:
    explicit SteppedClock(DateTime start) : now_(start) {}
    DateTime now() const override { return now_; }
    DateTime midnight(const DateTime& time) const override { return systemClock()->midnight(time); }
    void set(const DateTime& time) { now_ = time; }

private:
    DateTime now_;
};

// A sample as a host mostly gets them: replies, now and then a drop or a
// short outage.
std::int32_t nextValue(std::uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    const std::uint32_t roll = (seed >> 8) % 1000;
    return roll < 970 ? static_cast<std::int32_t>(10 + roll % 90) : -static_cast<std::int32_t>(1 + roll % 3);
}

// The store as it ships.
class RealSubject {
public:
    RealSubject(std::shared_ptr<Clock> clock, FilePath directory)
        : writer_(std::make_unique<MinuteWriter>(clock, [directory] { return directory; })),
          store_(std::make_unique<SampleStore>(std::move(clock), [directory] { return directory; }, writer_.get())) {}
    void load(const String& name, const FilePath& path) { store_->loadFile(name, path); }
    void addSample(const String& name, std::int32_t value) { store_->addSample(name, value); }
    std::size_t series(const DateTime& time, const Duration& scale, std::size_t count, const String* name) const {
        return (name ? store_->series(time, scale, count, *name) : store_->series(time, scale, count)).stats.size();
    }

private:
    // As the program has them: the minutes written as they finish.
    std::unique_ptr<MinuteWriter> writer_;
    std::unique_ptr<SampleStore> store_;
};

// The oracle of the tests, reading rows with the two patterns, a lock per row.
class LiteralSubject {
public:
    LiteralSubject(std::shared_ptr<Clock> clock, const FilePath&)
        : clock_(std::move(clock)), store_(clock_->midnight(clock_->now())) {}
    void load(const String& name, const FilePath& path) { literalLoadFile(store_, name, path); }
    void addSample(const String& name, std::int32_t value) { store_.addSample(name, value, clock_->now()); }
    std::size_t series(const DateTime& time, const Duration& scale, std::size_t count, const String* name) const {
        return store_.series(time, static_cast<std::int64_t>(scale.count() / 1000000u), count, name).size();
    }

private:
    std::shared_ptr<Clock> clock_;
    LiteralStore store_;
};

double readAndCountLines(const FilePath& path) {
    std::int64_t lines = 0;
    const double seconds = timed([&] {
        cpp::LineReader reader(cpp::File::openForReading(path, 0, cpp::AsyncIO()), 65536, Duration::milliseconds(200));
        for (const cpp::LineReader::Line& line : reader)
            lines += line.hasLine() ? 1 : 0;
    });
    if (lines == 0)
        std::abort();
    return seconds;
}

// The slowest of series(2000 buckets) over the scales, for the host and for
// all hosts, ending at end.
template <class Subject>
double slowestSeries(const Subject& subject, const DateTime& end, const String& host) {
    double worst = 0;
    for (const Duration& scale : ScaleBuckets::scales()) {
        for (const String* name : {&host, static_cast<const String*>(nullptr)}) {
            constexpr int calls = 50;
            std::size_t got = 0;
            const double seconds = timed([&] {
                for (int i = 0; i < calls; ++i)
                    got += subject.series(end, scale, 2000, name);
            });
            if (got != 2000u * calls)
                std::abort();
            worst = std::max(worst, seconds / calls);
        }
    }
    return worst;
}

struct Files {
    std::filesystem::path folder;
    // Four host-years of the same rows, and a slice of the first rows.
    std::vector<FilePath> hosts;
    FilePath slice;
    std::int64_t sliceRows = 0;
};

// Figures for one kind of store. rows is how many rows each host file that
// it loads holds: the whole year, or a slice that the figures scale up.
template <class Subject>
void measure(const std::string& prefix, const Files& files, bool onSlice) {
    const std::int64_t rows = onSlice ? files.sliceRows : yearRows;
    const double scaleUp = static_cast<double>(yearRows) / static_cast<double>(rows);
    const FilePath one = onSlice ? files.slice : files.hosts[0];
    if (onSlice)
        std::printf("%sextrapolated: the load, memory and exit figures are of a slice of %lld rows, scaled by %.4g\n",
                    prefix.c_str(), static_cast<long long>(rows), scaleUp);
    const FilePath noData(FilePath(files.folder.string()), "no-data/none");

    double read = 1e9;
    for (int i = 0; i < 3; ++i)
        read = std::min(read, readAndCountLines(one));

    // The best of three loads; the memory and the queries of the last.
    double load = 1e9;
    double loadCpu = 1e9;
    std::unique_ptr<Subject> loaded;
    long long bytes = 0;
    for (int i = 0; i < 3; ++i) {
        loaded.reset();
        const long long before = heldBytes.load();
        auto subject = std::make_unique<Subject>(systemClock(), noData);
        // The process's: the store reads and parses on a thread of its own.
        const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        load = std::min(load, timed([&] { subject->load("host0", one); }));
        loadCpu = std::min(loadCpu, cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu);
        bytes = heldBytes.load() - before;
        loaded = std::move(subject);
    }
    print(prefix, "load_year_s", load * scaleUp);
    print(prefix, "load_year_cpu_s", loadCpu * scaleUp);
    print(prefix, "load_rows_per_s", static_cast<double>(rows) / load);
    print(prefix, "load_vs_read_ratio", load / read);
    print(prefix, "loaded_bytes_per_row", static_cast<double>(bytes) / static_cast<double>(rows));

    // The slowest scale, for one host and for all hosts, at the end of the data.
    const DateTime end(Duration::seconds(static_cast<std::uint64_t>(todaysMidnight() - 1)));
    const double worst = slowestSeries(*loaded, end, "host0");
    print(prefix, "series_2000_ms", worst * 1000);
    loaded.reset();

    // Four host-years on two workers, then the store's end.
    {
        auto subject = std::make_unique<Subject>(systemClock(), noData);
        const cpp::Bus bus = cpp::Bus::create(2, "loaders");
        std::latch done(hostsAtOnce);
        const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double four = timed([&] {
            for (int h = 0; h < hostsAtOnce; ++h) {
                const FilePath path = onSlice ? files.slice : files.hosts[static_cast<std::size_t>(h)];
                bus.postWork([&, path, h] {
                    subject->load(String("host%", h), path);
                    done.count_down();
                });
            }
            done.wait();
        });
        const double fourCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
        bus.resize(0);
        print(prefix, "load_4_hosts_s", four * scaleUp);
        print(prefix, "load_4_hosts_cpu_s", fourCpu * scaleUp);
        print(prefix, "destroy_4_years_ms", timed([&] { subject.reset(); }) * 1000 * scaleUp);
    }

    // One host live at a sample a second, its rows written; growth after the first day.
    {
        const std::filesystem::path liveFolder = files.folder / (prefix + "live");
        std::filesystem::create_directories(liveFolder);
        const DateTime start(Duration::seconds(static_cast<std::uint64_t>(todaysMidnight())));
        auto clock = std::make_shared<SteppedClock>(start);
        const long long before = heldBytes.load();
        auto subject = std::make_unique<Subject>(clock, FilePath(liveFolder.string()));
        long long afterFirstDay = 0;
        std::uint32_t seed = 99;
        const double seconds = timed([&] {
            for (std::int64_t second = 0; second < liveDays * 86400; ++second) {
                if (second == 86400)
                    afterFirstDay = heldBytes.load();
                clock->set(start + Duration::seconds(static_cast<std::uint64_t>(second)));
                subject->addSample("live", nextValue(seed));
            }
        });
        const long long grown = heldBytes.load() - afterFirstDay;
        print(prefix, "live_mib_per_host_day", static_cast<double>(grown) / (liveDays - 1) / mib);
        print(prefix, "live_first_day_mib", static_cast<double>(afterFirstDay - before) / mib);
        print(prefix, "live_samples_per_s", liveDays * 86400.0 / seconds);
        print(prefix, "live_series_2000_ms", slowestSeries(*subject, clock->now(), "live") * 1000);
        subject.reset();
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    print(prefix, "peak_rss_mib", static_cast<double>(usage.ru_maxrss) / 1024.0);
}

// Ten hosts live for half a year at a sample a second each, their rows
// written: what the store holds at the end.
void measureMonths(const Files& files) {
    const std::filesystem::path folder = files.folder / "months";
    std::filesystem::create_directories(folder);
    const DateTime start(Duration::seconds(static_cast<std::uint64_t>(todaysMidnight())));
    auto clock = std::make_shared<SteppedClock>(start);
    const long long before = heldBytes.load();
    auto store = std::make_unique<RealSubject>(clock, FilePath(folder.string()));
    std::vector<String> names;
    for (int h = 0; h < monthsHosts; ++h)
        names.push_back(String("host%", h));
    std::uint32_t seed = 7;
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    for (std::int64_t second = 0; second < std::int64_t{monthsDays} * 86400; ++second) {
        clock->set(start + Duration::seconds(static_cast<std::uint64_t>(second)));
        for (const String& name : names)
            store->addSample(name, nextValue(seed));
    }
    print("", "months_resident_mib", static_cast<double>(heldBytes.load() - before) / mib);
    print("", "months_cpu_s", cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu);
    print("", "months_series_2000_ms", slowestSeries(*store, clock->now(), names[0]) * 1000);
    // The oldest seconds, paged in from the session file.
    print("", "months_oldest_series_2000_ms",
          slowestSeries(*store, start + Duration::seconds(2000 * 30), names[0]) * 1000);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    print("", "months_peak_rss_mib", static_cast<double>(usage.ru_maxrss) / 1024.0);
    store.reset();
}

// Runs body in a child process and waits for it.
void inChild(const std::function<void()>& body) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        body();
        std::fflush(stdout);
        std::_Exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "store-bench: a measurement failed\n");
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::int64_t sliceRows = yearRows / 12;
    bool literal = true;
    bool months = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--slice" && i + 1 < argc)
            sliceRows = std::max<std::int64_t>(1440, std::atoll(argv[i + 1]));
        if (std::string(argv[i]) == "--no-literal")
            literal = false;
        if (std::string(argv[i]) == "--no-months")
            months = false;
    }
    Files files;
    files.folder = std::filesystem::temp_directory_path() / ("tarnlet-store-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(files.folder);
    const std::filesystem::path year = files.folder / "host0.txt";
    writeYear(year, yearRows);
    for (int h = 0; h < hostsAtOnce; ++h) {
        const std::filesystem::path copy = files.folder / ("host" + std::to_string(h) + ".txt");
        if (h > 0)
            std::filesystem::copy_file(year, copy);
        files.hosts.emplace_back(copy.string());
    }
    const std::filesystem::path slice = files.folder / "slice.txt";
    writeYear(slice, std::min(sliceRows, yearRows));
    files.slice = FilePath(slice.string());
    files.sliceRows = std::min(sliceRows, yearRows);
    double load[3] = {};
    getloadavg(load, 3);
    std::printf("rows: %lld\nfile_mib: %.3g\nmachine_load_average: %.2f\n", static_cast<long long>(yearRows),
                static_cast<double>(std::filesystem::file_size(year)) / mib, load[0]);

    inChild([&] { measure<RealSubject>("", files, false); });
    inChild([&] {
        // The extra read at the start that lets the newest days load first.
        double plan = 1e9;
        for (int i = 0; i < 3; ++i)
            plan = std::min(plan, timed([&] { load_plan::partsOf(files.hosts[0], DateTime(Duration())); }));
        print("", "plan_year_s", plan);
    });
    if (months)
        inChild([&] { measureMonths(files); });
    if (literal)
        inChild([&] { measure<LiteralSubject>("literal_", files, sliceRows < yearRows); });

    std::printf("start_10_host_years_ratio_target: <= 1.5 (under Wine: bench/start-bench)\n");
    std::filesystem::remove_all(files.folder);
    return 0;
}
