#include "SettingsStore.h"

#include <string>

#include "AppContainer.h"
#include "RegistryApi.h"

namespace settings {

namespace {

std::string In(const char* key, const char* name) { return std::string(key) + "\\" + name; }

std::string FromOutside(const char* name)
{
    return std::string(kIeContainerStorage) + "\\" + In(kContainerKey, name);
}

}  // namespace

std::string TimeStamp()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    char text[17] = {};
    wsprintfA(text, "%08lX%08lX", now.dwHighDateTime, now.dwLowDateTime);
    return text;
}

std::optional<DWORD> PolicyNumber(const char* name)
{
    CRegNumberValue policy(In(kPolicyKey, name), 0, false, HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
    if (!policy.Refresh())
        return std::nullopt;
    return policy.Get();
}

std::vector<std::string> PolicyWhiteList()
{
    // Numbered from 1 without a gap, as the template's list writes them; a
    // list longer than anyone keeps is not read on at every window.
    const std::size_t kMostEntries = 10000;
    const std::string key = In(kPolicyKey, kPolicyWhiteList);
    std::vector<std::string> entries;
    for (std::size_t n = 1; n <= kMostEntries; ++n) {
        CRegTextValue entry(key + "\\" + std::to_string(n), "", false, HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
        if (!entry.Refresh())
            break;
        // An empty entry would match every address.
        if (!entry.Get().empty())
            entries.push_back(entry.Get());
    }
    return entries;
}

DWORD EffectiveNumber(const char* name)
{
    if (const auto policy = PolicyNumber(name))
        return *policy;
    return MachineNumber(name).Get();
}

CRegNumberValue MachineNumber(const char* name)
{
    return CRegNumberValue(In(kMachineKey, name), 0, false, HKEY_LOCAL_MACHINE, kMachineView);
}

CRegTextValue MachineText(const char* name)
{
    return CRegTextValue(In(kMachineKey, name), "", false, HKEY_LOCAL_MACHINE, kMachineView);
}

CRegNumberValue UserNumber(const char* name) { return CRegNumberValue(In(kUserKey, name), 0, false, HKEY_CURRENT_USER); }

CRegTextValue UserText(const char* name) { return CRegTextValue(In(kUserKey, name), "", false, HKEY_CURRENT_USER); }

CRegNumberValue ContainerNumberFromOutside(const char* name)
{
    return CRegNumberValue(FromOutside(name), 0, false, HKEY_CURRENT_USER);
}

CRegTextValue ContainerTextFromOutside(const char* name)
{
    return CRegTextValue(FromOutside(name), "", false, HKEY_CURRENT_USER);
}

ContainerStore::ContainerStore()
{
    if (FAILED(AppContainer().registryLocation(KEY_READ | KEY_WRITE, &key_)))
        key_ = nullptr;
}

ContainerStore::~ContainerStore()
{
    if (key_)
        Registry().CloseKey(key_);
}

CRegNumberValue ContainerStore::Number(const char* name) const
{
    return CRegNumberValue(In(kContainerKey, name), 0, false, key_);
}

CRegTextValue ContainerStore::Text(const char* name) const { return CRegTextValue(In(kContainerKey, name), "", false, key_); }

}  // namespace settings
