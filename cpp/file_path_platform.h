#pragma once

#include "cpp/string.h"

// What FilePath asks of the operating system; each back end implements it.
namespace cpp::detail {

// The process's current directory in the system's own form. Throws on failure.
String currentDirectory();

// The folder for temporary files in the system's own form (it may end in a
// separator). Throws on failure.
String temporaryFolder();

} // namespace cpp::detail
