#include "WebsiteDataCleaner.h"

#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include "AppContainer.h"
#include "PinnedFolder.h"
#include "ProfileFolders.h"
#include "UrlCacheEnum.h"
#include "WinInetApi.h"

namespace {

bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// A plug-in's site folder is a few levels deep; a deeper tree is nobody's
// data the browser made, and walking it would only spend the thread's stack.
const int kDeepestSiteFolder = 16;

// Empties and removes a site's folder. A link inside is neither followed nor
// removed, so what it points to is never touched (the folder then stays,
// not empty).
void RemoveSiteFolder(const PinnedFolder& parent, const std::wstring& name, const CPassDeadline& deadline,
                      int depth = 0)
{
    auto folder = parent.OpenChild(name, true);
    if (!folder)
        return;
    folder->List([&](const std::wstring& entry, DWORD attributes) {
        if (deadline.Passed())
            return false;
        if (IsLink(attributes))
            return true;
        if (!IsFolder(attributes))
            folder->RemoveFile(entry);
        else if (depth < kDeepestSiteFolder)
            RemoveSiteFolder(*folder, entry, deadline, depth + 1);
        return true;
    });
    folder->RemoveWhenEmpty();
}

// The site a store's item belongs to, as the rule takes its host: a file's
// name without its extension and the browser's "[1]" ("example.com[1].xml"),
// a folder's without the plug-in's "#" ("#example.com").
std::wstring SiteOfFile(std::wstring name)
{
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    const std::size_t open = name.rfind(L'[');
    if (open != std::wstring::npos && name.back() == L']')
        name.erase(open);
    return name;
}

std::wstring SiteOfFolder(const std::wstring& name) { return name.compare(0, 1, L"#") == 0 ? name.substr(1) : name; }

void CleanSiteFiles(const PinnedFolder& folder, const CCleaningRule& rule, bool descend, const CPassDeadline& deadline)
{
    folder.List([&](const std::wstring& name, DWORD attributes) {
        if (deadline.Passed())
            return false;
        if (IsLink(attributes))
            return true;
        if (!IsFolder(attributes)) {
            if (rule.RemovesName(name, SiteOfFile(name)))
                folder.RemoveFile(name);
        } else if (descend) {
            // the browser's randomly named sub-folders
            if (const auto inner = folder.OpenChild(name))
                CleanSiteFiles(*inner, rule, false, deadline);
        }
        return true;
    });
}

void CleanSiteFolders(const PinnedFolder& folder, const CCleaningRule& rule, bool descend,
                      const CPassDeadline& deadline)
{
    folder.List([&](const std::wstring& name, DWORD attributes) {
        if (deadline.Passed())
            return false;
        if (!IsFolder(attributes) || IsLink(attributes))
            return true;
        if (descend) {
            if (const auto inner = folder.OpenChild(name))
                CleanSiteFolders(*inner, rule, false, deadline);
        } else if (rule.RemovesName(name, SiteOfFolder(name))) {
            RemoveSiteFolder(folder, name, deadline);
        }
        return true;
    });
}

// The browser indexes DOM storage and userData in named URL cache
// containers; an entry deleted there takes its file with it, so the browser
// never finds an entry whose file is gone. Looked up by name: the call is
// missing in some wininet builds, and Wine's does not list containers.
struct CacheContainerInfo {  // INTERNET_CACHE_CONTAINER_INFOA
    DWORD dwCacheVersion;
    LPSTR lpszName;
    LPSTR lpszCachePrefix;
    LPSTR lpszVolumeLabel;
    LPSTR lpszVolumeTitle;
};

bool IsWebsiteDataContainer(const char* name)
{
    return name && (lstrcmpiA(name, "DOMStore") == 0 || lstrcmpiA(name, "UserData") == 0);
}

std::vector<std::string> WebsiteDataPrefixes()
{
    using FindFirstFn = HANDLE(WINAPI*)(LPDWORD, CacheContainerInfo*, LPDWORD, DWORD);
    using FindNextFn = BOOL(WINAPI*)(HANDLE, CacheContainerInfo*, LPDWORD);
    std::vector<std::string> prefixes;
    HMODULE wininet = GetModuleHandleA("wininet.dll");
    auto findFirst = wininet ? reinterpret_cast<FindFirstFn>(reinterpret_cast<void*>(
                                   GetProcAddress(wininet, "FindFirstUrlCacheContainerA")))
                             : nullptr;
    auto findNext = wininet ? reinterpret_cast<FindNextFn>(reinterpret_cast<void*>(
                                  GetProcAddress(wininet, "FindNextUrlCacheContainerA")))
                            : nullptr;
    if (!findFirst || !findNext)
        return prefixes;
    alignas(CacheContainerInfo) BYTE block[4096] = {};
    auto* info = reinterpret_cast<CacheContainerInfo*>(block);
    DWORD size = sizeof block, modified = 0;
    HANDLE find = findFirst(&modified, info, &size, 0);
    if (!find)
        return prefixes;
    do {
        if (IsWebsiteDataContainer(info->lpszName) && info->lpszCachePrefix && info->lpszCachePrefix[0])
            prefixes.emplace_back(info->lpszCachePrefix);
        size = sizeof block;
    } while (findNext(find, info, &size));
    WinInet().FindClose(find);
    return prefixes;
}

void CleanIndexedEntries(const CCleaningRule& rule, const CPassDeadline& deadline)
{
    for (const auto& prefix : WebsiteDataPrefixes()) {
        CUrlCacheEnum walk;
        for (auto* entry = walk.FindFirst(prefix.c_str()); entry && !deadline.Passed(); entry = walk.FindNext()) {
            if (entry->lpszSourceUrlName && rule.Removes(entry->lpszSourceUrlName))
                WinInet().DeleteEntry(entry->lpszSourceUrlName);
        }
    }
}

// Whether path lies inside folder ("C:\Users\me" holds "C:\Users\me\AppData").
bool LiesIn(const std::wstring& path, const std::wstring& folder)
{
    return !folder.empty() && path.size() > folder.size() + 1 && path[folder.size()] == L'\\' &&
           lstrcmpiW(path.substr(0, folder.size()).c_str(), folder.c_str()) == 0;
}

// An Enhanced Protected Mode tab keeps its website data in its container's
// folder ("...\Packages\windows_ie_ac_001\AC"), laid out as the profile's,
// and may open nothing above it: checked from that folder down.
std::vector<WebsiteStore> ContainerStores(const std::wstring& container)
{
    if (container.empty())
        return {};
    return {
        {container, L"\\Microsoft\\Internet Explorer\\DOMStore", StoreLayout::SiteFiles},
        {container, L"\\Microsoft\\Internet Explorer\\UserData", StoreLayout::SiteFiles},
        {container, L"\\Macromedia\\Flash Player\\#SharedObjects", StoreLayout::SiteFoldersInSubfolders},
        {container, L"\\Macromedia\\Flash Player\\macromedia.com\\support\\flashplayer\\sys",
         StoreLayout::SiteFolders},
    };
}

}  // namespace

