#pragma once

// Where a page takes the blocks a layout adds: after its body start tag and before its body end
// tag. An upper-case tag is preferred over a lower-case one wherever each stands, as the help
// files' own tools look for them, and a page is bytes (a NUL is searched past like any other).
//
// A topic takes up to six blocks. Found afresh for each, the tags cost two searches of the whole
// page per block; here the four tags are found in one pass, and after each insertion only the
// inserted bytes and the few beside them are searched, to see whether they brought a tag of their
// own.

#include <cstddef>
#include <string>
#include <string_view>

namespace plovik {

class BodyTagPlaces {
public:
    explicit BodyTagPlaces(std::string& page) : page_(page) {}

    // After the '>' that closes the first body start tag; at the very start when the page has
    // none, or its tag never closes.
    void insertAfterBodyTag(std::string_view html);
    // Before the first body end tag; at the end when the page has none.
    void insertBeforeBodyEnd(std::string_view html);
    // Removes the first occurrence of `fragment`; false when there is none.
    bool removeText(std::string_view fragment);

private:
    struct Tag {
        std::string_view text;
        std::size_t first = std::string::npos;  // where it first stands, once known
        bool known = false;
    };
    void findAll();
    std::size_t firstOf(Tag& tag);
    std::size_t firstOfEither(Tag& upper, Tag& lower);
    void insert(std::size_t at, std::string_view html);

    std::string& page_;
    Tag tags_[4] = {{"<BODY"}, {"<body"}, {"</BODY>"}, {"</body>"}};
    bool scanned_ =
        false;  // findAll() has run since the page was last changed other than by insertion
};

}  // namespace plovik
