#include "platform/dialog/MessageBox.h"

#include "platform/dialog/DialogHost.h"
#include "platform/dialog/HtmlText.h"

namespace plovik {

namespace {

class CMessageBoxDlg : public CDHtmlDialog {
public:
    CMessageBoxDlg(DialogHost& host, std::string text, std::string caption, unsigned type)
        : CDHtmlDialog(host, "messagebox.html", std::move(caption), 420, 170),
          text_(std::move(text)),
          type_(type) {
        DHtmlEvent(Event::Click, "button_ok", [this] { EndDialog(IDOK); });
        DHtmlEvent(Event::Click, "button_cancel", [this] { EndDialog(IDCANCEL); });
    }

    void OnDocumentComplete() override {
        const bool okCancel = (type_ & 0x0F) == MB_OKCANCEL;
        const char* icon = "";
        switch (type_ & 0xF0) {
            case MB_ICONERROR:
                icon = "icon-error";
                break;
            case MB_ICONQUESTION:
                icon = "icon-question";
                break;
            case MB_ICONEXCLAMATION:
                icon = "icon-warning";
                break;
            case MB_ICONINFORMATION:
                icon = "icon-information";
                break;
        }
        const bool cancelFirst = okCancel && (type_ & MB_DEFBUTTON2);
        RunCommands({{{"c", "html"}, {"id", "text_message"}, {"v", escapeHtml(text_)}},
                     {{"c", "set"}, {"id", "icon_box"}, {"p", "className"}, {"v", icon}},
                     {{"c", "set"}, {"id", "button_cancel"}, {"p", "hidden"}, {"v", !okCancel}},
                     {{"c", "focus"}, {"id", cancelFirst ? "button_cancel" : "button_ok"}}});
    }

    LRESULT WindowProc(unsigned message, WPARAM, LPARAM) override {
        if (message == WM_CLOSE)
            EndDialog((type_ & 0x0F) == MB_OKCANCEL ? IDCANCEL : IDOK);
        return 0;
    }

private:
    std::string text_;
    unsigned type_;
};

}  // namespace

INT_PTR MessageBoxW(DialogHost& host, const std::string& text, const std::string& caption,
                    unsigned type) {
    CMessageBoxDlg box(host, text, caption, type);
    return box.DoModal();
}

}  // namespace plovik
