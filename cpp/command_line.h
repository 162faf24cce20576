#pragma once

#include "cpp/string.h"

#include <vector>

namespace cpp {

// Splits a command line into arguments by the rules of Windows command lines:
// blanks and tabs separate outside double quotes; 2n backslashes before a
// quote give n backslashes and the quote toggles quoting; 2n+1 give n and a
// literal quote; other backslashes are literal. Empty arguments are dropped.
std::vector<String> splitCommandLine(TextSpan commandLine);

} // namespace cpp
