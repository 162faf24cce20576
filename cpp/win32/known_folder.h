#pragma once

#include "cpp/file_path.h"

#include <windows.h>

namespace cpp::windows {

// Any known folder by its published identifier. Throws Exception from the
// HRESULT ("hresult: 0x…") when the system does not know it.
FilePath knownFolder(const GUID& id);

} // namespace cpp::windows
