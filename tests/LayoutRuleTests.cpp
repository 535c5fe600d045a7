// The page engine's layout rules, one small piece of mark-up each, measured
// with fixed metrics (6 pixels a character, 7 in bold; lines of 10 + 3) so
// that every rectangle is known to the pixel on any machine.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <tuple>

#include "HtmlDom.h"
#include "PageLayout.h"

namespace {

const int kWidth = 400;

class FixedMeasure : public html::TextMeasure {
public:
    int Width(const html::FontSpec& font, const std::wstring& text) override
    {
        ++measured[text];
        return static_cast<int>(text.size()) * (font.bold ? 7 : 6);
    }
    html::FontMetrics Metrics(const html::FontSpec&) override { return {10, 3, 6}; }
    std::map<std::wstring, int> measured;  // how often each text was measured
};

using Corners = std::tuple<LONG, LONG, LONG, LONG>;

class LayoutRuleTest : public ::testing::Test {
protected:
    // The page's layout; the body without margins unless the mark-up sets them.
    const html::PageLayout& LayOut(const std::wstring& body)
    {
        page_ = std::make_unique<html::Node>();
        page_->tag = L"#document";
        html::SetInnerHtml(*page_, L"<body leftmargin=0 topmargin=0>" + body + L"</body>");
        layout_ = html::LayOutPage(*page_, kWidth, measure_);
        return layout_;
    }
    Corners Box(const wchar_t* id)
    {
        const auto box = layout_.BoxOf(id);
        return box ? Corners{box->left, box->top, box->right, box->bottom} : Corners{-1, -1, -1, -1};
    }

    FixedMeasure measure_;
    std::unique_ptr<html::Node> page_;
    html::PageLayout layout_;
};

TEST_F(LayoutRuleTest, AWordIsMeasuredOnceHoweverDeepItsTablesNest)
{
    std::wstring markup = L"deepest";
    for (int depth = 0; depth < 4; ++depth)
        markup = L"<table><tr><td>" + markup + L"</td></tr></table>";
    LayOut(markup);
    EXPECT_EQ(1, measure_.measured[L"deepest"]);
}

// What a cell over two columns needs more goes to the column of no fixed width.
TEST_F(LayoutRuleTest, AColspanWidensOnlyTheColumnOfNoFixedWidth)
{
    LayOut(L"<table cellspacing=0 cellpadding=0>"
           L"<tr><td id=fixed width=30>a</td><td id=free>bb</td></tr>"
           L"<tr><td id=both colspan=2>12345678901234567890</td></tr></table>");
    EXPECT_EQ(Corners(0, 0, 30, 13), Box(L"fixed"));
    EXPECT_EQ(Corners(30, 0, 120, 13), Box(L"free"));
    EXPECT_EQ(Corners(0, 13, 120, 26), Box(L"both"));
}

TEST_F(LayoutRuleTest, APerCentWidthIsTakenOfTheRoomAroundTheTable)
{
    LayOut(L"<table id=outer width=50% cellspacing=0 cellpadding=0><tr><td>"
           L"<table id=inner width=50% cellspacing=0 cellpadding=0><tr><td>x</td></tr></table>"
           L"</td></tr></table>");
    EXPECT_EQ(Corners(0, 0, 200, 13), Box(L"outer"));
    EXPECT_EQ(Corners(0, 0, 100, 13), Box(L"inner"));
}

TEST_F(LayoutRuleTest, ATallerTableGivesTheRestToItsRowsOfNoSetHeight)
{
    LayOut(L"<table height=100 cellspacing=0 cellpadding=0>"
           L"<tr><td id=set height=40>a</td></tr><tr><td id=free>b</td></tr></table>");
    EXPECT_EQ(Corners(0, 0, 6, 40), Box(L"set"));
    EXPECT_EQ(Corners(0, 40, 6, 100), Box(L"free"));
}

TEST_F(LayoutRuleTest, RowsThatAllSetTheirHeightShareTheRestByTheirHeights)
{
    LayOut(L"<table height=120 cellspacing=0 cellpadding=0>"
           L"<tr><td id=short height=20>a</td></tr><tr><td id=tall height=40>b</td></tr></table>");
    EXPECT_EQ(Corners(0, 0, 6, 40), Box(L"short"));
    EXPECT_EQ(Corners(0, 40, 6, 120), Box(L"tall"));
}

// Half a line of the font around it (16 pixels: 8 above, 8 below).
TEST_F(LayoutRuleTest, ARuleIsCentredWithHalfALineAboveAndBelow)
{
    const html::PageLayout& layout = LayOut(L"<hr id=rule width=50% size=4>after");
    EXPECT_EQ(Corners(100, 8, 300, 12), Box(L"rule"));
    ASSERT_EQ(1u, layout.texts.size());
    EXPECT_EQ(20, layout.texts[0].rect.top) << "the text after the rule's lower margin";
}

TEST_F(LayoutRuleTest, TextWrapsAtTheWidthOfItsCell)
{
    LayOut(L"<table width=60 cellpadding=0 cellspacing=0><tr><td id=cell>one two three four</td></tr></table>");
    EXPECT_EQ(Corners(0, 0, 60, 26), Box(L"cell")) << "one two / three four";
}

TEST_F(LayoutRuleTest, ANowrapCellWidensItsTable)
{
    LayOut(L"<table width=60 cellpadding=0 cellspacing=0><tr><td id=cell nowrap>one two three</td></tr></table>");
    EXPECT_EQ(Corners(0, 0, 78, 13), Box(L"cell"));
}

// A cell's own valign first, then its row's, then the middle.
TEST_F(LayoutRuleTest, ACellsValignBeatsItsRowsAndARowsBottomIsKept)
{
    LayOut(L"<table cellpadding=0 cellspacing=0>"
           L"<tr valign=top><td valign=middle><font id=own>x</font></td><td height=100>y</td></tr>"
           L"<tr valign=bottom><td><font id=row>x</font></td><td height=100>y</td></tr>"
           L"<tr><td height=100><font id=none>x</font></td></tr></table>");
    EXPECT_EQ(Corners(0, 43, 6, 56), Box(L"own")) << "the cell's middle over its row's top";
    EXPECT_EQ(Corners(0, 187, 6, 200), Box(L"row")) << "the row's bottom";
    EXPECT_EQ(Corners(0, 243, 6, 256), Box(L"none")) << "the middle";
}

}  // namespace
