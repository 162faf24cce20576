#pragma once

#include "cpp/win32/unique_handle.h"
#include "ui/dpi.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

namespace ui {

// The one place the program learns a DPI: the window's own where the
// system tells it (GetDpiForWindow, Windows 10 1607 and later, looked up at
// run time), else the system's.
Dpi dpiOf(HWND window);
Dpi systemDpi();

// A system metric (SM_CXSMICON...) at dpi: GetSystemMetricsForDpi where the
// system has it, else the system-DPI metric scaled.
int systemMetric(int index, const Dpi& dpi);

// Turns off what Windows 10 1703 and later do to a dialog when its DPI
// changes (its controls moved, resized and given new fonts), for a dialog
// that does it itself.
void keepDialogScalingToItself(HWND dialog);

// Gives every control in window (at any depth) that has a font of its own
// that font made anew at to from the one at from; controls that share a
// font share the new one. Returns the new fonts, to be kept while the
// controls use them (and the fonts they had before dropped only then).
std::vector<cpp::windows::FontHandle> rescaleFonts(HWND window, const Dpi& from, const Dpi& to);

// A bitmap of 32-bit premultiplied pixels as ui/status_image.h draws them.
// Throws cpp::windows::Exception when it cannot be made.
HBITMAP statusBitmap(int index, int size);

// The status images at the small-icon size of dpi, in image-list order.
// Throws cpp::windows::Exception when it cannot be made.
HIMAGELIST statusImageList(const Dpi& dpi);

} // namespace ui
