#include "cpp/http_server.h"

#include "cpp/exception.h"
#include "cpp/thread.h"

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/buffer.hpp>
#include <asio/write.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace cpp {
namespace {

using asio::ip::tcp;
using namespace std::chrono_literals;

// A client whose every step is bounded, on a service of its own, so that a
// server at fault fails the test instead of hanging it.
class Client {
public:
    explicit Client(std::uint16_t port, std::size_t receiveBuffer = 0) {
        socket_.open(tcp::v4());
        if (receiveBuffer != 0)
            socket_.set_option(asio::socket_base::receive_buffer_size(static_cast<int>(receiveBuffer)));
        socket_.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    }

    // False if the bytes could not all be written within timeout.
    bool send(const std::string& bytes, std::chrono::milliseconds timeout = 10s) {
        const auto done = std::make_shared<bool>(false);
        asio::async_write(socket_, asio::buffer(bytes), [done](const asio::error_code&, std::size_t) { *done = true; });
        return wait(*done, timeout);
    }

    // What arrives up to the server's close, or up to max bytes; empty
    // (and closed() false) if nothing came within timeout.
    std::string receive(std::size_t max = 64 << 20, std::chrono::milliseconds timeout = 10s) {
        const auto state = std::make_shared<Reading>();
        asio::async_read(socket_, asio::dynamic_buffer(state->buffer, max),
                         [state](const asio::error_code& error, std::size_t n) {
            state->size = n;
            state->closed = static_cast<bool>(error);
            state->done = true;
        });
        if (!wait(state->done, timeout)) {
            socket_.cancel();
            wait(state->done, 10s);
        }
        closed_ = state->closed && state->done && state->size < max;
        return state->buffer.substr(0, state->size);
    }

    bool closed() const { return closed_; }

private:
    struct Reading {
        std::string buffer;
        std::size_t size = 0;
        bool closed = false;
        bool done = false;
    };

    bool wait(const bool& done, std::chrono::milliseconds timeout) {
        context_.restart();
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done && std::chrono::steady_clock::now() < deadline)
            context_.run_one_until(deadline);
        return done;
    }

    asio::io_context context_;
    tcp::socket socket_{context_};
    bool closed_ = false;
};

std::string exchange(std::uint16_t port, const std::string& request) {
    Client client(port);
    EXPECT_TRUE(client.send(request));
    return client.receive();
}

bool settles(const HttpServer& server, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const HttpServer::Load load = server.load();
        if (load.connections == 0 && load.bufferedBytes == 0)
            return true;
        Thread::sleep(Duration::milliseconds(20));
    }
    return false;
}

class HttpServerTest : public ::testing::Test {
protected:
    static std::optional<HttpServer::Page> pages(TextSpan path) {
        if (path.view() == "/page")
            return HttpServer::Page{"text/plain; version=0.0.4", "hello\n"};
        if (path.view() == "/big")
            return HttpServer::Page{"text/plain", String(std::string(16 << 20, 'x'))};
        if (path.view() == "/throws")
            throw Exception("no page");
        return std::nullopt;
    }

    HttpServer::Options options() const {
        HttpServer::Options made;
        made.connectionTimeout = Duration::seconds(1);
        return made;
    }

    HttpServer server{"127.0.0.1", 0, pages, options()};
};

