#pragma once
// The user's profile folders ("" where there is none).
#include <string>

// A folder the shell names by CSIDL (CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
// CSIDL_PROFILE, ...), as the file system spells it.
std::wstring ShellFolderPathW(int csidl);

// The low-integrity folder a Protected Mode browser writes (LocalLow);
// Windows Vista and later only.
std::wstring LocalLowFolderPathW();

// The same in the process code page, "" where the path has no form in it.
std::string ShellFolderPath(int csidl);
std::string LocalLowFolderPath();
