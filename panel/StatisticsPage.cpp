// The Statistics page: the four counters, and Reset.
#include <string>

#include "NorvaneDlg.h"
#include "PanelSettings.h"

namespace {

std::wstring ValueMarkup(DWORD count)
{
    // Shown as a signed number, as the counters always were.
    return L"<font  color='#f95f21' face='verdana' size='2'><b>" + std::to_wstring(static_cast<int>(count)) +
           L"</b></font>";
}

}  // namespace

void CNorvaneDlg::FillStatisticsPage()
{
    const struct {
        const wchar_t* cell;
        CRegNumberValue& counter;
    } rows[] = {{L"idEntriesHistory", panel::RemoveHistoryEntries()},
                {L"idEntriesCookies", panel::RemoveCookiesEntries()},
                {L"idEntriesTempFiles", panel::RemoveCacheEntries()},
                {L"idEntriesUrls", panel::RemoveLastTypedEntries()}};
    for (const auto& row : rows) {
        auto cell = GetElement(row.cell);
        if (cell)
            cell->SetInnerHtml(ValueMarkup(row.counter.Read()));
    }
}

HRESULT CNorvaneDlg::OnClickReset(IHtmlElement&)
{
    panel::RemoveCacheEntries().Set(0);
    panel::RemoveCookiesEntries().Set(0);
    panel::RemoveHistoryEntries().Set(0);
    panel::RemoveLastTypedEntries().Set(0);
    FillStatisticsPage();
    return S_OK;
}
