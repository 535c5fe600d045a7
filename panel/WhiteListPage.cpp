// Every entry is escaped on its way into the page and decoded on its way back,
// so that an address holding quotes or angle brackets stays text, and so that
// any entry the file holds comes back exactly.
#include "WhiteListPage.h"

#include <windows.h>

#include <algorithm>

#include "AnsiText.h"
#include "MessageBoxApi.h"
#include "ModulePath.h"
#include "PanelSettings.h"
#include "SettingsStore.h"
#include "resource.h"
#include "WhiteListFile.h"

namespace {

const wchar_t kListOpeningTag[] =
    L"<SELECT style='width:325; color:#2a5393; font-family:verdana; font-size=10;' "
    L"\t\t\t\t\t\t   id='selectWhiteList' size='9'>";

std::wstring ListMarkup(const std::vector<ListOption>& options)
{
    std::wstring markup = kListOpeningTag;
    for (const auto& option : options) {
        markup += option.selected ? L"<option selected>" : L"<option>";
        markup += EscapeMarkup(option.text);
        markup += L"</option>";
    }
    return markup + L"</select>";
}

// What an administrator's policy adds to the list: shown under the list
// box, outside it, so that Remove never reaches them and Save never writes
// them into the user's file.
std::wstring PolicyMarkup(const std::vector<std::string>& entries)
{
    if (entries.empty())
        return std::wstring();
    std::wstring markup = L"<br><font face='verdana' size='1' color='#2a5393'>Kept by your administrator: ";
    for (std::size_t i = 0; i < entries.size(); ++i)
        markup += (i ? L", " : L"") + EscapeMarkup(ansi::ToWide(entries[i]));
    return markup + L"</font>";
}

const char kNoExactForm[] =
    "The white list holds an entry with characters that the system's code page cannot write. The browser guard "
    "cannot tell which addresses it names, so it cleans nothing while that entry is listed. Remove it, or enter "
    "the name as the browser writes it (xn--...).";

void TellUser(HWND window, const char* text)
{
    MessageBoxHook()(window, text, "Norvane", MB_OK | MB_ICONWARNING);
}

}  // namespace

CWhiteListPage::CWhiteListPage(CDHtmlDialog& dialog) : CPage(dialog, IDR_HTML_WHITELIST)
{
    On(L"btnAdd", kEventClick, &CWhiteListPage::OnClickAdd);
    On(L"btnRemove", kEventClick, &CWhiteListPage::OnClickRemove);
    On(L"btnSave", kEventClick, &CWhiteListPage::OnClickSave);
    On(L"selectWhiteList", kEventClick, &CWhiteListPage::OnSelectWhiteList);
    On(L"selectWhiteList", kEventKeyUp, &CWhiteListPage::OnSelectWhiteList);
    On(L"idUrlText", kEventKeyDown, &CWhiteListPage::OnKeyDownUrlText);
}

// Beside the program itself, where the installation puts it and where the
// guard reads it: any user can set the settings' values, and an
// administrator's panel must not read or write wherever they point.
std::string CWhiteListPage::WhiteListPath() { return FileBesideModule(nullptr, settings::kWhiteListFileName); }

void CWhiteListPage::WriteList(const std::vector<ListOption>& options)
{
    if (auto cell = GetElement(L"select"))
        cell->SetInnerHtml(ListMarkup(options) + PolicyMarkup(settings::PolicyWhiteList()));
}

void CWhiteListPage::WriteUrlBox(const std::wstring& text)
{
    if (auto cell = GetElement(L"idUrl"))
        cell->SetInnerHtml(L"<INPUT type='text' id='idUrlText' style='color:#2a5393; font-family:verdana; "
                           L"font-size=12;' value='" +
                           EscapeMarkup(text) + L"' size='47' name='Url'>");
}

std::optional<std::wstring> CWhiteListPage::ReadListMarkup()
{
    auto list = GetElement(L"selectWhiteList");
    if (!list)
        return std::nullopt;
    return list->GetInnerHtml();
}

