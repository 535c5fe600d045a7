#pragma once
// Our HTML dialog framework: a modal dialog from a template whose client
// area is a browser view, pages loaded from the program's own HTML resources
// at "res://<module path>/<id>", and per-page element-event tables matched by
// the id of the element that raised an event at the moment it is raised.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HtmlView.h"

struct HtmlEventEntry {
    std::wstring elementId;
    long dispid;  // kEventClick, kEventKeyDown, kEventKeyUp
    std::function<HRESULT(IHtmlElement&)> handler;
};
using HtmlEventTable = std::vector<HtmlEventEntry>;

class CDHtmlDialog : protected IHtmlViewEvents {
public:
    CDHtmlDialog(UINT templateId, UINT firstPage, HWND parent);
    ~CDHtmlDialog() override;
    CDHtmlDialog(const CDHtmlDialog&) = delete;
    CDHtmlDialog& operator=(const CDHtmlDialog&) = delete;

    // Runs the dialog until EndDialog; its result.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);
    HWND GetSafeHwnd() const { return hwnd_; }

    // Navigates the view to one of the program's HTML resources; false when
    // the program's path cannot be had.
    bool LoadFromResource(UINT id);
    std::unique_ptr<IHtmlElement> GetElement(const std::wstring& id);
    IHtmlView* View() { return view_.get(); }

protected:
    // Creates the view over the client area and loads the first page.
    virtual BOOL OnInitDialog();
    // Window messages; true when handled, with the message's result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Right after the window exists, before OnInitDialog.
    virtual void OnWindowCreated() {}
    virtual void OnWindowDestroyed() {}

    void OnBeforeNavigate(const std::wstring&) override {}
    void OnDocumentComplete(const std::wstring&) override {}
    void OnElementEvent(const std::wstring& elementId, long dispid, IHtmlElement& source) override;

    // The element-event table in force; null: no element reacts.
    void SetEventTable(const HtmlEventTable* table) { table_ = table; }
    const HtmlEventTable* EventTable() const { return table_; }

    // The program file's full path as the pages' address carries it.
    static bool ProgramPath(std::wstring& path);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UINT template_;
    UINT firstPage_;
    HWND parent_;
    HWND hwnd_ = nullptr;
    std::unique_ptr<IHtmlView> view_;
    const HtmlEventTable* table_ = nullptr;
};

// A dialog whose pages each bring their own event table, chosen before each
// navigation by the page key: the text after the last "/" of a "res:" address.
class CMultiPageDHtmlDialog : public CDHtmlDialog {
public:
    using CDHtmlDialog::CDHtmlDialog;

protected:
    // The table of the page with this key, or null.
    virtual const HtmlEventTable* GetEventTableForKey(const std::wstring& key) = 0;
    void OnBeforeNavigate(const std::wstring& url) override;
};
