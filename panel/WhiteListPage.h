#pragma once
// The White list page: the list box shows the white-list file, Add and
// Remove edit the list on the page, and Save List writes it back.
#include <optional>
#include <string>
#include <vector>

#include "MarkupText.h"
#include "Page.h"
#include "WhiteListFile.h"

class CWhiteListPage : public CPage {
public:
    explicit CWhiteListPage(CDHtmlDialog& dialog);

    void Left() override { whiteListRead_ = false; }
    void Fill() override { FillWhiteListPage(); }
    void FillWhiteListPage();
    HRESULT OnClickAdd(IHtmlElement&);
    HRESULT OnClickRemove(IHtmlElement&);
    HRESULT OnClickSave(IHtmlElement&);
    HRESULT OnSelectWhiteList(IHtmlElement&);
    HRESULT OnKeyDownUrlText(IHtmlElement&) { return S_OK; }

    // The white-list file: WhiteList.txt beside the program.
    static std::string WhiteListPath();

private:
    // The list box's mark-up as ANSI text, or nothing when it cannot be had whole.
    std::optional<std::wstring> ReadListMarkup();
    void WriteList(const std::vector<ListOption>& options);
    void WriteUrlBox(const std::wstring& text);

    bool whiteListRead_ = false;  // the page shows the file's list, read whole
    settings::WhiteListFormat listFormat_ = settings::WhiteListFormat::Ansi;
};
