// The contents page: the table of contents as nested list items (folders for nodes with children,
// files for the others) and the script of node and parent ids that the template's tree code reads.

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "pages/PageLinks.h"
#include "pages/TableOfContents.h"
#include "templating/TemplateFiller.h"
#include "text/HtmlEntities.h"
#include "text/JsString.h"

namespace plovik {

namespace {

// Visits the nodes in document order: enter(k, depth, hasChildren) for each node, leave() after
// the last descendant of a node with children. Children are found by parent id; the walk keeps
// its own stack, so a deeply nested table cannot exhaust the call stack, and visits every node at
// most once, so ids that point in a circle cannot make it loop.
template <typename Enter, typename Leave>
void walkTree(const std::vector<SitemapNode>& nodes, Enter enter, Leave leave) {
    std::unordered_map<int, std::vector<std::size_t>> childrenOf;
    for (std::size_t k = 0; k < nodes.size(); ++k)
        childrenOf[nodes[k].parentId].push_back(k);

    struct Level {
        const std::vector<std::size_t>* items;
        std::size_t next;
    };
    std::vector<Level> stack;
    std::vector<bool> emitted(nodes.size(), false);
    if (auto roots = childrenOf.find(-1); roots != childrenOf.end())
        stack.push_back({&roots->second, 0});

    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.items->size()) {
            stack.pop_back();
            if (!stack.empty())
                leave();
            continue;
        }
        const std::size_t k = (*level.items)[level.next++];
        if (emitted[k])
            continue;
        emitted[k] = true;
        auto children = childrenOf.find(nodes[k].id);
        const bool hasChildren = children != childrenOf.end();
        enter(k, stack.size() - 1, hasChildren);
        if (hasChildren)
            stack.push_back({&children->second, 0});
    }
}

// The tree lines in document order.
void appendTreeItems(const std::vector<SitemapNode>& nodes, int layout,
                     std::vector<std::string>& lines) {
    const std::string rootPrefix = layout == 1 ? "{root_url}" : "";
    const std::string target = layout == 0 ? "mainFrame" : "_self";

    auto enter = [&](std::size_t k, std::size_t, bool hasChildren) {
        const SitemapNode& node = nodes[k];
        const std::string j = std::to_string(k);
        // Names and locals are text: escaped, they stay text in the page whatever they hold.
        const std::string name = escapeHtml(node.name);
        // A web address in the tree is not a path in the site: nothing goes in front of it.
        const std::string href =
            (isExternalLink(node.local) ? std::string() : rootPrefix) + escapeHtml(node.local);
        std::string line;
        if (!node.local.empty() && hasChildren) {
            line = "<li id=\"li_" + j + "\"><span class='folder' id='span_" + j + "'><a href='" +
                   href + "' target='" + target + "'>" + name + "</a></span>";
        } else if (!node.local.empty()) {
            line = "<li><span class='file' id='span_" + j + "'><a href='" + href + "' target='" +
                   target + "'>" + name + "</a></span></li>";
        } else if (hasChildren) {
            line = "<li id=\"li_" + j + "\"><span class='folder' id='span_" + j +
                   "'><a onclick=\"initTree(" + j + ");\" target='" + target + "'>" + name +
                   "</a></span>";
        } else {
            line = "<li><span class='file' id='span_" + j + "'><a onclick=\"initTree(" + j +
                   ");\" target='" + target + "'>" + name + "</a></span></li>";
        }
        lines.push_back(std::move(line));
        if (hasChildren)
            lines.emplace_back("<ul>");
    };
    walkTree(nodes, enter, [&] { lines.emplace_back("</ul></li>"); });
}

// A JavaScript string literal that stays one wherever it is put: besides what the string body
// escapes, '<' is written as \u003c, so that no "</script>" can end an inline script around it.
void appendJsLiteral(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t lt; (lt = text.find('<')) != std::string_view::npos;) {
        appendJsStringBody(out, text.substr(0, lt));
        out += "\\u003c";
        text.remove_prefix(lt + 1);
    }
    appendJsStringBody(out, text);
    out += '"';
}

std::string joined(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size();
    std::string text;
    text.reserve(size);
    for (const auto& line : lines)
        text += line;
    return text;
}

}  // namespace

std::string TableOfContents::TreeHtml() {
    appendTreeItems(nodes, layout, lines);
    std::string tree = joined(lines);
    lines.clear();
    return tree;
}

std::string TableOfContents::TreeIdsScript() const {
    std::string script = "var treeids=[";
    for (const SitemapNode& node : nodes)
        script += "[" + std::to_string(node.id) + "," + std::to_string(node.parentId) + "],";
    if (!nodes.empty())
        script.pop_back();
    script += "];";
    return script;
}

std::string contentsTreeData(const std::vector<SitemapNode>& nodes, bool bom) {
    // One entry per node in document order: [id, depth, name, link], and a fifth member 1 for a
    // link that leads out of the site (nothing goes in front of it). A heading has no link.
    std::string data = "var pkTreeData=[";
    bool first = true;
    auto enter = [&](std::size_t k, std::size_t depth, bool) {
        const SitemapNode& node = nodes[k];
        if (!first)
            data += ",\n";
        first = false;
        data += '[' + std::to_string(k) + ',' + std::to_string(depth) + ',';
        appendJsLiteral(data, node.name);
        data += ',';
        appendJsLiteral(data, node.local);
        if (isExternalLink(node.local))
            data += ",1";
        data += ']';
    };
    walkTree(nodes, enter, [] {});
    data += "];\n";
    // Plain ASCII reads the same in every encoding: it needs no mark.
    const bool ascii = std::all_of(data.begin(), data.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return bom && !ascii ? "\xEF\xBB\xBF" + data : data;
}

bool TableOfContents::WriteContentsPage(int buildLayout, const std::string& templatePath,
                                        const std::string& outputPath) {
    if (templatePath.empty() || outputPath.empty())
        return false;
    layout = buildLayout;
    const std::string tree = TreeHtml();

    TemplateFiller filler(templatePath);
    filler.addReplacement(tree, "[#content_tree#]");
    filler.addReplacement(TreeIdsScript(), "[#tree_ids#]");
    filler.writeFilled(outputPath);
    return true;
}

}  // namespace plovik
