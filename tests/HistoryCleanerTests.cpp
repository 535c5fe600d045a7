#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <vector>

#include "HistoryCleaner.h"
#include "ShellApi.h"
#include "TempDir.h"
#include "WarningDialog.h"

namespace {

using Names = std::vector<std::string>;

// Timers armed by a run keep ticking whenever the thread pumps messages; spend
// them with an empty budget so that one test's timers never reach the next.
struct TimerDrain {
    ~TimerDrain()
    {
        HistoryRetryBudget() = 0;
        PumpMessages(120);
        HistoryRetryBudget() = 1000;
    }
};

// ---- A fake History tree behind the shell table -------------------------

struct Node {
    std::string name;
    std::vector<Node> children;
    bool folder = false;
    bool nameFails = false;
    bool menuFails = false;
    bool asksWarning = false;  // its delete command shows a real "WARNING" dialog
    std::string warningCaption = "WARNING";
    bool wideName = false;  // its name comes as an allocated UTF-16 string
};

struct Record {
    int liveObjects = 0;
    int pidlsAllocated = 0;
    int pidlsFreed = 0;
    Names namesAsked, deleted, bound;
    std::vector<CMINVOKECOMMANDINFO> commands;
    std::vector<INT_PTR> warningResults;
};
Record g;

// PIDL layout: one SHITEMID holding the node pointer and the name, then the
// terminator. Display names are given as an offset into it.
const UINT kNameOffset = sizeof(USHORT) + sizeof(Node*);

LPITEMIDLIST MakePidl(const Node* node)
{
    const std::size_t cb = kNameOffset + node->name.size() + 1;
    auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(cb + sizeof(USHORT)));
    std::memset(bytes, 0, cb + sizeof(USHORT));
    *reinterpret_cast<USHORT*>(bytes) = static_cast<USHORT>(cb);
    std::memcpy(bytes + sizeof(USHORT), &node, sizeof node);
    std::memcpy(bytes + kNameOffset, node->name.c_str(), node->name.size());
    ++g.pidlsAllocated;
    return reinterpret_cast<LPITEMIDLIST>(bytes);
}

const Node* NodeOf(LPCITEMIDLIST pidl)
{
    const Node* node = nullptr;
    std::memcpy(&node, reinterpret_cast<const BYTE*>(pidl) + sizeof(USHORT), sizeof node);
    return node;
}

template <typename I>
struct FakeObject : I {
    explicit FakeObject(REFIID iid) : iid_(iid) { ++g.liveObjects; }
    virtual ~FakeObject() { --g.liveObjects; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, iid_)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<I*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

private:
    IID iid_;
    ULONG refs_ = 1;
};

struct FakeMalloc : FakeObject<IMalloc> {
    FakeMalloc() : FakeObject(IID_IMalloc) {}
    void* STDMETHODCALLTYPE Alloc(SIZE_T n) override { return CoTaskMemAlloc(n); }
    void* STDMETHODCALLTYPE Realloc(void* p, SIZE_T n) override { return CoTaskMemRealloc(p, n); }
    void STDMETHODCALLTYPE Free(void* p) override
    {
        ++g.pidlsFreed;
        CoTaskMemFree(p);
    }
    SIZE_T STDMETHODCALLTYPE GetSize(void*) override { return 0; }
    int STDMETHODCALLTYPE DidAlloc(void*) override { return -1; }
    void STDMETHODCALLTYPE HeapMinimize() override {}
};

struct FakeEnum : FakeObject<IEnumIDList> {
    explicit FakeEnum(const Node* parent) : FakeObject(IID_IEnumIDList), parent_(parent) {}
    HRESULT STDMETHODCALLTYPE Next(ULONG, LPITEMIDLIST* out, ULONG* fetched) override
    {
        if (next_ >= parent_->children.size())
            return S_FALSE;
        *out = MakePidl(&parent_->children[next_++]);
        if (fetched)
            *fetched = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList**) override { return E_NOTIMPL; }

private:
    const Node* parent_;
    std::size_t next_ = 0;
};

