#include <gtest/gtest.h>

#include "HtmlDom.h"

namespace {

using namespace html;

std::unique_ptr<Node> Document(const std::wstring& markup)
{
    auto root = std::make_unique<Node>();
    root->tag = L"#document";
    SetInnerHtml(*root, markup);
    return root;
}

TEST(HtmlDomTest, SerialisesAsTheBrowserEngineDoes)
{
    auto doc = Document(
        L"<select id='s' size='9'><option>a</option><option selected>b &amp; c</option></select>"
        L"<input id='c' type='checkbox' name='c' checked><font face=\"verdana\" style=\"cursor:hand\">x&nbsp;y</font>");
    EXPECT_EQ(L"<OPTION>a</OPTION><OPTION selected>b &amp; c</OPTION>", InnerHtml(*FindById(*doc, L"s")));
    EXPECT_EQ(L"<INPUT id=c type=checkbox name=c CHECKED>", OuterHtml(*FindById(*doc, L"c")));
    EXPECT_EQ(L"<FONT face=verdana style=\"cursor:hand\">x&nbsp;y</FONT>", OuterHtml(*doc->children.back()));
}

TEST(HtmlDomTest, RoundTripsItsOwnOutput)
{
    const std::wstring page =
        L"<TABLE width=\"100%\"><TR><TD id=cell align=right><B>1</B></TD></TR></TABLE>"
        L"<INPUT id=u value=\"a &quot;quoted&quot; &amp; <x>\" size=47><!-- note --><BR>";
    auto doc = Document(page);
    EXPECT_EQ(page, InnerHtml(*doc));
    EXPECT_EQ(L"a \"quoted\" & <x>", FindById(*doc, L"u")->GetAttribute(L"value").value());
}

TEST(HtmlDomTest, ParsesLooseMarkup)
{
    auto doc = Document(L"<SELECT id=s><option>one<option>two</SELECT></b><p id=after>tail");
    EXPECT_EQ(L"<OPTION>one</OPTION><OPTION>two</OPTION>", InnerHtml(*FindById(*doc, L"s")));
    EXPECT_EQ(L"tail", InnerHtml(*FindById(*doc, L"after")));
    auto attrs = Document(L"<input id=a value='it''s' disabled type=text>");
    Node* input = FindById(*attrs, L"a");
    EXPECT_TRUE(input->HasFlag(L"disabled"));
    EXPECT_EQ(L"text", input->GetAttribute(L"TYPE").value());
}

TEST(HtmlDomTest, ReplacingMarkupKeepsTheTreeConsistent)
{
    auto doc = Document(L"<div id=outer><span id=old>x</span><b>y</b></div>");
    Node* old = FindById(*doc, L"old");
    ASSERT_TRUE(SetOuterHtml(*old, L"<INPUT id='new' type='checkbox' checked><i id=second>z</i>"));
    EXPECT_EQ(nullptr, FindById(*doc, L"old"));
    Node* replaced = FindById(*doc, L"new");
    ASSERT_NE(nullptr, replaced);
    EXPECT_EQ(FindById(*doc, L"outer"), replaced->parent);
    EXPECT_EQ(L"<INPUT id=new type=checkbox CHECKED><I id=second>z</I><B>y</B>",
              InnerHtml(*FindById(*doc, L"outer")));
    SetInnerHtml(*FindById(*doc, L"outer"), L"<option selected>a</option>");
    EXPECT_EQ(L"<OPTION selected>a</OPTION>", InnerHtml(*FindById(*doc, L"outer")));
    EXPECT_FALSE(SetOuterHtml(*doc, L"<p>"));
}

TEST(HtmlDomTest, FlagsAndAttributes)
{
    auto doc = Document(L"<input id=c type=checkbox>");
    Node* box = FindById(*doc, L"c");
    box->SetFlag(L"checked", true);
    EXPECT_EQ(L"<INPUT id=c type=checkbox CHECKED>", OuterHtml(*box));
    box->SetFlag(L"checked", false);
    box->SetAttribute(L"value", L"x y");
    EXPECT_EQ(L"<INPUT id=c type=checkbox value=\"x y\">", OuterHtml(*box));
}

}  // namespace
