#pragma once
// An Enhanced Protected Mode tab as the platform makes one (Wine makes
// none): the token says AppContainer, and the container's registry storage
// and folder are the test's own.
#include <windows.h>

#include <string>

#include "AppContainer.h"

// The test's stand-in for the container's registry storage, under HKCU.
inline constexpr char kTestContainerStorage[] = "Software\\NorvaneTestContainerStorage";

class ScopedAppContainer {
public:
    explicit ScopedAppContainer(const std::string& folder) : saved_(AppContainer())
    {
        Folder() = folder;
        AppContainer() = {[] { return true; }, &Storage,
                          [] { return std::wstring(Folder().begin(), Folder().end()); }};
    }
    ~ScopedAppContainer() { AppContainer() = saved_; }
    ScopedAppContainer(const ScopedAppContainer&) = delete;
    ScopedAppContainer& operator=(const ScopedAppContainer&) = delete;

private:
    static std::string& Folder()
    {
        static std::string folder;
        return folder;
    }
    static HRESULT Storage(REGSAM access, HKEY* key)
    {
        return HRESULT_FROM_WIN32(
            RegCreateKeyExA(HKEY_CURRENT_USER, kTestContainerStorage, 0, nullptr, 0, access, nullptr, key, nullptr));
    }
    AppContainerApi saved_;
};
