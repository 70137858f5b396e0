#pragma once

// A link checker for generated sites: every local href and src in every .htm/.html page of a
// folder must name a file in that folder. Links that leave the site (http:, https:, mailto:,
// javascript:, data:) and links to a place in the same page ("#...") are not checked.
//
// A site made from a help file inherits the help file's own broken links. Take a baseline of the
// extracted files before the pages are rewritten, and count only what is broken beyond it.

#include <filesystem>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace plovik::test {

struct BrokenLink {
    std::string page;      // relative to the site folder
    std::string link;      // as written in the page
    std::string resolved;  // the file it names, relative to the site folder ("" when it climbs out)

    bool operator<(const BrokenLink& other) const;
};

// The local links of one page's text, in the order they stand (attribute values, entities such as
// "&amp;" decoded, nothing else changed).
std::vector<std::string> localLinksOf(const std::string& html);

// Where a link written in `page` leads: fragment and query cut off, %-escapes decoded, "." and ".."
// resolved against the page's folder ("/..." against the site folder). Empty when it climbs out of
// the site; the page itself for a link that is only a query.
std::string resolveLink(const std::string& page, const std::string& link);

// The files of a site, read once, and whether a link written in a page names one of them (the
// folder's "index.html" for a link to a folder). Answers are remembered per folder and link.
class SiteFiles {
public:
    explicit SiteFiles(const std::filesystem::path& site);
    bool resolves(const std::string& page, const std::string& link);

private:
    std::unordered_set<std::string> files_;
    std::unordered_map<std::string, bool> answers_;
};

// Every broken local link of every page below `site`, sorted.
std::vector<BrokenLink> findBrokenLinks(const std::filesystem::path& site);

// The targets that were already missing: what the broken links of the pages point to, plus any
// further names the caller knows were missing (such as the contents file's pages).
class LinkBaseline {
public:
    // The missing targets of the pages below `extracted`.
    static LinkBaseline of(const std::filesystem::path& extracted);
    void addMissingTarget(const std::string& resolved) { missing_.insert(resolved); }
    bool knownMissing(const std::string& resolved) const { return missing_.count(resolved) > 0; }

private:
    std::set<std::string> missing_;
};

// The broken links of `site` whose targets the baseline does not already know as missing.
std::vector<BrokenLink> newlyBrokenLinks(const std::filesystem::path& site,
                                         const LinkBaseline& baseline);

// One line per link, for a test's failure message.
std::string describe(const std::vector<BrokenLink>& links);

}  // namespace plovik::test
