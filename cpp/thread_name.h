#pragma once

#include "cpp/string.h"

namespace cpp::detail {

// Tells the system, and any attached debugger, the calling thread's name.
// Names are for people only: a refusal is ignored.
void setThreadName(const String& name);

} // namespace cpp::detail
