#pragma once

#include "cpp/string.h"

#include <functional>

// The entry point's handler: runs body, and tells the user of anything it
// throws with "An error occured: %" (the exception's message) or "An unknown
// error occured". An interruption is the quiet end of a run that handed over
// to another copy, and tells nothing.
void runAsLastResort(const std::function<void()>& body, const std::function<void(const cpp::String&)>& tellUser);
