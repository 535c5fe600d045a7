#pragma once
// The Options page: a check box for each kind of cleaning, each bound to
// its setting and written at every click, and Run at Start Up.
#include <string>

#include "Page.h"

class COptionsPage : public CPage {
public:
    explicit COptionsPage(CDHtmlDialog& dialog);

    void Fill() override { FillOptionsPage(); }
    void FillOptionsPage();
    // A removal box: its setting follows the box as the person left it.
    HRESULT OnClickRemoveBox(IHtmlElement& box);
    HRESULT OnClickRunStartUp(IHtmlElement& box);

    // The command that starts the panel at log-on, quoted.
    static std::string StartUpCommandLine();

private:
    void StoreStartUp(bool on);
};
