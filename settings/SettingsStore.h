#pragma once
// The settings both programs share, and where they live: the one place that
// names them. Both guards (32- and 64-bit) and the control panel read and
// write the same values through these accessors.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "Handle.h"
#include "RegValue.h"

namespace settings {

// The values' names.
inline constexpr char kAppPath[] = "AppPath";
inline constexpr char kWhiteList[] = "WhiteList";
inline constexpr char kRemoveCookies[] = "RemoveCookies";
inline constexpr char kRemoveCookiesEntries[] = "RemoveCookiesEntries";
inline constexpr char kRemoveCache[] = "RemoveCache";
inline constexpr char kRemoveCacheEntries[] = "RemoveCacheEntries";
inline constexpr char kRemoveLastTyped[] = "RemoveLastTyped";
inline constexpr char kRemoveLastTypedEntries[] = "RemoveLastTypedEntries";
inline constexpr char kRemoveHistory[] = "RemoveHistory";
inline constexpr char kRemoveHistoryEntries[] = "RemoveHistoryEntries";
inline constexpr char kLastDomain[] = "LastDomain";
// When a guard wrote LastDomain (TimeStamp), beside it in the same store: the
// panel offers the latest of the stores a guard may keep it in.
inline constexpr char kLastDomainTime[] = "LastDomainTime";
inline constexpr char kBHOEnabled[] = "BHOEnabled";
inline constexpr char kNVXMinimize[] = "NVXMinimize";
// The start-up value: under the machine's Run key, or the user's own.
inline constexpr char kStartUp[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Norvane";

// Now, as text that sorts as the time does (the system time, 16 hex digits).
std::string TimeStamp();
// The time a TimeStamp text holds; nothing for any other text, nor for a
// time later than a minute from now: no clock wrote that yet, and it would
// stay the latest past every later navigation.
std::optional<ULONGLONG> StampedTime(const std::string& stamp);

// What an administrator fixed by Group Policy (the template in
// tools/policy), under HKLM\Software\Policies\Norvane, which only
// administrators write: a value there is honoured over the user's setting.
// The same names as the settings, and RunAtStartUp (1 or 0: Run at Start Up
// fixed on or off); the white list's entries are the values 1, 2, ... of
// its WhiteList key, added to the user's list. Read in the 64-bit view where
// there is one, where the Group Policy client writes.
inline constexpr char kPolicyKey[] = "Software\\Policies\\Norvane";
inline constexpr char kRunAtStartUp[] = "RunAtStartUp";
inline constexpr char kPolicyWhiteList[] = "WhiteList";
// The policy's number, or nothing where none is set.
std::optional<DWORD> PolicyNumber(const char* name);
// The policy's white-list entries, in their order; none where none is set.
// The key's first kMaxPolicyWhiteListValues values are read, each of at
// most kMaxAddressLength characters: a longer entry is found in no address.
inline constexpr std::size_t kMaxPolicyWhiteListValues = 1000;
std::vector<std::string> PolicyWhiteList();
// A switch as it is in force: the policy's where one is set, else the
// machine's setting.
DWORD EffectiveNumber(const char* name);

// The machine's store, HKLM\Software\Norvane, always in the 32-bit registry
// view: a 64-bit guard opens that view too, so the switches, the counters
// and BHOEnabled are one set for both guards and the 32-bit panel.
inline constexpr char kMachineKey[] = "Software\\Norvane";
inline constexpr REGSAM kMachineView = KEY_WOW64_32KEY;
CRegNumberValue MachineNumber(const char* name);
CRegTextValue MachineText(const char* name);

// The user's own store, HKCU\Software\AppDataLow\Software\Norvane: the counts
// of a guard in a Protected Mode browser (low integrity, no HKLM writes), and
// every guard's LastDomain, which is no other user's to read.
inline constexpr char kUserKey[] = "Software\\AppDataLow\\Software\\Norvane";
CRegNumberValue UserNumber(const char* name);
CRegTextValue UserText(const char* name);

// "Software\Norvane" inside an AppContainer's registry storage: where a guard
// in an Enhanced Protected Mode tab, which may write neither of the above,
// counts and keeps LastDomain.
inline constexpr char kContainerKey[] = "Software\\Norvane";

// The same store seen from outside the container, under the user's key: the
// control panel adds its counts.
CRegNumberValue ContainerNumberFromOutside(const char* name);
CRegTextValue ContainerTextFromOutside(const char* name);

// The container's store from inside it: the key the platform hands the
// process, held open while the accessors made from it are used.
class ContainerStore {
public:
    ContainerStore();
    explicit operator bool() const { return static_cast<bool>(key_); }
    CRegNumberValue Number(const char* name) const;
    CRegTextValue Text(const char* name) const;

private:
    RegistryKey key_;
};

}  // namespace settings
