// The Statistics page: the four counters, and Reset.
#include <string>
#include <vector>

#include "NorvaneDlg.h"
#include "PanelSettings.h"

namespace {

std::wstring ValueMarkup(DWORD count)
{
    // Shown as a signed number, as the counters always were.
    return L"<font  color='#f95f21' face='verdana' size='2'><b>" + std::to_wstring(static_cast<int>(count)) +
           L"</b></font>";
}


// Each counter as the guards keep it: in the machine's settings, and under
// AppDataLow for the passes of a browser in Protected Mode.
struct CounterPair {
    const wchar_t* cell;
    CRegNumberValue& machine;
    CRegNumberValue& low;
};

std::vector<CounterPair> Counters()
{
    return {{L"idEntriesHistory", panel::RemoveHistoryEntries(), panel::LowRemoveHistoryEntries()},
            {L"idEntriesCookies", panel::RemoveCookiesEntries(), panel::LowRemoveCookiesEntries()},
            {L"idEntriesTempFiles", panel::RemoveCacheEntries(), panel::LowRemoveCacheEntries()},
            {L"idEntriesUrls", panel::RemoveLastTypedEntries(), panel::LowRemoveLastTypedEntries()}};
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

void CNorvaneDlg::FillStatisticsPage()
{
    for (const auto& row : Counters()) {
        if (auto cell = GetElement(row.cell))
            cell->SetInnerHtml(ValueMarkup(row.machine.Read() + row.low.Read()));
    }
}

HRESULT CNorvaneDlg::OnClickReset(IHtmlElement&)
{
    for (const auto& row : Counters()) {
        WriteZero(row.machine);
        WriteZero(row.low);
    }
    FillStatisticsPage();
    return S_OK;
}
