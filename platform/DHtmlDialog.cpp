#include "DHtmlDialog.h"

#include "PlatformHtmlView.h"

CDHtmlDialog::CDHtmlDialog(UINT templateId, UINT firstPage, HWND parent)
    : template_(templateId), firstPage_(firstPage), parent_(parent)
{
}

CDHtmlDialog::~CDHtmlDialog() = default;

INT_PTR CDHtmlDialog::DoModal()
{
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_), parent_, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void CDHtmlDialog::EndDialog(INT_PTR result)
{
    if (hwnd_)
        ::EndDialog(hwnd_, result);
}

bool CDHtmlDialog::ProgramPath(std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    path.assign(buffer, length);
    return true;
}

bool CDHtmlDialog::LoadFromResource(UINT id)
{
    std::wstring path;
    if (!view_ || !ProgramPath(path))
        return false;
    return view_->Navigate(L"res://" + path + L"/" + std::to_wstring(id));
}

std::unique_ptr<IHtmlElement> CDHtmlDialog::GetElement(const std::wstring& id)
{
    return view_ ? view_->GetElement(id) : nullptr;
}

BOOL CDHtmlDialog::OnInitDialog()
{
    RECT area{};
    GetClientRect(hwnd_, &area);
    view_ = CreateHtmlView(*this, hwnd_, area);
    LoadFromResource(firstPage_);
    return TRUE;
}

bool CDHtmlDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void CDHtmlDialog::OnElementEvent(const std::wstring& elementId, long dispid, IHtmlElement& source)
{
    if (!table_ || elementId.empty())
        return;
    // A copy: a handler may load another page and with it another table.
    const HtmlEventTable table = *table_;
    for (const auto& entry : table) {
        if (entry.dispid == dispid && entry.elementId == elementId) {
            entry.handler(source);
            return;
        }
    }
}

INT_PTR CALLBACK CDHtmlDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CDHtmlDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDHtmlDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->hwnd_ = window;
        self->OnWindowCreated();
        return self->OnInitDialog();
    }
    if (!self)
        return FALSE;
    LRESULT result = 0;
    const bool handled = self->OnMessage(message, wParam, lParam, result);
    if (message == WM_DESTROY) {
        if (self->view_)
            self->view_->Destroy();
        self->OnWindowDestroyed();
        self->hwnd_ = nullptr;
    }
    if (!handled && message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(window, LOWORD(wParam));
        return TRUE;
    }
    if (!handled)
        return FALSE;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

void CMultiPageDHtmlDialog::OnBeforeNavigate(const std::wstring& url)
{
    std::wstring key = url;
    if (_wcsnicmp(url.c_str(), L"res:", 4) == 0)
        key = url.substr(url.rfind(L'/') + 1);
    SetEventTable(GetEventTableForKey(key));
}
