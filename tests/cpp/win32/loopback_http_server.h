#pragma once

#include "cpp/string.h"

#include <asio.hpp>

#include <array>
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace cpp::test {

// An HTTP server on 127.0.0.1 (a free port) for the client's tests, run on a
// thread of its own. It answers every request with the one response it was
// given and closes the connection; or it sends that response and holds the
// connection open, so a body can stop half-way; or, told to stay silent, it
// reads the request and never answers.
class LoopbackHttpServer {
public:
    LoopbackHttpServer() : acceptor_(context_, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0)) {
        accept();
        thread_ = std::thread([this] { context_.run(); });
    }

    ~LoopbackHttpServer() {
        context_.stop();
        thread_.join();
    }

    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::uint16_t port() const { return acceptor_.local_endpoint().port(); }
    String url(const String& path) const { return String("http://127.0.0.1:%%", port(), path); }

    // A whole raw response, status line included; with hold, the
    // connection stays open after it.
    void respond(String response, bool hold = false) {
        const std::lock_guard lock(mutex_);
        response_ = std::move(response);
        hold_ = hold;
        silent_ = false;
    }

    // A response with a body and its length.
    void respond(std::int32_t status, const String& reason, const String& body) {
        respond(String("HTTP/1.1 % %\r\nContent-Type: text/plain\r\nContent-Length: %\r\nConnection: close\r\n\r\n%",
                       status, reason, body.size(), body));
    }

    // More bytes on every held connection, as a body that goes on.
    void sendToHeld(const String& text) {
        asio::post(context_, [this, text] {
            for (const auto& connection : heldConnections_) {
                auto bytes = std::make_shared<std::string>(text);
                asio::async_write(connection->socket, asio::buffer(*bytes),
                                  [bytes](const asio::error_code&, std::size_t) {});
            }
        });
    }

    void staySilent() {
        const std::lock_guard lock(mutex_);
        silent_ = true;
    }

    // The head of the last request answered or held.
    String lastRequest() {
        const std::lock_guard lock(mutex_);
        return lastRequest_;
    }

    // Connections accepted so far.
    int connections() const { return connections_.load(); }
    // Held connections that the client has closed.
    int closedByClient() const { return closedByClient_.load(); }

    // A port on 127.0.0.1 where nothing listens: taken from the system, then let go.
    static std::uint16_t closedPort() {
        asio::io_context context;
        asio::ip::tcp::acceptor acceptor(context, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
        return acceptor.local_endpoint().port();
    }

private:
    struct Connection {
        explicit Connection(asio::io_context& context) : socket(context) {}
        asio::ip::tcp::socket socket;
        std::string request;
        std::string response;
        std::array<char, 256> ignored;
    };

    void accept() {
        auto connection = std::make_shared<Connection>(context_);
        acceptor_.async_accept(connection->socket, [this, connection](const asio::error_code& error) {
            if (error) {
                return;
            }
            ++connections_;
            readHead(connection);
            accept();
        });
    }

    void readHead(const std::shared_ptr<Connection>& connection) {
        asio::async_read_until(connection->socket, asio::dynamic_buffer(connection->request), "\r\n\r\n",
                               [this, connection](const asio::error_code& error, std::size_t) {
                                   if (!error) {
                                       answer(connection);
                                   }
                               });
    }

    void answer(const std::shared_ptr<Connection>& connection) {
        bool hold = false;
        {
            const std::lock_guard lock(mutex_);
            lastRequest_ = connection->request;
            if (hold_ || silent_) {
                // Open until the server goes.
                heldConnections_.push_back(connection);
                watchForClose(connection);
            }
            if (silent_) {
                return;
            }
            connection->response = response_;
            hold = hold_;
        }
        asio::async_write(connection->socket, asio::buffer(connection->response),
                          [connection, hold](const asio::error_code&, std::size_t) {
                              if (hold) {
                                  return;
                              }
                              asio::error_code ignored; // the client may have gone already
                              connection->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
                              connection->socket.close(ignored);
                          });
    }

    // Counts the client's close of a held connection; what it sends is ignored.
    void watchForClose(const std::shared_ptr<Connection>& connection) {
        connection->socket.async_read_some(asio::buffer(connection->ignored),
                                           [this, connection](const asio::error_code& error, std::size_t) {
                                               if (error) {
                                                   ++closedByClient_;
                                               } else {
                                                   watchForClose(connection);
                                               }
                                           });
    }

    asio::io_context context_;
    asio::ip::tcp::acceptor acceptor_;
    std::thread thread_;
    std::mutex mutex_;
    String response_ = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    String lastRequest_;
    bool hold_ = false;
    bool silent_ = false;
    std::list<std::shared_ptr<Connection>> heldConnections_;
    std::atomic<int> connections_{0};
    std::atomic<int> closedByClient_{0};
};

} // namespace cpp::test
