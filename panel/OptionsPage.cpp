// The Options page: five check boxes, each bound to one setting and written
// at every click.
#include "MarkupText.h"
#include "NorvaneDlg.h"
#include "PanelSettings.h"

namespace {

// What a box looks like when it is to be shown ticked.
std::wstring CheckedMarkup(const wchar_t* id)
{
    return std::wstring(L"<INPUT id='") + id + L"' type='checkbox' name='" + id + L"' checked>";
}

}  // namespace

std::string CNorvaneDlg::StartUpCommandLine()
{
    std::string folder = panel::ProgramFolder();
    for (std::size_t at = 0; (at = folder.find("\\\\", at)) != std::string::npos; ++at)
        folder.replace(at, 2, "\\");
    // Quoted: unquoted, a path with spaces may start "C:\Program.exe" instead.
    return "\"" + folder + "\\Norvane.exe\"";
}

void CNorvaneDlg::FillOptionsPage()
{
    auto tick = [this](const wchar_t* id, bool on) {
        if (!on)
            return;
        if (auto box = GetElement(id))
            box->SetOuterHtml(CheckedMarkup(id));
    };
    tick(L"chkRunStartUp", !panel::StartUpCommand().Read().empty());
    tick(L"chkRemoveCookies", panel::RemoveCookies().Read() == 1);
    tick(L"chkRemoveHistory", panel::RemoveHistory().Read() == 1);
    tick(L"chkRemoveTempFiles", panel::RemoveCache().Read() == 1);
    tick(L"chkRemoveLastUrl", panel::RemoveLastTyped().Read() == 1);
}

void CNorvaneDlg::StoreBox(const wchar_t* boxId, CRegNumberValue& setting)
{
    auto box = GetElement(boxId);
    if (!box)
        return;
    if (const auto markup = WideToAnsi(box->GetOuterHtml()))
        setting.Set(IsCheckedMarkup(*markup) ? 1 : 0);
}

HRESULT CNorvaneDlg::OnClickRemoveHistory(IHtmlElement&)
{
    StoreBox(L"chkRemoveHistory", panel::RemoveHistory());
    return S_OK;
}

HRESULT CNorvaneDlg::OnClickRemoveCookies(IHtmlElement&)
{
    StoreBox(L"chkRemoveCookies", panel::RemoveCookies());
    return S_OK;
}

HRESULT CNorvaneDlg::OnClickRemoveTempFiles(IHtmlElement&)
{
    StoreBox(L"chkRemoveTempFiles", panel::RemoveCache());
    return S_OK;
}

HRESULT CNorvaneDlg::OnClickRemoveLastUrl(IHtmlElement&)
{
    StoreBox(L"chkRemoveLastUrl", panel::RemoveLastTyped());
    return S_OK;
}

HRESULT CNorvaneDlg::OnClickRunStartUp(IHtmlElement&)
{
    auto box = GetElement(L"chkRunStartUp");
    if (!box)
        return S_OK;
    if (const auto markup = WideToAnsi(box->GetOuterHtml()))
        panel::StartUpCommand().Set(IsCheckedMarkup(*markup) ? StartUpCommandLine() : std::string());
    return S_OK;
}
