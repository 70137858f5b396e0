#include "app/SmallDialogs.h"

#include <algorithm>

#include "app/Resources.h"
#include "platform/dialog/DialogHost.h"
#include "platform/dialog/Shell.h"

namespace plovik {

CTplPv::CTplPv(DialogHost& host)
    : CDHtmlDialog(host, std::string(kTemplatePreviewPage), "Plovik", 990, 610) {
    DHtmlEvent(Event::Click, "button_close", [this] { EndDialog(IDCANCEL); });
    DHtmlEvent(Event::Click, "ButtonOK", [this] { EndDialog(IDOK); });
    DHtmlEvent(Event::Click, "ButtonCancel", [this] { EndDialog(IDCANCEL); });
}

void CTplPv::OnDocumentComplete() {
    SetElementHtml("img_tpl_pv", m_imageMarkup);
    CDHtmlDialog::OnDocumentComplete();
}

ShowDoneMsg::ShowDoneMsg(DialogHost& host)
    : CDHtmlDialog(host, std::string(kDonePage), "Plovik", 560, 300) {
    DHtmlEvent(Event::Click, "button_openfolder", [this] {
        if (!outputFolder_.empty())
            ShellOpen(outputFolder_);
    });
    DHtmlEvent(Event::Click, "button_preview", [this] {
        if (outputFolder_.empty() || startPage_.empty())
            return;
        // A web page cannot open a file of this machine, so the site is served to the browser.
        m_host.server().setPreviewRoot(outputFolder_);
        std::string url = m_host.server().previewUrl(outputFolder_ + startPage_);
        if (!url.empty())
            m_host.navigate(url);
    });
    DHtmlEvent(Event::Click, "button_cancel", [this] { EndDialog(IDCANCEL); });
}

void ShowDoneMsg::Fill(const std::string& outputFolder, const std::string& entryPage) {
    if (outputFolder.empty() || entryPage.empty())
        return;
    outputFolder_ = outputFolder;
    startPage_ = entryPage;
    std::replace(startPage_.begin(), startPage_.end(), '\\', '/');
}

void ShowDoneMsg::OnDocumentComplete() {
    CDHtmlDialog::OnDocumentComplete();
    if (!outputFolder_.empty())
        SetElementValue("input_outputfolder", outputFolder_);
    if (!startPage_.empty())
        SetElementValue("input_url", kExampleAddress + startPage_);
}

LRESULT ShowDoneMsg::WindowProc(unsigned message, WPARAM wParam, LPARAM lParam) {
    // Closing the completion message brings the wizard back into view.
    if (message == WM_CLOSE && !m_host.isActive())
        m_host.flashWindow();
    return CDHtmlDialog::WindowProc(message, wParam, lParam);
}

CAboutEx::CAboutEx(DialogHost& host)
    : CDHtmlDialog(host, std::string(kAboutPage), "Plovik", 420, 280) {
    DHtmlEvent(Event::Click, "ButtonOK", [this] { EndDialog(IDOK); });
    DHtmlEvent(Event::Click, "ButtonCancel", [this] { EndDialog(IDCANCEL); });
}

}  // namespace plovik
