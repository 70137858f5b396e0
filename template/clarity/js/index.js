/* Clarity, framed layout: the keyword index.
 *
 * js/indexdata.js holds `indexList`, [[keyword, page], ...] in the order of the help file; a
 * keyword that leads to several topics comes once per topic. Keywords are grouped and sorted
 * once, so narrowing the list to the keywords that start with what was typed (any case) is a
 * binary search; the rows are drawn a few hundred at a time as the list scrolls.
 */
(function () {
    'use strict';

    var input = document.getElementById('pk-filter');
    var list = document.getElementById('pk-results');
    var status = document.getElementById('pk-status');
    var bridge = typeof PlovikBridge !== 'undefined' ? PlovikBridge : null;
    var raw = typeof indexList !== 'undefined' && Array.isArray(indexList) ? indexList : [];

    // --- data ----------------------------------------------------------------------------------
    var groups = [];
    var byName = Object.create(null);
    for (var i = 0; i < raw.length; i++) {
        var entry = raw[i];
        if (!Array.isArray(entry)) continue;
        var name = String(entry[0] == null ? '' : entry[0]).trim();
        var page = String(entry[1] == null ? '' : entry[1]).trim();
        if (!name || !page) continue; // "see also" entries and headings lead nowhere
        var g = byName[name];
        if (!g) {
            g = byName[name] = { name: name, key: name.toLowerCase(), pages: [] };
            groups.push(g);
        }
        if (g.pages.indexOf(page) < 0) g.pages.push(page);
    }
    groups.sort(function (a, b) {
        if (a.key !== b.key) return a.key < b.key ? -1 : 1;
        return a.name < b.name ? -1 : a.name > b.name ? 1 : 0;
    });
    var keys = groups.map(function (x) { return x.key; });

    function lowerBound(q) {
        var lo = 0, hi = keys.length;
        while (lo < hi) {
            var mid = (lo + hi) >>> 1;
            if (keys[mid] < q) lo = mid + 1; else hi = mid;
        }
        return lo;
    }
    function range(q) {
        if (!q) return [0, keys.length];
        var lo = lowerBound(q);
        var hi = lowerBound(q + '\uffff');
        return [lo, hi];
    }

    // Topic titles for keywords with several topics, from the search data when it was built.
    var titles = null;
    var searchBuilt = false;
    var loadingTitles = false;
    function loadTitles() {
        if (titles || loadingTitles || !searchBuilt) return;
        loadingTitles = true;
        var s = document.createElement('script');
        s.src = 'js/searchdata.js';
        s.onload = function () {
            titles = Object.create(null);
            if (typeof files !== 'undefined' && Array.isArray(files)) {
                for (var k = 0; k < files.length; k++) {
                    if (Array.isArray(files[k])) titles[String(files[k][1])] = String(files[k][0]);
                }
            }
            render(true);
        };
        s.onerror = function () { titles = Object.create(null); };
        document.head.appendChild(s);
    }
    function pageName(page) {
        var p = page.replace(/#.*$/, '').replace(/\\/g, '/');
        try { p = decodeURIComponent(p); } catch (e) { /* keep it as written */ }
        return p;
    }
    function titleOf(page) {
        var p = pageName(page);
        if (titles && titles[p] && titles[p] !== p) return titles[p];
        var base = p.replace(/^.*\//, '').replace(/\.[^.]*$/, '').replace(/[_\-]+/g, ' ').trim();
        return base ? base.charAt(0).toUpperCase() + base.slice(1) : p;
    }

    // --- drawing -------------------------------------------------------------------------------
    var STEP = 300;
    var state = { q: '', lo: 0, hi: 0, limit: STEP };
    var expanded = [];
    var nav = new PlovikList(input, list, { onKey: groupKeys });

    function marked(text, n) {
        var frag = document.createDocumentFragment();
        if (n > 0) {
            var m = document.createElement('mark');
            m.textContent = text.slice(0, n);
            frag.appendChild(m);
        }
        frag.appendChild(document.createTextNode(text.slice(n)));
        return frag;
    }
    function link(href, child, sub) {
        var a = document.createElement('a');
        a.className = sub ? 'pk-row pk-sub' : 'pk-row';
        a.href = href;
        a.target = bridge ? bridge.target() : 'mainFrame';
        a.appendChild(child);
        return a;
    }

    function render(keep) {
        var rows = [];
        var frag = document.createDocumentFragment();
        var end = Math.min(state.hi, state.lo + state.limit);
        var typed = state.q.length;
        for (var k = state.lo; k < end; k++) {
            var g = groups[k];
            var li = document.createElement('li');
            var row;
            if (g.pages.length === 1) {
                row = link(g.pages[0], marked(g.name, typed), false);
            } else {
                row = document.createElement('a');
                row.className = 'pk-row pk-group';
                row.setAttribute('aria-expanded', expanded.indexOf(g) >= 0 ? 'true' : 'false');
                var count = document.createElement('span');
                count.className = 'pk-count';
                count.textContent = g.pages.length + ' topics';
                row.appendChild(count);
                row.appendChild(marked(g.name, typed));
            }
            row.pkGroup = g;
            row.pkKey = 'g' + k;
            li.appendChild(row);
            rows.push(row);
            if (g.pages.length > 1 && expanded.indexOf(g) >= 0) {
                var ul = document.createElement('ul');
                ul.className = 'pk-list';
                ul.setAttribute('role', 'group');
                ul.style.padding = '0';
                for (var p = 0; p < g.pages.length; p++) {
                    var subLi = document.createElement('li');
                    var sub = link(g.pages[p], document.createTextNode(titleOf(g.pages[p])), true);
                    sub.title = pageName(g.pages[p]);
                    sub.pkGroup = g;
                    sub.pkKey = 'g' + k + '/' + p;
                    subLi.appendChild(sub);
                    ul.appendChild(subLi);
                    rows.push(sub);
                }
                li.appendChild(ul);
            }
            frag.appendChild(li);
        }
        list.textContent = '';
        list.appendChild(frag);
        nav.setRows(rows, keep);

        var found = state.hi - state.lo;
        if (!groups.length) status.textContent = 'This help has no keyword index.';
        else if (!state.q) status.textContent = groups.length + (groups.length === 1 ? ' keyword' : ' keywords');
        else if (!found) status.textContent = 'No keyword starts with \u201c' + input.value.trim() + '\u201d.';
        else status.textContent = found + (found === 1 ? ' keyword starts' : ' keywords start') + ' with \u201c' + input.value.trim() + '\u201d';
    }

    function update() {
        var q = input.value.trim().toLowerCase();
        if (q === state.q && state.hi) return;
        var r = range(q);
        state = { q: q, lo: r[0], hi: r[1], limit: STEP };
        render(false);
        window.scrollTo(0, 0);
        try { window.sessionStorage.setItem('plovik.indexFilter', input.value); } catch (e) { /* no storage */ }
    }

    function more() {
        if (state.lo + state.limit >= state.hi) return;
        state.limit += STEP;
        render(true);
    }
    nav.onScrollEnd = more;
    window.addEventListener('scroll', function () {
        if (window.innerHeight + window.scrollY > document.documentElement.scrollHeight - 400) more();
    }, { passive: true });

    function toggle(g, open) {
        var at = expanded.indexOf(g);
        if (open && at < 0) expanded.push(g);
        else if (!open && at >= 0) expanded.splice(at, 1);
        else return;
        if (open) loadTitles();
        render(true);
    }

    function groupKeys(event, row) {
        if (!row || !row.pkGroup || row.pkGroup.pages.length < 2) return false;
        var g = row.pkGroup;
        if (event.key === 'ArrowRight' && event.target !== input) { toggle(g, true); return true; }
        if (event.key === 'ArrowLeft' && event.target !== input) {
            toggle(g, false);
            for (var k = 0; k < nav.rows.length; k++) {
                if (nav.rows[k].pkGroup === g) { nav.select(k, true); break; }
            }
            return true;
        }
        return false;
    }

    list.addEventListener('click', function (event) {
        var row = event.target.closest ? event.target.closest('.pk-row') : null;
        if (!row || !row.pkGroup) return;
        if (row.classList.contains('pk-group')) {
            event.preventDefault();
            var open = expanded.indexOf(row.pkGroup) < 0;
            toggle(row.pkGroup, open);
            if (open) {
                var at = nav.rows.indexOf(row);
                if (at < 0) {
                    for (var k = 0; k < nav.rows.length; k++) if (nav.rows[k].pkGroup === row.pkGroup) { at = k; break; }
                }
                nav.select(at + 1, true);
            }
            return;
        }
        if (event.button === 0 && !event.ctrlKey && !event.metaKey && !event.shiftKey && bridge) bridge.opened(row.href);
    });

    input.addEventListener('input', update);

    if (bridge && bridge.framed()) {
        bridge.on('panel', function (data) { searchBuilt = data.search === true; });
        try { bridge.ask(window.parent, 'panel?'); } catch (e) { /* no panel around this page */ }
    }

    try {
        var saved = window.sessionStorage.getItem('plovik.indexFilter');
        if (saved) input.value = saved;
    } catch (e) { /* no storage */ }
    state.hi = 0;
    update();
    // Ready for typing when the tab is chosen (browsers may refuse focus to a frame; that is fine).
    try { input.focus({ preventScroll: true }); } catch (e) { /* no focus */ }
})();
