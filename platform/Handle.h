#pragma once
// Owners for the plain Win32 handles the code opens and must close on every path.
#include <windows.h>

#include <utility>

#include "RegistryApi.h"

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    T get() const { return handle_; }
    T* put()
    {
        reset();
        return &handle_;
    }
    T release() { return std::exchange(handle_, Traits::Invalid()); }
    void reset(T handle = Traits::Invalid())
    {
        if (handle_ != Traits::Invalid())
            Traits::Close(handle_);
        handle_ = handle;
    }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }

private:
    T handle_ = Traits::Invalid();
};

struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};

// A registry key, closed through the registry table (real by default), so a
// test that counts or fails registry calls sees every close.
struct RegistryKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY key) { Registry().CloseKey(key); }
};
// A GDI object: a brush, a font, a bitmap.
template <typename T>
struct GdiObjectTraits {
    static T Invalid() { return nullptr; }
    static void Close(T object) { DeleteObject(object); }
};
struct MemoryDcTraits {
    static HDC Invalid() { return nullptr; }
    static void Close(HDC dc) { DeleteDC(dc); }
};

using FileHandle = UniqueHandle<HANDLE, FileHandleTraits>;
using KernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using LibraryHandle = UniqueHandle<HMODULE, ModuleTraits>;
using RegistryKey = UniqueHandle<HKEY, RegistryKeyTraits>;
using BrushHandle = UniqueHandle<HBRUSH, GdiObjectTraits<HBRUSH>>;
using BitmapHandle = UniqueHandle<HBITMAP, GdiObjectTraits<HBITMAP>>;
using FontHandle = UniqueHandle<HFONT, GdiObjectTraits<HFONT>>;
using MemoryDc = UniqueHandle<HDC, MemoryDcTraits>;
