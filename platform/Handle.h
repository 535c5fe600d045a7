#pragma once
// Owners for the plain Win32 handles the code opens and must close on every
// path, one kind of handle each. Each kind's Invalid() is what the calls
// that open it return on failure, so an owner tests true only for a handle
// that opened; the names are ComPtr's (Get, Put, Reset, Detach).
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
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        Reset(other.Detach());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    T Get() const { return handle_; }
    // For out parameters: closes what is held and hands out the slot.
    T* Put()
    {
        Reset();
        return &handle_;
    }
    // Gives the handle up without closing it.
    T Detach() { return std::exchange(handle_, Traits::Invalid()); }
    void Reset(T handle = Traits::Invalid())
    {
        if (handle_ != Traits::Invalid())
            Traits::Close(handle_);
        handle_ = handle;
    }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }

private:
    T handle_ = Traits::Invalid();
};

// CreateFile: INVALID_HANDLE_VALUE on failure.
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
// CreateMutex, CreateEvent, OpenProcess and the like: null on failure.
struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
// LoadLibrary: null on failure.
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};

// A registry key, closed through the registry table (real by default), so a
// test that counts or fails registry calls sees every close. RegOpenKeyEx
// and RegCreateKeyEx leave it null on failure and say why in their result.
struct RegistryKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY key) { Registry().CloseKey(key); }
};
// A GDI object: a brush, a font, a bitmap; null on failure.
template <typename T>
struct GdiObjectTraits {
    static T Invalid() { return nullptr; }
    static void Close(T object) { DeleteObject(object); }
};
// CreateCompatibleDC: null on failure.
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
