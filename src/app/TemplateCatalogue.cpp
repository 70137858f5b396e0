#include "app/TemplateCatalogue.h"

#include <algorithm>

#include "pipeline/ProjectSettings.h"
#include "platform/Ini.h"

namespace plovik {

namespace {

constexpr size_t kFieldCapacity = 255;
// A hand-edited count must not make the program loop for minutes over keys that are not there.
constexpr int kMaxEntries = 1000;

int readCount(const IniFile& ini, const std::string& section, const char* key) {
    auto v = ini.get(section, key);
    return v ? std::clamp(parseProfileInt(*v), 0, kMaxEntries) : 0;
}

std::string readText(const IniFile& ini, const std::string& section, const std::string& key) {
    return cutToCapacity(ini.get(section, key).value_or(""), kFieldCapacity);
}

}  // namespace

void TemplateCatalogue::LoadTemplateCatalogue(const std::string& programFolder) {
    loadFile(programFolder + "template/tplsetting.ini");
}

void TemplateCatalogue::loadFile(const std::string& catalogueFile) {
    versions.clear();
    templates.clear();
    IniFile ini;
    ini.load(catalogueFile);
    const int count = readCount(ini, "VersionList", "VersionCount");
    for (int i = 0; i < count; ++i) {
        TplVersion v;
        auto value = ini.get("VersionList", "VersionValue" + std::to_string(i));
        v.VersionValue = value ? parseProfileInt(*value) : 0;
        v.VersionName = readText(ini, "VersionList", "VersionName" + std::to_string(i));
        versions.push_back(v);
    }
    for (TplVersion& v : versions) {
        v.TplCount = readCount(ini, v.VersionName, "TplCount");
        std::vector<TplInfo> list;
        for (int j = 0; j < v.TplCount; ++j) {
            const std::string n = std::to_string(j);
            list.push_back({j, readText(ini, v.VersionName, "TplName" + n),
                            readText(ini, v.VersionName, "TplPath" + n),
                            readText(ini, v.VersionName, "TplPvImg" + n),
                            readText(ini, v.VersionName, "TplSample" + n)});
        }
        templates.push_back(std::move(list));
    }
}

const TplInfo* TemplateCatalogue::find(int version, int index) const {
    if (version < 0 || index < 0 || static_cast<size_t>(version) >= templates.size())
        return nullptr;
    const auto& list = templates[static_cast<size_t>(version)];
    return static_cast<size_t>(index) < list.size() ? &list[static_cast<size_t>(index)] : nullptr;
}

std::optional<std::string> TemplateCatalogue::templateSelectMarkup(int layout, int selected) const {
    if (versions.empty())
        return std::nullopt;
    std::string markup =
        "<select style=\"margin:-2px;width=160px\" class=input id=\"select_template\" "
        "onchange=\"onSelTplChange();\">";
    if (layout >= 0 && static_cast<size_t>(layout) < templates.size()) {
        for (const TplInfo& t : templates[static_cast<size_t>(layout)]) {
            // The names come from a catalogue file beside the program; they are shown, not run.
            std::string name;
            for (char c : t.TplName) {
                if (c == '<')
                    name += "&lt;";
                else if (c == '&')
                    name += "&amp;";
                else
                    name += c;
            }
            markup += (t.index == selected ? "<option selected>" : "<option>") + name + "</option>";
        }
    }
    markup += "</select>";
    return markup;
}

}  // namespace plovik
