#pragma once
// The control panel's life: one instance at a time, whose whole life is the
// modal main window.
#include <windows.h>

class CNorvaneApp {
public:
    // Runs the panel, or hands over to the one already running; always false
    // (there is no message loop left to run).
    BOOL InitInstance();
};
