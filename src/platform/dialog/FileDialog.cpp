#include "platform/dialog/FileDialog.h"

#include <fnmatch.h>

#include <algorithm>
#include <cstdlib>

#include "platform/dialog/DialogHost.h"
#include "platform/dialog/HtmlText.h"
#include "platform/dialog/MessageBox.h"

namespace plovik {

namespace fs = std::filesystem;

namespace {

// The folder of the last choice, shared by the file and folder dialogs of one run.
fs::path& lastFolder() {
    static fs::path folder;
    return folder;
}

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    std::error_code ec;
    return fs::current_path(ec);
}

fs::path startFolder(const fs::path& wanted) {
    std::error_code ec;
    for (const fs::path& p : {wanted, lastFolder(), homeFolder()})
        if (!p.empty() && fs::is_directory(p, ec))
            return fs::absolute(p, ec).lexically_normal();
    return "/";
}

// The folders (and, when wanted, the files) of a folder, folders first, each group by name.
std::vector<std::pair<std::string, bool>> folderEntries(const fs::path& folder, bool withFiles) {
    std::vector<std::pair<std::string, bool>> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        std::error_code typeError;
        bool isFolder = it->is_directory(typeError);
        if (isFolder || withFiles)
            entries.emplace_back(std::move(name), isFolder);
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        if (a.second != b.second)
            return a.second;
        return a.first < b.first;
    });
    return entries;
}

std::string entryListHtml(const std::vector<std::pair<std::string, bool>>& entries) {
    std::string html;
    for (size_t i = 0; i < entries.size(); ++i) {
        html += "<li><button type=\"button\" class=\"entry ";
        html += entries[i].second ? "folder" : "file";
        html += "\" id=\"entry_" + std::to_string(i) + "\">" + escapeHtml(entries[i].first) +
                "</button></li>";
    }
    return html;
}

std::optional<size_t> entryIndex(const std::string& id, size_t count) {
    if (id.rfind("entry_", 0) != 0)
        return std::nullopt;
    char* end = nullptr;
    unsigned long n = std::strtoul(id.c_str() + 6, &end, 10);
    if (!end || *end || n >= count)
        return std::nullopt;
    return n;
}

bool hasWildcard(const std::string& s) {
    return s.find_first_of("*?") != std::string::npos;
}

}  // namespace

CFileDialog::CFileDialog(DialogHost& host, bool openFileDialog, std::string defaultExtension,
                         std::string fileName, unsigned flags, const std::string& filter)
    : CDHtmlDialog(host, "filedialog.html", openFileDialog ? "Open" : "Save As", 640, 440),
      open_(openFileDialog),
      defaultExtension_(std::move(defaultExtension)),
      fileName_(std::move(fileName)),
      flags_(flags),
      filters_(parseFilter(filter)) {
    if (!defaultExtension_.empty() && defaultExtension_[0] == '.')
        defaultExtension_.erase(0, 1);
    DHtmlEvent(Event::Click, "button_ok", [this] { onOk(); });
    DHtmlEvent(Event::Click, "button_cancel", [this] { EndDialog(IDCANCEL); });
    DHtmlEvent(Event::Click, "button_up", [this] {
        folder_ = folder_.parent_path();
        list();
    });
    DHtmlEvent(Event::Change, "select_filter", [this] {
        auto v = GetElementProperty("select_filter", "selectedIndex");
        if (v.is_number_integer())
            filterIndex_ = v.get<int>();
        typedPatterns_.clear();
        list();
    });
    DHtmlEvent(Event::Change, "input_folder", [this] {
        auto typed = GetElementValue("input_folder");
        std::error_code ec;
        if (typed && fs::is_directory(*typed, ec))
            folder_ = fs::path(*typed).lexically_normal();
        list();
    });
}

void CFileDialog::OnOtherEvent(Event event, const std::string& id) {
    // The entries are made anew for every folder; their ids name positions in the listing.
    if (event != Event::Click)
        return;
    if (auto i = entryIndex(id, entries_.size()))
        onEntry(*i);
}

std::vector<std::pair<std::string, std::vector<std::string>>> CFileDialog::parseFilter(
    const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    std::vector<std::pair<std::string, std::vector<std::string>>> filters;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty())
            break;  // "||" ends the list
        std::vector<std::string> patterns;
        size_t s = 0;
        for (;;) {
            size_t semi = parts[i + 1].find(';', s);
            std::string p = parts[i + 1].substr(s, semi - s);
            if (!p.empty())
                patterns.push_back(p);
            if (semi == std::string::npos)
                break;
            s = semi + 1;
        }
        filters.emplace_back(parts[i], std::move(patterns));
    }
    return filters;
}

