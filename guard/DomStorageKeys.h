#pragma once
// Removes the registry record the browser keeps of a site's DOM storage:
// a key per host under Internet Explorer's DOMStorage key, with its twin
// under LowRegistry for Protected Mode tabs, or, for a guard in an
// AppContainer (an Enhanced Protected Mode tab), under its container's
// registry storage. A key whose name the pass's rule removes is deleted
// whole, its UTF-16 name tested as the platform has it.
//
// A Protected Mode page writes LowRegistry and its container's storage, so
// those keys are walked as PinnedKey walks them: no link followed on the
// way to a store or inside it, a link named for the site deleted as a link,
// and nothing outside the stores changed. A walk is bounded in keys and
// ends at the pass's deadline.
#include "CleaningRule.h"
#include "PassDeadline.h"

void CleanDomStorageKeys(const CCleaningRule& rule, const CPassDeadline& deadline = CPassDeadline());
