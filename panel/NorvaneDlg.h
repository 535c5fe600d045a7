#pragma once
// The control panel's main window: four HTML pages behind a tab bar (each
// page an object of its own: its resource, fill step and events), the About
// item of the system menu, the hide-at-start timer and the commands of the
// tray menu.
#include <memory>
#include <string>
#include <vector>

#include "Page.h"
#include "TrayDialog.h"

class CNorvaneDlg : public CTrayDialog {
public:
    explicit CNorvaneDlg(HWND parent = nullptr);
    ~CNorvaneDlg() override;

    // Asks a running main window to come forward (sent by a second start).
    static UINT ShowRequestMessage();

    bool OnSysCommand(UINT id, LPARAM param) override;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnDocumentComplete(const std::wstring& url) override;
    const HtmlEventTable* GetEventTableForKey(const std::wstring& key) override;

private:
    void AddAboutItem();
    void OnInitMenuPopup(HMENU popup);
    void OnTrayCommand(UINT id);
    void BringForward();
    HRESULT Done();
    HRESULT SwitchPage(UINT page);
    // The page whose resource number is this key ("104"), or null.
    CPage* PageFor(const std::wstring& key) const;

    HICON icon_ = nullptr;
    std::vector<std::unique_ptr<CPage>> pages_;
    // Each page's events with the window's own (the tab bar, Done), in the
    // order of the pages.
    std::vector<HtmlEventTable> tables_;
};
