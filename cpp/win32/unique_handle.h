#pragma once

#include <utility>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <wininet.h>

namespace cpp::windows {

// Owns one system resource and frees it once, the one way Traits says:
// Traits::Type is the resource, Traits::invalid() the value an empty owner
// holds, Traits::owns(value) whether a value is a resource to free at all,
// Traits::close(value) frees it. Move-only.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Type get() const { return value_; }
    bool valid() const { return Traits::owns(value_); }
    explicit operator bool() const { return valid(); }
    // Gives the resource up without freeing it.
    Type release() { return std::exchange(value_, Traits::invalid()); }
    // Frees what is held, then holds value.
    void reset(Type value = Traits::invalid()) {
        const Type previous = std::exchange(value_, value);
        if (Traits::owns(previous)) {
            Traits::close(previous);
        }
    }
    // Where a creating call puts the resource; frees what was held first.
    Type* out() {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::invalid();
};

// A resource whose only empty value is null.
template <typename T>
struct NullIsEmpty {
    using Type = T;
    static Type invalid() { return nullptr; }
    static bool owns(Type value) { return value != nullptr; }
};

// Kernel object handles. Some calls fail with null (CreateMutexW,
// CreateProcessW's handles), others with INVALID_HANDLE_VALUE (CreateFileW):
// neither is ever closed, so an owner is safe whichever a call returned.
struct KernelHandleOwnership {
    using Type = HANDLE;
    static bool owns(Type handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void close(Type handle) { CloseHandle(handle); }
};
// Empty is null, what most creating calls fail with.
struct KernelHandleTraits : KernelHandleOwnership {
    static Type invalid() { return nullptr; }
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
// Empty is INVALID_HANDLE_VALUE, what CreateFileW fails with.
struct FileHandleTraits : KernelHandleOwnership {
    static Type invalid() { return INVALID_HANDLE_VALUE; }
};
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;

// A search of FindFirstFileW, which fails with INVALID_HANDLE_VALUE.
struct FindTraits : FileHandleTraits {
    static void close(Type search) { FindClose(search); }
};
using UniqueFind = UniqueHandle<FindTraits>;

// An opened registry key. The predefined roots belong to the system and are
// never closed, so an owner may hold one too.
struct RegistryKeyTraits : NullIsEmpty<HKEY> {
    static bool owns(Type key) {
        return key != nullptr && key != HKEY_CLASSES_ROOT && key != HKEY_CURRENT_USER &&
               key != HKEY_LOCAL_MACHINE && key != HKEY_USERS && key != HKEY_CURRENT_CONFIG &&
               key != HKEY_PERFORMANCE_DATA;
    }
    static void close(Type key) { RegCloseKey(key); }
};
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;

// A WinInet handle. Closing one makes WinInet cancel what is outstanding on it.
struct InternetTraits : NullIsEmpty<HINTERNET> {
    static void close(Type handle) { InternetCloseHandle(handle); }
};
using InternetHandle = UniqueHandle<InternetTraits>;

template <typename T>
struct GdiObjectTraits : NullIsEmpty<T> {
    static void close(T object) { DeleteObject(object); }
};
using BitmapHandle = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using FontHandle = UniqueHandle<GdiObjectTraits<HFONT>>;
using PenHandle = UniqueHandle<GdiObjectTraits<HPEN>>;

// A device context of CreateCompatibleDC.
struct MemoryDcTraits : NullIsEmpty<HDC> {
    static void close(Type dc) { DeleteDC(dc); }
};
using MemoryDc = UniqueHandle<MemoryDcTraits>;

// The screen's device context of GetDC(nullptr).
struct ScreenDcTraits : NullIsEmpty<HDC> {
    static void close(Type dc) { ReleaseDC(nullptr, dc); }
};
using ScreenDc = UniqueHandle<ScreenDcTraits>;

struct MenuTraits : NullIsEmpty<HMENU> {
    static void close(Type menu) { DestroyMenu(menu); }
};
using MenuHandle = UniqueHandle<MenuTraits>;

// Only for icons made or loaded without LR_SHARED: shared ones must not be
// destroyed.
struct IconTraits : NullIsEmpty<HICON> {
    static void close(Type icon) { DestroyIcon(icon); }
};
using IconHandle = UniqueHandle<IconTraits>;

struct ImageListTraits : NullIsEmpty<HIMAGELIST> {
    static void close(Type list) { ImageList_Destroy(list); }
};
using ImageListHandle = UniqueHandle<ImageListTraits>;

struct WindowTraits : NullIsEmpty<HWND> {
    static void close(Type window) { DestroyWindow(window); }
};
using WindowHandle = UniqueHandle<WindowTraits>;

// Memory the shell or COM allocated for the caller to free.
template <typename T>
struct CoTaskMemTraits : NullIsEmpty<T*> {
    static void close(T* memory) { CoTaskMemFree(memory); }
};
template <typename T>
using CoTaskMem = UniqueHandle<CoTaskMemTraits<T>>;

// Selects an object into a device context and selects back what was there
// before when it ends: an object still selected cannot be deleted, and a
// borrowed context must be handed back as it came. Move-only.
class SelectedObject {
public:
    SelectedObject() = default;
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    SelectedObject(SelectedObject&& other) noexcept
        : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr)) {}
    SelectedObject& operator=(SelectedObject&& other) noexcept {
        if (this != &other) {
            restore();
            dc_ = std::exchange(other.dc_, nullptr);
            previous_ = std::exchange(other.previous_, nullptr);
        }
        return *this;
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() { restore(); }

private:
    void restore() {
        if (dc_ && previous_) {
            SelectObject(dc_, std::exchange(previous_, nullptr));
        }
    }

    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

} // namespace cpp::windows
