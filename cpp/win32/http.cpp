#include "cpp/http.h"

#include "cpp/logger.h"
#include "cpp/win32/http_detail.h"
#include "cpp/win32/windows_exception.h"

#include <exception>

namespace cpp {

namespace {

// Runs on WinInet's threads. Only the completion of an asynchronous
// operation matters; its context is the request that started it, kept alive
// by that request until this call.
void CALLBACK statusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information, DWORD) {
    if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0 || information == nullptr) {
        return;
    }
    try {
        const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(information);
        reinterpret_cast<Http::Detail::Request*>(context)->complete(result->dwError);
    } catch (const std::exception& error) {
        warning(error.what());
    }
}

} // namespace

CrackedUrl CrackedUrl::crack(const String& url) {
    constexpr DWORD partSize = 1024;
    wchar_t host[partSize];
    wchar_t path[partSize];
    wchar_t extra[partSize];
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = partSize;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = partSize;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = partSize;
    const std::wstring wide = url.toWide();
    if (!InternetCrackUrlW(wide.c_str(), 0, ICU_DECODE | ICU_ESCAPE, &parts)) {
        throw windows::Exception();
    }
    return CrackedUrl{parts.nScheme, parts.nPort, std::wstring(host, parts.dwHostNameLength),
                      std::wstring(path, parts.dwUrlPathLength), std::wstring(extra, parts.dwExtraInfoLength)};
}

// Connections go before the root handle they were made from, and the
// callback is taken off the root before it closes.
Http::Detail::~Detail() {
    connections_.clear();
    if (root_) {
        InternetSetStatusCallbackW(root_.get(), nullptr);
        root_.reset();
    }
}

void Http::Detail::open(const String& userAgent) {
    const std::lock_guard lock(mutex_);
    if (root_) {
        return;
    }
    windows::InternetHandle root(
        InternetOpenW(userAgent.toWide().c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!root) {
        throw windows::Exception();
    }
    if (InternetSetStatusCallbackW(root.get(), &statusCallback) == INTERNET_INVALID_STATUS_CALLBACK) {
        throw windows::Exception();
    }
    root_ = std::move(root);
}

Input Http::Detail::request(const String& url, const String& headers, const Duration& timeout) {
    const CrackedUrl cracked = CrackedUrl::crack(url);
    std::shared_ptr<Request> request = Request::send(connect(cracked), cracked, headers, timeout);
    // The caller's handle closes the request when its last copy goes, even
    // while the request lives on for an operation WinInet has outstanding.
    Request* const source = request.get();
    return Input(std::shared_ptr<Request>(source, [owner = std::move(request)](Request* open) { open->close(); }));
}

HINTERNET Http::Detail::connect(const CrackedUrl& url) {
    const std::lock_guard lock(mutex_);
    const String key("%:%", String(url.host), url.port);
    const auto found = connections_.find(key);
    if (found != connections_.end()) {
        return found->second.get();
    }
    windows::InternetHandle connection(InternetConnectW(root_.get(), url.host.c_str(), url.port, nullptr, nullptr,
                                                        INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        throw windows::Exception();
    }
    return connections_.emplace(key, std::move(connection)).first->second.get();
}

std::size_t Http::Detail::connectionCount() const {
    const std::lock_guard lock(mutex_);
    return connections_.size();
}

Http::Http() : detail_(std::make_shared<Detail>()) {}

void Http::open(const String& userAgent) {
    detail_->open(userAgent);
}

Input Http::request(const String& url, const String& headers, const Duration& timeout) {
    return detail_->request(url, headers, timeout);
}

std::size_t Http::connectionCount() const {
    return detail_->connectionCount();
}

} // namespace cpp
