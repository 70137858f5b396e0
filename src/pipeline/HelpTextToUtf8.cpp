#include "pipeline/HelpTextToUtf8.h"

#include "chm/ChmFile.h"
#include "chm/SystemLanguage.h"
#include "text/AsciiCase.h"
#include "text/CodePage.h"
#include "text/PathSegments.h"

namespace plovik {

namespace {

enum class FileKind { Other, Page, Sitemap };

FileKind kindOf(std::string_view relative) {
    const std::string_view ext = extensionOf(relative);
    if (equalsIgnoreAsciiCase(ext, ".hhk") || equalsIgnoreAsciiCase(ext, ".hhc"))
        return FileKind::Sitemap;
    if (equalsIgnoreAsciiCase(ext, ".html") || equalsIgnoreAsciiCase(ext, ".htm"))
        return FileKind::Page;
    return FileKind::Other;
}

}  // namespace

HelpTextToUtf8::HelpTextToUtf8(ChmFile& chm)
    : chm_(chm), converter_(ansiCodePageOf(systemLanguageOf(chm).value_or(0))) {
    counts_.codePage = converter_.codePage();
}

std::string_view HelpTextToUtf8::name(std::string_view stored) {
    if (!converter_.convertName(stored, name_).converted)
        return stored;
    if (storedNames_.empty())
        for (const ChmEntry& entry : chm_.entries)
            storedNames_.insert(entry.name);
    if (storedNames_.count(name_))
        return stored;
    ++counts_.namesConverted;
    return name_;
}

std::string_view HelpTextToUtf8::content(std::string_view relative, std::string_view bytes,
                                         std::size_t& undecodable) {
    undecodable = 0;
    const FileKind kind = kindOf(relative);
    if (kind == FileKind::Other)
        return bytes;
    const TextConversion result = kind == FileKind::Page
                                      ? converter_.convertPage(bytes, content_)
                                      : converter_.convertSitemap(bytes, content_);
    if (!result.converted)
        return bytes;
    ++(kind == FileKind::Page ? counts_.pagesConverted : counts_.sitemapsConverted);
    undecodable = result.undecodable;
    if (undecodable > 0)
        ++counts_.filesWithUndecodableBytes;
    return content_;
}

std::string_view HelpTextToUtf8::text(std::string_view bytes) {
    return converter_.convertSitemap(bytes, content_).converted ? std::string_view(content_)
                                                                : bytes;
}

}  // namespace plovik
