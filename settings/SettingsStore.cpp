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
    // Every value of the key, whatever its name: the template numbers them
    // from 1, and an entry an administrator wrote by hand counts as well.
    const std::string key = In(kPolicyKey, kPolicyWhiteList);
    std::vector<std::string> names;
    RegistryKey list;
    if (Registry().OpenKeyEx(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, list.Put()) != ERROR_SUCCESS)
        return {};
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumValueA(list.Get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    std::vector<std::string> entries;
    for (const auto& name : names) {
        CRegTextValue entry(key + "\\" + name, "", false, HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
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
    if (FAILED(AppContainer().registryLocation(KEY_READ | KEY_WRITE, key_.Put())))
        key_.Reset();
}

CRegNumberValue ContainerStore::Number(const char* name) const
{
    return CRegNumberValue(In(kContainerKey, name), 0, false, key_.Get());
}

CRegTextValue ContainerStore::Text(const char* name) const
{
    return CRegTextValue(In(kContainerKey, name), "", false, key_.Get());
}

}  // namespace settings
