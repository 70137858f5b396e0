#include "pages/LinkRepair.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "pages/LinkAttributes.h"
#include "pages/PageLinks.h"
#include "text/AsciiCase.h"
#include "text/PathSegments.h"
#include "text/PercentEscapes.h"

namespace plovik {

namespace {

// A URL scheme ("http:", "mailto:", "C:" ...) or a network path ("//host/"): nothing of the site.
bool hasScheme(std::string_view link) {
    if (link.size() >= 2 && link[0] == '/' && link[1] == '/')
        return true;
    if (link.empty() || asciiLower(link[0]) < 'a' || asciiLower(link[0]) > 'z')
        return false;
    for (std::size_t k = 1; k < link.size(); ++k) {
        const char c = asciiLower(link[k]);
        if (c == ':')
            return true;
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))
            return false;
    }
    return false;
}

// One written unit of a link's path: a byte, a %-escape or a character entity, each standing for
// one byte of the path the server is asked for.
struct Unit {
    std::size_t at = 0;
    std::size_t length = 1;
    char byte = 0;
    enum class Kind { Byte, Escape, Entity } kind = Kind::Byte;
};

constexpr std::array<std::pair<std::string_view, char>, 7> kEntities = {{{"&amp;", '&'},
                                                                         {"&quot;", '"'},
                                                                         {"&apos;", '\''},
                                                                         {"&#39;", '\''},
                                                                         {"&#x27;", '\''},
                                                                         {"&lt;", '<'},
                                                                         {"&gt;", '>'}}};

std::vector<Unit> unitsOf(std::string_view path) {
    std::vector<Unit> units;
    units.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        Unit unit;
        unit.at = i;
        const char c = path[i];
        if (const int escaped = percentEscapeAt(path, i); escaped >= 0) {
            unit.byte = static_cast<char>(escaped);
            unit.length = 3;
            unit.kind = Unit::Kind::Escape;
        } else if (c == '&') {
            unit.byte = c;
            for (const auto& [entity, byte] : kEntities) {
                if (startsWithIgnoreAsciiCase(path.substr(i), entity)) {
                    unit.byte = byte;
                    unit.length = entity.size();
                    unit.kind = Unit::Kind::Entity;
                    break;
                }
            }
        } else {
            // Browsers read a backslash in a web address as a slash.
            unit.byte = c == '\\' ? '/' : c;
        }
        i += unit.length;
        units.push_back(unit);
    }
    return units;
}

// The folders of a page, without empty ones.
std::vector<std::string_view> foldersOf(std::string_view page) {
    std::vector<std::string_view> folder = splitPath(page);
    folder.pop_back();
    std::erase_if(folder, [](std::string_view s) { return s.empty(); });
    return folder;
}

// A stored name's segment as it can be written in a link.
void appendEscaped(std::string& out, std::string_view segment) {
    out += linkToStoredName(segment);
}

std::string unitsDecoded(std::string_view text) {
    std::string out;
    for (const Unit& unit : unitsOf(text))
        out += unit.byte;
    return out;
}

// From the page's folder to `target` (segments as compared, and as written).
std::string climbTo(const std::vector<std::string_view>& folder,
                    const std::vector<std::string>& compared,
                    const std::vector<std::string>& written) {
    std::size_t common = 0;
    while (common < folder.size() && common + 1 < compared.size() &&
           folder[common] == compared[common])
        ++common;
    std::string link;
    for (std::size_t k = common; k < folder.size(); ++k)
        link += "../";
    for (std::size_t k = common; k < written.size(); ++k) {
        if (k > common)
            link += '/';
        link += written[k];
    }
    return link;
}

// A link of the help viewer's own schemes: the file name of the help it leads into (its %-escapes
// and entities decoded) and the target path in that help, without its leading slashes.
bool helpViewerLink(std::string_view link, std::string& file, std::string& target) {
    std::string_view rest;
    for (std::string_view scheme : {"ms-its:", "mk:@msitstore:", "its:"}) {
        if (startsWithIgnoreAsciiCase(link, scheme)) {
            rest = link.substr(scheme.size());
            break;
        }
    }
    if (rest.empty())
        return false;
    const std::size_t sep = rest.find("::");
    if (sep == std::string_view::npos)
        return false;
    std::string_view name = rest.substr(0, sep);
    if (const std::size_t cut = name.find_last_of("/\\:"); cut != std::string_view::npos)
        name = name.substr(cut + 1);
    std::string_view path = rest.substr(sep + 2);
    while (!path.empty() && (path.front() == '/' || path.front() == '\\'))
        path.remove_prefix(1);
    if (path.empty() || path.front() == '#' || path.front() == '?')
        return false;
    file = unitsDecoded(name);
    target.assign(path);
    return true;
}

}  // namespace

