#include <gtest/gtest.h>

#include <vector>

#include "MemoryHtmlView.h"
#include "ModalScript.h"
#include "PageDriver.h"
#include "NotifyIconApi.h"
#include "TrayDialog.h"

namespace {

// Passes every notification-area call on to the shell and records it; an add
// can be made to fail.
struct NotifyRecorder {
    struct Call {
        DWORD op;
        BOOL result;
        UINT id;
        UINT flags;
        std::string tip;
    };
    static inline std::vector<Call> calls;
    static inline bool failAdd = false;
    static BOOL WINAPI Notify(DWORD op, PNOTIFYICONDATAA data)
    {
        EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), data->cbSize);
        const BOOL result = (op == NIM_ADD && failAdd) ? FALSE : Shell_NotifyIconA(op, data);
        calls.push_back({op, result, data->uID, data->uFlags, data->szTip});
        return result;
    }
    NotifyRecorder() : saved_(NotifyIconHook())
    {
        calls.clear();
        failAdd = false;
        NotifyIconHook() = &Notify;
    }
    ~NotifyRecorder() { NotifyIconHook() = saved_; }
    NotifyIconFn saved_;
};

class TestTrayDialog : public CTrayDialog {
public:
    TestTrayDialog() : CTrayDialog(200, 201, nullptr) {}
    const HtmlEventTable* GetEventTableForKey(const std::wstring& key) override
    {
        return key == L"201" ? &table_ : nullptr;
    }
    MemoryHtmlView& Page() { return *dynamic_cast<MemoryHtmlView*>(View()); }
    bool Visible() { return IsWindowVisible(GetSafeHwnd()) != FALSE; }
    void SysCommand(UINT id) { SendMessageA(GetSafeHwnd(), WM_SYSCOMMAND, id, 0); }
    void Notify(WPARAM icon, LPARAM mouse) { SendMessageA(GetSafeHwnd(), WM_TRAYNOTIFY, icon, mouse); }

    int hits = 0;
    std::vector<std::wstring> outerOnClick;

private:
    HtmlEventTable table_{
        {L"btnHit", kEventClick, [this](IHtmlElement&) { return ++hits, S_OK; }},
        {L"chkBox", kEventClick,
         [this](IHtmlElement& e) {
             outerOnClick.push_back(e.GetOuterHtml());
             return S_OK;
         }},
    };
};

class TrayDialogTest : public ::testing::Test {
protected:
    void Prepare()
    {
        dialog_.SetTrayIcon(202);
        dialog_.SetTrayTip("Norvane");
        dialog_.SetTrayMenu(203);
    }
    NotifyRecorder notify_;
    TestTrayDialog dialog_;
};

TEST_F(TrayDialogTest, RecordCarriesIconTipAndMessage)
{
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE), dialog_.NotifyData().uFlags);
    Prepare();
    const NOTIFYICONDATAA& data = dialog_.NotifyData();
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), data.uFlags);
    EXPECT_EQ(WM_USER + 1, data.uCallbackMessage);
    EXPECT_STREQ("Norvane", data.szTip);
    EXPECT_NE(nullptr, data.hIcon);
    EXPECT_EQ(nullptr, dialog_.SetTrayIcon(9999)) << "a missing icon leaves the record alone";
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
}

TEST_F(TrayDialogTest, WindowIsOnScreenOrInTheTrayNeverBoth)
{
    Prepare();
    RunModalScript(dialog_, [&] {
        EXPECT_TRUE(dialog_.Visible());
        EXPECT_TRUE(dialog_.AddTrayIcon());
        EXPECT_FALSE(dialog_.AddTrayIcon()) << "already shown";
        EXPECT_TRUE(dialog_.RemoveTrayIcon());
        EXPECT_FALSE(dialog_.RemoveTrayIcon()) << "not shown";

        dialog_.SysCommand(SC_CLOSE);
        EXPECT_FALSE(dialog_.Visible());
        EXPECT_TRUE(dialog_.IsIconShown());
        dialog_.SysCommand(SC_CLOSE);  // already in the tray: dropped
        EXPECT_FALSE(dialog_.Visible());

        dialog_.Notify(2, WM_LBUTTONDBLCLK);
        EXPECT_FALSE(dialog_.Visible()) << "another icon's notification is ignored";
        dialog_.Notify(1, WM_LBUTTONDOWN);
        dialog_.Notify(1, WM_MOUSEMOVE);
        EXPECT_FALSE(dialog_.Visible());
        dialog_.Notify(1, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(dialog_.Visible());
        EXPECT_FALSE(dialog_.IsIconShown());

        dialog_.SysCommand(SC_MINIMIZE | 3);  // low bits do not matter
        EXPECT_FALSE(dialog_.Visible());
        dialog_.RestoreFromTray();
        EXPECT_TRUE(dialog_.Visible());
        dialog_.RestoreFromTray();  // on screen already: nothing
        EXPECT_TRUE(dialog_.Visible());
        dialog_.SysCommand(SC_CLOSE);
    });
    ASSERT_FALSE(notify_.calls.empty());
    const auto& last = notify_.calls.back();
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), last.op) << "the icon goes with the window";
    EXPECT_TRUE(last.result);
    for (const auto& call : notify_.calls) {
        EXPECT_EQ(1u, call.id);
        EXPECT_TRUE(call.result);
    }
}

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    EndMenu();
}

