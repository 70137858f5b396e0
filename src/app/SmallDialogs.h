#pragma once

// The wizard's small modal dialogs: the template preview, the completion message and the about
// box.

#include <string>

#include "platform/dialog/HtmlDialog.h"

namespace plovik {

// Shows a template's preview image.
class CTplPv : public CDHtmlDialog {
public:
    explicit CTplPv(DialogHost& host);
    std::string m_imageMarkup;  // set before DoModal
    void OnDocumentComplete() override;
    void OnPageReloaded() override { OnDocumentComplete(); }
};

// Announces a finished build and offers to preview the site or open its folder.
class ShowDoneMsg : public CDHtmlDialog {
public:
    explicit ShowDoneMsg(DialogHost& host);
    // The output folder (ending in '/') and the entry page as the build left them.
    void Fill(const std::string& outputFolder, const std::string& entryPage);
    void OnDocumentComplete() override;
    void OnPageReloaded() override { OnDocumentComplete(); }
    std::vector<std::string> ContextMenuIds() const override {
        return {"input_outputfolder", "input_url"};
    }
    LRESULT WindowProc(unsigned message, WPARAM wParam, LPARAM lParam) override;

    static constexpr const char* kExampleAddress = "http://www.example.com/yourfolder/";

private:
    std::string outputFolder_;
    std::string startPage_;
};

class CAboutEx : public CDHtmlDialog {
public:
    explicit CAboutEx(DialogHost& host);
};

}  // namespace plovik