struct FakeMenu : FakeObject<IContextMenu> {
    explicit FakeMenu(const Node* node) : FakeObject(IID_IContextMenu), node_(node) {}
    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* command) override
    {
        g.commands.push_back(*command);
        g.deleted.push_back(node_->name);
        if (node_->asksWarning)
            g.warningResults.push_back(RunButtonFirstDialog(node_->warningCaption));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override { return E_NOTIMPL; }

private:
    const Node* node_;
};

struct FakeFolder : FakeObject<IShellFolder> {
    explicit FakeFolder(const Node* node) : FakeObject(IID_IShellFolder), node_(node) {}
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, LPBC, LPOLESTR, ULONG*, LPITEMIDLIST*, ULONG*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF flags, IEnumIDList** out) override
    {
        EXPECT_EQ(static_cast<SHCONTF>(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS), flags);
        *out = new FakeEnum(node_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BindToObject(LPCITEMIDLIST pidl, LPBC, REFIID iid, void** out) override
    {
        const Node* child = NodeOf(pidl);
        g.bound.push_back(child->name);
        if (!child->folder || !IsEqualIID(iid, IID_IShellFolder)) {
            *out = nullptr;
            return E_FAIL;
        }
        *out = static_cast<IShellFolder*>(new FakeFolder(child));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(LPCITEMIDLIST, LPBC, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, LPCITEMIDLIST, LPCITEMIDLIST) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, LPCITEMIDLIST*, SFGAOF*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT count, LPCITEMIDLIST* pidls, REFIID iid, UINT*,
                                            void** out) override
    {
        const Node* child = NodeOf(pidls[0]);
        if (count != 1 || child->menuFails || !IsEqualIID(iid, IID_IContextMenu)) {
            *out = nullptr;
            return E_FAIL;
        }
        *out = static_cast<IContextMenu*>(new FakeMenu(child));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(LPCITEMIDLIST pidl, SHGDNF flags, STRRET* name) override
    {
        const Node* child = NodeOf(pidl);
        g.namesAsked.push_back(child->name);
        EXPECT_EQ(static_cast<SHGDNF>(SHGDN_INFOLDER), flags);
        if (child->nameFails)
            return E_FAIL;
        if (child->wideName) {
            // Allocated with the shell's allocator, as the platform does; the
            // caller owns it, and every block counts with the item lists.
            std::wstring wide(child->name.size(), L'\0');  // the name's bytes are UTF-8
            wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
                CP_UTF8, 0, child->name.data(), static_cast<int>(child->name.size()), &wide[0],
                static_cast<int>(wide.size()))));
            name->uType = STRRET_WSTR;
            name->pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(wchar_t)));
            std::memcpy(name->pOleStr, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
            ++g.pidlsAllocated;
            return S_OK;
        }
        name->uType = STRRET_OFFSET;
        name->uOffset = kNameOffset;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, LPCITEMIDLIST, LPCOLESTR, SHGDNF, LPITEMIDLIST*) override
    {
        return E_NOTIMPL;
    }

private:
    const Node* node_;
};

// The desktop knows one item, the History folder.
Node g_desktop;
HRESULT WINAPI FakeGetMalloc(IMalloc** out)
{
    *out = new FakeMalloc;
    return S_OK;
}
HRESULT WINAPI FakeGetDesktopFolder(IShellFolder** out)
{
    *out = new FakeFolder(&g_desktop);
    return S_OK;
}
HRESULT WINAPI FakeGetHistory(HWND, int csidl, LPITEMIDLIST* out)
{
    EXPECT_EQ(CSIDL_HISTORY, csidl);
    *out = MakePidl(&g_desktop.children[0]);
    return S_OK;
}

