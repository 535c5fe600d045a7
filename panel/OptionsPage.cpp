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
    // The running program's own path, never a setting: any user may set the
    // settings' values, and this command runs at every user's log-on.
    // Quoted: unquoted, a path with spaces may start "C:\Program.exe" instead.
    return "\"" + panel::OwnProgramPath() + "\"";
}

// Run at Start Up: the machine's Run key, or the user's own where a standard
// user may not write the machine's. Unticked, neither holds the value.
void CNorvaneDlg::StoreStartUp(bool on)
{
    const std::string command = on ? StartUpCommandLine() : std::string();
    panel::StartUpCommand().Set(command);
    const bool machineHasIt = panel::StartUpCommand().Read() == command;
    if (on && !machineHasIt)
        panel::UserStartUpCommand().Set(command);
    if (!on && !panel::UserStartUpCommand().Read().empty())
        panel::RemoveUserStartUp();
}

void CNorvaneDlg::FillOptionsPage()
{
    auto tick = [this](const wchar_t* id, bool on) {
        if (!on)
            return;
        if (auto box = GetElement(id))
            box->SetOuterHtml(CheckedMarkup(id));
    };
    tick(L"chkRunStartUp", !panel::StartUpCommand().Read().empty() || !panel::UserStartUpCommand().Read().empty());
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
        StoreStartUp(IsCheckedMarkup(*markup));
    return S_OK;
}
