#pragma once
// What a Windows program cannot do under Wine 8 but an attacker on Windows
// can: make a link (junction or symbolic link) where a folder or file
// should be. Wine lists a Unix symbolic link inside the prefix as a reparse
// point, so the tests plant one with the host's own ln, started like any
// program (Wine runs a Unix program it is asked to start).
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The Unix path of a Windows path ("" when Wine gives none).
std::string UnixPath(const std::string& windowsPath);

// Starts a Unix program with its arguments, each passed as it stands; true
// when it started. Wine gives no handle to wait on: wait for its effect.
bool RunUnix(const std::string& program, const std::vector<std::string>& arguments);
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);

// Makes link a symbolic link to target (both Windows paths); true on success.
bool PlantLink(const std::string& link, const std::string& target);
// Removes a link itself (never what it points to), or a whole tree that
// Wine would take long to delete file by file.
bool RemoveUnixTree(const std::string& path);
