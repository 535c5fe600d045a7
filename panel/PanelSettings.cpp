#include "PanelSettings.h"

#include "Handle.h"

#include "ModulePath.h"

namespace panel {

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Norvane";
#define NORVANE_LOW "Software\\AppDataLow\\Software\\Norvane\\"

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
CRegNumberValue g_bhoEnabled("Software\\Norvane\\BHOEnabled");
CRegNumberValue g_nvxMinimize("Software\\Norvane\\NVXMinimize");
// After the settings above, in this order.
CRegNumberValue g_lowCookiesEntries(NORVANE_LOW "RemoveCookiesEntries", 0, false, HKEY_CURRENT_USER);
CRegNumberValue g_lowCacheEntries(NORVANE_LOW "RemoveCacheEntries", 0, false, HKEY_CURRENT_USER);
CRegNumberValue g_lowHistoryEntries(NORVANE_LOW "RemoveHistoryEntries", 0, false, HKEY_CURRENT_USER);
CRegNumberValue g_lowLastTypedEntries(NORVANE_LOW "RemoveLastTypedEntries", 0, false, HKEY_CURRENT_USER);
CRegTextValue g_lowLastDomain(NORVANE_LOW "LastDomain", "", false, HKEY_CURRENT_USER);
CRegTextValue g_userStartUp(kRun, "", false, HKEY_CURRENT_USER);

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
CRegNumberValue& BHOEnabled() { return g_bhoEnabled; }
CRegNumberValue& NVXMinimize() { return g_nvxMinimize; }
CRegNumberValue& LowRemoveCookiesEntries() { return g_lowCookiesEntries; }
CRegNumberValue& LowRemoveCacheEntries() { return g_lowCacheEntries; }
CRegNumberValue& LowRemoveHistoryEntries() { return g_lowHistoryEntries; }
CRegNumberValue& LowRemoveLastTypedEntries() { return g_lowLastTypedEntries; }
CRegTextValue& LowLastDomain() { return g_lowLastDomain; }
CRegTextValue& UserStartUpCommand() { return g_userStartUp; }

void RemoveUserStartUp()
{
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, UserStartUpCommand().KeyPath().c_str(), 0, KEY_SET_VALUE, key.Put()) !=
        ERROR_SUCCESS)
        return;
    RegDeleteValueA(key.Get(), UserStartUpCommand().ValueName().c_str());
    key.Reset();
    UserStartUpCommand().Read();  // the copy follows the registry
}

std::string OwnProgramPath() { return ModuleFilePath(nullptr); }

}  // namespace panel
