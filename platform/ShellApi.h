#pragma once
// The shell namespace entry points the history cleaner starts from, as a
// table that tests point at a fake History tree. Real shell32 by default.
#include <windows.h>
#include <shlobj.h>

struct ShellApi {
    decltype(&::SHGetMalloc) GetMalloc = &::SHGetMalloc;
    decltype(&::SHGetDesktopFolder) GetDesktopFolder = &::SHGetDesktopFolder;
    decltype(&::SHGetSpecialFolderLocation) GetSpecialFolderLocation = &::SHGetSpecialFolderLocation;
    // The library StrRetToBufA is loaded from by name (it may be missing).
    const char* ShlwapiName = "shlwapi.dll";
};

// The table in force for the whole process.
ShellApi& ShellNamespace();
