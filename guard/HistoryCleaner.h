#pragma once
// Removes the browser's History items whose names the pass's rule removes,
// through the shell's own "delete" command. That command may ask for
// confirmation; a thread timer armed for each delete answers the dialog
// while the command waits on it, and ends with the command. Past the
// deadline the walk stops, and a confirmation still open on this thread is
// declined, so that a window that closes is never held by one.
#include <windows.h>

#include <string>

#include "CleaningRule.h"
#include "PassDeadline.h"

void CleanHistory(const CCleaningRule& rule, const CPassDeadline& deadline = CPassDeadline());
inline void CleanHistory(const std::string& domain) { CleanHistory(CCleaningRule(domain)); }

// Answers the shell's "WARNING" confirmation dialog of the thread that armed
// the timer by clicking the dialog's first child; past the walk's deadline,
// declines whatever dialog the walk left open on the thread.
void CALLBACK WarningTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// Ticks without a dialog that the process may still spend before a tick that
// finds none ends its timer. Starts at 1000 and only ever decreases.
volatile LONG& HistoryRetryBudget();