class FakeHistoryTest : public ::testing::Test {
protected:
    void Use(Node history)
    {
        history.folder = true;
        g_desktop.children = {std::move(history)};
        g = Record{};
        ShellNamespace() = ShellApi{&FakeGetMalloc, &FakeGetDesktopFolder, &FakeGetHistory};
    }
    void TearDown() override
    {
        ShellNamespace() = saved_;
        EXPECT_EQ(0, g.liveObjects) << "every shell object released";
        EXPECT_EQ(g.pidlsAllocated, g.pidlsFreed) << "every item list freed";
    }
    static Node Folder(std::string name, std::vector<Node> children)
    {
        Node n{std::move(name), std::move(children)};
        n.folder = true;
        return n;
    }
    static Node Item(std::string name) { return Node{std::move(name), {}}; }

    ShellApi saved_ = ShellNamespace();
    TimerDrain drain_;
};

TEST_F(FakeHistoryTest, OnlySecondLevelItemsAreMatchedAndDeleted)
{
    Use(Folder("History", {Folder("example.com week", {Item("www.example.com/a"), Item("other.org/b"),
                                                       Folder("example.com folder", {Item("example.com deep")})}),
                           Item("example.com loose"),
                           Folder("Today", {Item("x example.com y")})}));
    CleanHistory("example.com");
    EXPECT_EQ((Names{"www.example.com/a", "example.com folder", "x example.com y"}), g.deleted);
    EXPECT_EQ((Names{"www.example.com/a", "other.org/b", "example.com folder", "x example.com y"}), g.namesAsked);
    EXPECT_EQ((Names{"History", "example.com week", "example.com loose", "Today"}), g.bound)
        << "nothing below the second level is opened";
}

TEST_F(FakeHistoryTest, DeleteIsTheShellVerbWithTheCommandRecord)
{
    Use(Folder("History", {Folder("Today", {Item("example.com")})}));
    CleanHistory("example.com");
    ASSERT_EQ(1u, g.commands.size());
    const CMINVOKECOMMANDINFO& c = g.commands[0];
    EXPECT_EQ(sizeof(CMINVOKECOMMANDINFO), c.cbSize);
    EXPECT_EQ(0x8000u, c.fMask);
    EXPECT_STREQ("delete", c.lpVerb);
    EXPECT_EQ(SW_HIDE, c.nShow);
    EXPECT_EQ(nullptr, c.hwnd);
    EXPECT_EQ(nullptr, c.lpParameters);
    EXPECT_EQ(nullptr, c.lpDirectory);
}

TEST_F(FakeHistoryTest, MatchIsCaseSensitive)
{
    Use(Folder("History", {Folder("Today", {Item("EXAMPLE.COM"), Item("Example.com")})}));
    CleanHistory("example.com");
    EXPECT_EQ(Names{}, g.deleted);
}

TEST_F(FakeHistoryTest, LongNameIsCutTo259BeforeTheTest)
{
    // The buffer holds 259 characters: a domain ending at the 260th is cut off.
    Use(Folder("History", {Folder("Today", {Item(std::string(248, 'p') + ".example.com"),
                                            Item(std::string(247, 'q') + ".example.com")})}));
    CleanHistory("example.com");
    EXPECT_EQ(Names{std::string(247, 'q') + ".example.com"}, g.deleted);
}

TEST_F(FakeHistoryTest, ItemsWithoutNameOrMenuArePassedOverAndFreed)
{
    Node noName = Item("example.com no name");
    noName.nameFails = true;
    Node noMenu = Item("example.com no menu");
    noMenu.menuFails = true;
    Use(Folder("History", {Folder("Today", {noName, noMenu, Item("example.com fine")})}));
    CleanHistory("example.com");
    EXPECT_EQ(Names{"example.com fine"}, g.deleted);
}

TEST_F(FakeHistoryTest, WithoutStrRetToBufNoNameIsLeftAllocated)
{
    Node wide = Item("example.com wide");
    wide.wideName = true;
    Use(Folder("History", {Folder("Today", {wide, Item("example.com plain")})}));
    ShellNamespace().ShlwapiName = "norvane-no-such-library.dll";
    CleanHistory("example.com");
    EXPECT_EQ(Names{}, g.deleted) << "no name can be converted, so nothing matches";
    // TearDown checks that every block handed out was freed.
}

