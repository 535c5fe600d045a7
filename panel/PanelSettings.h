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
CRegTextValue& LastDomain();
CRegNumberValue& BHOEnabled();
CRegNumberValue& NVXMinimize();

// AppPath with every backslash doubled; set once by the main window.
std::string& ProgramFolder();

}  // namespace panel
