#include "WebsiteDataCleaner.h"

#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include "AnsiText.h"
#include "ProfileFolders.h"
#include "UrlCacheEnum.h"
#include "WinInetApi.h"

namespace {

bool IsDotName(const char* name) { return lstrcmpA(name, ".") == 0 || lstrcmpA(name, "..") == 0; }

// Calls visit(name, attributes) for each entry of a folder but "." and "..",
// and never for a name whose path would not fit the ANSI calls.
template <typename Visit>
void ListFolder(const std::string& folder, Visit visit)
{
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!IsDotName(found.cFileName) && folder.size() + 1 + lstrlenA(found.cFileName) < MAX_PATH)
            visit(std::string(found.cFileName), found.dwFileAttributes);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// Removes a file the rule removes; one in use stays for the next pass.
void RemoveFile(const std::string& path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DeleteFileA(path.c_str());
}

// Empties and removes a site's folder. A reparse point inside is neither
// followed nor removed, so what it points to is never touched (the folder
// then stays, not empty).
void RemoveSiteFolder(const std::string& folder)
{
    ListFolder(folder, [&](const std::string& name, DWORD attributes) {
        const std::string path = folder + "\\" + name;
        if (IsLink(attributes))
            return;
        if (IsFolder(attributes))
            RemoveSiteFolder(path);
        else
            RemoveFile(path, attributes);
    });
    RemoveDirectoryA(folder.c_str());
}

void CleanSiteFiles(const std::string& folder, const CCleaningRule& rule, bool descend)
{
    ListFolder(folder, [&](const std::string& name, DWORD attributes) {
        const std::string path = folder + "\\" + name;
        if (IsLink(attributes))
            return;
        if (!IsFolder(attributes)) {
            if (rule.Removes(name))
                RemoveFile(path, attributes);
        } else if (descend) {
            CleanSiteFiles(path, rule, false);  // the browser's randomly named sub-folders
        }
    });
}

void CleanSiteFolders(const std::string& folder, const CCleaningRule& rule, bool descend)
{
    ListFolder(folder, [&](const std::string& name, DWORD attributes) {
        if (!IsFolder(attributes) || IsLink(attributes))
            return;
        const std::string path = folder + "\\" + name;
        if (descend)
            CleanSiteFolders(path, rule, false);
        else if (rule.Removes(name))
            RemoveSiteFolder(path);
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

void CleanIndexedEntries(const CCleaningRule& rule)
{
    for (const auto& prefix : WebsiteDataPrefixes()) {
        CUrlCacheEnum walk;
        for (auto* entry = walk.FindFirst(prefix.c_str()); entry; entry = walk.FindNext()) {
            if (entry->lpszSourceUrlName && rule.Removes(entry->lpszSourceUrlName))
                WinInet().DeleteEntry(entry->lpszSourceUrlName);
        }
    }
}

}  // namespace

std::vector<WebsiteStore> WebsiteStores()
{
    std::vector<WebsiteStore> stores;
    const auto add = [&](const std::string& base, const char* below, StoreLayout layout) {
        if (!base.empty())
            stores.push_back(WebsiteStore{base + below, layout});
    };
    const std::string local = ShellFolderPath(CSIDL_LOCAL_APPDATA), roaming = ShellFolderPath(CSIDL_APPDATA);
    const std::string low = LocalLowFolderPath();
    // DOM storage: the local profile (Internet Explorer 8 and later outside
    // Protected Mode, and Wine's own engine), and the low-integrity one.
    for (const std::string& base : {local, low})
        add(base, "\\Microsoft\\Internet Explorer\\DOMStore", StoreLayout::SiteFiles);
    // userData: the roaming profile, its Low folder under Protected Mode.
    add(roaming, "\\Microsoft\\Internet Explorer\\UserData", StoreLayout::SiteFiles);
    add(roaming, "\\Microsoft\\Internet Explorer\\UserData\\Low", StoreLayout::SiteFiles);
    // The plug-in's shared objects and per-site settings: the roaming
    // profile, and the low-integrity one under Protected Mode.
    for (const std::string& base : {roaming, low}) {
        add(base, "\\Macromedia\\Flash Player\\#SharedObjects", StoreLayout::SiteFoldersInSubfolders);
        add(base, "\\Macromedia\\Flash Player\\macromedia.com\\support\\flashplayer\\sys", StoreLayout::SiteFolders);
    }
    return stores;
}

void CleanWebsiteData(const CCleaningRule& rule, const std::vector<WebsiteStore>& stores)
{
    CleanIndexedEntries(rule);
    for (const auto& store : stores) {
        switch (store.layout) {
        case StoreLayout::SiteFiles:
            CleanSiteFiles(store.folder, rule, true);
            break;
        case StoreLayout::SiteFoldersInSubfolders:
            CleanSiteFolders(store.folder, rule, true);
            break;
        case StoreLayout::SiteFolders:
            CleanSiteFolders(store.folder, rule, false);
            break;
        }
    }
}
