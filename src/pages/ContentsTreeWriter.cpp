// The contents page: the table of contents as nested list items (folders for nodes with children,
// files for the others) and the script of node and parent ids that the template's tree code reads.

#include <string>
#include <unordered_map>
#include <vector>

#include "pages/PageLinks.h"
#include "pages/TableOfContents.h"
#include "templating/TemplateFiller.h"
#include "text/HtmlEntities.h"

namespace plovik {

namespace {

// The tree lines in document order. Children are found by parent id; the walk keeps its own
// stack, so a deeply nested table cannot exhaust the call stack, and emits every node at most
// once, so ids that point in a circle cannot make it loop.
void appendTreeItems(const std::vector<SitemapNode>& nodes, int layout,
                     std::vector<std::string>& lines) {
    std::unordered_map<int, std::vector<std::size_t>> childrenOf;
    for (std::size_t k = 0; k < nodes.size(); ++k)
        childrenOf[nodes[k].parentId].push_back(k);

    const std::string rootPrefix = layout == 1 ? "{root_url}" : "";
    const std::string target = layout == 0 ? "mainFrame" : "_self";

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
                lines.emplace_back("</ul></li>");
            continue;
        }
        const std::size_t k = (*level.items)[level.next++];
        if (emitted[k])
            continue;
        emitted[k] = true;

        const SitemapNode& node = nodes[k];
        const std::string j = std::to_string(k);
        auto children = childrenOf.find(node.id);
        const bool hasChildren = children != childrenOf.end();
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
        if (hasChildren) {
            lines.emplace_back("<ul>");
            stack.push_back({&children->second, 0});
        }
    }
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
