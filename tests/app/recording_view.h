#pragma once

#include "app/host_view.h"

#include <utility>
#include <vector>

// The window's host list as the registry tells it: every update, in order.
class RecordingView : public HostView {
public:
    void updateHost(const cpp::String& name, std::int32_t value) override { updates.emplace_back(name, value); }

    std::vector<std::int32_t> values() const {
        std::vector<std::int32_t> result;
        for (const auto& update : updates)
            result.push_back(update.second);
        return result;
    }

    std::vector<std::pair<cpp::String, std::int32_t>> updates;
};
