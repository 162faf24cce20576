#include "cpp/http_server.h"

#include "cpp/exception.h"
#include "cpp/http_request_head.h"
#include "cpp/thread.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <list>

namespace cpp {

namespace {

using asio::ip::tcp;

std::chrono::microseconds chronoOf(const Duration& duration) {
    return std::chrono::microseconds(static_cast<std::int64_t>(duration.count()));
}

class Connection;
using Connections = std::list<std::shared_ptr<Connection>>;

} // namespace

class HttpServer::Detail {
public:
    Detail(const String& address, std::uint16_t port, Pages pages, Options options);
    ~Detail();

    void accept();

    asio::io_context context;
    asio::executor_work_guard<asio::io_context::executor_type> work{context.get_executor()};
    tcp::acceptor acceptor{context};
    // After a failed accept (out of sockets, say), so that it is not retried
    // in a busy loop.
    asio::steady_timer acceptPause{context};
    const Pages pages;
    const Options options;
    std::uint16_t port = 0;
    // Oldest first; only the server's thread touches it while it runs.
    Connections connections;
    std::atomic<std::size_t> connectionCount{0};
    std::atomic<std::size_t> bufferedBytes{0};
    std::atomic<std::uint64_t> answered{0};
    Thread thread;
};

namespace {

// One client's connection: its request head is read, one answer written,
// what the client still sends read and dropped until it closes, and all of
// it within the server's connection time-out.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(HttpServer::Detail& server, tcp::socket socket)
        : server_(server), socket_(std::move(socket)), deadline_(server.context) {}

    void start(Connections::iterator self) {
        self_ = self;
        server_.connectionCount += 1;
        deadline_.expires_after(chronoOf(server_.options.connectionTimeout));
        deadline_.async_wait([self = shared_from_this()](const asio::error_code& error) {
            if (!error)
                self->close();
        });
        read();
    }

    // Once its request has come: the answer is on its way.
    bool answering() const { return answering_; }

    // Idempotent; the server's list lets go of the connection here.
    void close() {
        if (!open_)
            return;
        const std::shared_ptr<Connection> keep = shared_from_this();
        open_ = false;
        asio::error_code ignored; // the socket goes either way
        socket_.close(ignored);
        deadline_.cancel();
        release(received_);
        release(answer_);
        server_.connectionCount -= 1;
        server_.connections.erase(self_);
    }

private:
    void read() {
        socket_.async_read_some(asio::buffer(chunk_),
                                [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
                                    self->onRead(error, size);
                                });
    }

    void onRead(const asio::error_code& error, std::size_t size) {
        if (!open_)
            return;
        if (error) {
            close();
            return;
        }
        received_.append(chunk_.data(), size);
        server_.bufferedBytes += size;
        const RequestHead head = RequestHead::scan(received_.span(), server_.options.headLimit);
        switch (head.state) {
        case RequestHead::State::incomplete:
            read();
            return;
        case RequestHead::State::malformed:
            answerText(400, "Bad Request");
            return;
        case RequestHead::State::tooLarge:
            answerText(431, "Request Header Fields Too Large");
            return;
        case RequestHead::State::complete:
            answer(head);
            return;
        }
    }

    void answer(const RequestHead& head) {
        answering_ = true;
        const bool headOnly = head.method == "HEAD";
        if (head.method != "GET" && !headOnly) {
            answerText(405, "Method Not Allowed", "Allow: GET, HEAD\r\n");
            return;
        }
        std::optional<HttpServer::Page> page;
        try {
            page = server_.pages(head.path());
        } catch (const std::exception&) {
            answerText(500, "Internal Server Error");
            return;
        }
        if (!page) {
            answerText(404, "Not Found");
            return;
        }
        send(200, "OK", *page, headOnly, "");
    }

    void answerText(std::int32_t status, const char* reason, const char* headers = "") {
        answering_ = true;
        send(status, reason, {"text/plain; charset=utf-8", String("%\n", reason)}, false, headers);
    }

