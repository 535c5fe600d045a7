// Our page engine: the four pages laid out from their own mark-up with the
// fonts Wine has, and drawn in the main window as a person sees it.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "MemoryHtmlView.h"
#include "ModalScript.h"
#include "PageDriver.h"
#include "NorvaneDlg.h"
#include "PageLayout.h"
#include "PagePainter.h"
#include "PanelInput.h"
#include "PanelSettings.h"
#include "RegistrySandbox.h"
#include "ShellExecuteApi.h"
#include "resource.h"

namespace {

const UINT kPages[] = {IDR_HTML_OPTIONS, IDR_HTML_WHITELIST, IDR_HTML_STATISTICS, IDR_HTML_HELP};
const wchar_t* const kTabs[] = {L"Options", L"WhiteList", L"Statistics", L"Help"};
const COLORREF kFrame = RGB(0x2a, 0x53, 0x93);
const int kViewWidth = 400;

std::wstring PageUrl(UINT id)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return L"res://" + std::wstring(path) + L"/" + std::to_wstring(id);
}

// The n-th element with this tag in document order (0-based).
html::Node* Find(html::Node& root, const wchar_t* tag, int& left)
{
    if (root.IsElement(tag) && left-- == 0)
        return &root;
    for (auto& child : root.children)
        if (html::Node* found = Find(*child, tag, left))
            return found;
    return nullptr;
}
html::Node* Nth(html::Node& root, const wchar_t* tag, int n) { return Find(root, tag, n); }

RECT BoxOfNode(const html::PageLayout& layout, const html::Node* node)
{
    for (const auto& box : layout.boxes)
        if (box.node == node)
            return box.rect;
    return RECT{-1, -1, -1, -1};
}

using Corners = std::tuple<LONG, LONG, LONG, LONG>;
Corners Rect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
Corners Rect(LONG l, LONG t, LONG r, LONG b) { return {l, t, r, b}; }

int Height(const RECT& r) { return r.bottom - r.top; }
std::string ansi(const std::wstring& text) { return std::string(text.begin(), text.end()); }
int Width(const RECT& r) { return r.right - r.left; }

class LayoutTest : public ::testing::Test {
protected:
    html::PageLayout LayOut(html::Node& page) { return html::LayOutPage(page, kViewWidth, gdi_); }
    html::GdiContainer gdi_;
};

bool InsideBold(const html::Node* node)
{
    for (; node; node = node->parent)
        if (node->IsElement(L"b"))
            return true;
    return false;
}

// What the page shows must not hang on the fonts a machine happens to hold:
// words apart by their spaces, drawn as wide as they were placed and in
// their weight, and all of it inside the frame.
TEST_F(LayoutTest, WordsKeepTheirSpacesWidthsAndWeightAndStayInsideTheFrame)
{
    HDC dc = CreateCompatibleDC(nullptr);
    for (int p = 0; p < 4; ++p) {
        SCOPED_TRACE(kTabs[p]);
        auto page = LoadResourcePage(PageUrl(kPages[p]));
        ASSERT_TRUE(page);
        const html::PageLayout layout = LayOut(*page);
        const RECT frame = BoxOfNode(layout, Nth(*page, L"table", 0));
        const html::PageText* before = nullptr;
        for (const auto& text : layout.texts) {
            SelectObject(dc, gdi_.Font(text.font));
            SIZE drawn{};
            GetTextExtentPoint32W(dc, text.text.c_str(), static_cast<int>(text.text.size()), &drawn);
            EXPECT_EQ(drawn.cx, Width(text.rect)) << "drawn as wide as placed: " << ansi(text.text);
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            if (InsideBold(text.element)) {
                EXPECT_GE(metrics.tmWeight, FW_BOLD) << "bold: " << ansi(text.text);
            }
            EXPECT_LE(text.rect.right, frame.right) << ansi(text.text);
            // Two words of one element on one line were apart by a space.
            if (before && before->element == text.element && before->rect.top == text.rect.top) {
                SIZE space{};
                GetTextExtentPoint32W(dc, L" ", 1, &space);
                EXPECT_GE(text.rect.left - before->rect.right, space.cx) << ansi(before->text) << " " << ansi(text.text);
            }
            before = &text;
        }
        for (const auto& control : layout.controls)
            EXPECT_LE(control.rect.right, frame.right) << "a control inside the frame";
        EXPECT_LE(frame.right, kViewWidth);
    }
    DeleteDC(dc);
}

