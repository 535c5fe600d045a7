#include "DomStorageKeys.h"

#include <windows.h>

#include "AppContainer.h"
#include "Handle.h"
#include "PinnedKey.h"

namespace {

const wchar_t kDomStorage[] = L"Software\\Microsoft\\Internet Explorer\\DOMStorage";
const wchar_t kLowDomStorage[] = L"Software\\Microsoft\\Internet Explorer\\LowRegistry\\DOMStorage";
// A user's store holds a key or two per site visited; more than this in one
// store is no browser's, and is left for the passes after.
const std::size_t kMostKeysPerStore = 4096;

void CleanStore(HKEY root, const wchar_t* path, const CCleaningRule& rule, const CPassDeadline& deadline)
{
    const auto store = PinnedKey::OpenPath(root, path);
    if (!store)
        return;
    KeyWalk walk(kMostKeysPerStore, [&deadline] { return deadline.Passed(); });
    for (const auto& name : store->SubkeyNames(walk)) {
        if (rule.RemovesName(name, name))
            store->RemoveTree(name, walk);
    }
}

}  // namespace

void CleanDomStorageKeys(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    // A container's process may open nothing of the user's keys but its storage.
    if (AppContainer().inContainer()) {
        RegistryKey storage;
        if (SUCCEEDED(AppContainer().registryLocation(KEY_READ, storage.Put())) && storage)
            CleanStore(storage.Get(), kDomStorage, rule, deadline);
        return;
    }
    for (const wchar_t* path : {kDomStorage, kLowDomStorage})
        CleanStore(HKEY_CURRENT_USER, path, rule, deadline);
}
