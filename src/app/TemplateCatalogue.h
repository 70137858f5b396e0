#pragma once

// The template catalogue "template/tplsetting.ini" beside the program: per layout ("version"), the
// templates a build can use, with their folder, preview image and sample site.

#include <optional>
#include <string>
#include <vector>

namespace plovik {

struct TplVersion {
    int VersionValue = 0;
    int TplCount = 0;
    std::string VersionName;
};

struct TplInfo {
    int index = 0;
    std::string TplName;
    std::string TplPath;
    std::string TplPvImg;
    std::string TplSample;
};

class TemplateCatalogue {
public:
    // Reads the catalogue below the program folder (ending in '/'). A missing file gives no
    // versions.
    void LoadTemplateCatalogue(const std::string& programFolder);
    // Reads a catalogue file itself.
    void loadFile(const std::string& catalogueFile);

    // Template `index` of layout `version`, or null.
    const TplInfo* find(int version, int index) const;

    // The markup of the template list for a layout, the template at `selected` marked; nothing
    // when the catalogue has no versions (the page then keeps the list it shows).
    std::optional<std::string> templateSelectMarkup(int layout, int selected) const;

    std::vector<TplVersion> versions;
    std::vector<std::vector<TplInfo>> templates;  // one list per version, same order
};

}  // namespace plovik
