#pragma once
// Removes one pass's website data: what a site keeps in the browser besides
// its cookies and can put an identifier back from. DOM storage (one file per
// host), the userData store of older pages, and a plug-in's local shared
// objects (one folder per site), in the normal and in the low-integrity
// (Protected Mode) profile, each tested by the pass's rule on its name.
//
// Any low-integrity process may write these folders, so each store is
// reached folder by folder from the profile folder, every one of them
// pinned and checked on its open handle (PinnedFolder); only the store's own
// depth is listed, every name stays the platform's UTF-16 name, a link is
// neither followed nor removed, and a file in use stays for the next pass.
#include <string>
#include <vector>

#include "CleaningRule.h"
#include "PassDeadline.h"

// How a store lays out its items below its folder.
enum class StoreLayout {
    SiteFiles,               // <folder>\<host>.xml, and <folder>\<random>\<host>[1].xml
    SiteFoldersInSubfolders, // <folder>\<random>\<site>\... : the site folder whole
    SiteFolders,             // <folder>\#<site>\... : the site folder whole
};

struct WebsiteStore {
    std::wstring base;   // where the checks start: the profile folder, where the store lies in it
    std::wstring below;  // the store's folders under base ("AppData\Local\...")
    StoreLayout layout;
};

// The stores of this user on this system, those that exist or not.
std::vector<WebsiteStore> WebsiteStores();

void CleanWebsiteData(const CCleaningRule& rule, const CPassDeadline& deadline,
                      const std::vector<WebsiteStore>& stores);
inline void CleanWebsiteData(const CCleaningRule& rule, const CPassDeadline& deadline = CPassDeadline())
{
    CleanWebsiteData(rule, deadline, WebsiteStores());
}
