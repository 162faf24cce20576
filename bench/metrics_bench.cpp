// metrics-bench: the metrics page of 500 enabled hosts, written by the
// collector and fetched over loopback from the real server; what the
// observer costs per event; and the heap and resident memory before and
// after a barrage of hostile clients against the server. Prints one
// "name: value" figure per line.
//
// Heap figures are the allocator's bytes in use (mallinfo2), resident ones
// the process's pages (/proc/self/statm).

#include "app/clock.h"
#include "app/host_registry.h"
#include "app/metrics.h"
#include "app/sample_store.h"
#include "cpp/bus.h"
#include "cpp/file_path.h"
#include "cpp/thread.h"

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include <malloc.h>
#include <time.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using asio::ip::tcp;
using SteadyClock = std::chrono::steady_clock;

constexpr int hostCount = 500;

void figure(const char* name, double value) {
    std::printf("%s: %.6g\n", name, value);
}

double microseconds(SteadyClock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

double threadCpuMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

struct Times {
    double median = 0;
    double largest = 0;
    // This thread's CPU time, which the machine's other work does not stretch.
    double cpuMedian = 0;
};

// Runs of call, in µs.
Times timed(int runs, const std::function<void()>& call) {
    std::vector<double> times, cpu;
    for (int run = 0; run < runs; ++run) {
        const auto start = SteadyClock::now();
        const double cpuStart = threadCpuMicroseconds();
        call();
        cpu.push_back(threadCpuMicroseconds() - cpuStart);
        times.push_back(microseconds(SteadyClock::now() - start));
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    return {times[times.size() / 2], times.back(), cpu[cpu.size() / 2]};
}

double heapKiB() {
    return static_cast<double>(mallinfo2().uordblks) / 1024.0;
}

double residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident * sysconf(_SC_PAGESIZE)) / 1024.0;
}

tcp::socket connect(asio::io_context& context, std::uint16_t port) {
    tcp::socket socket(context);
    socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    return socket;
}

// Sends request and reads up to the server's close.
std::string fetch(asio::io_context& context, std::uint16_t port, const std::string& request) {
    tcp::socket socket = connect(context, port);
    asio::write(socket, asio::buffer(request));
    std::string answer;
    asio::error_code ended; // the server's close ends the answer
    asio::read(socket, asio::dynamic_buffer(answer), ended);
    return answer;
}

// Every hostile client at once against the server, each bounded; returns
// when the last has gone.
void barrage(std::uint16_t port) {
    asio::io_context context;
    std::vector<tcp::socket> silent;
    for (int i = 0; i < 200; ++i)
        silent.push_back(connect(context, port));
    std::vector<cpp::Thread> clients;
    for (int i = 0; i < 5; ++i) {
        clients.emplace_back([port] {
            asio::io_context own;
            tcp::socket slow = connect(own, port);
            slow.set_option(asio::socket_base::receive_buffer_size(1024));
            asio::write(slow, asio::buffer(std::string("GET /metrics HTTP/1.1\r\n\r\n")));
            char byte;
            for (int second = 0; second < 4; ++second) {
                asio::error_code ignored; // cut off at the server's time-out
                slow.read_some(asio::buffer(&byte, 1), ignored);
                cpp::Thread::sleep(cpp::Duration::seconds(1));
            }
        });
    }
    for (int i = 0; i < 20; ++i)
        fetch(context, port, "GET /" + std::string(1 << 20, 'a') + " HTTP/1.1\r\n\r\n");
    for (int i = 0; i < 50; ++i)
        fetch(context, port, std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03 garbage \r\n\r\n", 27));
    for (int i = 0; i < 20; ++i) {
        tcp::socket cut = connect(context, port);
        asio::write(cut, asio::buffer(std::string("GET /metrics HTTP/1.1\r\nHo")));
    }
    for (cpp::Thread& client : clients)
        client.join();
}

} // namespace

int main() {
    const cpp::Bus bus = cpp::Bus::create(0, "bench");
    SampleStore store(systemClock(), [] { return cpp::FilePath(cpp::FilePath::temp(), "tarnlet-bench-no-data/missing"); });
    HostRegistry registry(store, systemClock(), bus,
                          {cpp::FilePath("/nonexistent/ping.exe"), cpp::Duration::seconds(3600)});
    MetricsCollector collector(registry, cpp::DateTime());
    registry.addObserver(&collector);
    for (int host = 0; host < hostCount; ++host) {
        const cpp::String name = cpp::String::format("host-%03d.example", host);
        registry.enable(name);
        for (int sample = 0; sample < 60; ++sample)
            registry.recordSample(name, sample % 7 == 0 ? -1 : (host * 7 + sample * 13) % 400);
    }

    const std::size_t pageBytes = collector.page().size();
    figure("hosts", hostCount);
    // Largest times stretch with the machine's other work.
    double load[3] = {};
    getloadavg(load, 3);
    figure("machine_load_average", load[0]);
    figure("page_bytes", static_cast<double>(pageBytes));
    const Times snapshot = timed(200, [&] { (void)collector.snapshot(); });
    figure("snapshot_median_us", snapshot.median);
    figure("snapshot_max_us", snapshot.largest);
    figure("snapshot_cpu_median_us", snapshot.cpuMedian);
    const Times page = timed(200, [&] { (void)collector.page(); });
    figure("page_median_us", page.median);
    figure("page_max_us", page.largest);
    figure("page_cpu_median_us", page.cpuMedian);

    const HostEvent event{HostEvent::Kind::sample, "host-250.example", cpp::DateTime(), 42};
    constexpr int events = 1000000;
    const auto observed = SteadyClock::now();
    for (int i = 0; i < events; ++i)
        collector.hostChanged(event);
    figure("observer_ns_per_sample", microseconds(SteadyClock::now() - observed) * 1000.0 / events);

    cpp::HttpServer::Options options;
    options.connectionTimeout = cpp::Duration::seconds(2);
    const std::unique_ptr<cpp::HttpServer> server = serveMetrics(collector, {"127.0.0.1", 0}, options);
    asio::io_context context;
    const std::string scrape = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::size_t answerBytes = 0;
    const Times http = timed(100, [&] { answerBytes = fetch(context, server->port(), scrape).size(); });
    figure("http_scrape_median_ms", http.median / 1000.0);
    figure("http_scrape_max_ms", http.largest / 1000.0);
    figure("http_answer_bytes", static_cast<double>(answerBytes));

    const double heapBefore = heapKiB(), residentBefore = residentKiB();
    const auto attacked = SteadyClock::now();
    barrage(server->port());
    while (server->load().connections != 0 || server->load().bufferedBytes != 0)
        cpp::Thread::sleep(cpp::Duration::milliseconds(50));
    figure("hostile_settled_after_s", microseconds(SteadyClock::now() - attacked) / 1e6);
    figure("hostile_answered", static_cast<double>(server->load().answered));
    const bool answers = fetch(context, server->port(), scrape).size() == answerBytes;
    figure("hostile_scrape_after_ok", answers ? 1 : 0);
    malloc_trim(0);
    figure("heap_before_hostile_kib", heapBefore);
    figure("heap_after_hostile_kib", heapKiB());
    figure("rss_before_hostile_kib", residentBefore);
    figure("rss_after_hostile_kib", residentKiB());
    registry.stopAll();
    return answers ? 0 : 1;
}
