#include "OptionsPage.h"

#include "PanelSettings.h"
#include "resource.h"

namespace {

// The removal boxes: a switch more is a row here and a name in settings/.
const struct {
    const wchar_t* id;
    CRegNumberValue& (*setting)();
} kRemovalBoxes[] = {
    {L"chkRemoveCookies", &panel::RemoveCookies},
    {L"chkRemoveHistory", &panel::RemoveHistory},
    {L"chkRemoveTempFiles", &panel::RemoveCache},
    {L"chkRemoveLastUrl", &panel::RemoveLastTyped},
};

// What a box looks like when it is to be shown ticked.
std::wstring CheckedMarkup(const std::wstring& id)
{
    return L"<INPUT id='" + id + L"' type='checkbox' name='" + id + L"' checked>";
}

}  // namespace

COptionsPage::COptionsPage(CDHtmlDialog& dialog) : CPage(dialog, IDR_HTML_OPTIONS)
{
    for (const auto& box : kRemovalBoxes)
        On(box.id, kEventClick, &COptionsPage::OnClickRemoveBox);
    On(L"chkRunStartUp", kEventClick, &COptionsPage::OnClickRunStartUp);
}

std::string COptionsPage::StartUpCommandLine()
{
    // The running program's own path, never a setting: any user may set the
    // settings' values, and this command runs at every user's log-on.
    // Quoted: unquoted, a path with spaces may start "C:\Program.exe" instead.
    return "\"" + panel::OwnProgramPath() + "\"";
}

// Run at Start Up: the machine's Run key, or the user's own where a standard
// user may not write the machine's. Unticked, neither holds the value.
void COptionsPage::StoreStartUp(bool on)
{
    const std::string command = on ? StartUpCommandLine() : std::string();
    panel::StartUpCommand().Set(command);
    const bool machineHasIt = panel::StartUpCommand().Read() == command;
    if (on && !machineHasIt)
        panel::UserStartUpCommand().Set(command);
    if (!on && !panel::UserStartUpCommand().Read().empty())
        panel::RemoveUserStartUp();
}

void COptionsPage::FillOptionsPage()
{
    auto tick = [this](const std::wstring& id, bool on) {
        if (!on)
            return;
        if (auto box = GetElement(id))
            box->SetOuterHtml(CheckedMarkup(id));
    };
    tick(L"chkRunStartUp", !panel::StartUpCommand().Read().empty() || !panel::UserStartUpCommand().Read().empty());
    for (const auto& box : kRemovalBoxes)
        tick(box.id, box.setting().Read() == 1);
}

HRESULT COptionsPage::OnClickRemoveBox(IHtmlElement& box)
{
    const std::wstring id = box.Id();
    for (const auto& row : kRemovalBoxes) {
        if (id != row.id)
            continue;
        if (const auto checked = box.Checked())
            row.setting().Set(*checked ? 1 : 0);
    }
    return S_OK;
}

HRESULT COptionsPage::OnClickRunStartUp(IHtmlElement& box)
{
    if (const auto checked = box.Checked())
        StoreStartUp(*checked);
    return S_OK;
}
