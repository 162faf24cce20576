#include "cpp/standard_streams_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace cpp::detail {

struct StandardInputHandle {
    int descriptor;
};

void StandardInputHandleFree::operator()(StandardInputHandle* handle) const noexcept {
    ::close(handle->descriptor);
    delete handle;
}

StandardInputOwner openStandardInput() {
    // A terminal is the console of this back end.
    if (isatty(STDIN_FILENO)) {
        return nullptr;
    }
    const int descriptor = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    return descriptor < 0 ? nullptr : StandardInputOwner(new StandardInputHandle{descriptor});
}

StandardInputRead readStandardInput(StandardInputHandle& input, std::span<char> buffer) {
    const int descriptor = input.descriptor;
    pollfd ready{descriptor, POLLIN, 0};
    const int polled = poll(&ready, 1, 0);
    if (polled < 0) {
        return {0, errno != EINTR && errno != EAGAIN};
    }
    if (polled == 0) {
        return {0, false};
    }
    if (ready.revents & POLLNVAL) {
        return {0, true};
    }
    // Readable, hung up or failed: the read tells which.
    const ssize_t count = ::read(descriptor, buffer.data(), buffer.size());
    if (count > 0) {
        return {static_cast<std::size_t>(count), false};
    }
    if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
        return {0, false};
    }
    return {0, true};
}

} // namespace cpp::detail
