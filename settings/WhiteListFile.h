#pragma once
// The white-list file both programs share: WhiteList.txt in the program
// folder, beside each program's own module (never where a value says: any
// user may set those). One entry a line, in the ANSI code page as the
// programs write it, or as an editor saved it: UTF-8 or UTF-16 (either byte
// order) after its byte-order mark.
#include <windows.h>

#include <string>
#include <vector>

namespace settings {

inline constexpr char kWhiteListFileName[] = "WhiteList.txt";

enum class WhiteListFormat { Ansi, Utf8, Utf16Le, Utf16Be };

struct WhiteListEntry {
    std::wstring text;  // what the entry says, as the panel shows and saves it
    std::string ansi;   // as the guard matches it, when exact
    bool exactAnsi;     // the code page writes the text exactly
};

struct WhiteListRead {
    // Busy: another process holds the file just now (no sharing, a lock, an
    // opportunistic lock being broken); a later read may succeed.
    enum Status { Read, Missing, Busy, Unreadable } status;
    WhiteListFormat format = WhiteListFormat::Ansi;
    std::vector<WhiteListEntry> entries;  // every entry, as both programs read them

    // The entries as the guard matches them: every one with an exact ANSI form.
    std::vector<std::string> AnsiEntries() const;
    bool AllExactAnsi() const;
};

// Whether the code page writes the entry exactly, so that the guard can
// match it in the addresses it sees.
bool HasExactAnsiForm(const std::wstring& entry);

// Reads the list: only a local disk file of bounded size is read at all.
WhiteListRead ReadWhiteListFile(const std::string& path);
// The format and entries of a file's bytes.
WhiteListRead DecodeWhiteList(const std::string& bytes);

// The bytes of a list of these entries, one a line (empty ones dropped), in
// the format given where it can write every entry exactly, else as UTF-16
// with its mark: no entry is ever changed or dropped.
std::string EncodeWhiteList(const std::vector<std::wstring>& entries, WhiteListFormat format);

// Replaces the file with these bytes, keeping the file's security: a reader
// sees the old list or the new one, never a part; false, with the old file
// as it was, when anything fails.
bool SaveWhiteListFile(const std::string& path, const std::string& bytes);

// The calls that put a saved list in place, as a table tests point
// elsewhere: Wine keeps no file security, so a test sees only that the list
// is replaced (which keeps its security descriptor), never moved over, and
// how a replacement that fails part-way is undone.
struct WhiteListReplaceApi {
    BOOL(WINAPI* Replace)(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID, LPVOID);
    BOOL(WINAPI* Move)(LPCSTR from, LPCSTR to, DWORD flags);
};
WhiteListReplaceApi& WhiteListReplace();

}  // namespace settings
