/* Clarity: marks a search's words in the topic it opened. A result link carries the query as
 * ?pkq=...; this script loads js/words.js beside itself (only then), marks every word of the
 * topic that starts with a query word, scrolls to the first one and offers a button that takes
 * the marks away. Text is only ever split and wrapped: nothing of the query becomes markup.
 */
(function () {
    'use strict';

    var query;
    try { query = new URLSearchParams(location.search).get('pkq'); } catch (e) { return; }
    if (!query || !document.body) return;
    var self = document.currentScript;
    var root = self && self.src ? self.src.replace(/[^\/]*$/, '') : 'js/';
    var SKIP = { SCRIPT: 1, STYLE: 1, TEXTAREA: 1, NOSCRIPT: 1, TEMPLATE: 1, MARK: 1 };

    function run() {
        if (typeof PlovikWords === 'undefined') return;
        var W = PlovikWords;
        var words = [];
        W.parseQuery(query).terms.forEach(function (t) { t.words.forEach(function (w) { words.push(w); }); });
        if (!words.length) return;
        var scope = document.querySelector('.pk-topic') || document.body;
        var nodes = [];
        var walker = document.createTreeWalker(scope, NodeFilter.SHOW_TEXT, {
            acceptNode: function (n) {
                for (var p = n.parentNode; p && p !== scope; p = p.parentNode) {
                    if (SKIP[p.nodeName] || (p.classList && p.classList.contains('pk-nomark'))) return NodeFilter.FILTER_REJECT;
                }
                return n.nodeValue.trim() ? NodeFilter.FILTER_ACCEPT : NodeFilter.FILTER_REJECT;
            }
        });
        for (var n = walker.nextNode(); n; n = walker.nextNode()) nodes.push(n);
        var marks = [];
        nodes.forEach(function (node) {
            var text = node.nodeValue;
            var f = W.foldMap(text);
            var ranges = [];
            words.forEach(function (w) {
                for (var at = f.text.indexOf(w); at >= 0; at = f.text.indexOf(w, at + 1)) {
                    if (!W.startsFoldedWord(f.text, at)) continue;
                    var end = at + w.length;
                    while (end < f.text.length && W.isLetter(f.text.charAt(end))) end++;
                    ranges.push([f.map[at], f.map[end]]);
                }
            });
            if (!ranges.length) return;
            ranges.sort(function (a, b) { return b[0] - a[0]; });
            // From the end, so that the earlier offsets stay valid while the node is split.
            var last = Infinity;
            ranges.forEach(function (r) {
                if (r[1] > last) return;
                var hit = node.splitText(r[0]);
                hit.splitText(r[1] - r[0]);
                var m = document.createElement('mark');
                m.className = 'pk-found';
                m.style.background = '#ffe066';
                m.style.color = '#111';
                hit.parentNode.replaceChild(m, hit);
                m.appendChild(hit);
                marks.unshift(m);
                last = r[0];
            });
        });
        if (!marks.length) return;
        marks.sort(function (a, b) { return a.compareDocumentPosition(b) & Node.DOCUMENT_POSITION_FOLLOWING ? -1 : 1; });
        try { marks[0].scrollIntoView({ block: 'center' }); } catch (e) { marks[0].scrollIntoView(); }

        var button = document.createElement('button');
        button.type = 'button';
        button.className = 'pk-clearmarks pk-nomark';
        button.textContent = 'Clear ' + marks.length + (marks.length === 1 ? ' mark' : ' marks') + ' \u00d7';
        button.title = 'Take away the marks of the search';
        var st = button.style;
        st.position = 'fixed'; st.right = '12px'; st.bottom = '12px'; st.zIndex = '2147483647';
        st.font = '13px system-ui, sans-serif'; st.padding = '6px 10px'; st.borderRadius = '6px';
        st.border = '1px solid #b08900'; st.background = '#fff8d6'; st.color = '#111'; st.cursor = 'pointer';
        button.addEventListener('click', function () {
            marks.forEach(function (m) {
                var parent = m.parentNode;
                if (!parent) return;
                while (m.firstChild) parent.insertBefore(m.firstChild, m);
                parent.removeChild(m);
                parent.normalize();
            });
            button.parentNode.removeChild(button);
            try {
                var url = new URL(location.href);
                url.searchParams.delete('pkq');
                history.replaceState(history.state, '', url.href);
            } catch (e) { /* file:// may refuse; the marks are gone all the same */ }
        });
        document.body.appendChild(button);
    }

    if (typeof PlovikWords !== 'undefined') { run(); return; }
    var s = document.createElement('script');
    s.src = root + 'words.js';
    s.onload = run;
    document.head ? document.head.appendChild(s) : document.body.appendChild(s);
})();
