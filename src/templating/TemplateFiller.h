#pragma once

// Fills one template file: every occurrence of each placeholder is replaced by its value, pairs in
// the order added, and the result is written in text mode. Placeholders are plain strings chosen
// by the caller.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plovik {

class TemplateFiller {
public:
    TemplateFiller() = default;
    explicit TemplateFiller(std::string templatePath) : templatePath_(std::move(templatePath)) {}

    void setTemplatePath(std::string path) { templatePath_ = std::move(path); }
    const std::string& templatePath() const { return templatePath_; }

    // False, adding nothing, when the template path is empty.
    bool addReplacement(std::string_view value, std::string_view placeholder);

    // Loads the template (text mode) and applies the replacements; the result is text(). Without a
    // readable template, text() is absent.
    void fillText();
    const std::optional<std::string>& text() const { return text_; }

    // fillText, then writes the result in text mode (an empty file for a missing template).
    // False when the output could not be written.
    bool writeFilled(const std::string& outputPath);

    // The replacement rule on its own: each pair in turn, every occurrence, the text built so far
    // rescanned. A value that holds its own placeholder is not searched again, so it terminates.
    static void applyReplacements(std::string& text,
                                  const std::vector<std::pair<std::string, std::string>>& pairs);

private:
    std::string templatePath_;
    std::vector<std::pair<std::string, std::string>> replacements_;  // (placeholder, value)
    std::optional<std::string> text_;
};

}  // namespace plovik
