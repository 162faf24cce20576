#pragma once

#include "cpp/data_buffer.h"
#include "cpp/http.h"
#include "cpp/thread.h"
#include "cpp/win32/unique_handle.h"

#include <windows.h>
#include <wininet.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace cpp {

// The parts of a URL a request needs, as WinInet cracks them.
struct CrackedUrl {
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    INTERNET_PORT port = 0;
    std::wstring host;
    std::wstring path;
    std::wstring extra;

    // Throws cpp::windows::Exception when WinInet cannot crack url.
    static CrackedUrl crack(const String& url);
};

class Http::Detail {
public:
    class Request;

    ~Detail();

    void open(const String& userAgent);
    Input request(const String& url, const String& headers, const Duration& timeout);
    std::size_t connectionCount() const;

private:
    // The connection handle for host and port, made on first use.
    HINTERNET connect(const CrackedUrl& url);

    mutable std::mutex mutex_;
    windows::InternetHandle root_;
    std::map<String, windows::InternetHandle> connections_;
};

// One GET request: sent while it is made, then read as an input. WinInet
// completes its operations on its own threads through the status callback;
// every field is guarded by mutex_.
class Http::Detail::Request : public Input::Source, public std::enable_shared_from_this<Request> {
public:
    static constexpr std::size_t bufferSize = 65536;

    // Sends the request on connection and checks its status; throws as
    // Http::request says.
    static std::shared_ptr<Request> send(HINTERNET connection, const CrackedUrl& url, const String& headers,
                                         const Duration& timeout);

    Request(const String& headers, const Duration& timeout);
    ~Request() override;

    bool isOpen() override;
    TextSpan read(std::span<char> destination, const Duration& timeout) override;
    // Closes the handle and waits, bounded, for WinInet to finish what is
    // outstanding; then drops the buffered bytes.
    void close() override;

    // From the status callback: the operation in progress ended with error
    // (0 for success).
    void complete(DWORD error);

private:
    // WinInet's context for this request's operations.
    DWORD_PTR context();

    void openHandle(HINTERNET connection, const CrackedUrl& url);
    void sendHead(const Stopwatch& watch);
    void endRequest(const Stopwatch& watch);
    // Raw response headers into headers_; a status other than 200 throws.
    void checkStatus();

    // The rest run under the lock.
    // Starts an operation with call and waits, bounded by the time-out, for
    // it to complete; throws what it failed with, or the time-out.
    template <class Call>
    void runOperation(InterruptibleLock& lock, const Stopwatch& watch, Call call);
    // Keeps reading into the buffer's free room until a read is outstanding,
    // the room is gone or the body has ended.
    void startRead();
    // Keeps the first failure, for the caller's thread to throw.
    void storeError(DWORD code);
    void throwIfFailed() const;

    // The caller's extra headers; after the response, its raw headers.
    std::wstring headers_;
    const Duration timeout_;
    windows::InternetHandle handle_;
    INTERNET_BUFFERSW sendBuffers_{};
    bool pending_ = false;
    bool readPending_ = false;
    DWORD bytesRead_ = 0;
    DataBuffer buffer_{bufferSize};
    std::shared_ptr<Http::Exception> error_;
    // WinInet holds a raw pointer to this request as its context while an
    // operation is outstanding, so the request keeps itself alive until the
    // completion arrives, however long that takes.
    std::shared_ptr<Request> keepAlive_;
    std::mutex mutex_;
    std::condition_variable changed_;
};

} // namespace cpp