TEST_F(LayoutTest, EveryPageHasTheFrameTheBandAndTheTabBarWhereItsMarkupPutsThem)
{
    for (int p = 0; p < 4; ++p) {
        SCOPED_TRACE(kTabs[p]);
        auto page = LoadResourcePage(PageUrl(kPages[p]));
        ASSERT_TRUE(page);
        const html::PageLayout layout = LayOut(*page);
        EXPECT_EQ(kFrame, layout.background);
        const RECT outer = BoxOfNode(layout, Nth(*page, L"table", 0));
        const RECT inner = BoxOfNode(layout, Nth(*page, L"table", 1));
        EXPECT_EQ(Rect(0, 0, 378, 318), Rect(outer));
        // 1 pixel of padding, and the 4 pixels the outer cell has to spare
        // shared above and below: a cell's content sits in its middle.
        EXPECT_EQ(Rect(1, 3, 377, 315), Rect(inner));
        const RECT band = BoxOfNode(layout, Nth(*page, L"td", 1));
        const RECT bar = BoxOfNode(layout, Nth(*page, L"td", 2));
        EXPECT_EQ(35, Height(band));
        EXPECT_EQ(inner.top, band.top);
        EXPECT_EQ(376, Width(band));
        EXPECT_EQ(band.bottom, bar.top);
        EXPECT_EQ(25, Height(bar));

        // Tabs in their order, 5 pixels in, 10 apart, inside the bar.
        int right = inner.left + 5 - 10;
        for (const wchar_t* tab : kTabs) {
            const auto box = layout.BoxOf(tab);
            ASSERT_TRUE(box) << tab;
            EXPECT_EQ(right + 10, box->left) << tab;
            EXPECT_GE(box->top, bar.top);
            EXPECT_LE(box->bottom, bar.bottom);
            right = box->right;
        }
        // Only the page's own tab has the highlight colour.
        for (const auto& text : layout.texts)
            for (int t = 0; t < 4; ++t)
                if (text.element->Id() == kTabs[t]) {
                    EXPECT_EQ(t == p ? RGB(0xfd, 0xc4, 0xa5) : RGB(255, 255, 255), text.color) << kTabs[t];
                }
    }
}

TEST_F(LayoutTest, OptionsHasItsBoxesInOneColumnAndDoneAtTheRightEdge)
{
    auto page = LoadResourcePage(PageUrl(IDR_HTML_OPTIONS));
    ASSERT_TRUE(page);
    const html::PageLayout layout = LayOut(*page);
    std::set<LONG> lefts;
    LONG lastTop = 0;
    for (const wchar_t* id : {L"chkRunStartUp", L"chkRemoveHistory", L"chkRemoveCookies", L"chkRemoveTempFiles",
                              L"chkRemoveLastUrl"}) {
        const auto box = layout.BoxOf(id);
        ASSERT_TRUE(box) << id;
        EXPECT_EQ(13, Width(*box));
        EXPECT_EQ(13, Height(*box));
        EXPECT_GT(box->top, lastTop) << id << " below the one before";
        lastTop = box->top;
        lefts.insert(box->left);
    }
    EXPECT_EQ(1u, lefts.size()) << "one column";
    const RECT content = BoxOfNode(layout, Nth(*page, L"table", 3));
    const auto done = layout.BoxOf(L"btnDone");
    ASSERT_TRUE(done);
    EXPECT_EQ(content.right - 4, done->right) << "at the right edge, inside the cell padding";
    EXPECT_GT(done->top, lastTop);
    // The page's controls in page order: the Tab order.
    ASSERT_EQ(6u, layout.controls.size());
    EXPECT_EQ(L"chkRunStartUp", layout.controls.front().node->Id());
    EXPECT_EQ(L"btnDone", layout.controls.back().node->Id());
}

TEST_F(LayoutTest, AChangedInnerHtmlMovesWhatFollowsIt)
{
    auto page = LoadResourcePage(PageUrl(IDR_HTML_WHITELIST));
    ASSERT_TRUE(page);
    const auto before = LayOut(*page).BoxOf(L"idUrlText");
    html::Node* cell = html::FindById(*page, L"select");
    ASSERT_TRUE(before && cell);
    html::SetInnerHtml(*cell, L"<SELECT id=selectWhiteList style=\"WIDTH: 325px\" size=12><OPTION>a</OPTION></SELECT>");
    const html::PageLayout after = LayOut(*page);
    const auto moved = after.BoxOf(L"idUrlText");
    const auto list = after.BoxOf(L"selectWhiteList");
    ASSERT_TRUE(moved && list);
    EXPECT_GT(moved->top, before->top);
    EXPECT_GE(moved->top, list->bottom);
    EXPECT_EQ(325, Width(*list));
}

// ---- Drawn in the main window ------------------------------------------

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDword(HKEY_LOCAL_MACHINE, "Software\\Norvane", "NVXMinimize", 0);
        panel::NVXMinimize().Read();
    }
    RegistrySandbox settings_{HKEY_LOCAL_MACHINE, "Software\\Norvane"};
};