TEST_F(FakeHistoryTest, EmptyHistoryDeletesNothing)
{
    Use(Folder("History", {}));
    CleanHistory("example.com");
    EXPECT_EQ(Names{}, g.deleted);
}

// Items that do not match ask nothing, and a delete that asked nothing has
// nothing left to answer once it returns: neither spends the process's budget
// of ticks that find no question, which a real question may need later.
TEST_F(FakeHistoryTest, OnlyADeleteInProgressSpendsTheConfirmationBudget)
{
    std::vector<Node> items;
    for (int i = 0; i < 40; ++i)
        items.push_back(Item("other" + std::to_string(i) + ".org"));
    items.push_back(Item("example.com quiet"));
    Use(Folder("History", {Folder("Today", items)}));
    CleanHistory("example.com");
    PumpMessages(200);  // the browser's own loop, after the pass
    EXPECT_EQ(1000, HistoryRetryBudget());
    EXPECT_EQ(41u, g.namesAsked.size());
    EXPECT_EQ(Names{"example.com quiet"}, g.deleted);
}

// A name is tested as the shell spells it: a full-width letter is not the
// letter a best-fit conversion would make of it.
TEST_F(FakeHistoryTest, NamesAreTestedAsTheShellSpellsThem)
{
    Node fullWidth = Item("\xEF\xBD\x85xample.com");  // U+FF45, full-width e
    fullWidth.wideName = true;
    Node plain = Item("www.example.com");
    plain.wideName = true;
    Use(Folder("History", {Folder("Today", {fullWidth, plain})}));
    CleanHistory("example.com");
    EXPECT_EQ(Names{"www.example.com"}, g.deleted);
    g.pidlsAllocated -= 2;  // the two names: the conversion frees them with the task allocator
}

// ---- The confirmation answered for real, under Xvfb ---------------------

TEST_F(FakeHistoryTest, TimerAnswersTheWarningDialogFromInsideItsModalLoop)
{
    Node asks = Item("example.com asks");
    asks.asksWarning = true;
    Use(Folder("History", {Folder("Today", {asks, Item("example.com after")})}));
    DialogWatchdog watchdog;
    CleanHistory("example.com");
    EXPECT_EQ((Names{"example.com asks", "example.com after"}), g.deleted) << "the walk finished";
    EXPECT_EQ(std::vector<INT_PTR>{IDOK}, g.warningResults) << "its first child was clicked";
    EXPECT_EQ("", watchdog.Answered());
}

TEST_F(FakeHistoryTest, TitleOfTheConfirmationIsMatchedWithoutRegardToCase)
{
    Node asks = Item("example.com asks");
    asks.asksWarning = true;
    asks.warningCaption = "Warning";
    Use(Folder("History", {Folder("Today", {asks})}));
    DialogWatchdog watchdog;
    CleanHistory("example.com");
    EXPECT_EQ(std::vector<INT_PTR>{IDOK}, g.warningResults) << "answered by the timer";
    EXPECT_EQ("", watchdog.Answered()) << "not left for a person";
}

TEST_F(FakeHistoryTest, PastItsDeadlineTheWalkDeclinesTheOpenQuestionAndStops)
{
    Node asks = Item("example.com asks");
    asks.asksWarning = true;
    asks.warningCaption = "Confirm";  // not the shell's "WARNING": never answered yes
    Use(Folder("History", {Folder("Today", {asks, Item("example.com after")}), Folder("Later", {Item("example.com")})}));
    DialogWatchdog watchdog(30000);
    CleanHistory(CCleaningRule("example.com"), CPassDeadline::In(300));
    EXPECT_EQ(std::vector<INT_PTR>{IDCANCEL}, g.warningResults) << "declined";
    EXPECT_EQ(Names{"example.com asks"}, g.deleted) << "nothing asked past the deadline";
    EXPECT_EQ("", watchdog.Answered()) << "not left for a person";
}

