#include "cpp/program_paths.h"

#include <climits>
#include <unistd.h>

namespace cpp::detail {

String programFilePath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    return length > 0 ? String(TextSpan(buffer, buffer + length)) : String();
}

String workingDirectoryPath() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? String(buffer) : String();
}

} // namespace cpp::detail
