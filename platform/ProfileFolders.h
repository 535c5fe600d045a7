#pragma once
// The user's profile folders, in the process code page ("" where there is
// none, or where its path has no form in that code page).
#include <string>

// A folder the shell names by CSIDL (CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, ...).
std::string ShellFolderPath(int csidl);

// The low-integrity folder a Protected Mode browser writes (LocalLow);
// Windows Vista and later only.
std::string LocalLowFolderPath();
