// The White list page: the list box shows the white-list file, Add and
// Remove edit the list on the page, and Save List writes it back.
//
// Every entry is escaped on its way into the page and decoded on its way back,
// so that an address holding quotes or angle brackets stays text, and so that
// any entry the file holds comes back exactly.
#include <windows.h>

#include <algorithm>

#include "AnsiText.h"
#include "Handle.h"
#include "MarkupText.h"
#include "MessageBoxApi.h"
#include "NorvaneDlg.h"
#include "PanelSettings.h"
#include "TextFile.h"

namespace {

const char kListOpeningTag[] =
    "<SELECT style='width:325; color:#2a5393; font-family:verdana; font-size=10;' "
    "\t\t\t\t\t\t   id='selectWhiteList' size='9'>";

std::string ListMarkup(const std::vector<ListOption>& options)
{
    std::string markup = kListOpeningTag;
    for (const auto& option : options) {
        markup += option.selected ? "<option selected>" : "<option>";
        markup += EscapeMarkup(option.text);
        markup += "</option>";
    }
    return markup + "</select>";
}

const DWORD kReplaceRetryMs = 3000;  // a reader holds the file for moments, never this long
const DWORD kReplaceRetryStepMs = 10;

// Every entry of the file, as the guard reads it. Nothing when the file is
// there but cannot be read; an empty list when there is no file yet.
std::optional<std::vector<ListOption>> ReadWhiteListFile(const std::string& path)
{
    std::vector<ListOption> options;
    const auto text = ReadLocalTextFile(path);
    if (!text) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return options;
        return std::nullopt;
    }
    for (auto& entry : ListLines(*text))
        options.push_back({std::move(entry), false});
    return options;
}

bool WriteAll(HANDLE file, const std::string& content)
{
    DWORD written = 0;
    const bool whole =
        content.empty() ||
        (WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size());
    return whole && SetEndOfFile(file) && FlushFileBuffers(file);
}

bool WriteWhole(const std::string& path, const std::string& content)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    return file && WriteAll(file.Get(), content);
}

// A standard user may rewrite the list but may not add files to the program
// folder (that right would let anyone plant a DLL there): the list is then
// written in place, readers sharing it as they always do.
bool RewriteInPlace(const std::string& path, const std::string& content)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), content);
}

// Puts the file in place of the list. Another process (a browser window
// loading the list) may hold the list open for a moment, and the platform
// refuses the replacement meanwhile: it is tried again for a bounded time.
bool MoveOver(const std::string& from, const std::string& to)
{
    for (DWORD waited = 0;; waited += kReplaceRetryStepMs) {
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (waited >= kReplaceRetryMs)
            return false;
        Sleep(kReplaceRetryStepMs);
    }
}

// Writes the whole list beside the file first, under a name of its own that
// no stale file can block, and then puts it in the file's place in one step,
// so a reader sees the old list or the new one, never a part; when anything
// fails the old file stays as it was.
bool ReplaceFileContent(const std::string& path, const std::string& content)
{
    const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    char temporary[MAX_PATH + 1] = {};
    if (folder.empty() || folder.size() > MAX_PATH - 14)
        return false;
    if (!GetTempFileNameA(folder.c_str(), "nvx", 0, temporary))
        return GetLastError() == ERROR_ACCESS_DENIED && RewriteInPlace(path, content);
    if (!WriteWhole(temporary, content) || !MoveOver(temporary, path)) {
        DeleteFileA(temporary);
        return false;
    }
    return true;
}

void TellUser(HWND window, const char* text)
{
    MessageBoxHook()(window, text, "Norvane", MB_OK | MB_ICONWARNING);
}

}  // namespace

void CNorvaneDlg::WriteList(const std::vector<ListOption>& options)
{
    if (auto cell = GetElement(L"select"))
        cell->SetInnerHtml(ansi::ToWide(ListMarkup(options)));
}

void CNorvaneDlg::WriteUrlBox(const std::string& text)
{
    if (auto cell = GetElement(L"idUrl"))
        cell->SetInnerHtml(ansi::ToWide("<INPUT type='text' id='idUrlText' style='color:#2a5393; font-family:verdana; "
                                "font-size=12;' value='" +
                                EscapeMarkup(text) + "' size='47' name='Url'>"));
}

std::optional<std::string> CNorvaneDlg::ReadListMarkup()
{
    auto list = GetElement(L"selectWhiteList");
    if (!list)
        return std::nullopt;
    return WideToAnsi(list->GetInnerHtml());
}

void CNorvaneDlg::FillWhiteListPage()
{
    const auto options = ReadWhiteListFile(WhiteListPath());
    // Save replaces the file with the page's list: only a list read whole
    // from the file may ever be written back.
    whiteListRead_ = options.has_value();
    if (options)
        WriteList(*options);
    WriteUrlBox(panel::LowLastDomain().Read());  // this user's own, never another's
    if (!options)
        TellUser(GetSafeHwnd(), "The white list file could not be read. The list is not shown, and Save List "
                                "will not change the file.");
}

HRESULT CNorvaneDlg::OnClickAdd(IHtmlElement&)
{
    auto urlBox = GetElement(L"idUrlText");
    const auto typed = urlBox ? urlBox->GetAttribute(L"value") : std::nullopt;
    const auto entry = typed ? WideToAnsi(*typed) : std::nullopt;
    const auto markup = ReadListMarkup();
    if (!entry || entry->empty() || !markup)
        return S_OK;
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

HRESULT CNorvaneDlg::OnClickRemove(IHtmlElement&)
{
    const auto markup = ReadListMarkup();
    if (!markup)
        return S_OK;
    std::vector<ListOption> options = ParseListMarkup(*markup);
    options.erase(std::remove_if(options.begin(), options.end(), [](const ListOption& o) { return o.selected; }),
                  options.end());
    WriteList(options);
    WriteUrlBox("");
    return S_OK;
}

HRESULT CNorvaneDlg::OnClickSave(IHtmlElement&)
{
    const auto markup = ReadListMarkup();
    if (!whiteListRead_ || !markup) {
        TellUser(GetSafeHwnd(), "The white list was not read from its file, so it was not saved. The file is "
                                "unchanged.");
        return S_OK;
    }
    std::string content;
    for (const auto& option : ParseListMarkup(*markup))
        if (!option.text.empty())
            content += option.text + "\r\n";
    if (!ReplaceFileContent(WhiteListPath(), content))
        TellUser(GetSafeHwnd(), "The white list could not be saved. The file is unchanged.");
    return S_OK;
}

HRESULT CNorvaneDlg::OnSelectWhiteList(IHtmlElement&)
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
    WriteUrlBox(selected == options.end() ? std::string() : selected->text);
    return S_OK;
}
