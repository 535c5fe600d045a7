#pragma once
// The About box: template 100, closed by its OK button.
#include <windows.h>

class CAboutDlg {
public:
    INT_PTR DoModal(HWND owner);
};
