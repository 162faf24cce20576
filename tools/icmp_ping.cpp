// icmp-ping: stands in for ping.exe in the demo, where Wine's own ping has no
// "-t". Started as ping.exe is ("ping.exe -t <host>"), it sends ICMP echoes
// once a second until killed and writes what ping.exe writes, CR LF line
// ends, each line at once. Without "-t" it stops after four echoes.
//
// It pings loopback only: a host that is not "localhost", an IPv4 address in
// 127.0.0.0/8 or ::1 is answered as ping.exe answers a host it cannot
// resolve, with exit code 1, and nothing is sent anywhere.

#include "cpp/process.h"
#include "cpp/string.h"
#include "cpp/thread.h"
#include "cpp/time.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <icmpapi.h>

#include "cpp/win32/unique_handle.h"

#include <array>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <utility>

namespace {

using cpp::String;

constexpr DWORD echoTimeoutMs = 1000;
const cpp::Duration interval = cpp::Duration::seconds(1);

// The payload ping.exe sends: 32 bytes of the alphabet.
constexpr std::array<char, 32> payload{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p',
                                       'q', 'r', 's', 't', 'u', 'v', 'w', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};

struct Target {
    String name; // as given
    bool named;  // given as a name rather than an address
    std::optional<IN_ADDR> v4;
    std::optional<IN6_ADDR> v6;
};

// The host as a loopback target, or nothing for any other host. No name is
// ever resolved: "localhost" is 127.0.0.1 by definition here.
std::optional<Target> loopbackTarget(const String& host) {
    if (_stricmp(host.c_str(), "localhost") == 0) {
        IN_ADDR address{};
        address.s_addr = htonl(INADDR_LOOPBACK);
        return Target{host, true, address, std::nullopt};
    }
    IN_ADDR v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127) {
        return Target{host, false, v4, std::nullopt};
    }
    IN6_ADDR v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6)) {
        return Target{host, false, std::nullopt, v6};
    }
    return std::nullopt;
}

String addressText(int family, const void* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (!inet_ntop(family, address, text, sizeof text)) {
        return "?";
    }
    return String(text);
}

// One echo's outcome: the status (IP_SUCCESS or an IP_ error), and for an
// answer who sent it, the round trip and, over IPv4, the TTL.
struct Echo {
    DWORD status = IP_GENERAL_FAILURE;
    String from;
    ULONG roundTripMs = 0;
    std::optional<int> ttl;

    static Echo failed(DWORD status) {
        Echo echo;
        echo.status = status;
        return echo;
    }
};

// ICMPV6_ECHO_REPLY, which mingw-w64 lacks, read by its offsets: the packed
// 26-byte IPV6_ADDRESS_EX (the address at 6), then Status at 28 and
// RoundTripTime at 32.
constexpr std::size_t icmp6ReplySize = 36;
constexpr std::size_t icmp6AddressOffset = 6;
constexpr std::size_t icmp6StatusOffset = 28;
constexpr std::size_t icmp6RoundTripOffset = 32;

template <class T>
T readAt(const char* bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

// IcmpCreateFile and Icmp6CreateFile fail with INVALID_HANDLE_VALUE.
struct IcmpTraits : cpp::windows::FileHandleTraits {
    static void close(Type handle) { IcmpCloseHandle(handle); }
};
using IcmpHandle = cpp::windows::UniqueHandle<IcmpTraits>;

class Pinger {
public:
    explicit Pinger(const Target& target)
        : target_(target), icmp_(target_.v4 ? IcmpCreateFile() : Icmp6CreateFile()) {}

    Echo echo() {
        if (!icmp_) {
            return Echo{};
        }
        return target_.v4 ? echo4() : echo6();
    }

private:
    Echo echo4() {
        std::array<char, sizeof(ICMP_ECHO_REPLY) + payload.size() + 64> reply{};
        const DWORD count =
            IcmpSendEcho(icmp_.get(), target_.v4->s_addr, const_cast<char*>(payload.data()), payload.size(), nullptr,
                         reply.data(), reply.size(), echoTimeoutMs);
        if (count == 0) {
            return Echo::failed(GetLastError());
        }
        const auto answer = readAt<ICMP_ECHO_REPLY>(reply.data(), 0);
        IN_ADDR from{};
        from.s_addr = answer.Address;
        return Echo{answer.Status, addressText(AF_INET, &from), answer.RoundTripTime, answer.Options.Ttl};
    }

    Echo echo6() {
        std::array<char, icmp6ReplySize + payload.size() + 64> reply{};
        sockaddr_in6 source{};
        source.sin6_family = AF_INET6;
        sockaddr_in6 destination{};
        destination.sin6_family = AF_INET6;
        destination.sin6_addr = *target_.v6;
        const DWORD count = Icmp6SendEcho2(icmp_.get(), nullptr, nullptr, nullptr, &source, &destination,
                                           const_cast<char*>(payload.data()), payload.size(), nullptr, reply.data(),
                                           reply.size(), echoTimeoutMs);
        if (count == 0) {
            return Echo::failed(GetLastError());
        }
        const auto from = readAt<IN6_ADDR>(reply.data(), icmp6AddressOffset);
        return Echo{readAt<ULONG>(reply.data(), icmp6StatusOffset), addressText(AF_INET6, &from),
                    readAt<ULONG>(reply.data(), icmp6RoundTripOffset), std::nullopt};
    }

    Target target_;
    IcmpHandle icmp_;
};

// The line ping.exe writes for an echo.
String describe(const Echo& echo) {
    switch (echo.status) {
    case IP_SUCCESS: {
        const String time = echo.roundTripMs < 1 ? String("time<1ms") : String("time=%ms", echo.roundTripMs);
        if (echo.ttl) {
            return String("Reply from %: bytes=% % TTL=%", echo.from, payload.size(), time, *echo.ttl);
        }
        return String("Reply from %: %", echo.from, time);
    }
    case IP_REQ_TIMED_OUT:
        return "Request timed out.";
    case IP_DEST_HOST_UNREACHABLE:
        return String("Reply from %: Destination host unreachable.", echo.from);
    case IP_DEST_NET_UNREACHABLE:
        return String("Reply from %: Destination net unreachable.", echo.from);
    default:
        return "PING: transmit failed. General failure. ";
    }
}

void put(const cpp::Output& out, const String& text) {
    out.put(String("%\r\n", text));
}

String banner(const Target& target) {
    if (target.named) {
        return String("Pinging % [%] with % bytes of data:", target.name, addressText(AF_INET, &*target.v4),
                      payload.size());
    }
    return String("Pinging % with % bytes of data:", target.name, payload.size());
}

} // namespace

int main(int argc, char** argv) {
    try {
        const cpp::Output out = cpp::PipeOutput::standardOutput();
        bool forever = false;
        std::optional<String> host;
        for (int i = 1; i < argc; ++i) {
            const String argument(argv[i]);
            if (argument == "-t" || argument == "/t") {
                forever = true;
            } else {
                host = argument;
            }
        }
        if (!host) {
            put(out, "Usage: ping [-t] target_name");
            return 1;
        }
        const std::optional<Target> target = loopbackTarget(*host);
        if (!target) {
            put(out, String("Ping request could not find host %. Please check the name and try again.", *host));
            return 1;
        }
        put(out, "");
        put(out, banner(*target));
        Pinger pinger(*target);
        for (int sent = 0; forever || sent < 4; ++sent) {
            const cpp::Stopwatch round;
            put(out, describe(pinger.echo()));
            cpp::Thread::sleep(interval - round.elapsed());
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "icmp-ping: " << error.what() << "\n";
        return 2;
    }
}
