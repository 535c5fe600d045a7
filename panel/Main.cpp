// Norvane.exe: the control panel.
#include "NorvaneApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CNorvaneApp app;
    app.InitInstance();
    return 0;
}
