#include "install/win32/update_check.h"

#include "cpp/exception.h"
#include "cpp/http.h"
#include "cpp/logger.h"
#include "install/version.h"

#include <array>

namespace install {

namespace {

// A version file is a few bytes; what a wrong site sends beyond this is not
// read, so it cannot fill memory.
constexpr std::size_t versionFileLimit = 64 * 1024;

// The body up to its end or the limit, which must come within timeout: a
// site that trickles bytes cannot hold the worker.
cpp::String readAll(const cpp::Input& body, const cpp::Duration& timeout) {
    cpp::String text;
    std::array<char, 4096> piece;
    const cpp::Stopwatch watch;
    for (;;) {
        const cpp::TextSpan got = body.read(piece, timeout - watch.elapsed());
        if (!got.empty()) {
            text += cpp::String(got);
            if (text.size() >= versionFileLimit)
                return text.substr(0, versionFileLimit);
        } else if (!body.isOpen()) {
            return text;
        } else if (watch.elapsed() >= timeout) {
            throw cpp::TimeoutException("The operation timed out");
        }
    }
}

} // namespace

cpp::String updateUrl(const cpp::PropertyMap& commandLine) {
    const cpp::TextSpan given = commandLine.get("--updateUrl");
    if (!given.empty()) {
        return cpp::String(given);
    }
    return cpp::String("%/version.txt", TARNLET_SITE);
}

void checkForUpdate(const cpp::String& url, const std::function<void()>& showNotice) {
    try {
        const Version own = Version::find(TARNLET_VERSION);
        cpp::Http http;
        http.open(TARNLET_NAME);
        const cpp::Input body = http.request(url, "", updateCheckTimeout);
        if (Version::find(readAll(body, updateCheckTimeout)) > own) {
            showNotice();
        }
    } catch (const cpp::InterruptException&) {
        // The worker is being stopped; that is not a failed check.
        throw;
    } catch (const cpp::Exception& error) {
        cpp::debug(cpp::String("Error: %\n", error.what()));
    }
}

} // namespace install
