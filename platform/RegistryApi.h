#pragma once
// The registry functions the settings accessors call, as a table that tests can
// point elsewhere to produce failures Wine never gives (HKLM is always writable
// there). Real advapi32 by default.
#include <windows.h>

struct RegistryApi {
    decltype(&::RegOpenKeyExA) OpenKeyEx = &::RegOpenKeyExA;
    decltype(&::RegQueryValueExA) QueryValueEx = &::RegQueryValueExA;
    decltype(&::RegCreateKeyExA) CreateKeyEx = &::RegCreateKeyExA;
    decltype(&::RegSetValueExA) SetValueEx = &::RegSetValueExA;
    decltype(&::RegCloseKey) CloseKey = &::RegCloseKey;
    decltype(&::RegEnumValueA) EnumValue = &::RegEnumValueA;
};

// The table in force for the whole process.
RegistryApi& Registry();
