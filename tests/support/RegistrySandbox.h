#pragma once
// Gives a test an empty registry key and puts back exactly what was there
// before when the test ends.
#include <windows.h>

#include <string>

#include "RegistryApi.h"

class RegistrySandbox {
public:
    RegistrySandbox(HKEY root, std::string path);
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

private:
    HKEY root_;
    std::string path_;
    std::string backup_;
    bool existed_ = false;
};

// Direct registry helpers for arranging and checking a test's registry.
void SetDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
void SetRaw(HKEY root, const std::string& key, const std::string& name, DWORD type, const void* data,
            DWORD size);
void DeleteTree(HKEY root, const std::string& key);
void DeleteValue(HKEY root, const std::string& key, const std::string& name);
bool ValueExists(HKEY root, const std::string& key, const std::string& name);
bool KeyExists(HKEY root, const std::string& key);
// The raw bytes and type of a value; false when it is missing.
bool QueryRaw(HKEY root, const std::string& key, const std::string& name, DWORD& type, std::string& bytes);
DWORD GetDword(HKEY root, const std::string& key, const std::string& name, DWORD missing = 0xDEADBEEF);
std::string GetString(HKEY root, const std::string& key, const std::string& name,
                      const std::string& missing = "<missing>");

// A registry link at key (under HKCU) to target, another key under HKCU, as
// any process may plant one: a plain open of key then reaches target.
void CreateLink(const std::string& key, const std::string& target);
// Deletes the link itself, if it is still there (a tree delete would follow it).
void DeleteLink(const std::string& key);

// The same in one registry view (KEY_WOW64_32KEY or KEY_WOW64_64KEY), as
// the platform itself has it: no view of the settings' key is chosen for them.
std::string GetStringIn(REGSAM view, HKEY root, const std::string& key, const std::string& name = "",
                        const std::string& missing = "<missing>");
bool KeyExistsIn(REGSAM view, HKEY root, const std::string& key);

// Registry functions that fail as a denied access would.
LONG WINAPI DeniedCreateKeyEx(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
LONG WINAPI DeniedSetValueEx(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
// Refuses to open HKLM keys for writing, as the platform does for a process at
// low integrity (a browser in Protected Mode) or a standard user; the rest as usual.
LONG WINAPI MachineDeniedCreateKeyEx(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
LONG WINAPI DeniedQueryValueEx(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);

// Swaps the process's registry table for the life of the object.
class ScopedRegistryApi {
public:
    explicit ScopedRegistryApi(const RegistryApi& replacement) : saved_(Registry())
    {
        Registry() = replacement;
    }
    ~ScopedRegistryApi() { Registry() = saved_; }
    ScopedRegistryApi(const ScopedRegistryApi&) = delete;
    ScopedRegistryApi& operator=(const ScopedRegistryApi&) = delete;

private:
    RegistryApi saved_;
};