    void send(std::int32_t status, const char* reason, const HttpServer::Page& page, bool headOnly,
              const char* headers) {
        release(received_);
        answer_ = String("HTTP/1.1 % %\r\nContent-Type: %\r\nContent-Length: %\r\n%Connection: close\r\n\r\n", status,
                         reason, page.contentType, page.body.size(), headers);
        if (!headOnly)
            answer_ += page.body;
        server_.bufferedBytes += answer_.size();
        asio::async_write(socket_, asio::buffer(answer_),
                          [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                              self->onSent(error);
                          });
    }

    void onSent(const asio::error_code& error) {
        if (!open_)
            return;
        release(answer_);
        if (error) {
            close();
            return;
        }
        server_.answered += 1;
        // Closing with request bytes unread would reset the connection and
        // could lose the answer on its way; the client closes first instead.
        asio::error_code ignored; // a client gone already is closed below
        socket_.shutdown(tcp::socket::shutdown_send, ignored);
        drain();
    }

    void drain() {
        socket_.async_read_some(asio::buffer(chunk_),
                                [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                                    if (!self->open_)
                                        return;
                                    if (error)
                                        self->close();
                                    else
                                        self->drain();
                                });
    }

    void release(String& text) {
        server_.bufferedBytes -= text.size();
        String().swap(text);
    }

    HttpServer::Detail& server_;
    tcp::socket socket_;
    asio::steady_timer deadline_;
    Connections::iterator self_;
    bool open_ = true;
    bool answering_ = false;
    std::array<char, 4096> chunk_{};
    String received_;
    String answer_;
};

} // namespace

HttpServer::Detail::Detail(const String& address, std::uint16_t port, Pages pages, Options options)
    : pages(std::move(pages)), options(options) {
    asio::error_code error;
    const asio::ip::address ip = asio::ip::make_address(address, error);
    if (error)
        throw IOException(String("Cannot listen on %: not a numeric address", address));
    const tcp::endpoint endpoint(ip, port);
    // No SO_REUSEADDR: on Windows it would let another program take the port
    // from under us.
    acceptor.open(endpoint.protocol(), error);
    if (!error)
        acceptor.bind(endpoint, error);
    if (!error)
        acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error)
        throw IOException(String("Cannot listen on %:%: %", address, port, error.message()));
    this->port = acceptor.local_endpoint().port();
    accept();
    thread = Thread([this] {
        Thread::setName("HTTP server");
        for (;;) {
            try {
                context.run();
                return;
            } catch (const std::exception&) {
                // A handler failed (out of memory, say): the others go on.
            }
        }
    });
}

HttpServer::Detail::~Detail() {
    context.stop();
    thread.join();
    asio::error_code ignored; // closing for good
    acceptor.close(ignored);
    while (!connections.empty())
        connections.front()->close();
}

void HttpServer::Detail::accept() {
    acceptor.async_accept([this](const asio::error_code& error, tcp::socket socket) {
        if (error == asio::error::operation_aborted)
            return;
        if (error) {
            acceptPause.expires_after(std::chrono::milliseconds(100));
            acceptPause.async_wait([this](const asio::error_code& waited) {
                if (!waited)
                    accept();
            });
            return;
        }
        if (connections.size() >= options.maxConnections) {
            // The oldest that has not asked for anything yet, so that a flood
            // of silent clients cannot cut off a scrape being answered.
            const auto idle = std::find_if(connections.begin(), connections.end(),
                                           [](const auto& connection) { return !connection->answering(); });
            (idle == connections.end() ? connections.front() : *idle)->close();
        }
        connections.push_back(std::make_shared<Connection>(*this, std::move(socket)));
        connections.back()->start(std::prev(connections.end()));
        accept();
    });
}

HttpServer::HttpServer(const String& address, std::uint16_t port, Pages pages, Options options)
    : detail_(std::make_unique<Detail>(address, port, std::move(pages), options)) {}

HttpServer::HttpServer(const String& address, std::uint16_t port, Pages pages)
    : HttpServer(address, port, std::move(pages), Options()) {}

HttpServer::~HttpServer() = default;

std::uint16_t HttpServer::port() const {
    return detail_->port;
}

HttpServer::Load HttpServer::load() const {
    return {detail_->connectionCount.load(), detail_->bufferedBytes.load(), detail_->answered.load()};
}

} // namespace cpp
