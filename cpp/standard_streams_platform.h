#pragma once

#include "cpp/standard_streams.h"

#include <cstddef>
#include <span>

// What the standard streams ask of the operating system; each back end
// implements it.
namespace cpp::detail {

// A duplicate of the process's standard input handle, or null when there is
// none or it is a console.
StandardInputOwner openStandardInput();

struct StandardInputRead {
    std::size_t count; // bytes placed at the front of the buffer
    bool ended;        // the input has ended or failed
};

// Takes what the input has ready now without waiting for more: a count of 0
// without ended means nothing has arrived yet.
StandardInputRead readStandardInput(StandardInputHandle& input, std::span<char> buffer);

} // namespace cpp::detail
