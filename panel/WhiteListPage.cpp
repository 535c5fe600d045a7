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
    for (const auto& option : options)
        markup += std::string(option.selected ? "<option selected>" : "<option>") + EscapeMarkup(option.text) +
                  "</option>";
    return markup + "</select>";
}

// Every non-empty line of the file, whatever it holds and however long.
std::vector<ListOption> ReadWhiteListFile(const std::string& path)
{
    std::vector<ListOption> options;
    const auto text = ReadTextModeFile(path);
    if (!text)
        return options;
    std::size_t start = 0;
    while (start < text->size()) {
        const std::size_t end = std::min(text->find('\n', start), text->size());
        if (end > start)
            options.push_back({text->substr(start, end - start), false});
        start = end + 1;
    }
    return options;
}

// Writes the whole list beside the file first and then puts it in the file's
// place in one step, so a reader sees the old list or the new one, never a
// part; when anything fails the old file stays as it was.
bool ReplaceFileContent(const std::string& path, const std::string& content)
{
    const std::string temporary = path + ".saving";
    {
        FileHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        DWORD written = 0;
        const bool whole = content.empty() ||
                           (WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                                      nullptr) &&
                            written == content.size());
        if (!whole || !FlushFileBuffers(file.get())) {
            file.reset();
            DeleteFileA(temporary.c_str());
            return false;
        }
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
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
    WriteList(ReadWhiteListFile(WhiteListPath()));
    WriteUrlBox(panel::LastDomain().Read());
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
    if (!markup)
        return S_OK;
    std::string content;
    for (const auto& option : ParseListMarkup(*markup))
        if (!option.text.empty())
            content += option.text + "\r\n";
    ReplaceFileContent(WhiteListPath(), content);
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
