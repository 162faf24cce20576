#pragma once

#include "cpp/exception.h"
#include "cpp/stream.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace cpp {

// A small HTTP/1.0 client over the system's asynchronous HTTP library
// (Windows only). Copies share the root handle and one connection per server
// ("host:port"), which later requests to that server reuse.
class Http {
public:
    // A response with a status other than 200 (message: the reason phrase,
    // value: the status, text: the raw response headers), or a failure of the
    // transport (message: the system's text for its error, value 400, text:
    // the request's header buffer).
    class Exception : public cpp::Exception {
    public:
        Exception(String message, std::int32_t value, String text)
            : cpp::Exception(std::move(message)), value_(value), text_(std::move(text)) {}

        std::int32_t value() const { return value_; }
        const String& text() const { return text_; }

    private:
        std::int32_t value_;
        String text_;
    };

    class Detail;

    Http();

    // Opens the root handle with userAgent, direct (no proxy) and
    // asynchronous; does nothing when it is open already. Throws
    // cpp::windows::Exception.
    void open(const String& userAgent);

    // Sends a GET for url with the extra request headers (CRLF-separated
    // lines, may be empty) and waits for the response head; each wait is
    // bounded by timeout. Returns the body as an input whose reads wait at
    // most their own time-out: an empty read is the end of the body when the
    // input is no longer open, else a time-out. Throws Http::Exception for a
    // status other than 200 or a transport failure, TimeoutException "The
    // operation timed out" when the server does not answer in time,
    // cpp::windows::Exception for a URL that cannot be cracked or a
    // connection that cannot be made, InterruptException when the calling
    // thread is interrupted.
    Input request(const String& url, const String& headers, const Duration& timeout);

    // The servers this client holds a connection for.
    std::size_t connectionCount() const;

private:
    std::shared_ptr<Detail> detail_;
};

} // namespace cpp
