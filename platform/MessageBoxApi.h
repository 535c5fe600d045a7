#pragma once
// The one message box of the guard goes through here so that tests can answer
// it without a person. Real MessageBoxA by default.
#include <windows.h>

using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

MessageBoxFn& MessageBoxHook();