bool CFileDialog::matches(const std::string& name, const std::string& pattern) {
    return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

std::vector<std::string> CFileDialog::currentPatterns() const {
    if (!typedPatterns_.empty())
        return typedPatterns_;
    if (filterIndex_ >= 0 && static_cast<size_t>(filterIndex_) < filters_.size())
        return filters_[static_cast<size_t>(filterIndex_)].second;
    return {"*"};
}

void CFileDialog::OnDocumentComplete() {
    if (folder_.empty())
        folder_ = startFolder(initialFolder);
    if (hasWildcard(fileName_))
        typedPatterns_ = {fileName_};
    std::string options;
    for (const auto& f : filters_)
        options += "<option>" + escapeHtml(f.first) + "</option>";
    RunCommands(
        {{{"c", "html"}, {"id", "select_filter"}, {"v", options}},
         {{"c", "set"}, {"id", "select_filter"}, {"p", "selectedIndex"}, {"v", filterIndex_}},
         {{"c", "set"}, {"id", "input_filename"}, {"p", "value"}, {"v", fileName_}},
         {{"c", "focus"}, {"id", "input_filename"}}});
    list();
}

void CFileDialog::list() {
    std::error_code ec;
    if (!fs::is_directory(folder_, ec))
        folder_ = startFolder({});
    auto all = folderEntries(folder_, true);
    entries_.clear();
    const auto patterns = currentPatterns();
    for (auto& e : all) {
        bool shown = e.second;
        for (const auto& p : patterns)
            shown = shown || matches(e.first, p);
        if (shown)
            entries_.push_back(std::move(e));
    }
    if (entries_.size() > 4096)
        entries_.resize(4096);
    RunCommands({{{"c", "set"}, {"id", "input_folder"}, {"p", "value"}, {"v", folder_.string()}},
                 {{"c", "html"}, {"id", "list_entries"}, {"v", entryListHtml(entries_)}},
                 {{"c", "html"}, {"id", "text_error"}, {"v", ""}}});
}

void CFileDialog::onEntry(size_t index) {
    if (index >= entries_.size())
        return;
    if (entries_[index].second) {
        folder_ /= entries_[index].first;
        list();
    } else {
        SetElementValue("input_filename", entries_[index].first);
    }
}

void CFileDialog::onOk() {
    std::string name = GetElementValue("input_filename").value_or("");
    auto showError = [this](const std::string& text) {
        SetElementHtml("text_error", escapeHtml(text));
    };
    if (name.empty())
        return showError("Please enter a file name.");
    if (hasWildcard(name)) {
        typedPatterns_ = {name};
        return list();
    }
    fs::path chosen = fs::path(name).is_absolute() ? fs::path(name) : folder_ / name;
    chosen = chosen.lexically_normal();
    std::error_code ec;
    if (fs::is_directory(chosen, ec)) {
        folder_ = chosen;
        SetElementValue("input_filename", "");
        return list();
    }
    if (!open_ && !defaultExtension_.empty() && !chosen.has_extension())
        chosen += "." + defaultExtension_;
    const bool exists = fs::exists(chosen, ec);
    if ((flags_ & OFN_FILEMUSTEXIST) && !exists)
        return showError(chosen.filename().string() + ": file not found.");
    if (!open_ && exists && (flags_ & OFN_OVERWRITEPROMPT)) {
        if (MessageBoxW(m_host,
                        chosen.filename().string() + " already exists.\nDo you want to replace it?",
                        "Plovik", MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDOK)
            return;
    }
    path_ = chosen.string();
    lastFolder() = chosen.parent_path();
    EndDialog(IDOK);
}

CFolderDialog::CFolderDialog(DialogHost& host, fs::path start)
    : CDHtmlDialog(host, "folderdialog.html", "Browse for Folder", 560, 420) {
    folder_ = start;
    DHtmlEvent(Event::Click, "button_ok", [this] {
        path_ = folder_.string();
        lastFolder() = folder_;
        EndDialog(IDOK);
    });
    DHtmlEvent(Event::Click, "button_cancel", [this] { EndDialog(IDCANCEL); });
    DHtmlEvent(Event::Click, "button_up", [this] { navigate(folder_.parent_path()); });
    DHtmlEvent(Event::Change, "input_folder", [this] {
        auto typed = GetElementValue("input_folder");
        std::error_code ec;
        if (typed && fs::is_directory(*typed, ec))
            navigate(*typed);
        else
            list();
    });
    DHtmlEvent(Event::Click, "button_newfolder", [this] {
        std::string name = GetElementValue("input_newfolder").value_or("");
        // A new folder is made right here, by a plain name.
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
            SetElementHtml("text_error", "Please enter a folder name.");
            return;
        }
        std::error_code ec;
        if (!fs::create_directory(folder_ / name, ec)) {
            SetElementHtml("text_error", escapeHtml("Could not make the folder " + name + "."));
            return;
        }
        SetElementValue("input_newfolder", "");
        navigate(folder_ / name);
    });
}

void CFolderDialog::OnOtherEvent(Event event, const std::string& id) {
    if (event != Event::Click)
        return;
    if (auto i = entryIndex(id, entries_.size()))
        navigate(folder_ / entries_[*i]);
}

void CFolderDialog::OnDocumentComplete() {
    if (folder_.empty() || !fs::is_directory(folder_))
        folder_ = startFolder(folder_);
    list();
}

void CFolderDialog::navigate(const fs::path& folder) {
    folder_ = fs::path(folder).lexically_normal();
    list();
}

void CFolderDialog::list() {
    std::error_code ec;
    if (!fs::is_directory(folder_, ec))
        folder_ = startFolder({});
    entries_.clear();
    for (auto& e : folderEntries(folder_, false))
        entries_.push_back(e.first);
    if (entries_.size() > 4096)
        entries_.resize(4096);
    std::vector<std::pair<std::string, bool>> shown;
    for (const auto& e : entries_)
        shown.emplace_back(e, true);
    RunCommands({{{"c", "set"}, {"id", "input_folder"}, {"p", "value"}, {"v", folder_.string()}},
                 {{"c", "html"}, {"id", "list_entries"}, {"v", entryListHtml(shown)}},
                 {{"c", "html"}, {"id", "text_error"}, {"v", ""}}});
}

}  // namespace plovik
