#include "PanelSettings.h"

#include "Handle.h"

#include "ModulePath.h"
#include "SettingsStore.h"

namespace panel {

namespace {

using namespace settings;

// Defined in this order in one unit: static initialisation creates them,
// and so reads them, in exactly this order.
CRegTextValue g_appPath = MachineText(kAppPath);
// The platform's own Run keys, in the process's own view. What is run there
// is a program's path, quoted.
const std::size_t kMaxCommandLength = kMaxPathLength + 2;
CRegTextValue g_startUp(kStartUp, "", false, HKEY_LOCAL_MACHINE, 0, kMaxCommandLength);
CRegNumberValue g_removeCookies = MachineNumber(kRemoveCookies);
CRegNumberValue g_removeCookiesEntries = MachineNumber(kRemoveCookiesEntries);
CRegNumberValue g_removeCache = MachineNumber(kRemoveCache);
CRegNumberValue g_removeCacheEntries = MachineNumber(kRemoveCacheEntries);
CRegNumberValue g_removeHistory = MachineNumber(kRemoveHistory);
CRegNumberValue g_removeHistoryEntries = MachineNumber(kRemoveHistoryEntries);
CRegNumberValue g_removeLastTyped = MachineNumber(kRemoveLastTyped);
CRegNumberValue g_removeLastTypedEntries = MachineNumber(kRemoveLastTypedEntries);
CRegNumberValue g_bhoEnabled = MachineNumber(kBHOEnabled);
CRegNumberValue g_nvxMinimize = MachineNumber(kNVXMinimize);
// After the settings above, in this order.
CRegNumberValue g_lowCookiesEntries = UserNumber(kRemoveCookiesEntries);
CRegNumberValue g_lowCacheEntries = UserNumber(kRemoveCacheEntries);
CRegNumberValue g_lowHistoryEntries = UserNumber(kRemoveHistoryEntries);
CRegNumberValue g_lowLastTypedEntries = UserNumber(kRemoveLastTypedEntries);
CRegTextValue g_lowLastDomain = UserText(kLastDomain);
CRegTextValue g_userStartUp(kStartUp, "", false, HKEY_CURRENT_USER, 0, kMaxCommandLength);
CRegNumberValue g_containerCookiesEntries = ContainerNumberFromOutside(kRemoveCookiesEntries);
CRegNumberValue g_containerCacheEntries = ContainerNumberFromOutside(kRemoveCacheEntries);
CRegNumberValue g_containerHistoryEntries = ContainerNumberFromOutside(kRemoveHistoryEntries);
CRegNumberValue g_containerLastTypedEntries = ContainerNumberFromOutside(kRemoveLastTypedEntries);
CRegTextValue g_containerLastDomain = ContainerTextFromOutside(kLastDomain);
CRegTextValue g_lowLastDomainTime = UserText(kLastDomainTime);
CRegTextValue g_containerLastDomainTime = ContainerTextFromOutside(kLastDomainTime);

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
CRegNumberValue& ContainerRemoveCookiesEntries() { return g_containerCookiesEntries; }
CRegNumberValue& ContainerRemoveCacheEntries() { return g_containerCacheEntries; }
CRegNumberValue& ContainerRemoveHistoryEntries() { return g_containerHistoryEntries; }
CRegNumberValue& ContainerRemoveLastTypedEntries() { return g_containerLastTypedEntries; }

std::string LastVisitedDomain()
{
    // Every guard keeps it in the user's store, but one in an Enhanced
    // Protected Mode tab, which keeps it in its container's; each writes the
    // time beside it (a store without one is older than any that has one).
    // A time that is no time, or one still to come, counts as none.
    const auto containerTime = StampedTime(g_containerLastDomainTime.Read());
    const auto lowTime = StampedTime(g_lowLastDomainTime.Read());
    if (g_containerLastDomain.Refresh() && containerTime && (!lowTime || *containerTime > *lowTime))
        return g_containerLastDomain.Get();
    return g_lowLastDomain.Read();
}

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
