#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// What the standard streams ask of the operating system; each back end
// implements it.
namespace cpp::detail {

inline constexpr std::intptr_t noStandardInput = -1;

// A duplicate of the process's standard input handle, owned by the caller, or
// noStandardInput when there is none or it is a console.
std::intptr_t openStandardInput();

struct StandardInputRead {
    std::size_t count; // bytes placed at the front of the buffer
    bool ended;        // the input has ended or failed
};

// Takes what the input has ready now without waiting for more: a count of 0
// without ended means nothing has arrived yet.
StandardInputRead readStandardInput(std::intptr_t handle, std::span<char> buffer);

void closeStandardInput(std::intptr_t handle);

} // namespace cpp::detail
