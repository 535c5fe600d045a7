#include "PanelSettings.h"

namespace panel {

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Norvane";

// Defined in this order in one unit: static initialisation creates them,
// and so reads them, in exactly this order.
CRegTextValue g_appPath("Software\\Norvane\\AppPath");
CRegTextValue g_startUp(kRun);
CRegNumberValue g_removeCookies("Software\\Norvane\\RemoveCookies");
CRegNumberValue g_removeCookiesEntries("Software\\Norvane\\RemoveCookiesEntries");
CRegNumberValue g_removeCache("Software\\Norvane\\RemoveCache");
CRegNumberValue g_removeCacheEntries("Software\\Norvane\\RemoveCacheEntries");
CRegNumberValue g_removeHistory("Software\\Norvane\\RemoveHistory");
CRegNumberValue g_removeHistoryEntries("Software\\Norvane\\RemoveHistoryEntries");
CRegNumberValue g_removeLastTyped("Software\\Norvane\\RemoveLastTyped");
CRegNumberValue g_removeLastTypedEntries("Software\\Norvane\\RemoveLastTypedEntries");
CRegTextValue g_lastDomain("Software\\Norvane\\LastDomain");
CRegNumberValue g_bhoEnabled("Software\\Norvane\\BHOEnabled");
CRegNumberValue g_nvxMinimize("Software\\Norvane\\NVXMinimize");
std::string g_programFolder;

}  // namespace

CRegTextValue& AppPath() { return g_appPath; }
CRegTextValue& StartUpCommand() { return g_startUp; }
CRegNumberValue& RemoveCookies() { return g_removeCookies; }
CRegNumberValue& RemoveCookiesEntries() { return g_removeCookiesEntries; }
CRegNumberValue& RemoveCache() { return g_removeCache; }
CRegNumberValue& RemoveCacheEntries() { return g_removeCacheEntries; }
CRegNumberValue& RemoveHistory() { return g_removeHistory; }
CRegNumberValue& RemoveHistoryEntries() { return g_removeHistoryEntries; }
CRegNumberValue& RemoveLastTyped() { return g_removeLastTyped; }
CRegNumberValue& RemoveLastTypedEntries() { return g_removeLastTypedEntries; }
CRegTextValue& LastDomain() { return g_lastDomain; }
CRegNumberValue& BHOEnabled() { return g_bhoEnabled; }
CRegNumberValue& NVXMinimize() { return g_nvxMinimize; }
std::string& ProgramFolder() { return g_programFolder; }

}  // namespace panel
