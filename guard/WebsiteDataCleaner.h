#pragma once
// Removes one pass's website data: what a site keeps in the browser besides
// its cookies and can put an identifier back from. DOM storage (one file per
// host), the userData store of older pages, and a plug-in's local shared
// objects (one folder per site), in the normal and in the low-integrity
// (Protected Mode) profile, each tested by the cookie rule on its name.
// Only the named folders are listed, each to the depth its store uses; a
// reparse point is never followed, and a file in use is left for the next pass.
#include <string>
#include <vector>

#include "CleaningRule.h"

// How a store lays out its items below its folder.
enum class StoreLayout {
    SiteFiles,               // <folder>\<host>.xml, and <folder>\<random>\<host>[1].xml
    SiteFoldersInSubfolders, // <folder>\<random>\<site>\... : the site folder whole
    SiteFolders,             // <folder>\#<site>\... : the site folder whole
};

struct WebsiteStore {
    std::string folder;  // full path
    StoreLayout layout;
};

// The stores of this user on this system, those that exist or not.
std::vector<WebsiteStore> WebsiteStores();

void CleanWebsiteData(const CCleaningRule& rule, const std::vector<WebsiteStore>& stores = WebsiteStores());
