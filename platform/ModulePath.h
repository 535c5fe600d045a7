#pragma once
// Where a module lies, as ANSI text (both programs work in the ANSI code
// page, and the installer refuses a folder it cannot write).
#include <windows.h>

#include <string>

// The module's full path; "" when it cannot be had whole.
std::string ModuleFilePath(HMODULE module);

// The file beside a module: its folder and the name ("" when the module's
// path cannot be had whole).
std::string FileBesideModule(HMODULE module, const char* name);
