#include "cpp/file_path_platform.h"

#include "cpp/exception.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace cpp::detail {

String currentDirectory() {
    std::string buffer(256, '\0');
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) {
            throw IOException(String("Unable to read the current directory: %", std::strerror(errno)));
        }
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return String(std::move(buffer));
}

String temporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? String(folder) : String("/tmp");
}

} // namespace cpp::detail
