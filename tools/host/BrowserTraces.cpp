#include "BrowserTraces.h"

#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "ProfileFolders.h"
#include "UrlCacheEntries.h"

namespace {

const char kTyped[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const char kHistoryDay[] = "Visited today";

std::string HistoryFolder()
{
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, CSIDL_HISTORY, TRUE);
    return path;
}

// A History item's name: the address with the characters a file name cannot hold replaced.
std::string ItemName(const std::string& url)
{
    std::string name = url;
    for (char& c : name)
        if (strchr("\\/:*?\"<>|", c))
            c = ' ';
    return name;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A cookie the site set for a parent domain of its host ("Cookie:user@example.net/"
// for shop.example.net), which the browser sends back to it.
bool IsParentDomainCookie(const std::string& cookie, const std::string& domain)
{
    const std::size_t at = cookie.find('@');
    if (at == std::string::npos)
        return false;
    const std::string host = cookie.substr(at + 1, cookie.find('/', at) - at - 1);
    const std::string suffix = "." + host;
    return host.find('.') != std::string::npos && domain.size() > suffix.size() &&
           domain.compare(domain.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The browser's randomly named sub-folder, and the plug-in's.
const char kRandom[] = "\\Q7N2XK4M";

std::string DomStoreFolder() { return LocalLowFolderPath() + "\\Microsoft\\Internet Explorer\\DOMStore" + kRandom; }
std::string UserDataFolder() { return ShellFolderPath(CSIDL_APPDATA) + "\\Microsoft\\Internet Explorer\\UserData\\Low" + kRandom; }
std::string SharedObjectsFolder() { return ShellFolderPath(CSIDL_APPDATA) + "\\Macromedia\\Flash Player\\#SharedObjects" + kRandom; }
std::string PlugInSettingsFolder()
{
    return ShellFolderPath(CSIDL_APPDATA) + "\\Macromedia\\Flash Player\\macromedia.com\\support\\flashplayer\\sys";
}

void WriteTextFile(const std::string& folder, const std::string& name, const std::string& content)
{
    SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);  // with every missing parent
    std::ofstream(folder + "\\" + name, std::ios::binary) << content;
}

// Entries of a folder whose names hold the domain (directories or files).
int CountNames(const std::string& folder, const std::string& domain, bool folders)
{
    int count = 0;
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == folders && Contains(found.cFileName, domain))
            ++count;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return count;
}

// The address fetched as the browser's download fetches it: the response
// read whole, so that the platform caches it and keeps the cookies it sets.
void Fetch(const std::string& url)
{
    static const HINTERNET session = InternetOpenA("Mozilla/4.0 (compatible; MSIE 8.0)", INTERNET_OPEN_TYPE_DIRECT,
                                                   nullptr, nullptr, 0);
    HINTERNET response = session ? InternetOpenUrlA(session, url.c_str(), nullptr, 0, 0, 0) : nullptr;
    if (!response) {
        std::printf("  could not fetch %s (error %lu)\n", url.c_str(), GetLastError());
        return;
    }
    char buffer[4096];
    DWORD read = 0;
    while (InternetReadFile(response, buffer, sizeof buffer, &read) && read > 0) {
    }
    InternetCloseHandle(response);
}

// The address typed into the address bar: the first free of url1 to url25.
void AddTypedAddress(const std::string& url)
{
    HKEY typed = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kTyped, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &typed, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (int n = 1; n <= 25; ++n) {
        const std::string name = "url" + std::to_string(n);
        char value[2048] = {};
        DWORD size = sizeof value;
        if (RegQueryValueExA(typed, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                ERROR_SUCCESS &&
            value[0])
            continue;
        RegSetValueExA(typed, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                       static_cast<DWORD>(url.size() + 1));
        break;
    }
    RegCloseKey(typed);
}

}  // namespace

std::string HostOf(const std::string& url)
{
    std::string rest = url;
    const auto scheme = rest.find("://");
    if (scheme != std::string::npos)
        rest = rest.substr(scheme + 3);
    return rest.substr(0, rest.find('/'));
}

void LeaveResponseTraces(const std::string& url, bool inFrame)
{
    Fetch(url);
    if (!inFrame)
        AddTypedAddress(url);
}

void LeaveResourceTraces(const std::string& url, bool inFrame)
{
    for (const char* resource : {"/logo.png", "/app.js"})
        Fetch("http://" + HostOf(url) + resource);
    // A cookie the page's script sets: the HTML engine hands it to the cookie store.
    InternetSetCookieA(("http://" + HostOf(url) + "/").c_str(), "script", "1; expires=Sat,01-Jan-2039 00:00:00 GMT");
    const std::string host = HostOf(url);
    WriteTextFile(DomStoreFolder(), host + "[1].xml", "<root><item name=\"id\" value=\"42\"/></root>");
    WriteTextFile(UserDataFolder(), host + "[1].xml", "<ROOTSTUFF><store id=\"42\"/></ROOTSTUFF>");
    WriteTextFile(SharedObjectsFolder() + "\\" + host, "id.sol", "SOL");
    WriteTextFile(PlugInSettingsFolder() + "\\#" + host, "settings.sol", "SOL");
    if (inFrame)
        return;  // the browser files only the window's own pages in History
    // The History item, in the day folder where the browser files it.
    const std::string day = HistoryFolder() + "\\" + kHistoryDay;
    CreateDirectoryA(HistoryFolder().c_str(), nullptr);
    CreateDirectoryA(day.c_str(), nullptr);
    std::ofstream(day + "\\" + ItemName(url), std::ios::binary) << url;
}

TraceCount CountTraces(const std::string& domain)
{
    TraceCount count;
    for (const auto& [url, type] : UrlCacheEntries(nullptr))
        if (!(type & (COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY)) && Contains(url, domain))
            ++count.cache;
    for (const auto& [url, type] : UrlCacheEntries("Cookie:"))
        if (Contains(url, domain) || IsParentDomainCookie(url, domain))
            ++count.cookies;
    HKEY typed = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kTyped, 0, KEY_READ, &typed) == ERROR_SUCCESS) {
        for (int n = 1; n <= 25; ++n) {
            char value[2048] = {};
            DWORD size = sizeof value;
            if (RegQueryValueExA(typed, ("url" + std::to_string(n)).c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
                Contains(value, domain))
                ++count.typed;
        }
        RegCloseKey(typed);
    }
    count.storage = CountNames(DomStoreFolder(), domain, false) + CountNames(UserDataFolder(), domain, false);
    count.plugIn = CountNames(SharedObjectsFolder(), domain, true) + CountNames(PlugInSettingsFolder(), domain, true);
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((HistoryFolder() + "\\" + kHistoryDay + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (Contains(found.cFileName, domain))
                ++count.history;
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    return count;
}
