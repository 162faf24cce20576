#include "ui/win32/image_cache.h"

#include "cpp/win32/com_pointer.h"
#include "cpp/win32/windows_exception.h"

#include <wincodec.h>

#include <cstring>

namespace ui {

using cpp::windows::checkResult;
using cpp::windows::ComPointer;

namespace {

// A stream over a copy of the resource's bytes in movable global memory,
// which the stream frees when it is released.
ComPointer<IStream> resourceStream(HMODULE module, std::int32_t id) {
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!resource) {
        throw cpp::windows::Exception();
    }
    const DWORD size = SizeofResource(module, resource);
    const HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) {
        // LockResource sets no error of its own.
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        throw cpp::windows::Exception();
    }
    const HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    void* target = copy ? GlobalLock(copy) : nullptr;
    if (!target) {
        const cpp::windows::Exception failure;
        if (copy) {
            GlobalFree(copy);
        }
        throw failure;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(copy);
    ComPointer<IStream> stream;
    const HRESULT result = CreateStreamOnHGlobal(copy, TRUE, stream.typedOut());
    if (FAILED(result)) {
        GlobalFree(copy);
        checkResult(result);
    }
    return stream;
}

// Decodes the single frame of a PNG to a 32-bit premultiplied top-down DIB
// section compatible with the screen.
cpp::windows::BitmapHandle decodePng(IStream* stream) {
    ComPointer<IWICBitmapDecoder> decoder;
    checkResult(CoCreateInstance(CLSID_WICPngDecoder, nullptr, CLSCTX_INPROC_SERVER, IID_IWICBitmapDecoder,
                           decoder.out()));
    checkResult(decoder->Initialize(stream, WICDecodeMetadataCacheOnLoad));
    UINT frames = 0;
    checkResult(decoder->GetFrameCount(&frames));
    if (frames != 1) {
        throw cpp::windows::Exception(static_cast<std::int32_t>(WINCODEC_ERR_BADIMAGE));
    }
    ComPointer<IWICBitmapFrameDecode> frame;
    checkResult(decoder->GetFrame(0, frame.typedOut()));
    ComPointer<IWICBitmapSource> converted;
    checkResult(WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, frame.get(), converted.typedOut()));
    UINT width = 0;
    UINT height = 0;
    checkResult(converted->GetSize(&width, &height));

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    // Negative: rows top-down, as WIC gives them.
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    cpp::windows::BitmapHandle bitmap(
        CreateDIBSection(cpp::windows::ScreenDc(GetDC(nullptr)).get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) {
        throw cpp::windows::Exception();
    }
    const UINT stride = width * 4;
    checkResult(converted->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)));
    return bitmap;
}

} // namespace

ImageCache::ImageCache(HMODULE module) : module_(module ? module : GetModuleHandleW(nullptr)) {}

ImageCache::~ImageCache() = default;

void ImageCache::load(std::int32_t id) {
    const ComPointer<IStream> stream = resourceStream(module_, id);
    bitmaps_[id] = decodePng(stream.get());
}

HBITMAP ImageCache::byId(std::int32_t id) {
    return bitmaps_[id].get();
}

} // namespace ui
