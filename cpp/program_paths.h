#pragma once

#include "cpp/string.h"

namespace cpp::detail {

// The full path of the program file and the working directory, in the
// system's form; empty when the system cannot tell.
String programFilePath();
String workingDirectoryPath();

} // namespace cpp::detail
