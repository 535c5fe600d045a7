#pragma once
// Removes a pass's entries from the browser's download history (Internet
// Explorer 9 and later): the "iedownload:" container of the URL cache, one
// entry per file downloaded, naming the address it came from.
//
// Deleting a cache entry also deletes the entry's local file, and a
// download's entry may name the download itself. An entry is deleted only
// when that can take no file of the user's: it names no file; or its file
// lies inside the container's own folder; or its file's folder is a plain
// folder where its path says and holds no such file. The folder is held
// while the entry is deleted, so nobody can swap it in between. A name is
// never converted: the walk and the delete are the cache's UTF-16 calls.
// A platform without the container (Wine, Windows before IE 9) yields
// nothing and nothing is done.
#include <string>

#include "CleaningRule.h"
#include "PassDeadline.h"

// The container's folder: IEDownloadHistory in the roaming profile's
// Microsoft\Windows (Internet Explorer 9; later versions keep the container
// inside the cache's database).
std::wstring DownloadHistoryFolder();

void CleanDownloadHistory(const CCleaningRule& rule, const CPassDeadline& deadline, const std::wstring& containerFolder);
inline void CleanDownloadHistory(const CCleaningRule& rule, const CPassDeadline& deadline = CPassDeadline())
{
    CleanDownloadHistory(rule, deadline, DownloadHistoryFolder());
}