TEST_F(TrayDialogTest, RightClickOpensTheMenuWhichHasADefaultItemAfterItsFirstUse)
{
    Prepare();
    RunModalScript(dialog_, [&] {
        HMENU popup = GetSubMenu(dialog_.TrayMenu(), 0);
        EXPECT_EQ(static_cast<UINT>(-1), GetMenuDefaultItem(popup, TRUE, 0)) << "none before the first use";
        for (LPARAM click : {LPARAM{WM_RBUTTONDOWN}, LPARAM{WM_CONTEXTMENU}}) {
            SetTimer(nullptr, 0, 300, CloseMenu);  // the person closes the menu again
            dialog_.Notify(1, click);
            EXPECT_EQ(0u, GetMenuDefaultItem(popup, TRUE, 0)) << "Enable is the default item";
        }
    });
}

TEST_F(TrayDialogTest, FailingAddKeepsTheWindowOnScreen)
{
    Prepare();
    RunModalScript(dialog_, [&] {
        NotifyRecorder::failAdd = true;
        dialog_.SysCommand(SC_CLOSE);
        EXPECT_TRUE(dialog_.Visible());
        EXPECT_FALSE(dialog_.IsIconShown());
        NotifyRecorder::failAdd = false;
        dialog_.SysCommand(SC_CLOSE);
        EXPECT_FALSE(dialog_.Visible());
        dialog_.RestoreFromTray();
    });
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), notify_.calls.back().op);
}

TEST_F(TrayDialogTest, NoIconLeftWhenTheWindowEndsOnScreen)
{
    Prepare();
    RunModalScript(dialog_, [&] {});
    EXPECT_TRUE(notify_.calls.empty());
}

TEST_F(TrayDialogTest, EventsReachTheHandlerBoundToTheSourceId)
{
    RunModalScript(dialog_, [&] {
        PageDriver page(dialog_.Page());
        EXPECT_TRUE(page.Click(L"btnHit"));
        EXPECT_EQ(1, dialog_.hits);
        EXPECT_TRUE(page.KeyUp(L"btnHit"));
        EXPECT_EQ(1, dialog_.hits) << "only the click is bound";

        // A replaced element keeps its handler: matched by id when raised.
        auto box = dialog_.GetElement(L"chkBox");
        ASSERT_TRUE(box);
        ASSERT_TRUE(box->SetOuterHtml(L"<INPUT id='chkBox' type='checkbox' name='chkBox' checked>"));
        EXPECT_TRUE(page.Click(L"chkBox"));
        ASSERT_EQ(1u, dialog_.outerOnClick.size());
        EXPECT_EQ(L"<INPUT id=chkBox type=checkbox name=chkBox>", dialog_.outerOnClick[0])
            << "the click unticked the box before the handler ran";
        EXPECT_TRUE(page.Click(L"chkBox"));
        EXPECT_EQ(L"<INPUT id=chkBox type=checkbox name=chkBox CHECKED>", dialog_.outerOnClick[1]);

        EXPECT_TRUE(page.ClickOption(L"selectList", L"c"));
        EXPECT_EQ(L"<OPTION>a &lt;b&gt;</OPTION><OPTION selected>c</OPTION>",
                  dialog_.GetElement(L"selectList")->GetInnerHtml());
        EXPECT_FALSE(page.Click(L"noSuchElement"));
    });
}

}  // namespace
