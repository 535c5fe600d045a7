#pragma once
// Reads a whole list file as its bytes, and splits a text into its lines.
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The most a white-list file may hold: far above any list a person keeps, and
// little for a browser window to read at every attach.
const std::size_t kMaxWhiteListBytes = 4u << 20;

// The Win32 code of an open that found an opportunistic lock being broken
// (ERROR_OPLOCK_BREAK_IN_PROGRESS): the file is another process's for now.
const DWORD kErrorOplockBreakInProgress = 742;

// The file's bytes, or nothing when they cannot be had (GetLastError tells
// why: ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for no file). Any user may
// write the files read this way, so only a file on a local disk of at most
// maxBytes is read: no network name (the reader's credentials would go
// there), no device or pipe (a read that may never end). The open never
// waits for another process: a file it holds without sharing, locks, or
// holds an opportunistic lock on counts as not readable now.
std::optional<std::string> ReadLocalTextFile(const std::string& path, std::size_t maxBytes = kMaxWhiteListBytes);

// Whether a failed read's error says only that another process holds the
// file just now (sharing, a lock, an opportunistic lock being broken).
bool NotReadableNow(DWORD error);

// The native open of a file to read (NtCreateFile with the status it
// returned), as a seam: Wine grants no opportunistic locks, so a test makes
// the open answer as the platform does when one is being broken.
using ReadOpenFn = LONG (*)(const std::wstring& ntPath, HANDLE* file);
ReadOpenFn& ReadOpenHook();

// The entries of a list's text, as both programs read it: every non-empty
// line, each cut at its first NUL (a zero-filled tail after a crash); CR, LF
// and CR LF all end a line, and the last line counts without its break too.
// A line of NULs gives no entry: an empty entry would match every address.
template <typename Text>
std::vector<Text> ListLines(const Text& text)
{
    std::vector<Text> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        Text entry = text.substr(start, end - start);
        entry = entry.substr(0, entry.find(typename Text::value_type()));
        if (!entry.empty())
            lines.push_back(std::move(entry));
        start = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}
