// The control panel's pages on the in-memory engine, in a program named
// Norvane.exe (the pages are filled only then), against Wine's real registry.
#include <gtest/gtest.h>

#include "BrowserStandIn.h"
#include "DomainTracker.h"
#include "IEWebGuard.h"
#include "Handle.h"
#include "MarkupText.h"
#include "CleaningQueue.h"
#include "MessageBoxRecorder.h"
#include "MemoryHtmlView.h"
#include "ModalScript.h"
#include "PageDriver.h"
#include "NotifyIconApi.h"
#include "WarningDialog.h"
#include "NorvaneDlg.h"
#include "PanelSettings.h"
#include "Process.h"
#include "AppContainer.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "TextFile.h"
#include "resource.h"
#include "WhiteListFile.h"

namespace {

const char kKey[] = "Software\\Norvane";
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const HKEY kRoot = HKEY_LOCAL_MACHINE;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class PageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetEarlierTests();
        SetDword(kRoot, kKey, "NVXMinimize", 0);
        UseAppPath(OwnFolder());
    }
    // The folder of this program: the panel's own folder, as AppPath names it
    // on every normal install.
    static std::string OwnProgram()
    {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        return path;
    }
    static std::string OwnFolder() { return OwnProgram().substr(0, OwnProgram().find_last_of('\\')); }
    static std::string OwnWhiteList() { return OwnFolder() + "\\WhiteList.txt"; }
    // The panel's accessors live for the whole process: bring their copies
    // back to what a panel started on an empty registry holds.
    static void ForgetEarlierTests()
    {
        for (CRegNumberValue* n :
             {&panel::RemoveCookies(), &panel::RemoveCookiesEntries(), &panel::RemoveCache(),
              &panel::RemoveCacheEntries(), &panel::RemoveHistory(), &panel::RemoveHistoryEntries(),
              &panel::RemoveLastTyped(), &panel::RemoveLastTypedEntries(), &panel::BHOEnabled(),
              &panel::NVXMinimize(), &panel::LowRemoveCookiesEntries(), &panel::LowRemoveCacheEntries(),
              &panel::LowRemoveHistoryEntries(), &panel::LowRemoveLastTypedEntries()}) {
            SetDword(n->Root(), n->KeyPath(), n->ValueName(), 0);
            n->Read();
        }
        for (CRegTextValue* t : {&panel::AppPath(), &panel::StartUpCommand(),
                                 &panel::LowLastDomain(), &panel::UserStartUpCommand()}) {
            SetString(t->Root(), t->KeyPath(), t->ValueName(), "");
            t->Read();
        }
        DeleteTree(kRoot, kKey);
        DeleteTree(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane");
        DeleteValue(kRoot, kRun, "Norvane");
        DeleteValue(HKEY_CURRENT_USER, kRun, "Norvane");
    }
    void UseAppPath(const std::string& path)
    {
        SetString(kRoot, kKey, "AppPath", path);
        panel::AppPath().Read();  // what a panel started now would have read
    }
    // Runs the main window with the script inside its message loop.
    void Run(const std::function<void()>& script)
    {
        CNorvaneDlg dialog;
        dialog_ = &dialog;
        RunModalScript(dialog, script);
        dialog_ = nullptr;
    }
    MemoryHtmlView& View() { return *dynamic_cast<MemoryHtmlView*>(dialog_->View()); }
    // A person's hands on the page.
    PageDriver Page() { return PageDriver(View()); }
    std::wstring Outer(const wchar_t* id)
    {
        auto e = dialog_->GetElement(id);
        return e ? e->GetOuterHtml() : L"<missing>";
    }
    std::wstring Inner(const wchar_t* id)
    {
        auto e = dialog_->GetElement(id);
        return e ? e->GetInnerHtml() : L"<missing>";
    }
    // What the page's mark-up says of a box, as a person reading it would.
    bool Checked(const wchar_t* id)
    {
        const std::wstring markup = Outer(id);
        return markup.find(L"checked", 1) != std::wstring::npos || markup.find(L"CHECKED", 1) != std::wstring::npos;
    }
    bool OnPage(UINT id) { return View().Url().find(L"/" + std::to_wstring(id)) != std::wstring::npos; }

    RegistrySandbox settings_{kRoot, kKey};
    RegistrySandbox run_{kRoot, kRun};
    RegistrySandbox userRun_{HKEY_CURRENT_USER, kRun};
    RegistrySandbox lowSettings_{HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane"};
    FileSandbox whiteList_{OwnWhiteList()};
    TempDir dir_;
    CNorvaneDlg* dialog_ = nullptr;
};

// ---- Main window and tabs ----------------------------------------------

TEST_F(PageTest, TabsLoadTheirPagesAndFillThem)
{
    SetDword(kRoot, kKey, "RemoveCookies", 1);
    SetDword(kRoot, kKey, "RemoveHistoryEntries", 7);
    SetString(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane", "LastDomain", "example.com");
    Run([&] {
        EXPECT_TRUE(OnPage(IDR_HTML_OPTIONS));
        EXPECT_TRUE(Checked(L"chkRemoveCookies"));
        Page().Click(L"Statistics");
        EXPECT_TRUE(OnPage(IDR_HTML_STATISTICS));
        EXPECT_NE(std::wstring::npos, Inner(L"idEntriesHistory").find(L"<B>7</B>"));
        Page().Click(L"WhiteList");
        EXPECT_TRUE(OnPage(IDR_HTML_WHITELIST));
        EXPECT_EQ(L"example.com", dialog_->GetElement(L"idUrlText")->GetAttribute(L"value").value());
        Page().Click(L"Help");
        EXPECT_TRUE(OnPage(IDR_HTML_HELP));
        EXPECT_EQ(L"<missing>", Outer(L"btnDone")) << "Help has no Done button";
        Page().Click(L"Options");
        EXPECT_TRUE(OnPage(IDR_HTML_OPTIONS));
        EXPECT_TRUE(Checked(L"chkRemoveCookies"));
    });
}

TEST_F(PageTest, DoneHidesToTheTrayAndWritesNothing)
{
    Run([&] {
        Page().Click(L"Statistics");
        Page().Click(L"btnDone");
        EXPECT_FALSE(IsWindowVisible(dialog_->GetSafeHwnd()));
        EXPECT_TRUE(dialog_->IsIconShown());
        dialog_->RestoreFromTray();
        EXPECT_TRUE(IsWindowVisible(dialog_->GetSafeHwnd()));
    });
    EXPECT_FALSE(ValueExists(kRoot, kKey, "RemoveCookies"));
}

TEST_F(PageTest, TrayMenuTogglesTheGuardAndShowsItsState)
{
    Run([&] {
        HWND window = dialog_->GetSafeHwnd();
        HMENU popup = GetSubMenu(dialog_->TrayMenu(), 0);
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
        EXPECT_FALSE(GetMenuState(popup, ID_TRAY_ENABLE, MF_BYCOMMAND) & MF_CHECKED) << "missing: not checked";
        SendMessageA(window, WM_COMMAND, ID_TRAY_ENABLE, 0);
        EXPECT_EQ(1u, GetDword(kRoot, kKey, "BHOEnabled"));
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
        EXPECT_TRUE(GetMenuState(popup, ID_TRAY_ENABLE, MF_BYCOMMAND) & MF_CHECKED);
        SendMessageA(window, WM_COMMAND, ID_TRAY_ENABLE, 0);
        EXPECT_EQ(0u, GetDword(kRoot, kKey, "BHOEnabled"));

        // Fixed by a policy: shown as the policy has it, greyed, and a
        // command sent all the same changes nothing.
        RegistrySandbox policies{kRoot, "Software\\Policies\\Norvane"};
        SetDword(kRoot, "Software\\Policies\\Norvane", "BHOEnabled", 1);
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
        EXPECT_TRUE(GetMenuState(popup, ID_TRAY_ENABLE, MF_BYCOMMAND) & MF_CHECKED);
        EXPECT_TRUE(GetMenuState(popup, ID_TRAY_ENABLE, MF_BYCOMMAND) & MF_GRAYED);
        SendMessageA(window, WM_COMMAND, ID_TRAY_ENABLE, 0);
        EXPECT_EQ(0u, GetDword(kRoot, kKey, "BHOEnabled"));

        SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_FALSE(IsWindowVisible(window));
        SendMessageA(window, WM_COMMAND, ID_TRAY_CONFIGURATION, 0);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_FALSE(dialog_->IsIconShown());
    });
}

TEST_F(PageTest, ProgramStartedUnderAnotherSpellingFillsItsPages)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string name = std::string(self).substr(std::string(self).find_last_of('\\') + 1);
    if (name == "Norvane.exe") {
        // Run this same test from a copy named as an 8.3 path or a script may name it.
        const std::string copy = dir_.File("NORVANE.EXE");
        ASSERT_TRUE(CopyFileA(self, copy.c_str(), FALSE));
        EXPECT_EQ(0, RunProgram("\"" + copy + "\" --gtest_filter=PageTest.ProgramStartedUnderAnotherSpellingFillsItsPages"));
        return;
    }
    SetDword(kRoot, kKey, "RemoveCookies", 1);
    SetDword(kRoot, kKey, "RemoveHistoryEntries", 7);
    WriteBytes(OwnWhiteList(), "a.example\r\nb.example\r\n");
    Run([&] {
        EXPECT_TRUE(Checked(L"chkRemoveCookies")) << "Options filled";
        Page().Click(L"Statistics");
        EXPECT_NE(std::wstring::npos, Inner(L"idEntriesHistory").find(L"<B>7</B>")) << "Statistics filled";
        Page().Click(L"WhiteList");
        Page().Type(L"idUrlText", L"c.example");
        Page().Click(L"btnAdd");
        Page().Click(L"btnSave");
    });
    EXPECT_EQ("a.example\r\nb.example\r\nc.example\r\n", ReadBytes(OwnWhiteList()))
        << "the list was read before it was saved";
}

// ---- Tray: on screen or in the tray, never neither -----------------------

// A shell whose notification area can be missing (no taskbar yet) or lose
// every icon (Explorer restarted); otherwise Wine's own.
struct StandInShell {
    static inline bool taskbar = true;
    static inline int adds = 0;
    static BOOL WINAPI Notify(DWORD op, PNOTIFYICONDATAA data)
    {
        if (op == NIM_ADD)
            ++adds;
        return taskbar ? Shell_NotifyIconA(op, data) : FALSE;
    }
    // The shell restarts: every icon is gone, then the new taskbar says so.
    static void Restart(HWND window, const NOTIFYICONDATAA& icon)
    {
        NOTIFYICONDATAA copy = icon;
        Shell_NotifyIconA(NIM_DELETE, &copy);
        SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    }
    StandInShell() : saved_(NotifyIconHook())
    {
        taskbar = true;
        adds = 0;
        NotifyIconHook() = &Notify;
    }
    ~StandInShell() { NotifyIconHook() = saved_; }
    NotifyIconFn saved_;
};

bool HasShellIcon(const NOTIFYICONDATAA& icon)
{
    NOTIFYICONDATAA copy = icon;
    return Shell_NotifyIconA(NIM_MODIFY, &copy) != FALSE;
}

TEST_F(PageTest, LaterStartBeforeTheTaskbarExistsStaysOnScreenUntilTheIconIsIn)
{
    SetDword(kRoot, kKey, "NVXMinimize", 1);
    StandInShell shell;
    shell.taskbar = false;
    Run([&] {
        HWND window = dialog_->GetSafeHwnd();
        PumpMessages(100);  // the hide-at-start timer fires
        EXPECT_TRUE(IsWindowVisible(window)) << "no icon, so not hidden";
        EXPECT_FALSE(dialog_->IsIconShown());
        shell.taskbar = true;
        SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_TRUE(dialog_->IsIconShown());
        EXPECT_TRUE(HasShellIcon(dialog_->NotifyData()));
        EXPECT_FALSE(IsWindowVisible(window)) << "the hide it waited for";
    });
}

TEST_F(PageTest, ShellTooBusyForTheIconIsAskedAgain)
{
    SetDword(kRoot, kKey, "NVXMinimize", 1);
    StandInShell shell;
    shell.taskbar = false;
    Run([&] {
        HWND window = dialog_->GetSafeHwnd();
        PumpMessages(100);
        ASSERT_TRUE(IsWindowVisible(window));
        const int refused = shell.adds;
        shell.taskbar = true;  // the shell takes icons again; no message says so
        PumpMessages(1500);
        EXPECT_GT(shell.adds, refused);
        EXPECT_TRUE(dialog_->IsIconShown());
        EXPECT_FALSE(IsWindowVisible(window));
    });
}

TEST_F(PageTest, ShellRestartPutsTheIconBackOrTheWindowOnScreen)
{
    StandInShell shell;
    Run([&] {
        HWND window = dialog_->GetSafeHwnd();
        Page().Click(L"btnDone");
        ASSERT_TRUE(dialog_->IsIconShown());
        SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_TRUE(dialog_->IsIconShown()) << "the icon survived: nothing changes";
        EXPECT_FALSE(IsWindowVisible(window));
        StandInShell::Restart(window, dialog_->NotifyData());
        EXPECT_TRUE(HasShellIcon(dialog_->NotifyData())) << "added again";
        EXPECT_FALSE(IsWindowVisible(window));

        shell.taskbar = false;  // a taskbar that will not take the icon this time
        StandInShell::Restart(window, dialog_->NotifyData());
        EXPECT_FALSE(dialog_->IsIconShown()) << "the flag says what the shell has";
        EXPECT_TRUE(IsWindowVisible(window)) << "not lost: on screen";

        shell.taskbar = true;
        Page().Click(L"btnDone");
        EXPECT_FALSE(IsWindowVisible(window)) << "Done still hides once the shell takes the icon";
        EXPECT_TRUE(dialog_->IsIconShown());
    });
}

TEST_F(PageTest, SecondStartAfterTheShellLostTheIconShowsTheWindowAndDoneStillWorks)
{
    StandInShell shell;
    Run([&] {
        HWND window = dialog_->GetSafeHwnd();
        Page().Click(L"btnDone");
        ASSERT_TRUE(dialog_->IsIconShown());
        NOTIFYICONDATAA copy = dialog_->NotifyData();
        Shell_NotifyIconA(NIM_DELETE, &copy);  // gone, and no taskbar message came
        SendMessageA(window, CNorvaneDlg::ShowRequestMessage(), 0, 0);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_FALSE(dialog_->IsIconShown());
        Page().Click(L"btnDone");
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_TRUE(HasShellIcon(dialog_->NotifyData()));
    });
}

TEST_F(PageTest, ShowRequestBeforeTheHideAtStartStopsTheHide)
{
    SetDword(kRoot, kKey, "NVXMinimize", 1);
    Run([&] {
        HWND window = dialog_->GetSafeHwnd();
        SendMessageA(window, CNorvaneDlg::ShowRequestMessage(), 0, 0);
        PumpMessages(100);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_FALSE(dialog_->IsIconShown());
    });
}

// ---- Options ------------------------------------------------------------

TEST_F(PageTest, OptionsShowTheRegistryAsItIsAtLoad)
{
    SetDword(kRoot, kKey, "RemoveCookies", 2);
    SetDword(kRoot, kKey, "RemoveHistory", 1);
    SetDword(kRoot, kKey, "RemoveCache", 1);
    SetString(kRoot, kRun, "Norvane", "");
    Run([&] {
        EXPECT_FALSE(Checked(L"chkRemoveCookies")) << "2 is not on";
        EXPECT_TRUE(Checked(L"chkRemoveHistory"));
        EXPECT_TRUE(Checked(L"chkRemoveTempFiles"));
        EXPECT_FALSE(Checked(L"chkRemoveLastUrl"));
        EXPECT_FALSE(Checked(L"chkRunStartUp")) << "empty data is off";
        SetString(kRoot, kRun, "Norvane", "C:\\Other\\program.exe");
        SetDword(kRoot, kKey, "RemoveHistory", 0);
        Page().Click(L"Statistics");
        Page().Click(L"Options");
        EXPECT_TRUE(Checked(L"chkRunStartUp")) << "any text is on";
        EXPECT_FALSE(Checked(L"chkRemoveHistory")) << "each load reads anew";
        // The boxes' windows, kept while Statistics showed, say the same.
        EXPECT_EQ(BST_CHECKED, SendMessageW(View().ControlOf(L"chkRunStartUp"), BM_GETCHECK, 0, 0));
        EXPECT_EQ(BST_UNCHECKED, SendMessageW(View().ControlOf(L"chkRemoveHistory"), BM_GETCHECK, 0, 0));
    });
}

TEST_F(PageTest, ABoxAPolicyFixesShowsThePolicyDisabledAndAClickChangesNothing)
{
    const char kPolicies[] = "Software\\Policies\\Norvane";
    RegistrySandbox policies{kRoot, kPolicies};
    SetDword(kRoot, kKey, "RemoveCookies", 0);
    SetDword(kRoot, kKey, "RemoveHistory", 1);
    SetDword(kRoot, kPolicies, "RemoveCookies", 1);
    SetDword(kRoot, kPolicies, "RemoveHistory", 0);
    SetDword(kRoot, kPolicies, "RunAtStartUp", 1);
    Run([&] {
        EXPECT_TRUE(Checked(L"chkRemoveCookies")) << "the policy's 1 over the user's 0";
        EXPECT_FALSE(Checked(L"chkRemoveHistory")) << "the policy's 0 over the user's 1";
        EXPECT_TRUE(Checked(L"chkRunStartUp"));
        for (const wchar_t* fixed : {L"chkRemoveCookies", L"chkRemoveHistory", L"chkRunStartUp"}) {
            EXPECT_FALSE(IsWindowEnabled(View().ControlOf(fixed))) << "shown disabled";
            Page().Click(fixed);
        }
        EXPECT_TRUE(IsWindowEnabled(View().ControlOf(L"chkRemoveTempFiles"))) << "no policy: the user's";
        Page().Click(L"chkRemoveTempFiles");
    });
    EXPECT_EQ(0u, GetDword(kRoot, kKey, "RemoveCookies")) << "a fixed setting is never written";
    EXPECT_EQ(1u, GetDword(kRoot, kKey, "RemoveHistory"));
    EXPECT_FALSE(ValueExists(kRoot, kRun, "Norvane"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRun, "Norvane"));
    EXPECT_EQ(1u, GetDword(kRoot, kKey, "RemoveCache")) << "the box no policy fixes";
}

TEST_F(PageTest, ClicksWriteAtOnceAndTwoClicksRestore)
{
    SetDword(kRoot, kKey, "RemoveCookies", 2);
    Run([&] {
        Page().Click(L"chkRemoveCookies");
        EXPECT_EQ(1u, GetDword(kRoot, kKey, "RemoveCookies"));
        Page().Click(L"chkRemoveLastUrl");
        EXPECT_EQ(1u, GetDword(kRoot, kKey, "RemoveLastTyped"));
        Page().Click(L"chkRemoveLastUrl");
        EXPECT_EQ(0u, GetDword(kRoot, kKey, "RemoveLastTyped"));
        Page().Click(L"chkRemoveTempFiles");
        EXPECT_EQ(1u, GetDword(kRoot, kKey, "RemoveCache"));
        Page().Click(L"chkRemoveHistory");
        EXPECT_EQ(1u, GetDword(kRoot, kKey, "RemoveHistory"));
    });
}

TEST_F(PageTest, FailedWriteKeepsTheBoxAndTheNextLoadShowsTheRegistry)
{
    Run([&] {
        {
            RegistryApi failing;
            failing.SetValueEx = DeniedSetValueEx;
            ScopedRegistryApi scope(failing);
            Page().Click(L"chkRemoveCookies");
        }
        EXPECT_TRUE(Checked(L"chkRemoveCookies")) << "as the user set it";
        EXPECT_FALSE(ValueExists(kRoot, kKey, "RemoveCookies"));
        Page().Click(L"Options");
        EXPECT_FALSE(Checked(L"chkRemoveCookies"));
    });
}

TEST_F(PageTest, StartUpCommandIsQuotedAndUncheckingEmptiesIt)
{
    // Whatever AppPath holds (any user may set it), the command is the
    // running program's own path.
    const std::string folders[] = {"C:\\Program Files\\Norvane", "C:\\Elsewhere\\", ""};
    for (int i = 0; i < 3; ++i) {
        UseAppPath(folders[i]);
        Run([&] {
            Page().Click(L"chkRunStartUp");
            EXPECT_EQ("\"" + OwnProgram() + "\"", GetString(kRoot, kRun, "Norvane")) << folders[i];
            Page().Click(L"chkRunStartUp");
            DWORD type = 0;
            std::string bytes;
            ASSERT_TRUE(QueryRaw(kRoot, kRun, "Norvane", type, bytes)) << "emptied, not deleted";
            EXPECT_EQ(std::string(1, '\0'), bytes);
        });
    }
}

TEST_F(PageTest, StandardUserRunAtStartUpGoesToTheUsersOwnRunKey)
{
    RegistryApi standardUser;
    standardUser.CreateKeyEx = &MachineDeniedCreateKeyEx;
    ScopedRegistryApi scoped(standardUser);
    Run([&] {
        Page().Click(L"chkRunStartUp");
        EXPECT_EQ("\"" + OwnProgram() + "\"", GetString(HKEY_CURRENT_USER, kRun, "Norvane"));
        EXPECT_FALSE(ValueExists(kRoot, kRun, "Norvane"));
        Page().Click(L"Statistics");
        Page().Click(L"Options");
        EXPECT_TRUE(Checked(L"chkRunStartUp")) << "the page shows what starts at log-on";
        Page().Click(L"chkRunStartUp");
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRun, "Norvane")) << "unticked: removed";
        Page().Click(L"Statistics");
        Page().Click(L"Options");
        EXPECT_FALSE(Checked(L"chkRunStartUp"));
    });
}