TEST(WarningTimerTest, TickWithoutDialogAndEmptyBudgetEndsItsTimer)
{
    TimerDrain drain;
    HistoryRetryBudget() = 0;
    SetTimer(nullptr, 0, 10, WarningTimerProc);
    PumpMessages(150);
    EXPECT_EQ(-1, HistoryRetryBudget()) << "one tick, then the timer is gone";
}

TEST(WarningTimerTest, TickWithoutDialogSpendsTheBudgetAndKeepsTicking)
{
    TimerDrain drain;
    HistoryRetryBudget() = 1000;
    SetTimer(nullptr, 0, 10, WarningTimerProc);
    PumpMessages(150);
    EXPECT_LT(HistoryRetryBudget(), 999);
    EXPECT_GE(HistoryRetryBudget(), 0);
}

struct OtherThreadDialog {
    static DWORD WINAPI Run(LPVOID result)
    {
        *static_cast<INT_PTR*>(result) = RunButtonFirstDialog("WARNING");
        return 0;
    }
};

HWND FindWarningOfThread(DWORD thread)
{
    for (HWND w = FindWindowA("#32770", "WARNING"); w; w = FindWindowExA(nullptr, w, "#32770", "WARNING"))
        if (GetWindowThreadProcessId(w, nullptr) == thread)
            return w;
    return nullptr;
}

TEST(WarningTimerTest, AnotherThreadsWarningDialogIsLeftAlone)
{
    TimerDrain drain;
    INT_PTR result = 0;
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, OtherThreadDialog::Run, &result, 0, &threadId);
    HWND other = nullptr;
    for (int i = 0; i < 100 && !other; ++i, Sleep(20))
        other = FindWarningOfThread(threadId);
    ASSERT_NE(nullptr, other);

    HistoryRetryBudget() = 1000;
    SetTimer(nullptr, 0, 10, WarningTimerProc);
    PumpMessages(200);
    EXPECT_TRUE(IsWindow(other)) << "the other program's dialog was not answered";
    EXPECT_LT(HistoryRetryBudget(), 1000) << "its ticks counted as ticks without a dialog";

    PostMessageA(other, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(IDCANCEL, result);
}

// ---- Wine's own History folder --------------------------------------------

TEST(RealHistoryTest, DeletesMatchingSecondLevelItemsOnly)
{
    TimerDrain drain;
    char history[MAX_PATH] = {};
    LPITEMIDLIST pidl = nullptr;
    ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_HISTORY, &pidl));
    ASSERT_TRUE(SHGetPathFromIDListA(pidl, history));
    CoTaskMemFree(pidl);
    CreateDirectoryA(history, nullptr);

    const std::string tag = "nvh" + std::to_string(GetCurrentProcessId());
    const std::string day = std::string(history) + "\\" + tag + " day";
    const std::string deeper = day + "\\" + tag + " deeper";
    CreateDirectoryA(day.c_str(), nullptr);
    CreateDirectoryA(deeper.c_str(), nullptr);
    WriteBytes(day + "\\www." + tag + ".example page.txt", "x");
    WriteBytes(day + "\\other site page.txt", "x");
    WriteBytes(deeper + "\\www." + tag + ".example deep.txt", "x");

    {
        DialogWatchdog watchdog(1500);
        CleanHistory("www." + tag + ".example");
        // Wine's delete command for a file-system item asks in a dialog of its own
        // wording, not "WARNING"; the watchdog answers it after its grace time.
        std::printf("Wine's confirmation dialogs answered by the watchdog: [%s]\n", watchdog.Answered().c_str());
    }

    EXPECT_FALSE(FileExists(day + "\\www." + tag + ".example page.txt"));
    EXPECT_TRUE(FileExists(day + "\\other site page.txt"));
    EXPECT_TRUE(FileExists(deeper + "\\www." + tag + ".example deep.txt")) << "third level untouched";

    DeleteFileA((day + "\\other site page.txt").c_str());
    DeleteFileA((deeper + "\\www." + tag + ".example deep.txt").c_str());
    RemoveDirectoryA(deeper.c_str());
    RemoveDirectoryA(day.c_str());
}

}  // namespace
