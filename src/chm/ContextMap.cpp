#include "chm/ContextMap.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "chm/ByteReader.h"
#include "chm/ChmFile.h"
#include "chm/SystemLanguage.h"
#include "text/AsciiCase.h"
#include "text/CodePage.h"
#include "text/Utf8.h"
#include "text/Utf8Converter.h"

namespace plovik {

namespace {

constexpr std::size_t kPairSize = 8;
// More ids than any application defines; a bigger map is a hostile one, and its entries would
// cost memory out of proportion to its bytes.
constexpr std::size_t kMaxContextIds = 1u << 18;
// Folders dropped from the front of a topic's path, at most, while looking for the file it
// names: chmcmd's absolute paths are seldom deeper, and the lookups stay few per id.
constexpr std::size_t kMaxTailsTried = 32;

const ChmEntry* findObject(const ChmFile& chm, std::string_view name) {
    for (const ChmEntry& entry : chm.entries)
        if (equalsIgnoreAsciiCase(entry.name, name))
            return &entry;
    return nullptr;
}

std::string withSlashes(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

// The stored files by name, as they are and with ASCII case ignored.
class StoredNames {
public:
    explicit StoredNames(const std::vector<ChmEntry>& entries) {
        for (const ChmEntry& entry : entries) {
            // "/#SYSTEM", "/$FIftiMain" and the like are the compiler's, never a topic.
            if (entry.isInternal() || entry.isFolder() || entry.name.size() < 2 ||
                entry.name.front() != '/' || entry.name[1] == '#' || entry.name[1] == '$')
                continue;
            exact_.insert(entry.name);
            folded_.emplace(asciiLowered(entry.name), &entry.name);  // the first of a case
        }
    }

    // The stored file that `path` (without its leading '/') names, or null.
    const std::string* find(std::string_view path) {
        while (path.substr(0, 2) == "./")
            path.remove_prefix(2);
        while (!path.empty() && path.front() == '/')
            path.remove_prefix(1);
        if (path.empty())
            return nullptr;
        key_.assign("/").append(path);
        if (auto it = exact_.find(key_); it != exact_.end())
            return &*it;
        lowerAsciiInPlace(key_);
        if (auto it = folded_.find(key_); it != folded_.end())
            return it->second;
        return nullptr;
    }

    // The file that the path names, or that its longest tail of folders names.
    const std::string* findTail(std::string_view path) {
        std::size_t from = 0;
        for (std::size_t tried = 0; tried <= kMaxTailsTried; ++tried) {
            if (const std::string* file = find(path.substr(from)))
                return file;
            const std::size_t slash = path.find('/', from);
            if (slash == std::string_view::npos)
                return nullptr;
            from = slash + 1;
        }
        return nullptr;
    }

private:
    std::unordered_set<std::string> exact_;
    std::unordered_map<std::string, const std::string*> folded_;
    std::string key_;
};

std::optional<std::uint64_t> parseNumber(std::string_view text, std::size_t& at) {
    std::uint64_t value = 0;
    std::size_t digits = 0;
    if (text.size() - at > 2 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
        at += 2;
        for (; at < text.size(); ++at, ++digits) {
            const char c = asciiLower(text[at]);
            int digit = isAsciiDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (digit < 0)
                break;
            value = value * 16 + static_cast<unsigned>(digit);
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
        }
    } else {
        for (; at < text.size() && isAsciiDigit(text[at]); ++at, ++digits) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    while (at < text.size() && (asciiLower(text[at]) == 'u' || asciiLower(text[at]) == 'l'))
        ++at;
    return value;
}

bool isIdentifierChar(char c, bool first) {
    return isAsciiLetter(c) || c == '_' || (!first && isAsciiDigit(c));
}

void skipBlanks(std::string_view line, std::size_t& at) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
}

// What may follow a definition's value: nothing, blanks, or a comment.
bool endsDefinition(std::string_view line, std::size_t at) {
    skipBlanks(line, at);
    return at == line.size() || line.substr(at, 2) == "//" || line.substr(at, 2) == "/*";
}

}  // namespace

Outcome parseContextMap(std::string_view ivb, std::string_view strings, ContextMap& out) {
    out = ContextMap{};
    if (ivb.size() < 4)
        return Outcome::fatal("the context map (#IVB) is " + std::to_string(ivb.size()) +
                              " bytes long, too short for its own length field");
    const auto* data = reinterpret_cast<const std::uint8_t*>(ivb.data());
    const std::uint32_t length = loadLe32(data);
    if (length > ivb.size() - 4)
        return Outcome::fatal("the context map (#IVB) says it holds " + std::to_string(length) +
                              " bytes of ids, but only " + std::to_string(ivb.size() - 4) +
                              " follow");
    if (length % kPairSize != 0)
        return Outcome::fatal("the context map (#IVB) holds " + std::to_string(length) +
                              " bytes of ids, not a whole number of 8-byte pairs");

    const std::size_t pairs = length / kPairSize;
    auto leaveOut = [&out](std::size_t count, const std::string& why) {
        if (out.skipped == 0)
            out.firstProblem = why;
        out.skipped += count;
    };
    std::unordered_set<std::uint32_t> seen;
    std::size_t text = 0;
    const std::size_t read = std::min(pairs, kMaxContextIds);
    out.entries.reserve(read);
    for (std::size_t i = 0; i < read; ++i) {
        const std::uint8_t* pair = data + 4 + i * kPairSize;
        const std::uint32_t id = loadLe32(pair);
        const std::uint32_t offset = loadLe32(pair + 4);
        const std::string idText = "id " + std::to_string(id);
        if (seen.count(id)) {
            leaveOut(1, idText + " appears twice");
            continue;
        }
        if (offset >= strings.size()) {
            leaveOut(1, idText + " names its topic at offset " + std::to_string(offset) +
                            ", outside the " + std::to_string(strings.size()) +
                            " bytes of #STRINGS");
            continue;
        }
        const std::string_view rest = strings.substr(
            offset, std::min<std::size_t>(strings.size() - offset, kMaxContextTopicLength + 1));
        const std::size_t end = rest.find('\0');
        if (end == std::string_view::npos) {
            leaveOut(1, idText + (rest.size() > kMaxContextTopicLength
                                      ? " names a topic longer than " +
                                            std::to_string(kMaxContextTopicLength) + " bytes"
                                      : " names a topic that runs past the end of #STRINGS"));
            continue;
        }
        if (end == 0) {
            leaveOut(1, idText + " names no topic");
            continue;
        }
        if (end > kMaxContextMapText - text) {
            leaveOut(read - i, "the context map holds more than " +
                                   std::to_string(kMaxContextMapText >> 20) +
                                   " MiB of topic names");
            break;
        }
        text += end;
        seen.insert(id);
        ContextEntry entry;
        entry.id = id;
        entry.topic = withSlashes(rest.substr(0, end));
        out.entries.push_back(std::move(entry));
    }
    if (pairs > read)
        leaveOut(pairs - read,
                 "the context map holds more than " + std::to_string(kMaxContextIds) + " ids");
    std::sort(out.entries.begin(), out.entries.end(),
              [](const ContextEntry& a, const ContextEntry& b) { return a.id < b.id; });
    if (out.skipped == 0)
        return Outcome::ok();
    return Outcome::warning(std::to_string(out.skipped) + " of " + std::to_string(pairs) +
                            " context ids left out; the first: " + out.firstProblem);
}

bool hasContextMap(const ChmFile& chm) {
    const ChmEntry* ivb = findObject(chm, "/#IVB");
    return ivb && ivb->length > 0;
}

Outcome readContextMap(ChmFile& chm, ContextMap& out) {
    out = ContextMap{};
    const ChmEntry* ivbEntry = findObject(chm, "/#IVB");
    if (!ivbEntry || ivbEntry->length == 0)
        return Outcome::ok();
    ObjectBytes ivb;
    if (retrieveEntry(chm, *ivbEntry, ivb) != 0)
        return Outcome::fatal("the context map (#IVB) cannot be read");
    const ChmEntry* stringsEntry = findObject(chm, "/#STRINGS");
    ObjectBytes strings;
    if (!stringsEntry || retrieveEntry(chm, *stringsEntry, strings) != 0)
        return Outcome::fatal(
            "the help has a context map (#IVB) but its names (#STRINGS) cannot "
            "be read");
    Outcome outcome = parseContextMap(ivb.bytes, strings.bytes, out);
    if (!outcome)
        return outcome;

    StoredNames stored(chm.entries);
    std::unique_ptr<Utf8Converter> codePage;  // opened for the first name that needs it
    std::string decoded;
    // Many ids may open one topic; its file is looked for once.
    std::unordered_map<std::string_view, const ContextEntry*> matched;
    for (ContextEntry& entry : out.entries) {
        if (auto it = matched.find(entry.topic); it != matched.end()) {
            entry.file = it->second->file;
            entry.fragment = it->second->fragment;
            continue;
        }
        matched.emplace(entry.topic, &entry);
        std::string_view path = entry.topic;
        std::vector<std::string_view> forms{path};
        if (!isValidUtf8(path)) {
            if (!codePage)
                codePage = std::make_unique<Utf8Converter>(
                    ansiCodePageOf(systemLanguageOf(chm).value_or(0)));
            if (codePage->convertName(path, decoded).converted)
                forms.push_back(decoded);
        }
        const std::string* file = nullptr;
        std::string_view fragment;
        for (std::string_view form : forms) {
            file = stored.findTail(form);
            if (!file) {
                // "page.htm#place": the place is in the page, not in its name.
                const std::size_t hash = form.find('#');
                if (hash != std::string_view::npos &&
                    (file = stored.findTail(form.substr(0, hash))))
                    fragment = form.substr(hash);
            }
            if (file)
                break;
        }
        if (file) {
            entry.file = *file;
            entry.fragment = fragment;
        }
    }
    return outcome;
}

std::map<std::uint32_t, std::string> parseContextNames(std::string_view text,
                                                       std::vector<std::string>* includes) {
    std::map<std::uint32_t, std::string> names;
    std::unordered_set<std::string_view> named;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        std::size_t at = 0;
        skipBlanks(line, at);
        if (at == line.size() || line[at] != '#')
            continue;
        ++at;
        skipBlanks(line, at);
        if (line.substr(at, 7) == "include") {
            at += 7;
            skipBlanks(line, at);
            std::string_view file = line.substr(at);
            while (!file.empty() && (file.back() == ' ' || file.back() == '\t'))
                file.remove_suffix(1);
            if (file.size() >= 2 && ((file.front() == '"' && file.back() == '"') ||
                                     (file.front() == '<' && file.back() == '>')))
                file = file.substr(1, file.size() - 2);
            if (!file.empty() && includes)
                includes->emplace_back(file);
            continue;
        }
        if (line.substr(at, 6) != "define")
            continue;
        at += 6;
        const std::size_t nameStart = at;
        skipBlanks(line, at);
        if (at == nameStart || at == line.size() || !isIdentifierChar(line[at], true))
            continue;
        const std::size_t nameFrom = at;
        while (at < line.size() && isIdentifierChar(line[at], false))
            ++at;
        const std::string_view name = line.substr(nameFrom, at - nameFrom);
        const std::size_t valueStart = at;
        skipBlanks(line, at);
        if (at == valueStart || at == line.size())
            continue;
        const bool parenthesised = line[at] == '(';
        if (parenthesised) {
            ++at;
            skipBlanks(line, at);
        }
        const std::optional<std::uint64_t> value = parseNumber(line, at);
        if (!value)
            continue;
        if (parenthesised) {
            skipBlanks(line, at);
            if (at == line.size() || line[at] != ')')
                continue;
            ++at;
        }
        if (!endsDefinition(line, at) || named.count(name))
            continue;
        named.insert(name);
        names.emplace(static_cast<std::uint32_t>(*value), std::string(name));
    }
    return names;
}

void nameContextIds(ContextMap& map, const std::map<std::uint32_t, std::string>& names) {
    for (ContextEntry& entry : map.entries)
        if (auto it = names.find(entry.id); it != names.end())
            entry.alias = it->second;
}

}  // namespace plovik