TEST(MarkupTextTest, WideToAnsiConvertsAnyLengthWhole)
{
    EXPECT_EQ("a?b", WideToAnsi(L"a\x4e2d" L"b").value());
    EXPECT_EQ(std::string(100000, 'x'), WideToAnsi(std::wstring(100000, L'x')).value());
    EXPECT_EQ(std::string("a\0b", 3), WideToAnsi(std::wstring(L"a\0b", 3)).value()) << "not cut at a NUL";
}

// ---- White list -----------------------------------------------------------

class WhiteListPageTest : public PageTest {
protected:
    std::string File() { return OwnWhiteList(); }
    std::vector<std::string> Shown()
    {
        std::vector<std::string> texts;
        for (const auto& option : ParseListMarkup(Inner(L"selectWhiteList")))
            texts.push_back(*WideToAnsi(option.text));
        return texts;
    }
    std::string UrlBox() { return *WideToAnsi(dialog_->GetElement(L"idUrlText")->GetAttribute(L"value").value()); }
    // What the list box window itself holds, and its selected line (-1: none).
    std::pair<std::vector<std::string>, int> OnScreen()
    {
        HWND list = View().ControlOf(L"selectWhiteList");
        std::vector<std::string> lines;
        const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t text[2048] = {};
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            lines.push_back(*WideToAnsi(text));
        }
        return {lines, static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0))};
    }
    void Add(const std::string& text)
    {
        Page().Type(L"idUrlText", Wide(text));
        Page().Click(L"btnAdd");
    }
};

