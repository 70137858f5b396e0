#pragma once

// A help's context map: the numbers an application hands the help viewer to open a topic (F1 in a
// dialog opens "the topic of id 1001"), each with the topic it opens.
//
// The help compiler resolves the project's [MAP] (name -> number) and [ALIAS] (name -> topic
// file) into one object, "/#IVB": a 32-bit count of the bytes that follow, then 8 bytes per id, a
// 32-bit id and the 32-bit offset into "/#STRINGS" of the topic's file name, a NUL-ended string
// in the help's ANSI code page. Microsoft's compiler writes that name relative to the project,
// with backslashes ("html\intro.htm"); Free Pascal's chmcmd writes the absolute path of the
// source file. All integers are little-endian.
//
// The names of the ids (IDH_INTRO) are not kept in the help: only the application's header and
// the help project hold them. `parseContextNames` reads them from there, and `nameContextIds`
// puts them beside the ids.
//
// The objects may be hostile: every offset and length is checked, a pair that cannot be read is
// left out and counted, and the map's text is bounded, so that no file makes the reader read
// outside its buffers, allocate without bound or run for long.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Outcome.h"

namespace plovik {

struct ChmFile;

struct ContextEntry {
    std::uint32_t id = 0;
    std::string alias;     // the id's name, once nameContextIds has given it one; else empty
    std::string topic;     // as stored, backslashes made '/'
    std::string file;      // the stored file it opens ("/" and its path, as in the directory),
                           // or empty when the help stores none of that name
    std::string fragment;  // a "#place" in that file, '#' included, or empty
};

struct ContextMap {
    std::vector<ContextEntry> entries;  // ordered by id, each id once
    std::size_t skipped = 0;            // pairs left out
    std::string firstProblem;           // why the first of them was left out
};

// A topic name longer than this is no file name; the pair is left out.
inline constexpr std::size_t kMaxContextTopicLength = 4096;
// The map holds at most this many bytes of topic names; the pairs beyond are left out, so that a
// small #STRINGS named by a big #IVB cannot make it hold gigabytes.
inline constexpr std::size_t kMaxContextMapText = 8u << 20;

// The map of the two objects' bytes, without matching the topics to files. Fatal when `ivb`
// cannot be a map (shorter than its count, a count beyond its bytes or not a whole number of
// pairs); a warning, with the map of the pairs that could be read, when some were left out (an
// offset outside #STRINGS, a name without its NUL or too long, an id already seen).
Outcome parseContextMap(std::string_view ivb, std::string_view strings, ContextMap& out);

// Whether the help has a context map to read: an "/#IVB" that is not empty. Needs only the
// directory, so a help without one is never decoded for it.
bool hasContextMap(const ChmFile& chm);

// The open help's map, each topic matched to the stored file it names: the name as stored, or in
// the help's code page, with letter case ignored as the help viewer ignores it, and failing that
// its longest tail of folders that names a stored file (chmcmd's absolute paths). A help without
// "/#IVB" has an empty map, and that is ok.
Outcome readContextMap(ChmFile& chm, ContextMap& out);

// The names of ids from the `#define NAME NUMBER` lines of a C header or of a help project's [MAP]
// section (decimal or 0x hexadecimal numbers, C suffixes such as L or U allowed). A name given a
// second number, and a number given a second name, keep the first. `includes` receives the files
// of `#include` lines, in order, as written.
std::map<std::uint32_t, std::string> parseContextNames(
    std::string_view text, std::vector<std::string>* includes = nullptr);

// Gives every entry of `map` whose id `names` holds that name.
void nameContextIds(ContextMap& map, const std::map<std::uint32_t, std::string>& names);

}  // namespace plovik
