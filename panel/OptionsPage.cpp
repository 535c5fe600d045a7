#include "OptionsPage.h"

#include "PanelSettings.h"
#include "SettingsStore.h"
#include "resource.h"

namespace {

// The removal boxes: a switch more is a row here and a name in settings/.
const struct {
    const wchar_t* id;
    const char* name;  // the setting's, and the policy's that may fix it
    CRegNumberValue& (*setting)();
} kRemovalBoxes[] = {
    {L"chkRemoveCookies", settings::kRemoveCookies, &panel::RemoveCookies},
    {L"chkRemoveHistory", settings::kRemoveHistory, &panel::RemoveHistory},
    {L"chkRemoveTempFiles", settings::kRemoveCache, &panel::RemoveCache},
    {L"chkRemoveLastUrl", settings::kRemoveLastTyped, &panel::RemoveLastTyped},
};

// What a box looks like when it is shown ticked, or fixed by a policy.
std::wstring BoxMarkup(const std::wstring& id, bool checked, bool fixed)
{
    return L"<INPUT id='" + id + L"' type='checkbox' name='" + id + L"'" + (checked ? L" checked" : L"") +
           (fixed ? L" disabled" : L"") + L">";
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
    // A box an administrator fixed shows the policy, disabled.
    auto show = [this](const std::wstring& id, bool on, std::optional<DWORD> policy) {
        const bool checked = policy ? *policy == 1 : on;
        if (!checked && !policy)
            return;
        if (auto box = GetElement(id))
            box->SetOuterHtml(BoxMarkup(id, checked, policy.has_value()));
    };
    show(L"chkRunStartUp", !panel::StartUpCommand().Read().empty() || !panel::UserStartUpCommand().Read().empty(),
         settings::PolicyNumber(settings::kRunAtStartUp));
    for (const auto& box : kRemovalBoxes)
        show(box.id, box.setting().Read() == 1, settings::PolicyNumber(box.name));
}

HRESULT COptionsPage::OnClickRemoveBox(IHtmlElement& box)
{
    const std::wstring id = box.Id();
    for (const auto& row : kRemovalBoxes) {
        // A setting a policy fixes is never written.
        if (id != row.id || settings::PolicyNumber(row.name))
            continue;
        if (const auto checked = box.Checked())
            row.setting().Set(*checked ? 1 : 0);
    }
    return S_OK;
}

HRESULT COptionsPage::OnClickRunStartUp(IHtmlElement& box)
{
    if (settings::PolicyNumber(settings::kRunAtStartUp))
        return S_OK;
    if (const auto checked = box.Checked())
        StoreStartUp(*checked);
    return S_OK;
}
