#pragma once

#include "cpp/string.h"

#include <cstdint>

// What the model needs of the window: redraw one host's row. Called on the
// window thread only, through tasks on the bus; the main window implements it.
class HostView {
public:
    virtual ~HostView() = default;

    // value is the sample just stored, or -1 to show the host as lost.
    virtual void updateHost(const cpp::String& name, std::int32_t value) = 0;
};
