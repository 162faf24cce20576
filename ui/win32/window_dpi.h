#pragma once

#include "ui/dpi.h"

#include <windows.h>
#include <commctrl.h>

namespace ui {

// The one place the program learns a DPI: the window's own where the
// system tells it (GetDpiForWindow, Windows 10 1607 and later, looked up at
// run time), else the system's.
Dpi dpiOf(HWND window);
Dpi systemDpi();

// A system metric (SM_CXSMICON...) at dpi: GetSystemMetricsForDpi where the
// system has it, else the system-DPI metric scaled.
int systemMetric(int index, const Dpi& dpi);

// A bitmap of 32-bit premultiplied pixels as ui/status_image.h draws them.
// Throws cpp::windows::Exception when it cannot be made.
HBITMAP statusBitmap(int index, int size);

// The status images at the small-icon size of dpi, in image-list order.
// Throws cpp::windows::Exception when it cannot be made.
HIMAGELIST statusImageList(const Dpi& dpi);

} // namespace ui
