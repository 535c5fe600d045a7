#pragma once
// The control panel's process-wide accessors, one per setting, created before
// the program's entry in a fixed order; each read its value once then. Code
// that shows a value a guard may have changed since uses Read.
#include <string>

#include "RegValue.h"

namespace panel {

CRegTextValue& AppPath();
CRegTextValue& StartUpCommand();
CRegNumberValue& RemoveCookies();
CRegNumberValue& RemoveCookiesEntries();
CRegNumberValue& RemoveCache();
CRegNumberValue& RemoveCacheEntries();
CRegNumberValue& RemoveHistory();
CRegNumberValue& RemoveHistoryEntries();
CRegNumberValue& RemoveLastTyped();
CRegNumberValue& RemoveLastTypedEntries();
CRegNumberValue& BHOEnabled();
CRegNumberValue& NVXMinimize();

// What a guard in a Protected Mode browser writes instead, under
// HKCU\Software\AppDataLow\Software\Norvane: its own counts; and every
// guard's LastDomain, the user's own.
CRegNumberValue& LowRemoveCookiesEntries();
CRegNumberValue& LowRemoveCacheEntries();
CRegNumberValue& LowRemoveHistoryEntries();
CRegNumberValue& LowRemoveLastTypedEntries();
CRegTextValue& LowLastDomain();
// The start-up value under the user's own Run key, for a user who may not
// write the machine's.
CRegTextValue& UserStartUpCommand();

// What a guard in an Enhanced Protected Mode tab counts in its AppContainer's
// registry storage, read from outside the container.
CRegNumberValue& ContainerRemoveCookiesEntries();
CRegNumberValue& ContainerRemoveCacheEntries();
CRegNumberValue& ContainerRemoveHistoryEntries();
CRegNumberValue& ContainerRemoveLastTypedEntries();

// The domain of the most recent navigation any of this user's guards
// examined, wherever that guard could keep it.
std::string LastVisitedDomain();

// Removes the value from the user's own Run key.
void RemoveUserStartUp();

// The full path of the running Norvane.exe, as ANSI text.
std::string OwnProgramPath();

}  // namespace panel