LinkRepair::LinkRepair(std::vector<std::string> storedFiles, std::string_view chmPath,
                       std::vector<LibraryHelp> library)
    : files_(std::move(storedFiles)) {
    const std::size_t slash = chmPath.find_last_of('/');
    chmFileName_ =
        std::string(slash == std::string_view::npos ? chmPath : chmPath.substr(slash + 1));
    for (LibraryHelp& help : library)
        library_.push_back({std::move(help.chmFileName), std::move(help.folder),
                            std::make_unique<StoredFileIndex>(std::move(help.storedFiles))});
}

LinkRepair::Outcome LinkRepair::intoOtherHelp(const OtherHelp& help, std::string_view target,
                                              std::string_view page, std::string& out) const {
    // The target is named from the other help's root; it is looked up there, with case ignored
    // as the help viewer did, and written from the page's folder through that help's folder.
    const std::size_t pathEnd = target.find_first_of("?#");
    const std::string_view path = target.substr(0, pathEnd);
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t cut = path.find_first_of("/\\", start);
        if (cut == std::string_view::npos)
            cut = path.size();
        std::string segment = unitsDecoded(path.substr(start, cut - start));
        start = cut + 1;
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            if (segments.empty())
                return Outcome::Unresolved;  // climbs out of that help: left as written
            segments.pop_back();
            continue;
        }
        segments.push_back(std::move(segment));
    }
    if (segments.empty())
        return Outcome::NotLocal;
    std::string name;
    for (const std::string& segment : segments)
        name += (name.empty() ? "" : "/") + segment;
    Outcome outcome = Outcome::Repaired;
    if (!help.files->exists(name)) {
        if (const std::string* match = help.files->foldedMatch(name))
            name = *match;
        else
            outcome = Outcome::Unresolved;
    }
    out = rootPrefixOf(page) + help.folder;
    std::size_t from = 0;
    for (std::size_t cut = name.find('/');; cut = name.find('/', from)) {
        out += linkToStoredName(std::string_view(name).substr(from, cut - from));
        if (cut == std::string::npos)
            break;
        out += '/';
        from = cut + 1;
    }
    if (pathEnd != std::string_view::npos)
        out += target.substr(pathEnd);
    return outcome;
}

LinkRepair::Outcome LinkRepair::repairLink(std::string_view link, std::string_view page,
                                           std::string& out) const {
    out.assign(link);
    std::size_t begin = 0;
    std::size_t end = link.size();
    while (begin < end && isHtmlSpace(link[begin]))
        ++begin;
    while (end > begin && isHtmlSpace(link[end - 1]))
        --end;
    const std::string_view trimmed = link.substr(begin, end - begin);
    if (trimmed.empty() || trimmed.front() == '#')
        return Outcome::NotLocal;

    std::string file;
    std::string target;
    const bool viewerLink = helpViewerLink(trimmed, file, target);
    if (viewerLink && !equalsIgnoreAsciiCase(file, chmFileName_)) {
        if (library_.empty())
            return Outcome::NotLocal;
        for (const OtherHelp& help : library_) {
            if (!equalsIgnoreAsciiCase(file, help.chmFileName))
                continue;
            std::string written;
            const Outcome outcome = intoOtherHelp(help, target, page, written);
            if (!written.empty())
                out = std::string(link.substr(0, begin)) + written + std::string(link.substr(end));
            return outcome;
        }
        return Outcome::OutsideLibrary;
    }
    if (viewerLink) {
        // The target is named from the help's root; the page needs a link from its folder.
        const std::size_t pathEnd = target.find_first_of("?#");
        const std::string_view path = std::string_view(target).substr(0, pathEnd);
        std::vector<std::string> compared;
        std::vector<std::string> written;
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t cut = path.find_first_of("/\\", start);
            if (cut == std::string_view::npos)
                cut = path.size();
            const std::string_view segment = path.substr(start, cut - start);
            start = cut + 1;
            if (segment.empty())
                continue;
            written.emplace_back(segment);
            compared.push_back(unitsDecoded(segment));
        }
        if (written.empty())
            return Outcome::NotLocal;
        std::string local = climbTo(foldersOf(page), compared, written);
        if (pathEnd != std::string::npos)
            local += std::string_view(target).substr(pathEnd);
        std::string fixed;
        Outcome outcome = resolveLocal(local, page, fixed);
        out = std::string(link.substr(0, begin)) + fixed + std::string(link.substr(end));
        return outcome == Outcome::Unresolved ? outcome : Outcome::Repaired;
    }
    if (hasScheme(trimmed))
        return Outcome::NotLocal;

    std::string fixed;
    const Outcome outcome = resolveLocal(trimmed, page, fixed);
    if (outcome == Outcome::Repaired)
        out = std::string(link.substr(0, begin)) + fixed + std::string(link.substr(end));
    return outcome;
}