using Texts = std::vector<std::string>;

TEST_F(WhiteListPageTest, TheUrlBoxOffersTheSiteOfTheLatestNavigationWhicheverStoreItsGuardCouldWrite)
{
    RegistrySandbox storage{HKEY_CURRENT_USER, kIeContainerStorage};
    const std::string container = std::string(kIeContainerStorage) + "\\Software\\Norvane";
    const char kLow[] = "Software\\AppDataLow\\Software\\Norvane";
    // A guard's navigation: the domain and the time it was written.
    const auto navigated = [](const std::string& store, const char* domain, const char* time) {
        SetString(HKEY_CURRENT_USER, store, "LastDomain", domain);
        SetString(HKEY_CURRENT_USER, store, "LastDomainTime", time);
    };
    const auto offered = [&] {
        std::string shown;
        Run([&] {
            Page().Click(L"WhiteList");
            shown = UrlBox();
        });
        return shown;
    };
    SetString(HKEY_CURRENT_USER, kLow, "LastDomain", "earlier.example");  // a guard that kept no time
    EXPECT_EQ("earlier.example", offered()) << "no tab ever ran in the container";
    navigated(container, "epm.example", "01DC6A0000000001");
    EXPECT_EQ("epm.example", offered()) << "an Enhanced Protected Mode tab navigated last";
    navigated(kLow, "later.example", "01DC6A0000000002");
    EXPECT_EQ("later.example", offered());
    navigated(container, "future.example", "7FFFFFFFFFFFFFFF");  // any process in the container may write it
    EXPECT_EQ("later.example", offered()) << "a time still to come is none";
    SetDword(HKEY_CURRENT_USER, container, "RemoveCacheEntries", 3);  // the tab counts a pass
    EXPECT_EQ("later.example", offered()) << "a count is no navigation";
}