void CWhiteListPage::FillWhiteListPage()
{
    const auto read = settings::ReadWhiteListFile(WhiteListPath());
    // Save replaces the file with the page's list: only a list read whole
    // from the file (or no file yet) may ever be written back, in the
    // format it was read in.
    whiteListRead_ = read.status == settings::WhiteListRead::Read || read.status == settings::WhiteListRead::Missing;
    listFormat_ = read.format;
    if (whiteListRead_) {
        std::vector<ListOption> options;
        for (const auto& entry : read.entries)
            options.push_back({entry.text, false});
        WriteList(options);
    }
    WriteUrlBox(ansi::ToWide(panel::LastVisitedDomain()));  // this user's own, never another's
    if (!whiteListRead_)
        TellUser(Window(), "The white list file could not be read. The list is not shown, and Save List "
                                "will not change the file.");
    else if (!read.AllExactAnsi())
        TellUser(Window(), kNoExactForm);
}

HRESULT CWhiteListPage::OnClickAdd(IHtmlElement&)
{
    auto urlBox = GetElement(L"idUrlText");
    const auto entry = urlBox ? urlBox->GetAttribute(L"value") : std::nullopt;
    const auto markup = ReadListMarkup();
    if (!entry || entry->empty() || !markup)
        return S_OK;
    // The guard matches entries in the code page's text, as the browser's
    // addresses come to it: one it cannot write would stop all cleaning.
    if (!settings::HasExactAnsiForm(*entry)) {
        TellUser(Window(), "This entry has characters that the system's code page cannot write, so it was not "
                           "added: the browser guard could not tell which addresses it names, and would clean "
                           "nothing while it is listed. Enter a name in another script as the browser writes it "
                           "(xn--...).");
        return S_OK;
    }
    std::vector<ListOption> options = ParseListMarkup(*markup);
    const bool listed = std::any_of(options.begin(), options.end(),
                                    [&](const ListOption& option) { return option.text == *entry; });
    if (listed)
        return S_OK;
    for (auto& option : options)
        option.selected = false;
    options.push_back({*entry, true});
    WriteList(options);
    return S_OK;
}

HRESULT CWhiteListPage::OnClickRemove(IHtmlElement&)
{
    const auto markup = ReadListMarkup();
    if (!markup)
        return S_OK;
    std::vector<ListOption> options = ParseListMarkup(*markup);
    options.erase(std::remove_if(options.begin(), options.end(), [](const ListOption& o) { return o.selected; }),
                  options.end());
    WriteList(options);
    WriteUrlBox(L"");
    return S_OK;
}

HRESULT CWhiteListPage::OnClickSave(IHtmlElement&)
{
    const auto markup = ReadListMarkup();
    if (!whiteListRead_ || !markup) {
        TellUser(Window(), "The white list was not read from its file, so it was not saved. The file is "
                                "unchanged.");
        return S_OK;
    }
    std::vector<std::wstring> entries;
    for (auto& option : ParseListMarkup(*markup))
        entries.push_back(std::move(option.text));
    // Every entry as it stands: one the list's format cannot write keeps the
    // whole list in UTF-16, which the guard reads too.
    if (!settings::SaveWhiteListFile(WhiteListPath(), settings::EncodeWhiteList(entries, listFormat_)))
        TellUser(Window(), "The white list could not be saved. The file is unchanged.");
    return S_OK;
}

HRESULT CWhiteListPage::OnSelectWhiteList(IHtmlElement&)
{
    if (!GetElement(L"idUrl"))
        return S_OK;
    const auto markup = ReadListMarkup();
    if (!markup)
        return S_OK;
    const std::vector<ListOption> options = ParseListMarkup(*markup);
    auto selected = std::find_if(options.begin(), options.end(), [](const ListOption& o) { return o.selected; });
    // A click that selects nothing shows the first entry.
    if (selected == options.end())
        selected = options.begin();
    WriteUrlBox(selected == options.end() ? std::wstring() : selected->text);
    return S_OK;
}
