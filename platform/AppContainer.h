#pragma once
// Whether this process runs in an AppContainer (the tabs of Internet
// Explorer 10 and 11 under Enhanced Protected Mode, Windows 8 and later),
// and what the platform gives such a process in place of the stores it may
// not write: its registry storage and its folder. Decided by the process
// token, never from paths. A table that tests point elsewhere: Wine has no
// AppContainer tokens and no container storage.
#include <windows.h>

#include <string>

struct AppContainerApi {
    // TokenIsAppContainer of the process token; false where the platform
    // does not know the question (before Windows 8).
    bool (*inContainer)();
    // GetAppContainerRegistryLocation: the container's registry storage,
    // opened with the access given; the caller closes it.
    HRESULT (*registryLocation)(REGSAM access, HKEY* key);
    // GetAppContainerFolderPath for the token's container ("...\AC"); "" where none.
    std::wstring (*folder)();
};

// The table in force for the whole process: the platform's by default.
AppContainerApi& AppContainer();

// Where, under the user's key, the platform keeps the registry storage of
// Internet Explorer's container (windows_ie_ac_001), as seen from outside it.
extern const char kIeContainerStorage[];
