#pragma once
// The Statistics page: the four counters, and Reset.
#include "Page.h"

class CStatisticsPage : public CPage {
public:
    explicit CStatisticsPage(CDHtmlDialog& dialog);

    void Fill() override { FillStatisticsPage(); }
    void FillStatisticsPage();
    HRESULT OnClickReset(IHtmlElement&);
};
