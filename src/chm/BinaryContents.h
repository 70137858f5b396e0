#pragma once

// A help's contents in the binary form that Microsoft's compiler writes with "Binary TOC=Yes",
// often instead of the .hhc it was made from. Five objects hold it:
//
// - "/#TOCIDX": a header whose first 32-bit word is the offset of the first top-level entry, then
//   the entries: a 16-bit word and a 16-bit number, 32-bit flags (4: the entry has children,
//   8: it opens a topic), a 32-bit value (the topic's number in #TOPICS when it opens one, else
//   the offset of its name in #STRINGS), the offsets of its parent and of its next sibling (0 for
//   the last), and, for an entry with children, the offset of its first child and a word more;
// - "/#TOPICS": 16 bytes per topic: the offset of its contents entry, the offset of its title in
//   #STRINGS (0xFFFFFFFF for none), the offset of its record in #URLTBL, and flags;
// - "/#URLTBL": 12-byte records, the third word the offset of the topic's record in #URLSTR;
// - "/#URLSTR": records of two 32-bit words (the offset of a URL, a frame name) and the topic's
//   file as a NUL-ended string, relative to the help's root, with '#place' when it has one;
// - "/#STRINGS": NUL-ended strings.
// The texts are as the .hhc wrote them: in the help's ANSI code page, with HTML references.
// All integers are little-endian.
//
// The objects may be hostile: offsets that lead outside an object, into the middle of an entry
// or back to an entry already read end that branch; nothing is read twice, so no loop runs for
// ever, and no nesting exhausts the call stack.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Outcome.h"

namespace plovik {

struct ChmFile;

struct BinaryContentsEntry {
    int level = 1;      // 1 for a top-level entry
    std::string name;   // as stored: code-page bytes with references
    std::string local;  // the file it opens, or empty for a heading
};

struct BinaryContentsObjects {
    std::string_view tocIdx;
    std::string_view topics;
    std::string_view urlTable;
    std::string_view urlStrings;
    std::string_view strings;
};

// The entries in document order (an entry, then its children, then its next sibling). A warning
// with what could be read when a branch had to be cut; fatal when no entry can be read.
Outcome parseBinaryContents(const BinaryContentsObjects& objects,
                            std::vector<BinaryContentsEntry>& out);

// Whether the help stores a binary contents to read.
bool hasBinaryContents(const ChmFile& chm);

// The open help's binary contents; fatal, with no entry, when an object cannot be read.
Outcome readBinaryContents(ChmFile& chm, std::vector<BinaryContentsEntry>& out);

}  // namespace plovik
