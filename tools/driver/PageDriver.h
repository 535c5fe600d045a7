#pragma once
// Acts on a page of our page engine as a person does, by element id, with
// the window messages that person's act makes: a form element through its
// own control window (a button pressed, lines of a list box clicked, text
// put in a text box), drawn text through a click on the page at the
// element's place. The engine takes them as it takes real input: the
// control's state is read back into the page, then the element's event is
// raised and a link followed. Messages are sent, not posted: each act is
// done when the call returns.
#include <string>

#include "MemoryHtmlView.h"

class PageDriver {
public:
    explicit PageDriver(MemoryHtmlView& view) : view_(view) {}

    // A click on the element: a button or check box pressed, a list box
    // clicked where no line is taken (the release of a press begun on its
    // scroll bar), drawn text clicked at the middle of its box. False when
    // the page has no such element or shows it nowhere.
    bool Click(const std::wstring& id);
    // A click on the line of a list box that shows this text, scrolled into
    // view first.
    bool ClickOption(const std::wstring& listId, const std::wstring& text);
    // A key let go in the element's control (Shift: it changes nothing).
    bool KeyUp(const std::wstring& id);
    // The text box's text replaced, as typing it would.
    bool Type(const std::wstring& id, const std::wstring& text);

private:
    MemoryHtmlView& view_;
};
