#pragma once
// Removes a pass's sites from the browser's taskbar jump list (Windows 7
// and later): the Recent and Frequent items whose address the rule removes.
// An item the user pinned stays: the platform lists it still, but removing
// it only clears its usage data, never the pin. Where the platform has no
// jump lists (Windows XP and Vista, Wine) nothing is done.
#include "CleaningRule.h"
#include "PassDeadline.h"

// The browser's application id, whose jump list is cleaned.
extern const wchar_t kBrowserAppId[];

void CleanJumpList(const CCleaningRule& rule, const CPassDeadline& deadline = CPassDeadline());
