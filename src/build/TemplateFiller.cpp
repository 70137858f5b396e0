#include "build/TemplateFiller.h"

#include "platform/TextFile.h"

namespace plovik {

bool TemplateFiller::addReplacement(std::string_view value, std::string_view placeholder) {
    if (templatePath_.empty())
        return false;
    replacements_.emplace_back(std::string(placeholder), std::string(value));
    return true;
}

void TemplateFiller::applyReplacements(
    std::string& text, const std::vector<std::pair<std::string, std::string>>& pairs) {
    for (const auto& [placeholder, value] : pairs) {
        if (placeholder.empty())
            continue;
        // Searching again from the start after every replacement finds exactly what a search that
        // resumes just before the inserted value finds: nothing before that point has changed, and
        // nothing before the replaced occurrence matched. A value that holds its own placeholder
        // would be found again forever, so there the search resumes after the inserted value.
        const bool selfContaining = value.find(placeholder) != std::string::npos;
        size_t from = 0;
        for (;;) {
            size_t at = text.find(placeholder, from);
            if (at == std::string::npos)
                break;
            text.replace(at, placeholder.size(), value);
            from = selfContaining
                       ? at + value.size()
                       : (at >= placeholder.size() - 1 ? at - (placeholder.size() - 1) : 0);
        }
    }
}

void TemplateFiller::fillText() {
    text_ = readTextFile(templatePath_);
    if (text_)
        applyReplacements(*text_, replacements_);
}

bool TemplateFiller::writeFilled(const std::string& outputPath) {
    fillText();
    return writeTextFile(outputPath, text_ ? std::string_view(*text_) : std::string_view());
}

}  // namespace plovik
