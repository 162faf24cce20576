#pragma once

#include "cpp/string.h"
#include "cpp/time.h"

#include <optional>
#include <vector>

// The graph scales as the main window's combo box lists them.
namespace ui {

// The text of every scale of the sample store, smallest first.
std::vector<cpp::String> scaleTexts();
// The first scale whose text is exactly text; nothing when none is.
std::optional<cpp::Duration> scaleByText(const cpp::String& text);

} // namespace ui
