#include "SettingsStore.h"

#include <cstring>
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

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Any account may write the settings' key, and any low-integrity process
// the user's and the container's stores: a text there is an address at
// most, but AppPath, which is a folder.
std::size_t LongestText(const char* name)
{
    return std::strcmp(name, kAppPath) == 0 ? kMaxPathLength : kMaxAddressLength;
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

std::optional<ULONGLONG> StampedTime(const std::string& stamp)
{
    if (stamp.size() != 16)
        return std::nullopt;
    ULONGLONG time = 0;
    for (const char c : stamp) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        time = time << 4 | static_cast<ULONGLONG>(digit);
    }
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG minute = 60ULL * 10000000ULL;  // in the file time's 100 ns units
    if (time > (static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime) + minute)
        return std::nullopt;
    return time;
}

std::optional<DWORD> PolicyNumber(const char* name)
{
    // Only a REG_DWORD: the bytes of a text ("1" is 0x31) fix nothing.
    CRegNumberValue policy(In(kPolicyKey, name), 0, false, HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
    if (!policy.Refresh() || policy.Type() != REG_DWORD)
        return std::nullopt;
    return policy.Get();
}

std::vector<std::string> PolicyWhiteList()
{
    // Every value of the key, whatever its name: the template numbers them
    // from 1, and an entry an administrator wrote by hand counts as well.
    const std::string key = In(kPolicyKey, kPolicyWhiteList);
    RegistryKey list;
    if (Registry().OpenKeyEx(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, list.Put()) != ERROR_SUCCESS)
        return {};
    std::vector<std::string> entries;
    for (auto& entry : ReadKeyTexts(list.Get(), kMaxAddressLength, kMaxPolicyWhiteListValues)) {
        // An empty entry would match every address.
        if (!entry.empty())
            entries.push_back(std::move(entry));
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
    return CRegTextValue(In(kMachineKey, name), "", false, HKEY_LOCAL_MACHINE, kMachineView,
                         LongestText(name));
}

CRegNumberValue UserNumber(const char* name) { return CRegNumberValue(In(kUserKey, name), 0, false, HKEY_CURRENT_USER); }

CRegTextValue UserText(const char* name)
{
    return CRegTextValue(In(kUserKey, name), "", false, HKEY_CURRENT_USER, KEY_WOW64_32KEY, LongestText(name));
}

CRegNumberValue ContainerNumberFromOutside(const char* name)
{
    return CRegNumberValue(FromOutside(name), 0, false, HKEY_CURRENT_USER);
}

CRegTextValue ContainerTextFromOutside(const char* name)
{
    return CRegTextValue(FromOutside(name), "", false, HKEY_CURRENT_USER, KEY_WOW64_32KEY, LongestText(name));
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
    return CRegTextValue(In(kContainerKey, name), "", false, key_.Get(), KEY_WOW64_32KEY, LongestText(name));
}

}  // namespace settings
