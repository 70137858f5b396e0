#pragma once

// Dialogs whose face is an HTML page: the program's stand-in for the desktop framework's HTML
// dialog class, with its vocabulary (event tables, OnInitDialog, OnDocumentComplete, DoModal,
// EndDialog, the page exchange of element values) so that dialog code reads as it would there.

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/WindowMessages.h"

namespace plovik {

class DialogHost;
class CDHtmlDialog;

using INT_PTR = std::intptr_t;
constexpr INT_PTR IDOK = 1;
constexpr INT_PTR IDCANCEL = 2;

// One exchange between the dialog's values and its page (UpdateData): the DDX_ calls record what
// to exchange, and the whole exchange is one round trip to the page.
class CDataExchange {
public:
    CDataExchange(CDHtmlDialog* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDHtmlDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;

    enum class Kind { Value, Radio, SelectIndex, CheckBox };
    void bind(const char* id, Kind kind, std::string* text, int* number);
    // Carries out the recorded exchange; false when the page did not answer.
    bool run();

private:
    struct Binding {
        std::string id;
        Kind kind;
        std::string* text;
        int* number;
    };
    std::vector<Binding> bindings_;
};

void DDX_DHtml_ElementValue(CDataExchange* dx, const char* id, std::string& value);
void DDX_DHtml_Radio(CDataExchange* dx, const char* id, int& index);
void DDX_DHtml_SelectIndex(CDataExchange* dx, const char* id, int& index);
void DDX_DHtml_CheckBox(CDataExchange* dx, const char* id, int& checked);

class CDHtmlDialog {
public:
    enum class Event { Click, KeyUp, Change };

    // `page` is the name of the page resource; width and height are the page's size in pixels.
    CDHtmlDialog(DialogHost& host, std::string page, std::string caption, int width, int height);
    virtual ~CDHtmlDialog();
    CDHtmlDialog(const CDHtmlDialog&) = delete;
    CDHtmlDialog& operator=(const CDHtmlDialog&) = delete;

    // Shows the dialog (above the one that is open, if any) and runs its loop until EndDialog.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    virtual bool OnInitDialog() { return true; }
    // The page has loaded: writes the page from the values.
    virtual void OnDocumentComplete();
    // The page was loaded again (a reload of the window): by default written from the values.
    virtual void OnPageReloaded() { UpdateData(false); }
    virtual void DoDataExchange(CDataExchange*) {}
    // Element ids over which the browser's context menu may show; none by default.
    virtual std::vector<std::string> ContextMenuIds() const { return {}; }
    // The dialog's window messages; WM_CLOSE ends it as cancelled unless a dialog says otherwise.
    virtual LRESULT WindowProc(unsigned message, WPARAM wParam, LPARAM lParam);
    // An event of an element that the event table does not name (such as the entries of a list
    // made at run time).
    virtual void OnOtherEvent(Event, const std::string& /*id*/) {}

    bool UpdateData(bool saveAndValidate = true);

    // ---- the page's elements, looked up by id ----
    bool ClickElement(const std::string& id);
    bool SetElementHtml(const std::string& id, const std::string& html);
    bool ElementExists(const std::string& id);
    nlohmann::json GetElementProperty(const std::string& id, const std::string& property);
    bool SetElementProperty(const std::string& id, const std::string& property,
                            const nlohmann::json& value);
    std::optional<std::string> GetElementValue(const std::string& id);
    bool SetElementValue(const std::string& id, const std::string& value);
    // Several commands in one round trip (see docs/dialog-bridge.md).
    nlohmann::json RunCommands(const nlohmann::json& commands);

    MessageWindow* GetSafeHwnd() { return &window_; }
    DialogHost& host() { return m_host; }
    int dialogId() const { return id_; }
    const std::string& page() const { return page_; }
    const std::string& caption() const { return caption_; }
    int width() const { return width_; }
    int height() const { return height_; }
    CDHtmlDialog* parent() const { return parent_; }
    bool documentLoaded() const { return loaded_; }

    // Called by the host for the page's messages.
    void handleEvent(Event event, const std::string& id);
    void handleLoaded();

protected:
    // The event table.
    void DHtmlEvent(Event event, std::string id, std::function<void()> handler);

    DialogHost& m_host;

private:
    friend class DialogHost;
    struct EventEntry {
        Event event;
        std::string id;
        std::function<void()> handler;
    };

    std::string page_;
    std::string caption_;
    int width_;
    int height_;
    int id_ = 0;
    CDHtmlDialog* parent_ = nullptr;
    bool loaded_ = false;
    bool ended_ = false;
    INT_PTR result_ = IDCANCEL;
    std::vector<EventEntry> events_;
    MessageWindow window_;
};

}  // namespace plovik
