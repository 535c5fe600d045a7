#pragma once
// The settings both programs share, and where they live: the one place that
// names them. Both guards (32- and 64-bit) and the control panel read and
// write the same values through these accessors.
#include <windows.h>

#include <string>

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
    explicit operator bool() const { return key_ != nullptr; }
    CRegNumberValue Number(const char* name) const;
    CRegTextValue Text(const char* name) const;

    ContainerStore(const ContainerStore&) = delete;
    ContainerStore& operator=(const ContainerStore&) = delete;
    ~ContainerStore();

private:
    HKEY key_ = nullptr;
};

}  // namespace settings
