#include "cpp/thread_name.h"

#include <pthread.h>

namespace cpp::detail {

void setThreadName(const String& name) {
    // Linux refuses names longer than 15 bytes; cut at a character boundary
    // so that tools still see valid UTF-8.
    constexpr std::size_t limit = 15;
    std::size_t length = name.size() < limit ? name.size() : limit;
    while (length > 0 && length < name.size() && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;
    }
    const std::string cut = name.substr(0, length);
    pthread_setname_np(pthread_self(), cut.c_str());
}

} // namespace cpp::detail
