#pragma once
// Reads a whole file the way the C runtime's text mode does: every CR LF pair
// arrives as a single LF.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The most a white-list file may hold: far above any list a person keeps, and
// little for a browser window to read at every attach.
const std::size_t kMaxWhiteListBytes = 4u << 20;

// The file's text, or nothing when it cannot be had (GetLastError tells why:
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for no file). Any user may
// write the files read this way, so only a file on a local disk of at most
// maxBytes is read: no network name (the reader's credentials would go
// there), no device or pipe (a read that may never end).
std::optional<std::string> ReadLocalTextFile(const std::string& path, std::size_t maxBytes = kMaxWhiteListBytes);

// The entries of a list file's text, as both programs read it: every
// non-empty line, the last one without its line break too, each cut at its
// first NUL byte (a file written as UTF-16, or a zero-filled tail after a
// crash). A line of NULs gives no entry: an empty entry would match every
// address.
std::vector<std::string> ListLines(const std::string& text);
