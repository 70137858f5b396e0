#include "pages/BodyTagPlaces.h"

namespace plovik {

// The four tags in one pass over the page's '<'s rather than a pass for each: most pages hold
// only one case, so the other is looked for to the end of the page.
void BodyTagPlaces::findAll() {
    scanned_ = true;
    std::size_t first[4] = {std::string::npos, std::string::npos, std::string::npos,
                            std::string::npos};
    const std::string_view page(page_);
    bool whole = true;
    for (std::size_t at = page.find('<'); at != std::string_view::npos;
         at = page.find('<', at + 1)) {
        const std::string_view rest = page.substr(at);
        // Nearly every tag of a page is some other one: its second byte tells.
        if (rest.size() < 2 || (rest[1] != 'B' && rest[1] != 'b' && rest[1] != '/'))
            continue;
        for (int k = 0; k < 4; ++k) {
            if (first[k] == std::string::npos && !tags_[k].known && rest.starts_with(tags_[k].text))
                first[k] = at;
        }
        // Upper-case tags are taken wherever the lower-case ones stand.
        if ((tags_[0].known || first[0] != std::string::npos) &&
            (tags_[2].known || first[2] != std::string::npos)) {
            whole = false;
            break;
        }
    }
    for (int k = 0; k < 4; ++k) {
        if (!tags_[k].known && (whole || first[k] != std::string::npos)) {
            tags_[k].first = first[k];
            tags_[k].known = true;
        }
    }
}

std::size_t BodyTagPlaces::firstOf(Tag& tag) {
    if (!tag.known && !scanned_)
        findAll();
    if (!tag.known) {
        tag.first = page_.find(tag.text);
        tag.known = true;
    }
    return tag.first;
}

std::size_t BodyTagPlaces::firstOfEither(Tag& upper, Tag& lower) {
    const std::size_t at = firstOf(upper);
    return at != std::string::npos ? at : firstOf(lower);
}

void BodyTagPlaces::insert(std::size_t at, std::string_view html) {
    page_.insert(at, html);
    for (Tag& tag : tags_) {
        if (!tag.known)
            continue;
        const std::size_t length = tag.text.size();
        // One wholly before the insertion stays first.
        if (tag.first != std::string::npos && tag.first + length <= at)
            continue;
        // A tag that begins among the inserted bytes, or just before them, comes before any
        // that was there after them.
        const std::size_t from = at >= length - 1 ? at - (length - 1) : 0;
        const std::size_t found = std::string_view(page_)
                                      .substr(from, at + html.size() - from + length - 1)
                                      .find(tag.text);
        if (found != std::string_view::npos)
            tag.first = from + found;
        else if (tag.first != std::string::npos && tag.first >= at)
            tag.first += html.size();
        else if (tag.first != std::string::npos)
            tag.known = false;  // cut in two by the insertion: the next is looked for afresh
        // A tag that was nowhere is still nowhere.
    }
}

void BodyTagPlaces::insertAfterBodyTag(std::string_view html) {
    const std::size_t tag = firstOfEither(tags_[0], tags_[1]);
    std::size_t at = 0;
    if (tag != std::string::npos) {
        const std::size_t close = page_.find('>', tag);
        // A start tag that never closes has no "after"; the page then starts with the insertion,
        // as a page without a body tag does.
        at = close == std::string::npos ? 0 : close + 1;
    }
    insert(at, html);
}

void BodyTagPlaces::insertBeforeBodyEnd(std::string_view html) {
    const std::size_t tag = firstOfEither(tags_[2], tags_[3]);
    insert(tag == std::string::npos ? page_.size() : tag, html);
}

bool BodyTagPlaces::removeText(std::string_view fragment) {
    const std::size_t at = page_.find(fragment);
    if (at == std::string::npos)
        return false;
    page_.erase(at, fragment.size());
    for (Tag& tag : tags_)
        tag.known = false;
    scanned_ = false;
    return true;
}

}  // namespace plovik
