#include "cpp/win32/http_detail.h"

#include "cpp/exception.h"
#include "cpp/win32/windows_exception.h"

#include <algorithm>

namespace cpp {

namespace {

// Reload from the server and ask caches not to answer; over HTTPS also accept
// certificates with a wrong date or name.
constexpr DWORD plainFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD secureFlags =
    plainFlags | INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;

// WinInet cancels what is outstanding when a handle closes, but a system that
// leaves a dead server's request pending must not hold a closing caller.
const Duration closeWaitLimit = Duration::seconds(1);

} // namespace

std::shared_ptr<Http::Detail::Request> Http::Detail::Request::send(HINTERNET connection, const CrackedUrl& url,
                                                                   const String& headers, const Duration& timeout) {
    auto request = std::make_shared<Request>(headers, timeout);
    const Stopwatch watch;
    try {
        request->openHandle(connection, url);
        request->sendHead(watch);
        request->endRequest(watch);
        request->checkStatus();
    } catch (...) {
        request->close();
        throw;
    }
    return request;
}

Http::Detail::Request::Request(const String& headers, const Duration& timeout)
    : headers_(headers.toWide()), timeout_(timeout) {}

Http::Detail::Request::~Request() {
    close();
}

DWORD_PTR Http::Detail::Request::context() {
    return reinterpret_cast<DWORD_PTR>(this);
}

void Http::Detail::Request::openHandle(HINTERNET connection, const CrackedUrl& url) {
    const bool secure = url.scheme == INTERNET_SCHEME_HTTPS;
    const std::wstring object = url.path + url.extra;
    InterruptibleLock lock(mutex_);
    handle_ = windows::InternetHandle(HttpOpenRequestW(connection, L"GET", object.c_str(), L"HTTP/1.0", nullptr,
                                                       nullptr, secure ? secureFlags : plainFlags, context()));
    if (!handle_) {
        storeError(GetLastError());
        throwIfFailed();
    }
    if (secure) {
        // Best effort: without it only certificates of unknown authorities fail.
        DWORD security = 0;
        DWORD size = sizeof security;
        if (InternetQueryOptionW(handle_.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, &size)) {
            security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
            InternetSetOptionW(handle_.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);
        }
    }
}

void Http::Detail::Request::sendHead(const Stopwatch& watch) {
    InterruptibleLock lock(mutex_);
    sendBuffers_.dwStructSize = sizeof sendBuffers_;
    sendBuffers_.lpcszHeader = headers_.empty() ? nullptr : headers_.c_str();
    sendBuffers_.dwHeadersLength = static_cast<DWORD>(headers_.size());
    runOperation(lock, watch, [this] { return HttpSendRequestExW(handle_.get(), &sendBuffers_, nullptr, 0, context()); });
}

void Http::Detail::Request::endRequest(const Stopwatch& watch) {
    InterruptibleLock lock(mutex_);
    runOperation(lock, watch, [this] { return HttpEndRequestW(handle_.get(), nullptr, 0, context()); });
}

template <class Call>
void Http::Detail::Request::runOperation(InterruptibleLock& lock, const Stopwatch& watch, Call call) {
    pending_ = true;
    if (call()) {
        pending_ = false;
    } else if (const DWORD error = GetLastError(); error == ERROR_IO_PENDING) {
        // The callback needs the lock held here, so it cannot have run yet.
        keepAlive_ = shared_from_this();
    } else {
        pending_ = false;
        storeError(error);
    }
    while (pending_ && watch.elapsed() < timeout_) {
        waitFor(lock, changed_, timeout_ - watch.elapsed());
    }
    throwIfFailed();
    if (pending_) {
        throw TimeoutException("The operation timed out");
    }
}

void Http::Detail::Request::checkStatus() {
    InterruptibleLock lock(mutex_);
    DWORD bytes = 0;
    // Fails by design: it only tells the size.
    HttpQueryInfoW(handle_.get(), HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &bytes, nullptr);
    std::wstring raw(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(raw.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(handle_.get(), HTTP_QUERY_RAW_HEADERS_CRLF, raw.data(), &bytes, nullptr)) {
        storeError(GetLastError());
        throwIfFailed();
    }
    raw.resize(bytes / sizeof(wchar_t));
    headers_ = raw;
    const String text(raw);
    const std::vector<TextSpan> status = text.search("HTTP(\\S+)\\s(\\S+)\\s(.*)\\r\\n");
    if (status.size() == 4) {
        const std::int64_t code = String(status[2]).toInteger();
        if (code != 200) {
            throw Http::Exception(String(status[3]), static_cast<std::int32_t>(code), text);
        }
    }
    // The body streams in from here on, while the caller consumes it.
    startRead();
}

bool Http::Detail::Request::isOpen() {
    const InterruptibleLock lock(mutex_, false);
    return handle_ || !buffer_.empty();
}

TextSpan Http::Detail::Request::read(std::span<char> destination, const Duration& timeout) {
    InterruptibleLock lock(mutex_);
    const Stopwatch watch;
    for (;;) {
        if (!buffer_.empty()) {
            const TextSpan copied = buffer_.take(destination);
            // A full buffer stopped the read chain; the room just made restarts it.
            startRead();
            return copied;
        }
        if (!handle_ || watch.elapsed() >= timeout) {
            throwIfFailed();
            return TextSpan(destination.data(), destination.data());
        }
        waitFor(lock, changed_, timeout - watch.elapsed());
    }
}

void Http::Detail::Request::close() {
    windows::InternetHandle closing;
    {
        const InterruptibleLock lock(mutex_, false);
        closing = std::move(handle_);
    }
    const bool closed = closing.valid();
    // Outside the lock, in case WinInet reports the cancelled operation on
    // this very thread.
    closing.reset();
    InterruptibleLock lock(mutex_, false);
    // Only the close that closed the handle waits; a later one returns at once.
    const Duration limit = closed ? std::min(timeout_, closeWaitLimit) : Duration();
    const Stopwatch watch;
    while (pending_ && watch.elapsed() < limit) {
        waitFor(lock, changed_, limit - watch.elapsed());
    }
    // A read still outstanding writes into the buffer, which lives on with
    // the keep-alive; its bytes are ignored when they come.
    buffer_.clear();
}

void Http::Detail::Request::complete(DWORD error) {
    // Declared before the lock, so that a request that only WinInet still
    // held goes after the lock is released.
    std::shared_ptr<Request> ended;
    const InterruptibleLock lock(mutex_, false);
    pending_ = false;
    if (error != 0) {
        readPending_ = false;
        storeError(error);
        handle_.reset();
    } else if (readPending_) {
        readPending_ = false;
        // A closed handle means the caller gave up on the body.
        if (handle_) {
            if (bytesRead_ != 0) {
                buffer_.commit(bytesRead_);
            } else {
                handle_.reset();
            }
            startRead();
        }
    }
    if (!pending_) {
        ended = std::move(keepAlive_);
    }
    changed_.notify_all();
}

void Http::Detail::Request::startRead() {
    while (handle_ && !readPending_) {
        const std::span<char> room = buffer_.freeSpace();
        if (room.empty()) {
            return;
        }
        readPending_ = true;
        pending_ = true;
        if (InternetReadFile(handle_.get(), room.data(), static_cast<DWORD>(room.size()), &bytesRead_)) {
            readPending_ = false;
            pending_ = false;
            if (bytesRead_ == 0) {
                handle_.reset();
            } else {
                buffer_.commit(bytesRead_);
            }
        } else if (const DWORD error = GetLastError(); error == ERROR_IO_PENDING) {
            keepAlive_ = shared_from_this();
        } else {
            readPending_ = false;
            pending_ = false;
            storeError(error);
            handle_.reset();
        }
    }
}

void Http::Detail::Request::storeError(DWORD code) {
    if (!error_) {
        error_ = std::make_shared<Http::Exception>(windows::systemMessage(code), 400, String(headers_));
    }
}

void Http::Detail::Request::throwIfFailed() const {
    if (error_) {
        throw *error_;
    }
}

} // namespace cpp