TEST_F(WhiteListPageTest, APolicysEntriesAreShownBesideTheListNeverRemovedNorSavedIntoTheUsersFile)
{
    const char kPolicyList[] = "Software\\Policies\\Norvane\\WhiteList";
    RegistrySandbox policies{kRoot, "Software\\Policies\\Norvane"};
    SetString(kRoot, kPolicyList, "1", "corp.example");
    SetString(kRoot, kPolicyList, "2", "<b>intranet</b>");
    WriteBytes(OwnWhiteList(), "mine.example\r\n");
    Run([&] {
        Page().Click(L"WhiteList");
        const std::wstring shown = Inner(L"select");
        EXPECT_NE(std::wstring::npos, shown.find(L"Kept by your administrator: corp.example, &lt;b&gt;intranet&lt;/b&gt;"))
            << "escaped, as every entry is";
        Page().Click(L"btnRemove");
        Page().Click(L"btnSave");
    });
    EXPECT_EQ("mine.example\r\n", ReadBytes(OwnWhiteList())) << "the user's own list, and only it";
}

TEST_F(WhiteListPageTest, EveryLineOfTheFileIsOneEntryShownAndSavedUnchanged)
{
    const std::string longLine(1500, 'w');
    const Texts entries = {"news # site", "my selected site", "a&b", "<b>bold</b>", "it's \"quoted\"", longLine,
                           "OPTION"};
    std::string file;
    for (const auto& e : entries)
        file += e + "\r\n";
    WriteBytes(File(), file);
    Run([&] {
        Page().Click(L"WhiteList");
        EXPECT_EQ(entries, Shown());
        Page().Click(L"btnSave");
    });
    EXPECT_EQ(file, ReadBytes(File()));
}

