// The script that keeps what a build adds to a topic off the topic's own text. Old help pages
// pin a banner with position:fixed and scroll their text in a block of their own; the blocks we
// add in the page's flow then land under the banner or behind the scrolling block. Whether that
// happens is only known once the browser has laid the page out (stylesheets decide it), so the
// page carries this script and it moves our blocks only where they are covered.
#include "pages/TopicFitScript.h"

namespace plovik {

std::string_view topicFitScriptName() {
    return "js/topic-fit.js";
}

std::string_view topicFitScript() {
    return R"JS(// Moves what the site added to a topic (prompt, navigation bar, related topics, footer) out from
// under the topic's own pinned or scrolling blocks. The script tag stands just before the blocks
// added at the end of the page; those added at its start are its first elements.
(function () {
    'use strict';
    var me = document.currentScript;
    var body = document.body;
    if (!me || !body) return;

    function ours() {
        var top = [], bottom = [];
        for (var n = me.nextSibling; n; n = n.nextSibling) bottom.push(n);
        var e = body.firstElementChild;
        if (e && e.tagName === 'SCRIPT' && e.textContent.indexOf('prompt_div') >= 0) {
            top.push(e);
            e = e.nextElementSibling;
            if (e && e.className === 'prompt_div') { top.push(e); e = e.nextElementSibling; }
        }
        if (me.getAttribute('data-nav') && e && e.tagName === 'DIV' && e.getAttribute('align') === 'right') top.push(e);
        return { top: top, bottom: bottom };
    }
    function boxes(nodes) {
        var list = [];
        nodes.forEach(function (n) {
            if (n.nodeType === 1 && n.tagName !== 'SCRIPT') {
                var r = n.getBoundingClientRect();
                if (r.width > 0 && r.height > 0) list.push(r);
            }
        });
        return list;
    }
    function meets(a, b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }
    function inside(e, nodes) {
        for (var i = 0; i < nodes.length; i++) if (nodes[i] === e || (nodes[i].contains && nodes[i].contains(e))) return true;
        return false;
    }
    // The topic's own blocks that are taken out of the flow, and the biggest one that scrolls.
    function pinned(added) {
        var found = { pinned: [], scroller: null }, area = 0;
        var all = body.getElementsByTagName('*');
        for (var i = 0; i < all.length && i < 5000; i++) {
            var e = all[i];
            if (e === me || inside(e, added)) continue;
            var s = getComputedStyle(e);
            if (s.position === 'fixed' || s.position === 'absolute') found.pinned.push(e);
            var placed = s.position === 'fixed' || s.position === 'absolute';
            // A pinned block that may scroll is the topic's window even while its text is short.
            if (/auto|scroll/.test(s.overflowY) && (placed || e.scrollHeight > e.clientHeight)) {
                var r = e.getBoundingClientRect();
                if (r.width * r.height > area) { area = r.width * r.height; found.scroller = e; }
            }
        }
        return found;
    }
    function covered(nodes, others) {
        var mine = boxes(nodes), theirs = boxes(others);
        for (var i = 0; i < mine.length; i++)
            for (var j = 0; j < theirs.length; j++) if (meets(mine[i], theirs[j])) return true;
        return false;
    }
    function fit() {
        var added = ours();
        var all = added.top.concat(added.bottom);
        if (!boxes(all).length) return;
        var page = pinned(all);
        if (!page.pinned.length || !covered(all, page.pinned)) return;
        var scroller = page.scroller;
        if (scroller && !inside(scroller, all)) {
            // Our blocks scroll with the topic's text, at its start and its end.
            var first = scroller.firstChild;
            added.top.forEach(function (n) { scroller.insertBefore(n, first); });
            added.bottom.forEach(function (n) { scroller.appendChild(n); });
            return;
        }
        // No block of its own scrolls: make room below what is pinned over our blocks.
        [added.top, added.bottom].forEach(function (group) {
            var lead = group.filter(function (n) { return n.nodeType === 1 && n.tagName !== 'SCRIPT'; })[0];
            if (!lead) return;
            for (var round = 0; round < 5; round++) {
                var r = lead.getBoundingClientRect(), low = 0;
                page.pinned.forEach(function (p) {
                    var b = p.getBoundingClientRect();
                    if (b.width > 0 && b.height > 0 && meets(b, r)) low = Math.max(low, b.bottom);
                });
                if (low <= r.top) break;
                var margin = parseFloat(getComputedStyle(lead).marginTop) || 0;
                lead.style.marginTop = Math.ceil(margin + low - r.top) + 'px';
            }
        });
    }
    if (document.readyState === 'complete') fit();
    else window.addEventListener('load', fit);
})();
)JS";
}

}  // namespace plovik