// Most links are written plainly (no escape, entity or backslash) and name a stored file as they
// stand, climbs and all; they are resolved here as below, without a copy of each segment. False
// sends a link the long way, which also tells what else it may be.
bool LinkRepair::namesAStoredFilePlainly(std::string_view path, std::string_view page) const {
    if (path.find_first_of("%&\\") != std::string_view::npos)
        return false;
    constexpr std::size_t kMostSegments = 64;
    std::array<std::string_view, kMostSegments> segments;
    std::size_t count = 0;
    // The page's folders are taken as they are named; the link's segments are followed.
    auto walk = [&](std::string_view text, bool link) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t slash = text.find('/', start);
            if (slash == std::string_view::npos && !link)
                return true;  // the page's own name
            const std::string_view segment =
                text.substr(start, slash == std::string_view::npos ? slash : slash - start);
            if (!link) {
                if (!segment.empty()) {
                    if (count == kMostSegments)
                        return false;
                    segments[count++] = segment;
                }
            } else if (segment == "..") {
                if (count == 0)
                    return false;
                --count;
            } else if (!segment.empty() && segment != ".") {
                if (count == kMostSegments)
                    return false;
                segments[count++] = segment;
            }
            if (slash == std::string_view::npos)
                return true;
            start = slash + 1;
        }
    };
    if (path.front() != '/' && !walk(page, false))
        return false;
    if (!walk(path, true) || count == 0)
        return false;
    std::string resolved;
    for (std::size_t k = 0; k < count; ++k) {
        if (k > 0)
            resolved += '/';
        resolved += segments[k];
    }
    return files_.exists(resolved);
}

LinkRepair::Outcome LinkRepair::resolveLocal(std::string_view link, std::string_view page,
                                             std::string& out) const {
    out.assign(link);
    const std::size_t pathEnd = std::min(link.find('?'), link.find('#'));
    const std::string_view path = link.substr(0, std::min(pathEnd, link.size()));
    if (path.empty())
        return Outcome::NotLocal;  // the page itself, with a query
    if (namesAStoredFilePlainly(path, page))
        return Outcome::Resolves;
    const std::vector<Unit> units = unitsOf(path);

    // The resolved path as segments: those of the page's folder (unit -1) and those of the
    // link, each with the index of its first unit.
    struct Segment {
        std::string text;
        long long firstUnit;
    };
    std::vector<Segment> segments;
    if (units.front().byte != '/')
        for (std::string_view folder : foldersOf(page))
            segments.push_back({std::string(folder), -1});
    std::string segment;
    std::size_t first = 0;
    for (std::size_t k = 0; k <= units.size(); ++k) {
        if (k < units.size() && units[k].byte != '/') {
            segment += units[k].byte;
            continue;
        }
        if (segment == "..") {
            if (segments.empty())
                return Outcome::Unresolved;  // climbs out of the site
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back({segment, static_cast<long long>(first)});
        }
        segment.clear();
        first = k + 1;
    }
    if (segments.empty())
        return Outcome::NotLocal;  // the site's root folder

    std::string resolved;
    for (const Segment& s : segments) {
        if (!resolved.empty())
            resolved += '/';
        resolved += s.text;
    }
    if (files_.exists(resolved))
        return Outcome::Resolves;
    // A folder is found through its index page.
    const bool folder = units.back().byte == '/';
    constexpr std::string_view kIndexPage = "/index.html";
    const std::string* match =
        files_.foldedMatch(folder ? resolved + std::string(kIndexPage) : resolved);
    if (!match)
        return Outcome::Unresolved;
    std::vector<std::string_view> stored = splitPath(
        std::string_view(*match).substr(0, match->size() - (folder ? kIndexPage.size() : 0)));
    if (stored.size() != segments.size())
        return Outcome::Unresolved;

    bool folderDiffers = false;
    for (std::size_t k = 0; k < segments.size(); ++k)
        if (segments[k].firstUnit < 0 && segments[k].text != stored[k])
            folderDiffers = true;
    std::string fixed;
    if (folderDiffers) {
        // The page's own folder is spelled differently in the target's name: on this file
        // system they are two folders, and the link must climb out of the page's one.
        std::vector<std::string> compared;
        std::vector<std::string> written;
        for (std::string_view s : stored) {
            compared.emplace_back(s);
            written.emplace_back();
            appendEscaped(written.back(), s);
        }
        fixed = climbTo(foldersOf(page), compared, written);
    } else {
        // Only the letters of the link's own segments change, each in the form it was written.
        std::vector<char> bytes(units.size(), 0);
        std::vector<bool> changed(units.size(), false);
        for (std::size_t k = 0; k < segments.size(); ++k) {
            if (segments[k].firstUnit < 0)
                continue;
            const auto firstUnit = static_cast<std::size_t>(segments[k].firstUnit);
            for (std::size_t b = 0; b < stored[k].size(); ++b) {
                if (units[firstUnit + b].byte != stored[k][b]) {
                    bytes[firstUnit + b] = stored[k][b];
                    changed[firstUnit + b] = true;
                }
            }
        }
        for (std::size_t k = 0; k < units.size(); ++k) {
            const Unit& unit = units[k];
            if (!changed[k]) {
                fixed += path.substr(unit.at, unit.length);
            } else if (unit.kind == Unit::Kind::Escape) {
                const auto byte = static_cast<unsigned char>(bytes[k]);
                appendPercentEscape(fixed, byte);
            } else {
                fixed += bytes[k];
            }
        }
    }
    out = fixed + std::string(link.substr(path.size()));
    return Outcome::Repaired;
}