std::vector<WebsiteStore> WebsiteStores()
{
    if (AppContainer().inContainer())
        return ContainerStores(AppContainer().folder());
    std::vector<WebsiteStore> stores;
    const std::wstring profile = ShellFolderPathW(CSIDL_PROFILE);
    // Checked from the profile folder down where the store lies in it; a
    // folder redirected elsewhere is checked from the shell's folder down.
    const auto add = [&](const std::wstring& base, const wchar_t* below, StoreLayout layout) {
        if (base.empty())
            return;
        if (LiesIn(base, profile))
            stores.push_back(WebsiteStore{profile, base.substr(profile.size() + 1) + below, layout});
        else
            stores.push_back(WebsiteStore{base, below, layout});
    };
    const std::wstring local = ShellFolderPathW(CSIDL_LOCAL_APPDATA), roaming = ShellFolderPathW(CSIDL_APPDATA);
    const std::wstring low = LocalLowFolderPathW();
    // DOM storage: the local profile (Internet Explorer 8 and later outside
    // Protected Mode, and Wine's own engine), and the low-integrity one.
    for (const std::wstring& base : {local, low})
        add(base, L"\\Microsoft\\Internet Explorer\\DOMStore", StoreLayout::SiteFiles);
    // userData: the roaming profile, its Low folder under Protected Mode.
    add(roaming, L"\\Microsoft\\Internet Explorer\\UserData", StoreLayout::SiteFiles);
    add(roaming, L"\\Microsoft\\Internet Explorer\\UserData\\Low", StoreLayout::SiteFiles);
    // The plug-in's shared objects and per-site settings: the roaming
    // profile, and the low-integrity one under Protected Mode.
    for (const std::wstring& base : {roaming, low}) {
        add(base, L"\\Macromedia\\Flash Player\\#SharedObjects", StoreLayout::SiteFoldersInSubfolders);
        add(base, L"\\Macromedia\\Flash Player\\macromedia.com\\support\\flashplayer\\sys", StoreLayout::SiteFolders);
    }
    return stores;
}

void CleanWebsiteData(const CCleaningRule& rule, const CPassDeadline& deadline, const std::vector<WebsiteStore>& stores)
{
    CleanIndexedEntries(rule, deadline);
    for (const auto& store : stores) {
        if (deadline.Passed())
            return;
        const auto folder = PinnedFolder::OpenPath(store.base, store.below);
        if (!folder)
            continue;
        switch (store.layout) {
        case StoreLayout::SiteFiles:
            CleanSiteFiles(*folder, rule, true, deadline);
            break;
        case StoreLayout::SiteFoldersInSubfolders:
            CleanSiteFolders(*folder, rule, true, deadline);
            break;
        case StoreLayout::SiteFolders:
            CleanSiteFolders(*folder, rule, false, deadline);
            break;
        }
    }
}
