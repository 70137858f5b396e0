#pragma once

// The common dialogs for choosing a file to open or save and a folder, as dialog pages of our own
// that list this machine's folders.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialog/HtmlDialog.h"

namespace plovik {

constexpr unsigned OFN_OVERWRITEPROMPT = 0x00000002;
constexpr unsigned OFN_HIDEREADONLY = 0x00000004;
constexpr unsigned OFN_FILEMUSTEXIST = 0x00001000;

class CFileDialog : public CDHtmlDialog {
public:
    // `filter` is "Name|*.a;*.b|Other|*.*||"; `defaultExtension` is added to a saved name that has
    // none ("zarn" or ".zarn").
    CFileDialog(DialogHost& host, bool openFileDialog, std::string defaultExtension,
                std::string fileName, unsigned flags, const std::string& filter);

    std::string GetPathName() const { return path_; }
    // Where the dialog starts; by default the folder of the last choice, else the home folder.
    std::filesystem::path initialFolder;

    void OnDocumentComplete() override;
    void OnPageReloaded() override { OnDocumentComplete(); }
    void OnOtherEvent(Event event, const std::string& id) override;

    static std::vector<std::pair<std::string, std::vector<std::string>>> parseFilter(
        const std::string& filter);
    // Case-insensitive wildcard match of a file name against one pattern (* and ?).
    static bool matches(const std::string& name, const std::string& pattern);

private:
    void list();
    void onEntry(size_t index);
    void onOk();
    std::vector<std::string> currentPatterns() const;

    bool open_;
    std::string defaultExtension_;
    std::string fileName_;
    unsigned flags_;
    std::vector<std::pair<std::string, std::vector<std::string>>> filters_;
    int filterIndex_ = 0;
    std::vector<std::string> typedPatterns_;
    std::filesystem::path folder_;
    std::vector<std::pair<std::string, bool>> entries_;  // name, is a folder
    std::string path_;
};

// The folder browser, with a New Folder button. Returns IDOK with GetPath() set on a choice.
class CFolderDialog : public CDHtmlDialog {
public:
    CFolderDialog(DialogHost& host, std::filesystem::path start = {});
    std::string GetPath() const { return path_; }

    void OnDocumentComplete() override;
    void OnPageReloaded() override { OnDocumentComplete(); }
    void OnOtherEvent(Event event, const std::string& id) override;

private:
    void list();
    void navigate(const std::filesystem::path& folder);

    std::filesystem::path folder_;
    std::vector<std::string> entries_;
    std::string path_;
};

}  // namespace plovik
