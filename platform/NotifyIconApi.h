#pragma once
// The notification-area call, so that tests can make an add or a delete fail.
// Real Shell_NotifyIconA by default.
#include <windows.h>
#include <shellapi.h>

using NotifyIconFn = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);

NotifyIconFn& NotifyIconHook();
