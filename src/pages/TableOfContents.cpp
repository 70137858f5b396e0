#include "pages/TableOfContents.h"

namespace plovik {

// Placeholders until the sitemap reader lands.
bool TableOfContents::ParseContentsFile(const std::filesystem::path&, std::string_view) {
    return false;
}
bool TableOfContents::GetStartPage(std::string* out) {
    if (!out) return false;
    *out = startPage;
    return true;
}
bool TableOfContents::WriteContentsPage(int, const std::string&, const std::string&) {
    return true;
}
bool ParseIndexFile(std::vector<IndexEntry>&, std::string_view) { return true; }

}  // namespace plovik