TEST_F(WhiteListPageTest, HandWrittenFileWithEmptyLinesAndNoFinalBreak)
{
    WriteBytes(File(), "a.example\r\n\r\nb.example\r\n\nc.example");
    Run([&] {
        Page().Click(L"WhiteList");
        EXPECT_EQ((Texts{"a.example", "b.example", "c.example"}), Shown());
        Page().Click(L"btnSave");
    });
    EXPECT_EQ("a.example\r\nb.example\r\nc.example\r\n", ReadBytes(File()));
}

TEST_F(WhiteListPageTest, AddRefusesOnlyAnEqualEntry)
{
    WriteBytes(File(), "news.sample.test\r\n");
    Run([&] {
        Page().Click(L"WhiteList");
        Add("sample.test");
        Add("OPTION");
        Add("sample.test");  // now listed: refused
        EXPECT_EQ("sample.test", UrlBox()) << "the Url box keeps its text";
        Add("");
        EXPECT_EQ((Texts{"news.sample.test", "sample.test", "OPTION"}), Shown());
        EXPECT_EQ(std::make_pair(Shown(), 2), OnScreen()) << "the window shows the list, the added line selected";
        EXPECT_EQ(L"<OPTION>news.sample.test</OPTION><OPTION>sample.test</OPTION><OPTION selected>OPTION</OPTION>",
                  Inner(L"selectWhiteList"));
    });
    EXPECT_EQ("news.sample.test\r\n", ReadBytes(File())) << "only Save writes the file";
}

TEST_F(WhiteListPageTest, SelectFillsTheUrlBoxAndRemoveTakesTheSelectedEntry)
{
    WriteBytes(File(), "a.example\r\nb <x> & 'y'\r\nc.example\r\n");
    Run([&] {
        Page().Click(L"WhiteList");
        Page().ClickOption(L"selectWhiteList", L"b <x> & 'y'");
        EXPECT_EQ("b <x> & 'y'", UrlBox());
        Page().KeyUp(L"selectWhiteList");
        EXPECT_EQ("b <x> & 'y'", UrlBox());
        Page().Click(L"btnRemove");
        EXPECT_EQ((Texts{"a.example", "c.example"}), Shown());
        EXPECT_EQ(std::make_pair(Shown(), -1), OnScreen()) << "the middle line gone from the window too";
        EXPECT_EQ("", UrlBox());
        Page().Click(L"btnRemove");  // nothing selected: unchanged
        EXPECT_EQ((Texts{"a.example", "c.example"}), Shown());
        Page().Click(L"selectWhiteList");  // a click selecting nothing shows the first
        EXPECT_EQ("a.example", UrlBox());
        Page().Click(L"btnSave");
    });
    EXPECT_EQ("a.example\r\nc.example\r\n", ReadBytes(File()));
}

