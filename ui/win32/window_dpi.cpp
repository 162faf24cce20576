#include "ui/win32/window_dpi.h"

#include "cpp/win32/unique_handle.h"
#include "cpp/win32/windows_exception.h"
#include "ui/status_image.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

namespace ui {

namespace {

template <typename Function>
Function user32Function(const char* name) {
    // Through void*: GetProcAddress's own type is a function of no arguments.
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

BOOL CALLBACK collectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

} // namespace

Dpi systemDpi() {
    using ForSystem = UINT(WINAPI*)();
    static const auto forSystem = user32Function<ForSystem>("GetDpiForSystem");
    if (forSystem)
        return Dpi{static_cast<std::int32_t>(forSystem())};
    const cpp::windows::ScreenDc screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : Dpi::standard;
    return Dpi{dpi > 0 ? dpi : Dpi::standard};
}

Dpi dpiOf(HWND window) {
    using ForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = user32Function<ForWindow>("GetDpiForWindow");
    if (forWindow && window) {
        // 0 for a window handle that is not one.
        if (const UINT dpi = forWindow(window))
            return Dpi{static_cast<std::int32_t>(dpi)};
    }
    return systemDpi();
}

int systemMetric(int index, const Dpi& dpi) {
    using ForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi = user32Function<ForDpi>("GetSystemMetricsForDpi");
    if (forDpi)
        return forDpi(index, static_cast<UINT>(dpi.value));
    return MulDiv(GetSystemMetrics(index), dpi.value, systemDpi().value);
}

void keepDialogScalingToItself(HWND dialog) {
    using Behaviour = BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
    static const auto set = user32Function<Behaviour>("SetDialogDpiChangeBehavior");
    if (set)
        set(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
}

std::vector<cpp::windows::FontHandle> rescaleFonts(HWND window, const Dpi& from, const Dpi& to) {
    std::vector<HWND> controls;
    EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&controls));
    std::vector<cpp::windows::FontHandle> made;
    std::map<HFONT, HFONT> scaled;
    for (const HWND control : controls) {
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        LOGFONTW description{};
        if (!font || !GetObjectW(font, sizeof(description), &description))
            continue;
        HFONT& replacement = scaled[font];
        if (!replacement) {
            description.lfHeight = from.convert(description.lfHeight, to);
            description.lfWidth = from.convert(description.lfWidth, to);
            made.emplace_back(CreateFontIndirectW(&description));
            replacement = made.back().get();
        }
        if (replacement)
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(replacement), TRUE);
    }
    return made;
}

HBITMAP statusBitmap(int index, int size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    // Negative: top-down, as the pixels are drawn.
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits)
        throw cpp::windows::Exception();
    const std::vector<std::uint32_t> pixels = statusImage(index, size);
    std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
    return bitmap;
}

HIMAGELIST statusImageList(const Dpi& dpi) {
    const int size = systemMetric(SM_CXSMICON, dpi);
    cpp::windows::ImageListHandle list(ImageList_Create(size, size, ILC_COLOR32, statusImageCount, 0));
    if (!list)
        throw cpp::windows::Exception();
    for (int index = 0; index < statusImageCount; ++index) {
        const cpp::windows::BitmapHandle bitmap(statusBitmap(index, size));
        ImageList_Add(list.get(), bitmap.get(), nullptr);
    }
    return list.release();
}

} // namespace ui
