#include "StatisticsPage.h"

#include <string>
#include <vector>

#include "PanelSettings.h"
#include "resource.h"

namespace {

std::wstring ValueMarkup(DWORD count)
{
    // Shown as a signed number, as the counters always were.
    return L"<font  color='#f95f21' face='verdana' size='2'><b>" + std::to_wstring(static_cast<int>(count)) +
           L"</b></font>";
}

// Each counter as the guards keep it: in the machine's settings (both
// bitnesses), under AppDataLow for the passes of a browser in Protected
// Mode, and in the AppContainer of Enhanced Protected Mode tabs.
struct CounterSet {
    const wchar_t* cell;
    CRegNumberValue& machine;
    CRegNumberValue& low;
    CRegNumberValue& container;
};

std::vector<CounterSet> Counters()
{
    using namespace panel;
    return {{L"idEntriesHistory", RemoveHistoryEntries(), LowRemoveHistoryEntries(), ContainerRemoveHistoryEntries()},
            {L"idEntriesCookies", RemoveCookiesEntries(), LowRemoveCookiesEntries(), ContainerRemoveCookiesEntries()},
            {L"idEntriesTempFiles", RemoveCacheEntries(), LowRemoveCacheEntries(), ContainerRemoveCacheEntries()},
            {L"idEntriesUrls", RemoveLastTypedEntries(), LowRemoveLastTypedEntries(),
             ContainerRemoveLastTypedEntries()}};
}

// Written every time, also where the copy already holds 0: a guard may have
// counted since the page was filled, and the user asked for zeros.
void WriteZero(CRegNumberValue& counter)
{
    if (counter.Get() != 0)
        counter.Set(0);
    else
        counter.Write();
}

}  // namespace

CStatisticsPage::CStatisticsPage(CDHtmlDialog& dialog) : CPage(dialog, IDR_HTML_STATISTICS)
{
    On(L"btnReset", kEventClick, &CStatisticsPage::OnClickReset);
}

void CStatisticsPage::FillStatisticsPage()
{
    for (const auto& row : Counters()) {
        if (auto cell = GetElement(row.cell))
            cell->SetInnerHtml(ValueMarkup(row.machine.Read() + row.low.Read() + row.container.Read()));
    }
}

HRESULT CStatisticsPage::OnClickReset(IHtmlElement&)
{
    for (const auto& row : Counters()) {
        WriteZero(row.machine);
        WriteZero(row.low);
        // Only a count the container holds: its storage is the platform's to
        // make, with the container's access, never the panel's.
        if (row.container.Refresh())
            WriteZero(row.container);
    }
    FillStatisticsPage();
    return S_OK;
}