void LinkRepair::Tally::count(Outcome outcome, std::string_view page, std::string_view link) {
    if (outcome == Outcome::Repaired)
        ++repaired;
    else if (outcome == Outcome::Unresolved)
        unresolved.emplace_back(page, link);
    else if (outcome == Outcome::OutsideLibrary)
        outside.emplace_back(page, link);
}

void LinkRepair::joinPageCounts() {
    if (!pagesApart_)
        return;
    pagesApart_ = false;
    tally_.repaired += pageTally_.repaired;
    auto append = [](auto& to, auto& from) {
        to.insert(to.end(), std::make_move_iterator(from.begin()),
                  std::make_move_iterator(from.end()));
        from.clear();
    };
    append(tally_.unresolved, pageTally_.unresolved);
    append(tally_.outside, pageTally_.outside);
    pageTally_.repaired = 0;
}

bool LinkRepair::repairHtml(std::string& html, std::string_view page, bool counted) {
    const std::vector<LinkValue> values = linkValuesOf(html);
    std::string rebuilt;
    std::size_t copied = 0;
    bool changed = false;
    std::string out;
    for (const LinkValue& value : values) {
        const std::string_view link =
            std::string_view(html).substr(value.begin, value.end - value.begin);
        const Outcome outcome = repairLink(link, page, out);
        if (counted)
            (pagesApart_ ? pageTally_ : tally_).count(outcome, page, link);
        if (out == link)
            continue;
        if (rebuilt.empty())
            rebuilt.reserve(html.size() + 64);
        rebuilt.append(html, copied, value.begin - copied);
        rebuilt += out;
        copied = value.end;
        changed = true;
    }
    if (!changed)
        return false;
    rebuilt.append(html, copied, std::string::npos);
    html = std::move(rebuilt);
    return true;
}

bool LinkRepair::repairPage(std::string& html, std::string_view page) {
    return repairHtml(html, page, true);
}

bool LinkRepair::repairUncounted(std::string& html, std::string_view page) {
    return repairHtml(html, page, false);
}

void LinkRepair::repairContents(std::vector<SitemapNode>& nodes, std::string& startPage,
                                std::string_view sitemap) {
    std::string out;
    for (SitemapNode& node : nodes) {
        tally_.count(repairLink(node.local, "", out), sitemap, node.local);
        node.local = out;
    }
    startPage.clear();
    for (const SitemapNode& node : nodes) {
        if (!node.local.empty()) {
            startPage = node.local;
            break;
        }
    }
}

void LinkRepair::repairIndex(std::vector<IndexEntry>& entries, std::string_view sitemap) {
    std::string out;
    for (IndexEntry& entry : entries) {
        tally_.count(repairLink(entry.page, "", out), sitemap, entry.page);
        entry.page = out;
    }
}

std::string LinkRepair::summary() const {
    std::string text = "\r\n\r\nlinks repaired: " + std::to_string(tally_.repaired) +
                       ", links still unresolved: " + std::to_string(tally_.unresolved.size());
    if (!library_.empty())
        text += ", links into helps outside the library: " + std::to_string(tally_.outside.size());
    return text + "\r\n";
}

std::string LinkRepair::report() const {
    // One line per link whatever bytes a page holds: line ends and tabs are escaped.
    auto append = [](std::string& text, std::string_view field) {
        for (char c : field) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F) {
                appendPercentEscape(text, byte);
            } else {
                text += c;
            }
        }
    };
    std::string text;
    for (const auto* list : {&tally_.unresolved, &tally_.outside}) {
        for (const auto& [page, link] : *list) {
            append(text, page);
            text += '\t';
            append(text, link);
            text += '\n';
        }
    }
    return text;
}

}  // namespace plovik