TEST_F(WhiteListPageTest, AddressesCannotAddMarkupToThePage)
{
    for (const std::string hostile : {"x' onmouseover='alert(1)", "\"><script>alert(1)</script>",
                                      "</OPTION><OPTION selected>evil"}) {
        SetString(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Norvane", "LastDomain", hostile);
        Run([&] {
            Page().Click(L"WhiteList");
            EXPECT_EQ(hostile, UrlBox());
            html::Node* url = html::FindById(*View().Document(), L"idUrl");
            ASSERT_EQ(1u, url->children.size());
            EXPECT_EQ(nullptr, url->children[0]->FindAttribute(L"onmouseover"));
            Page().Click(L"btnAdd");
            EXPECT_EQ(Texts{hostile}, Shown());
            EXPECT_EQ(1u, html::FindById(*View().Document(), L"selectWhiteList")->children.size());
        });
    }
}

TEST_F(WhiteListPageTest, SwitchingPageDiscardsUnsavedChanges)
{
    WriteBytes(File(), "kept\r\n");
    Run([&] {
        Page().Click(L"WhiteList");
        Add("one");
        Add("two");
        Page().Click(L"Statistics");
        Page().Click(L"WhiteList");
        EXPECT_EQ(Texts{"kept"}, Shown());
        EXPECT_EQ(std::make_pair(Texts{"kept"}, -1), OnScreen()) << "the list box kept from before, as loaded anew";
    });
}

TEST_F(WhiteListPageTest, EmptyListSavesAnEmptyFile)
{
    WriteBytes(File(), "only\r\n");
    Run([&] {
        Page().Click(L"WhiteList");
        Page().ClickOption(L"selectWhiteList", L"only");
        Page().Click(L"btnRemove");
        Page().Click(L"btnSave");
    });
    EXPECT_TRUE(FileExists(File()));
    EXPECT_EQ("", ReadBytes(File()));
}

TEST_F(WhiteListPageTest, StaleTemporaryNamesNeverBlockASave)
{
    WriteBytes(File(), "old\r\n");
    ASSERT_TRUE(CreateDirectoryA((File() + ".saving").c_str(), nullptr));
    MessageBoxRecorder boxes;
    Run([&] {
        Page().Click(L"WhiteList");
        Add("new");
        Page().Click(L"btnSave");
    });
    EXPECT_EQ("old\r\nnew\r\n", ReadBytes(File()));
    EXPECT_EQ(0, boxes.shown);
    RemoveDirectoryA((File() + ".saving").c_str());
}

TEST_F(WhiteListPageTest, SaveThatCannotReplaceTheFileSaysSoAndKeepsTheOldFile)
{
    WriteBytes(File(), "old\r\n");
    MessageBoxRecorder boxes;
    Run([&] {
        Page().Click(L"WhiteList");
        Add("new");
        // Held by another program that allows no replacement, for longer than Save waits.
        FileHandle held(CreateFileA(File().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        Page().Click(L"btnSave");
    });
    EXPECT_EQ("old\r\n", ReadBytes(File()));
    EXPECT_EQ(1, boxes.shown);
    EXPECT_EQ("The white list could not be saved. The file is unchanged.", boxes.text);
    for (const auto& name : FilesIn(OwnFolder()))
        EXPECT_NE(0, _strnicmp(name.c_str(), "nvx", 3)) << name << ": a temporary file left behind";
}

TEST_F(WhiteListPageTest, NoSaveIsLostToAReaderHoldingTheList)
{
    WriteBytes(File(), "");
    // A browser window loading the list again and again, as the guard does.
    struct Reader {
        std::string path;
        volatile LONG stop = 0;
        static DWORD WINAPI Loop(LPVOID self)
        {
            auto* r = static_cast<Reader*>(self);
            // Loads back to back, with the moment between them that even a
            // browser opening window after window leaves.
            while (!r->stop) {
                ReadLocalTextFile(r->path);
                Sleep(1);
            }
            return 0;
        }
    } reader{File()};
    HANDLE thread = CreateThread(nullptr, 0, &Reader::Loop, &reader, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    MessageBoxRecorder boxes;
    int lost = 0;
    std::string expected;
    Run([&] {
        Page().Click(L"WhiteList");
        for (int i = 0; i < 60; ++i) {
            const std::string entry = "site" + std::to_string(i) + ".example";
            Add(entry);
            Page().Click(L"btnSave");
            expected += entry + "\r\n";
            if (ReadBytes(File()) != expected)
                ++lost;
        }
    });
    reader.stop = 1;
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(0, lost);
    EXPECT_EQ(0, boxes.shown) << boxes.text;
}

TEST_F(WhiteListPageTest, ListThatCouldNotBeReadIsNeverSaved)
{
    WriteBytes(File(), "a.example\r\nb.example\r\n");
    MessageBoxRecorder boxes;
    Run([&] {
        {
            FileHandle exclusive(CreateFileA(File().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(exclusive);
            Page().Click(L"WhiteList");
        }
        EXPECT_EQ(1, boxes.shown) << "the user is told the list could not be read";
        Add("c.example");
        Page().Click(L"btnSave");
        EXPECT_EQ(2, boxes.shown);
        EXPECT_EQ("The white list was not read from its file, so it was not saved. The file is unchanged.",
                  boxes.text);
    });
    EXPECT_EQ("a.example\r\nb.example\r\n", ReadBytes(File()));
}

// A list larger than any a person keeps (a user may fill the shared file)
// is not read whole into the panel: it counts as unreadable, and Save
// leaves it as it is.
TEST_F(WhiteListPageTest, AListOverFourMebibytesIsNotReadAndNeverSavedOver)
{
    const std::string huge = std::string(kMaxWhiteListBytes, 'x') + "\r\n";
    WriteBytes(File(), huge);
    MessageBoxRecorder boxes;
    Run([&] {
        Page().Click(L"WhiteList");
        EXPECT_EQ(1, boxes.shown) << "the user is told the list could not be read";
        for (const auto& shown : Shown())
            EXPECT_EQ(std::string::npos, shown.find("xxx")) << "nothing of the file is shown";
        Page().Click(L"btnSave");
    });
    EXPECT_EQ(huge.size(), ReadBytes(File()).size());
}

// Any user can set AppPath and WhiteList: the page reads and saves the list
// beside the program whatever they name.
TEST_F(WhiteListPageTest, TheListBesideTheProgramIsTheOnlyOneReadOrSaved)
{
    WriteBytes(File(), "mine\r\n");
    WriteBytes(dir_.File("WhiteList.txt"), "theirs\r\n");
    MessageBoxRecorder boxes;
    UseAppPath(dir_.Path());
    SetString(kRoot, kKey, "WhiteList", dir_.File("WhiteList.txt"));
    Run([&] {
        Page().Click(L"WhiteList");
        EXPECT_EQ(Texts{"mine"}, Shown());
        Add("added");
        Page().Click(L"btnSave");
    });
    EXPECT_EQ(0, boxes.shown) << boxes.text;
    EXPECT_EQ("theirs\r\n", ReadBytes(dir_.File("WhiteList.txt")));
    EXPECT_EQ("mine\r\nadded\r\n", ReadBytes(File()));
}

// A blank first line (any user may edit the shared file) switched the
// guard's list off while the page showed it: both see every entry now.
TEST_F(WhiteListPageTest, ABlankLineHidesNothingFromEitherProgram)
{
    WriteBytes(File(), "\r\nexample.org\r\n\r\nexample.net");
    Run([&] {
        Page().Click(L"WhiteList");
        EXPECT_EQ((Texts{"example.org", "example.net"}), Shown());
    });
    CDomainTracker tracker;
    tracker.LoadWhiteList();
    EXPECT_EQ((Texts{"example.org", "example.net"}), tracker.WhiteListEntries());
}

// What one user browsed is no other user's to see: the Url box offers this
// user's own LastDomain, never the machine's value an older guard wrote.
TEST_F(WhiteListPageTest, UrlBoxOffersOnlyThisUsersLastDomain)
{
    const char kLow[] = "Software\\AppDataLow\\Software\\Norvane";
    SetString(kRoot, kKey, "LastDomain", "another-user.example");
    Run([&] {
        Page().Click(L"WhiteList");
        EXPECT_EQ("", UrlBox());
    });
    CDomainTracker tracker;  // this user's browser navigates
    tracker.CheckUrl("http://www.mine.example/");
    EXPECT_EQ("mine.example", GetString(HKEY_CURRENT_USER, kLow, "LastDomain"));
    EXPECT_EQ("another-user.example", GetString(kRoot, kKey, "LastDomain")) << "the machine's value untouched";
    Run([&] {
        Page().Click(L"WhiteList");
        EXPECT_EQ("mine.example", UrlBox());
    });
}

TEST_F(WhiteListPageTest, NulByteEndsItsEntryAndBothProgramsSeeTheSameList)
{
    WriteBytes(File(), std::string("a.example\r\nb.ex\0ample\r\nc.example\r\nd.example\r\n", 45));
    Run([&] {
        Page().Click(L"WhiteList");
        EXPECT_EQ((Texts{"a.example", "b.ex", "c.example", "d.example"}), Shown());
        Page().Click(L"btnSave");
    });
    EXPECT_EQ("a.example\r\nb.ex\r\nc.example\r\nd.example\r\n", ReadBytes(File()));
    CDomainTracker tracker;
    tracker.LoadWhiteList();
    EXPECT_EQ((Texts{"a.example", "b.ex", "c.example", "d.example"}), tracker.WhiteListEntries());
}

TEST_F(WhiteListPageTest, LongListIsEditedAndSavedWhole)
{
    // About 12,000 bytes of mark-up: more than a fixed 10,000-byte conversion holds.
    std::string file;
    for (int i = 0; i < 400; ++i)
        file += "entry-number-" + std::to_string(i) + ".example\r\n";
    WriteBytes(File(), file);
    Run([&] {
        Page().Click(L"WhiteList");
        Add("one.more");
        EXPECT_EQ(401u, Shown().size());
        Page().ClickOption(L"selectWhiteList", L"entry-number-0.example");
        EXPECT_EQ("entry-number-0.example", UrlBox());
        Page().Click(L"btnRemove");
        Page().Click(L"btnSave");
    });
    EXPECT_EQ(file.substr(file.find('\n') + 1) + "one.more\r\n", ReadBytes(File()));
}

TEST_F(WhiteListPageTest, TheGuardReadsBackExactlyWhatSaveWrote)
{
    WriteBytes(File(), "");
    Run([&] {
        Page().Click(L"WhiteList");
        for (const char* entry : {"a # b", "x&y", "<tag>", "q'uote", "space selected here"})
            Add(entry);
        Page().Click(L"btnSave");
    });
    CDomainTracker tracker;
    tracker.LoadWhiteList();
    EXPECT_EQ((Texts{"a # b", "x&y", "<tag>", "q'uote", "space selected here"}), tracker.WhiteListEntries());
}

// The bytes of a text in UTF-16 with its mark, either byte order.
std::string Utf16(const std::wstring& text, bool bigEndian = false)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// Whatever an editor saved the list as, the page shows the entries the guard
// uses, and opening the page and saving changes none of them; an entry the
// list's format cannot write keeps the list in UTF-16. While an entry with
// no ANSI form is listed, the guard removes nothing, and the page says so;
// one typed in is refused with words.
TEST_F(WhiteListPageTest, EveryEncodingAndLineEndReadsTheSameAndSavesEveryEntry)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "rows written for code page 1252";
    const struct {
        const char* name;
        std::string file;
        const wchar_t* added;
        std::vector<std::wstring> shown;
        std::string saved;
        Texts guard;  // as the guard matches them
        bool cleans;
        int boxes;
    } rows[] = {
        {"ANSI, CR LF", "a.example\r\nb.example\r\n", nullptr, {L"a.example", L"b.example"},
         "a.example\r\nb.example\r\n", {"a.example", "b.example"}, true, 0},
        {"ANSI, LF and CR alone, no last break", "a\nb\rc\r\n\rd", nullptr, {L"a", L"b", L"c", L"d"},
         "a\r\nb\r\nc\r\nd\r\n", {"a", "b", "c", "d"}, true, 0},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" "caf\xC3\xA9.example\r\nb.example", nullptr,
         {L"caf\xE9.example", L"b.example"}, "\xEF\xBB\xBF" "caf\xC3\xA9.example\r\nb.example\r\n",
         {"caf\xE9.example", "b.example"}, true, 0},
        {"UTF-16LE, CR alone, an entry with no ANSI form", Utf16(L"a.example\r\x436.example\n"), nullptr,
         {L"a.example", L"\x436.example"}, Utf16(L"a.example\r\n\x436.example\r\n"), {"a.example"}, false, 1},
        {"UTF-16BE", Utf16(L"caf\xE9.example\r\n", true), nullptr, {L"caf\xE9.example"},
         Utf16(L"caf\xE9.example\r\n", true), {"caf\xE9.example"}, true, 0},
        {"ANSI, an entry typed with no ANSI form", "a.example\r\n", L"\x436.example", {L"a.example"},
         "a.example\r\n", {"a.example"}, true, 1},
    };
    SetDword(kRoot, kKey, "RemoveCookies", 1);
    const auto guardReads = [&](const auto& row) {
        CDomainTracker tracker;
        tracker.LoadWhiteList();
        EXPECT_EQ(row.guard, tracker.WhiteListEntries()) << row.name;
        const DWORD before = GetDword(kRoot, kKey, "RemoveCookiesEntries", 0);
        tracker.CheckUrl("http://www.other.example/");
        tracker.RunCleaningPass();
        ASSERT_TRUE(CCleaningQueue::Instance().Flush(30000));
        EXPECT_EQ(row.cleans, GetDword(kRoot, kKey, "RemoveCookiesEntries", 0) != before) << row.name;
    };
    for (const auto& row : rows) {
        WriteBytes(File(), row.file);
        if (!row.added)
            guardReads(row);
        MessageBoxRecorder boxes;
        Run([&] {
            Page().Click(L"WhiteList");
            if (row.added) {
                Page().Type(L"idUrlText", row.added);
                Page().Click(L"btnAdd");
            }
            std::vector<std::wstring> shown;
            for (const auto& option : ParseListMarkup(Inner(L"selectWhiteList")))
                shown.push_back(option.text);
            EXPECT_EQ(row.shown, shown) << row.name;
            Page().Click(L"btnSave");
        });
        EXPECT_EQ(row.boxes, boxes.shown) << row.name;
        EXPECT_EQ(row.saved, ReadBytes(File())) << row.name;
        guardReads(row);
    }
}

// Records the calls that put a saved list in place; the first replacement
// fails part-way, as the platform can.
struct ReplaceCalls {
    static inline std::string list, backup, atRetry;
    static inline int replaces = 0, movesOver = 0;
    static BOOL WINAPI Replace(LPCSTR replaced, LPCSTR replacement, LPCSTR backupName, DWORD flags, LPVOID x,
                               LPVOID y)
    {
        backup = backupName ? backupName : "";
        if (++replaces > 1) {
            atRetry = ReadBytes(replaced);
            return ReplaceFileA(replaced, replacement, backupName, flags, x, y);
        }
        // The platform's first step, then the failure that leaves the list at the backup name.
        MoveFileExA(replaced, backupName, 0);
        SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
        return FALSE;
    }
    static BOOL WINAPI Move(LPCSTR from, LPCSTR to, DWORD flags)
    {
        if (lstrcmpiA(to, list.c_str()) == 0 && lstrcmpiA(from, backup.c_str()) != 0)
            ++movesOver;
        return MoveFileExA(from, to, flags);
    }
};

// Wine keeps no file security, so what keeps the list's descriptor is seen
// in the calls: Save replaces the list (the platform gives the new file the
// list's descriptor) with a backup name and never moves a file over it, and
// a replacement that fails after the list went to the backup name puts the
// list back before anything else.
TEST_F(WhiteListPageTest, SaveReplacesTheListWithABackupAndAFailurePartWayPutsItBack)
{
    ReplaceCalls::list = File();
    const settings::WhiteListReplaceApi saved = settings::WhiteListReplace();
    settings::WhiteListReplace() = {&ReplaceCalls::Replace, &ReplaceCalls::Move};
    WriteBytes(File(), "old\r\n");
    MessageBoxRecorder boxes;
    Run([&] {
        Page().Click(L"WhiteList");
        Add("new");
        Page().Click(L"btnSave");
    });
    settings::WhiteListReplace() = saved;
    EXPECT_EQ(2, ReplaceCalls::replaces);
    EXPECT_FALSE(ReplaceCalls::backup.empty()) << "replaced with a backup name";
    EXPECT_EQ("old\r\n", ReplaceCalls::atRetry) << "the list was back, whole, before the next try";
    EXPECT_EQ(0, ReplaceCalls::movesOver) << "no file moved over the list";
    EXPECT_EQ("old\r\nnew\r\n", ReadBytes(File()));
    EXPECT_EQ(0, boxes.shown) << boxes.text;
    for (const auto& name : FilesIn(OwnFolder()))
        EXPECT_TRUE(_strnicmp(name.c_str(), "nvx", 3) && _strnicmp(name.c_str(), "nvb", 3)) << name << " left behind";
}

// ---- Statistics ----------------------------------------------------------

class StatisticsPageTest : public PageTest {
protected:
    std::wstring Shows(const wchar_t* cell) { return Inner(cell); }
    static std::wstring Value(const std::wstring& n)
    {
        return L"<FONT color=#f95f21 face=verdana size=2><B>" + n + L"</B></FONT>";
    }
};

TEST_F(StatisticsPageTest, ShowsEachCounterAsASignedNumber)
{
    SetDword(kRoot, kKey, "RemoveCookiesEntries", 0xFFFFFFFFu);
    SetDword(kRoot, kKey, "RemoveCacheEntries", 12);
    Run([&] {
        Page().Click(L"Statistics");
        EXPECT_EQ(Value(L"0"), Shows(L"idEntriesHistory")) << "missing shows 0";
        EXPECT_EQ(Value(L"-1"), Shows(L"idEntriesCookies"));
        EXPECT_EQ(Value(L"12"), Shows(L"idEntriesTempFiles"));
        EXPECT_EQ(Value(L"0"), Shows(L"idEntriesUrls"));
    });
}

TEST_F(StatisticsPageTest, ResetWritesZeroToEveryCounterEvenOneItShowedAsZero)
{
    SetDword(kRoot, kKey, "RemoveHistoryEntries", 5);
    SetDword(kRoot, kKey, "RemoveCookiesEntries", 3);
    Run([&] {
        Page().Click(L"Statistics");
        SetDword(kRoot, kKey, "RemoveCacheEntries", 57);  // the guard counted since the page was filled
        Page().Click(L"btnReset");
        for (const char* counter : {"RemoveHistoryEntries", "RemoveCookiesEntries", "RemoveCacheEntries",
                                    "RemoveLastTypedEntries"})
            EXPECT_EQ(0u, GetDword(kRoot, kKey, counter, 99)) << counter;
        for (const wchar_t* cell : {L"idEntriesHistory", L"idEntriesCookies", L"idEntriesTempFiles", L"idEntriesUrls"})
            EXPECT_EQ(Value(L"0"), Shows(cell));
    });
}

TEST_F(StatisticsPageTest, ShowsTheSumWithProtectedModeCountsAndResetsBoth)
{
    const char kLow[] = "Software\\AppDataLow\\Software\\Norvane";
    SetDword(kRoot, kKey, "RemoveCookiesEntries", 3);
    SetDword(HKEY_CURRENT_USER, kLow, "RemoveCookiesEntries", 4);
    SetDword(HKEY_CURRENT_USER, kLow, "RemoveHistoryEntries", 2);
    Run([&] {
        Page().Click(L"Statistics");
        EXPECT_EQ(Value(L"7"), Shows(L"idEntriesCookies"));
        EXPECT_EQ(Value(L"2"), Shows(L"idEntriesHistory"));
        Page().Click(L"btnReset");
        for (const char* counter : {"RemoveCookiesEntries", "RemoveHistoryEntries"}) {
            EXPECT_EQ(0u, GetDword(kRoot, kKey, counter, 99)) << counter;
            EXPECT_EQ(0u, GetDword(HKEY_CURRENT_USER, kLow, counter, 99)) << counter;
        }
        EXPECT_EQ(Value(L"0"), Shows(L"idEntriesCookies"));
    });
}

TEST_F(StatisticsPageTest, AddsTheCountsOfEnhancedProtectedModeTabsAndResetsOnlyThoseTheyKeep)
{
    // What the guard in Internet Explorer's AppContainer counted, in the
    // container's registry storage, seen from outside it.
    RegistrySandbox storage{HKEY_CURRENT_USER, kIeContainerStorage};
    const std::string counted = std::string(kIeContainerStorage) + "\\Software\\Norvane";
    const char kLow[] = "Software\\AppDataLow\\Software\\Norvane";
    SetDword(kRoot, kKey, "RemoveCacheEntries", 3);
    SetDword(HKEY_CURRENT_USER, kLow, "RemoveCacheEntries", 4);
    SetDword(HKEY_CURRENT_USER, counted, "RemoveCacheEntries", 5);
    Run([&] {
        Page().Click(L"Statistics");
        EXPECT_EQ(Value(L"12"), Shows(L"idEntriesTempFiles")) << "machine, Protected Mode and AppContainer";
        EXPECT_EQ(Value(L"0"), Shows(L"idEntriesCookies"));
        Page().Click(L"btnReset");
        EXPECT_EQ(0u, GetDword(HKEY_CURRENT_USER, counted, "RemoveCacheEntries", 99));
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, counted, "RemoveCookiesEntries"))
            << "the container's storage is the platform's to make";
        EXPECT_EQ(Value(L"0"), Shows(L"idEntriesTempFiles"));
    });
    DeleteTree(HKEY_CURRENT_USER, kIeContainerStorage);
    Run([&] {
        Page().Click(L"Statistics");
        Page().Click(L"btnReset");
    });
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kIeContainerStorage)) << "no tab ever ran in the container";
}

