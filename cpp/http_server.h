#pragma once

#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace cpp {

// A small HTTP/1.x server for read-only pages, on an asio service and a
// thread of its own, so that no client can hold up its owner's threads. It
// answers one request per connection and closes it. A client gets a bounded
// share: at most maxConnections are open (a new one closes the oldest), each
// is closed when its request and answer take longer than connectionTimeout,
// and a request head over headLimit bytes is refused with 431.
class HttpServer {
public:
    struct Options {
        std::size_t maxConnections = 16;
        Duration connectionTimeout = Duration::seconds(10);
        std::size_t headLimit = 8 * 1024;
    };

    struct Page {
        String contentType;
        String body;
    };

    // Called on the server's thread for each GET or HEAD with the request's
    // path (the target up to its query); no page is a 404. It may throw: the
    // client then gets 500.
    using Pages = std::function<std::optional<Page>(TextSpan path)>;

    // What the server holds now, for tests and benchmarks.
    struct Load {
        std::size_t connections = 0;
        // Request bytes read and answer bytes not yet sent.
        std::size_t bufferedBytes = 0;
        std::uint64_t answered = 0;
    };

    // Listens on address (numeric IPv4 or IPv6) and port (0: any free one)
    // and starts serving. Throws IOException naming the address when it
    // cannot listen (a port in use, an address not on this machine).
    HttpServer(const String& address, std::uint16_t port, Pages pages, Options options);
    HttpServer(const String& address, std::uint16_t port, Pages pages);
    // Closes every connection and joins the thread.
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // The port listened on.
    std::uint16_t port() const;
    Load load() const;

    class Detail;

private:
    std::unique_ptr<Detail> detail_;
};

} // namespace cpp
