#include "pipeline/ProjectFile.h"

#include <cstdio>

#include "platform/Ini.h"
#include "text/PercentEscapes.h"

namespace plovik {

namespace {

enum class Kind { Int, Path, Html };

struct Key {
    const char* section;
    const char* name;
    Kind kind;
    int ProjectSettings::*intField;
    std::string ProjectSettings::*textField;
};

// The keys in the order they are written.
const Key kKeys[] = {
    {"version", "version", Kind::Int, &ProjectSettings::version, nullptr},
    {"general", "chmfile", Kind::Path, nullptr, &ProjectSettings::chmfile},
    {"general", "outputpath", Kind::Path, nullptr, &ProjectSettings::outputpath},
    {"general", "defaultindex", Kind::Path, nullptr, &ProjectSettings::defaultindex},
    {"general", "charset", Kind::Int, &ProjectSettings::charset, nullptr},
    {"general", "title", Kind::Path, nullptr, &ProjectSettings::title},
    {"general", "baseurl", Kind::Path, nullptr, &ProjectSettings::baseurl},
    {"templates", "selectedtemplate", Kind::Int, &ProjectSettings::selectedtemplate, nullptr},
    {"templates", "shownavbutton", Kind::Int, &ProjectSettings::shownavbutton, nullptr},
    {"templates", "showrelatedtopics", Kind::Int, &ProjectSettings::showrelatedtopics, nullptr},
    {"templates", "buildindex", Kind::Int, &ProjectSettings::buildindex, nullptr},
    {"templates", "buildsearch", Kind::Int, &ProjectSettings::buildsearch, nullptr},
    {"htmlsetting", "isaddheader", Kind::Int, &ProjectSettings::isaddheader, nullptr},
    {"htmlsetting", "htmlheader", Kind::Html, nullptr, &ProjectSettings::htmlheader},
    {"htmlsetting", "isaddfooter", Kind::Int, &ProjectSettings::isaddfooter, nullptr},
    {"htmlsetting", "htmlfooter", Kind::Html, nullptr, &ProjectSettings::htmlfooter},
    {"htmlsetting", "isdelhtmlheader", Kind::Int, &ProjectSettings::isdelhtmlheader, nullptr},
    {"htmlsetting", "delhtmlheader", Kind::Html, nullptr, &ProjectSettings::delhtmlheader},
    {"htmlsetting", "isdelhtmlfooter", Kind::Int, &ProjectSettings::isdelhtmlfooter, nullptr},
    {"htmlsetting", "delhtmlfooter", Kind::Html, nullptr, &ProjectSettings::delhtmlfooter},
    {"htmlsetting", "fixlinks", Kind::Int, &ProjectSettings::fixlinks, nullptr},
};

bool needsQuoting(std::string_view text) {
    if (text.empty())
        return false;
    if (text.front() == '"' || text.front() == ' ' || text.front() == '\t')
        return true;
    if (text.back() == ' ' || text.back() == '\t')
        return true;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

}  // namespace

ProjectSettings ProjectFile::emptySettings() {
    ProjectSettings s;
    for (const Key& k : kKeys) {
        if (k.intField)
            s.*k.intField = 0;
        if (k.textField)
            (s.*k.textField).clear();
    }
    s.fixlinks = 1;
    return s;
}

std::string encodeProjectText(std::string_view text) {
    if (!needsQuoting(text))
        return std::string(text);
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buf[5];
                    std::snprintf(buf, sizeof buf, "\\x%02X", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

std::string decodeProjectText(std::string_view value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return std::string(value);
    std::string out;
    std::string_view body = value.substr(1, value.size() - 2);
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '"')
            return std::string(value);  // not one of ours: an unescaped quote inside
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= body.size())
            return std::string(value);
        switch (body[i]) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                const int byte = hexByteAt(body, i + 1);
                if (byte < 0)
                    return std::string(value);
                out += static_cast<char>(byte);
                i += 2;
                break;
            }
            default:
                return std::string(value);
        }
    }
    return out;
}

namespace {

void readKeys(const IniFile& ini, ProjectSettings& s) {
    for (const Key& k : kKeys) {
        auto value = ini.get(k.section, k.name);
        if (k.intField) {
            // Link repair came after the first project files were written; those files mean
            // the build that every new project gets, with it on.
            static const ProjectSettings kMissing = ProjectFile::emptySettings();
            int v = value ? parseProfileInt(*value) : kMissing.*k.intField;
            s.*k.intField = (v == -1) ? 0 : v;
        } else {
            std::string text = value ? decodeProjectText(*value) : std::string();
            s.*k.textField =
                cutToCapacity(text, k.kind == Kind::Html ? kHtmlTextCapacity : kPathCapacity);
        }
    }
}

}  // namespace

bool readProjectFile(const std::string* path, ProjectFile* file, ProjectSettings* out) {
    if (!path || !file || !out)
        return false;
    file->path = *path;
    IniFile ini;
    ini.loadChecked(*path);
    readKeys(ini, file->settings);
    *out = file->settings;
    return true;
}

Outcome openProjectFile(const std::string& path, ProjectFile& file, ProjectSettings& out) {
    IniFile ini;
    if (Outcome loaded = ini.loadChecked(path); !loaded)
        return Outcome::fatal("The project file " + path + " cannot be opened: " + loaded.reason +
                              ".");
    file.path = path;
    file.settings = ProjectFile::emptySettings();
    readKeys(ini, file.settings);
    out = file.settings;
    return Outcome::ok();
}

ProjectLibrary readProjectLibrary(const std::string& path) {
    ProjectLibrary library;
    IniFile ini;
    if (!ini.loadChecked(path))
        return library;
    if (auto title = ini.get("library", "title"))
        library.title = cutToCapacity(decodeProjectText(*title), kPathCapacity);
    for (int n = 2; n <= kMaxLibraryHelps; ++n) {
        auto chm = ini.get("library", "chmfile" + std::to_string(n));
        if (!chm)
            break;
        if (!chm->empty())
            library.chmFiles.push_back(cutToCapacity(decodeProjectText(*chm), kPathCapacity));
    }
    return library;
}

Outcome writeProjectFile(ProjectFile& file, const ProjectSettings* settings,
                         const std::string* path) {
    if (path && !path->empty())
        file.path = *path;
    if (settings)
        file.settings = *settings;
    // The file's own lines stay; a file that is no project (binary data, say) is replaced.
    IniFile ini;
    ini.loadChecked(file.path);
    for (const Key& k : kKeys) {
        if (k.intField)
            ini.set(k.section, k.name, std::to_string(file.settings.*k.intField));
        else
            ini.set(k.section, k.name, encodeProjectText(file.settings.*k.textField));
    }
    if (Outcome saved = ini.save(file.path); !saved)
        return Outcome::fatal("The project could not be saved to " + file.path + ": " +
                              saved.reason + ".");
    return Outcome::ok();
}

}  // namespace plovik