TEST_F(StatisticsPageTest, CountsTheGuardAddsAppearWhenThePageOpensAgain)
{
    SetDword(kRoot, kKey, "BHOEnabled", 1);
    SetDword(kRoot, kKey, "RemoveLastTyped", 1);
    WriteBytes(OwnWhiteList(), "");  // as installed, beside the program and the guard
    Run([&] {
        Page().Click(L"Statistics");
        EXPECT_EQ(Value(L"0"), Shows(L"idEntriesUrls"));
        {
            // A browser window with the real guard navigates meanwhile.
            ComPtr<IObjectWithSite> guard;
            ASSERT_EQ(S_OK, IEWebGuard::Create(nullptr, IID_IObjectWithSite, guard.PutVoid()));
            ComPtr<CBrowserStandIn> browser = CBrowserStandIn::Create();
            guard->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
            browser->Navigate(SysAllocString(L"http://www.example.com/"), nullptr, nullptr, nullptr, nullptr);
            browser->FireOnQuit();
            guard->SetSite(nullptr);
        }
        EXPECT_EQ(Value(L"0"), Shows(L"idEntriesUrls")) << "not refreshed while shown";
        Page().Click(L"Options");
        Page().Click(L"Statistics");
        EXPECT_EQ(Value(L"2"), Shows(L"idEntriesUrls")) << "the page's pass and the closing window's";
    });
}

}  // namespace
