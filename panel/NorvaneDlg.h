#pragma once
// The control panel's main window: four HTML pages behind a tab bar, the
// About item of the system menu, the hide-at-start timer and the commands of
// the tray menu.
#include <optional>
#include <string>

#include "TrayDialog.h"

class CNorvaneDlg : public CTrayDialog {
public:
    explicit CNorvaneDlg(HWND parent = nullptr);
    ~CNorvaneDlg() override;

    // Asks a running main window to come forward (sent by a second start).
    static UINT ShowRequestMessage();

    bool OnSysCommand(UINT id, LPARAM param) override;

    // Page fill steps and handlers, one file per page.
    void FillOptionsPage();
    HRESULT OnClickRemoveHistory(IHtmlElement&);
    HRESULT OnClickRemoveCookies(IHtmlElement&);
    HRESULT OnClickRemoveTempFiles(IHtmlElement&);
    HRESULT OnClickRemoveLastUrl(IHtmlElement&);
    HRESULT OnClickRunStartUp(IHtmlElement&);

    void FillWhiteListPage();
    HRESULT OnClickAdd(IHtmlElement&);
    HRESULT OnClickRemove(IHtmlElement&);
    HRESULT OnClickSave(IHtmlElement&);
    HRESULT OnSelectWhiteList(IHtmlElement&);
    HRESULT OnKeyDownUrlText(IHtmlElement&) { return S_OK; }

    void FillStatisticsPage();
    HRESULT OnClickReset(IHtmlElement&);

    // The white-list file: WhiteList.txt beside the program.
    static std::string WhiteListPath();
    // The command that starts the panel at log-on, quoted.
    static std::string StartUpCommandLine();

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
    // One removal box: its number setting follows the box's state.
    void StoreBox(const wchar_t* boxId, class CRegNumberValue& setting);
    void StoreStartUp(bool on);
    // The list box's mark-up as ANSI text, or nothing when it cannot be had whole.
    std::optional<std::string> ReadListMarkup();
    void WriteList(const std::vector<struct ListOption>& options);
    void WriteUrlBox(const std::string& text);

    HICON icon_ = nullptr;
    bool whiteListRead_ = false;  // the White list page shows the file's list, read whole
    HtmlEventTable optionsTable_;
    HtmlEventTable whiteListTable_;
    HtmlEventTable statisticsTable_;
    HtmlEventTable helpTable_;
};