TEST_F(HttpServerTest, AnswersGetAndHeadAndRefusesWhatItCannotServe) {
    const std::string page = "Content-Type: text/plain; version=0.0.4\r\nContent-Length: 6\r\nConnection: close\r\n\r\n";
    const struct {
        const char* request;
        std::string answer;
    } cases[] = {
        {"GET /page HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 200 OK\r\n" + page + "hello\n"},
        {"HEAD /page HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\n" + page},
        {"GET /page?x=1 HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK\r\n" + page + "hello\n"},
        {"GET /other HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
        {"POST /page HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", "HTTP/1.1 405 Method Not Allowed\r\n"},
        {"DELETE /page HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed\r\n"},
        {"\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03", "HTTP/1.1 400 Bad Request\r\n"},
        {"GET /page HTTP/1.1\r\nNo colon here\r\n\r\n", "HTTP/1.1 400 Bad Request\r\n"},
        {"GET /throws HTTP/1.1\r\n\r\n", "HTTP/1.1 500 Internal Server Error\r\n"},
    };
    for (const auto& c : cases) {
        const std::string answer = exchange(server.port(), c.request);
        EXPECT_EQ(answer.substr(0, c.answer.size()), c.answer) << c.request;
    }
    EXPECT_NE(exchange(server.port(), "PUT / HTTP/1.1\r\n\r\n").find("\r\nAllow: GET, HEAD\r\n"), std::string::npos);
    EXPECT_EQ(server.load().answered, std::size(cases) + 1);
    EXPECT_TRUE(settles(server));
}

TEST_F(HttpServerTest, RefusesAOneMebibyteHeadAndReadsTheRestAway) {
    Client client(server.port());
    // The server reads on after its answer, so the whole head can be sent.
    EXPECT_TRUE(client.send("GET /" + std::string(1 << 20, 'a') + " HTTP/1.1\r\n\r\n"));
    const std::string answer = client.receive(4096, 2s);
    EXPECT_EQ(answer.substr(0, 46), "HTTP/1.1 431 Request Header Fields Too Large\r\n");
    EXPECT_TRUE(settles(server));
}

TEST_F(HttpServerTest, TwoHundredSilentConnectionsLeaveRoomForAScrapeAndGoAtTheTimeOut) {
    std::vector<std::unique_ptr<Client>> silent;
    for (int i = 0; i < 200; ++i)
        silent.push_back(std::make_unique<Client>(server.port()));
    const std::string answer = exchange(server.port(), "GET /page HTTP/1.1\r\n\r\n");
    EXPECT_EQ(answer.substr(0, 17), "HTTP/1.1 200 OK\r\n");
    EXPECT_LE(server.load().connections, HttpServer::Options().maxConnections);
    // Still open on the client's side, but let go of by the server.
    EXPECT_TRUE(settles(server));
    EXPECT_EQ(silent.back()->receive(1, 1s), "");
    EXPECT_TRUE(silent.back()->closed());
}

TEST_F(HttpServerTest, SilentConnectionsMakeRoomByClosingEachOtherAndNotAnAnswerUnderWay) {
    HttpServer patient("127.0.0.1", 0, pages);
    // A window far smaller than the answer keeps it under way.
    Client reader(patient.port(), 16 * 1024);
    ASSERT_TRUE(reader.send("GET /big HTTP/1.1\r\n\r\n"));
    std::string answer = reader.receive(1);
    ASSERT_EQ(answer, "H");
    std::vector<std::unique_ptr<Client>> silent;
    for (int i = 0; i < 40; ++i)
        silent.push_back(std::make_unique<Client>(patient.port()));
    answer += reader.receive();
    EXPECT_EQ(answer.size(), answer.find("\r\n\r\n") + 4 + (16u << 20));
    EXPECT_EQ(silent.front()->receive(1, 1s), "");
    EXPECT_TRUE(silent.front()->closed());
}

TEST_F(HttpServerTest, ASlowReaderIsCutOffAtTheTimeOutWhileOthersAreServed) {
    Client slow(server.port(), 1024);
    ASSERT_TRUE(slow.send("GET /big HTTP/1.1\r\n\r\n"));
    std::size_t read = 0;
    for (int second = 0; second < 3; ++second) {
        read += slow.receive(1, 2s).size();
        EXPECT_EQ(exchange(server.port(), "GET /page HTTP/1.1\r\n\r\n").substr(0, 17), "HTTP/1.1 200 OK\r\n");
        Thread::sleep(Duration::seconds(1));
    }
    EXPECT_EQ(read, 3u);
    // The answer's memory went with the connection, though the client would
    // still read what the system had taken on its way.
    EXPECT_TRUE(settles(server, 2s));
}

TEST_F(HttpServerTest, ARequestCutInTheMiddleIsLetGoOfAtOnce) {
    {
        Client client(server.port());
        ASSERT_TRUE(client.send("GET /page HTTP/1.1\r\nHo"));
    }
    EXPECT_TRUE(settles(server, 500ms));
    EXPECT_EQ(exchange(server.port(), "GET /page HTTP/1.1\r\n\r\n").substr(0, 17), "HTTP/1.1 200 OK\r\n");
}

TEST_F(HttpServerTest, ClosesWithConnectionsStillOpen) {
    std::vector<std::unique_ptr<Client>> open;
    for (int i = 0; i < 5; ++i) {
        open.push_back(std::make_unique<Client>(server.port()));
        open.back()->send("GET /pa");
    }
    auto second = std::make_unique<HttpServer>("127.0.0.1", 0, pages);
    Client held(second->port());
    held.send("GET /page HTTP/1.1\r\n");
    second.reset();
    EXPECT_EQ(held.receive(1, 2s), "");
    EXPECT_TRUE(held.closed());
}

TEST_F(HttpServerTest, SaysWhyItCannotListen) {
    const struct {
        const char* address;
        std::uint16_t port;
        const char* says;
    } cases[] = {
        {"127.0.0.1", server.port(), "Cannot listen on 127.0.0.1:"},
        {"localhost", 0, "Cannot listen on localhost: not a numeric address"},
        {"", 0, "Cannot listen on : not a numeric address"},
    };
    for (const auto& c : cases) {
        try {
            HttpServer(c.address, c.port, pages);
            ADD_FAILURE() << c.address << " listened";
        } catch (const IOException& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, std::string(c.says).size()), c.says);
        }
    }
}

} // namespace
} // namespace cpp
