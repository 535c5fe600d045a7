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
    // Written every time, also where the copy already holds 0: a guard may
    // have counted since the page was filled, and the user asked for zeros.
    for (CRegNumberValue* counter : {&panel::RemoveCacheEntries(), &panel::RemoveCookiesEntries(),
                                     &panel::RemoveHistoryEntries(), &panel::RemoveLastTypedEntries()}) {
        if (counter->Get() != 0)
            counter->Set(0);
        else
            counter->Write();
    }
    FillStatisticsPage();
    return S_OK;
}