TEST_F(PictureTest, EveryPageIsDrawnWithItsFrameColourWhereTheMarkupPutsIt)
{
    CNorvaneDlg dialog;
    std::vector<ModalStep> steps;
    for (int p = 0; p < 4; ++p) {
        steps.push_back([&dialog, p] {
            return PageDriver(dynamic_cast<MemoryHtmlView&>(*dialog.View())).Click(kTabs[p]);
        });
        steps.push_back([&dialog, p] {
            auto& view = dynamic_cast<MemoryHtmlView&>(*dialog.View());
            if (view.Url() != PageUrl(kPages[p]))
                return false;
            UpdateWindow(dialog.GetSafeHwnd());
            RedrawWindow(view.Window(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            HWND window = view.Window();
            std::set<COLORREF> seen;
            for (int y = 0; y < 318; y += 3)
                for (int x = 0; x < 378; x += 3)
                    seen.insert(panel_input::PixelAt(window, POINT{x, y}));
            EXPECT_GT(seen.size(), 4u) << kTabs[p] << ": not blank";
            // The outer table's padding, the tab bar and the margin below the frame.
            for (POINT frame : {POINT{0, 150}, POINT{377, 150}, POINT{3, 48}, POINT{200, 316}})
                EXPECT_EQ(kFrame, panel_input::PixelAt(window, frame)) << kTabs[p] << " " << frame.x << "," << frame.y;
            EXPECT_EQ(RGB(255, 255, 255), panel_input::PixelAt(window, POINT{200, 18})) << "the white band";
            return true;
        });
    }
    RunModalSteps(dialog, std::move(steps));
}

TEST_F(PictureTest, TheHandShowsOverTabsAndButtonsAndTheArrowElsewhere)
{
    CNorvaneDlg dialog;
    auto view = [&]() -> MemoryHtmlView& { return dynamic_cast<MemoryHtmlView&>(*dialog.View()); };
    auto cursorAt = [&](HWND window, POINT at) {
        ClientToScreen(window, &at);
        SetCursorPos(at.x, at.y);
        SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    RunModalSteps(dialog, {[&] {
        const auto tab = view().Layout().BoxOf(L"WhiteList");
        EXPECT_TRUE(tab);
        if (!tab)
            return true;
        const POINT middle{(tab->left + tab->right) / 2, (tab->top + tab->bottom) / 2};
        EXPECT_EQ(LoadCursor(nullptr, IDC_HAND), cursorAt(view().Window(), middle)) << "over a tab";
        EXPECT_EQ(LoadCursor(nullptr, IDC_ARROW), cursorAt(view().Window(), POINT{200, 300})) << "over the page";
        HWND done = view().ControlOf(L"btnDone");
        EXPECT_NE(nullptr, done);
        SetCursorPos(0, 0);
        SendMessageW(view().Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(done), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(LoadCursor(nullptr, IDC_HAND), GetCursor()) << "over the Done button";
        return true;
    }});
}

std::vector<std::wstring> g_opened;
HINSTANCE WINAPI RecordOpen(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT)
{
    g_opened.push_back(file);
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

// Where the page draws the text of the link to this address.
POINT LinkAt(const html::PageLayout& layout, const std::wstring& href)
{
    for (const auto& text : layout.texts) {
        const html::Node* link = html::Enclosing(text.element, L"a");
        if (link && link->GetAttribute(L"href") == href)
            return POINT{(text.rect.left + text.rect.right) / 2, (text.rect.top + text.rect.bottom) / 2};
    }
    return POINT{-1, -1};
}

// What the system is asked to open is recorded, not opened.
class LinkTest : public PictureTest {
protected:
    void SetUp() override
    {
        PictureTest::SetUp();
        saved_ = ShellExecuteTable().Execute;
        ShellExecuteTable().Execute = &RecordOpen;
        g_opened.clear();
    }
    void TearDown() override { ShellExecuteTable().Execute = saved_; }
    decltype(ShellExecuteTable().Execute) saved_ = nullptr;
};

TEST_F(LinkTest, ClickedLinksGoToTheSystemAndHelpStays)
{
    CNorvaneDlg dialog;
    auto view = [&]() -> MemoryHtmlView& { return dynamic_cast<MemoryHtmlView&>(*dialog.View()); };
    auto click = [&](const std::wstring& href) {
        const POINT at = LinkAt(view().Layout(), href);
        SendMessageW(view().Window(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    };
    RunModalSteps(dialog, {[&] { return PageDriver(view()).Click(L"Help"); }, [&] {
                               click(L"mailto:support@example.com");
                               click(L"http://www.example.org/");
                               EXPECT_EQ(PageUrl(IDR_HTML_HELP), view().Url());
                               return PageDriver(view()).Click(L"Options");
                           },
                           [&] { return view().Url() == PageUrl(IDR_HTML_OPTIONS); }});
    EXPECT_EQ((std::vector<std::wstring>{L"mailto:support@example.com", L"http://www.example.org/"}), g_opened);
}

}  // namespace
