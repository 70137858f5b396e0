#include "templating/TemplateFiller.h"

#include "platform/TextFile.h"
#include "templating/PlaceholderReplacer.h"

namespace plovik {

bool TemplateFiller::addReplacement(std::string_view value, std::string_view placeholder) {
    if (templatePath_.empty())
        return false;
    replacements_.emplace_back(std::string(placeholder), std::string(value));
    return true;
}

void TemplateFiller::applyReplacements(
    std::string& text, const std::vector<std::pair<std::string, std::string>>& pairs) {
    replacePlaceholders(text, std::vector<PlaceholderPair>(pairs.begin(), pairs.end()));
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
