#pragma once
// Addresses the pages do not show themselves (mail, the web) go to the
// program the user chose for them. A table tests point elsewhere, so no real
// mail program or browser starts; the real shell32 by default.
#include <windows.h>
#include <shellapi.h>

#include <string>

struct ShellExecuteApi {
    decltype(&::ShellExecuteW) Execute = &::ShellExecuteW;
};

// The table in force for the whole process.
ShellExecuteApi& ShellExecuteTable();

// Opens the address with the system's handler for its scheme; false when
// the system has none or refused.
bool OpenWithSystem(const std::wstring& url);
