#pragma once
// The white-list file both programs share: WhiteList.txt in the program
// folder, beside each program's own module (never where a value says: any
// user may set those). ANSI text, one entry a line.
#include <string>
#include <vector>

namespace settings {

inline constexpr char kWhiteListFileName[] = "WhiteList.txt";

struct WhiteListRead {
    enum Status { Read, Missing, Unreadable } status;
    std::vector<std::string> entries;  // every entry, as both programs read them
};

// Reads the list: only a local disk file of bounded size is read at all.
WhiteListRead ReadWhiteListFile(const std::string& path);

// Replaces the file with these entries, one a line (empty ones dropped):
// a reader sees the old list or the new one, never a part; false, with the
// old file as it was, when anything fails.
bool SaveWhiteListFile(const std::string& path, const std::vector<std::string>& entries);

}  // namespace settings
