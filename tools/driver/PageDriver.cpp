#include "PageDriver.h"

namespace {

bool IsClass(HWND window, const wchar_t* name)
{
    wchar_t actual[32] = {};
    GetClassNameW(window, actual, 32);
    return _wcsicmp(actual, name) == 0;
}

LPARAM At(POINT point) { return MAKELPARAM(point.x, point.y); }

}  // namespace

bool PageDriver::Click(const std::wstring& id)
{
    if (HWND control = view_.ControlOf(id)) {
        if (IsClass(control, L"Button"))
            SendMessageW(control, BM_CLICK, 0, 0);
        else
            SendMessageW(control, WM_LBUTTONUP, 0, At(POINT{1, 1}));
        return true;
    }
    const auto box = view_.Layout().BoxOf(id);
    if (!box || !view_.Window())
        return false;
    const POINT middle{(box->left + box->right) / 2, (box->top + box->bottom) / 2};
    SendMessageW(view_.Window(), WM_LBUTTONDOWN, MK_LBUTTON, At(middle));
    SendMessageW(view_.Window(), WM_LBUTTONUP, 0, At(middle));
    return true;
}

bool PageDriver::ClickOption(const std::wstring& listId, const std::wstring& text)
{
    HWND list = view_.ControlOf(listId);
    html::Node* node = view_.Document() ? html::FindById(*view_.Document(), listId) : nullptr;
    if (!list || !node)
        return false;
    int line = 0;
    for (const auto& child : node->children) {
        if (!child->IsElement(L"option"))
            continue;
        if (html::OptionText(*child) == text)
            break;
        ++line;
    }
    RECT rect{};
    SendMessageW(list, LB_SETTOPINDEX, line, 0);
    if (SendMessageW(list, LB_GETITEMRECT, line, reinterpret_cast<LPARAM>(&rect)) == LB_ERR)
        return false;
    const POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, At(middle));
    SendMessageW(list, WM_LBUTTONUP, 0, At(middle));
    return true;
}

bool PageDriver::KeyUp(const std::wstring& id)
{
    HWND control = view_.ControlOf(id);
    if (!control)
        return false;
    SendMessageW(control, WM_KEYUP, VK_SHIFT, 0xC0000001);
    return true;
}

bool PageDriver::Type(const std::wstring& id, const std::wstring& text)
{
    HWND box = view_.ControlOf(id);
    if (!box || !IsClass(box, L"Edit"))
        return false;
    SetWindowTextW(box, text.c_str());
    return true;
}
