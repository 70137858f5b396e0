/* Clarity: the keyword index.
 *
 * js/keywords.js holds `pkKeywords`, [[keyword, level, [[title, page], ...], seeAlso], ...] in
 * the order of the help file: a keyword with all its topics, its sub-keywords after it one level
 * deeper, and for a "See Also" entry the keyword it leads to. (An older site has only
 * js/indexdata.js, `indexList`, [[keyword, page], ...], one topic per line; it is read the same
 * way.) Top-level keywords are merged by name and sorted once, so narrowing the list to those
 * that start with what was typed (any case) is a binary search; their sub-keywords come with
 * them. Rows are drawn a few hundred at a time as the list scrolls.
 */
(function () {
    'use strict';

    var input = document.getElementById('pk-filter');
    var list = document.getElementById('pk-results');
    var status = document.getElementById('pk-status');
    var bridge = typeof PlovikBridge !== 'undefined' ? PlovikBridge : null;

    function text(v) { return String(v == null ? '' : v).trim(); }

    // --- data ----------------------------------------------------------------------------------
    var groups = [];
    var byName = Object.create(null);
    function entry(name) { return { name: name, key: name.toLowerCase(), topics: [], see: '', children: [] }; }
    function addTopic(e, title, page) {
        if (/^\s*(javascript|vbscript|data):/i.test(page)) return;
        for (var k = 0; k < e.topics.length; k++) if (e.topics[k].page === page) return;
        e.topics.push({ title: title || e.name, page: page });
    }
    function topGroup(name) {
        var g = byName[name];
        if (!g) { g = byName[name] = entry(name); groups.push(g); }
        return g;
    }
    if (typeof pkKeywords !== 'undefined' && Array.isArray(pkKeywords)) {
        var open = [];  // the entry open at each level
        for (var i = 0; i < pkKeywords.length; i++) {
            var row = pkKeywords[i];
            if (!Array.isArray(row)) continue;
            var name = text(row[0]);
            var level = Math.max(1, Math.min(20, row[1] | 0));
            if (!name) continue;
            var e;
            if (level === 1 || !open[level - 2]) {
                e = topGroup(name);
                level = 1;
            } else {
                e = entry(name);
                open[level - 2].children.push(e);
            }
            open.length = level - 1;
            open[level - 1] = e;
            var topics = Array.isArray(row[2]) ? row[2] : [];
            for (var t = 0; t < topics.length; t++) {
                if (!Array.isArray(topics[t])) continue;
                var page = text(topics[t][1]);
                if (page) addTopic(e, text(topics[t][0]), page);
            }
            if (text(row[3])) e.see = text(row[3]);
        }
    } else if (typeof indexList !== 'undefined' && Array.isArray(indexList)) {
        for (var j = 0; j < indexList.length; j++) {
            if (!Array.isArray(indexList[j])) continue;
            var n = text(indexList[j][0]), p = text(indexList[j][1]);
            if (n && p) addTopic(topGroup(n), '', p);
        }
    }
    // An entry that leads nowhere, and has nothing under it, is left out.
    function useful(e) {
        e.children = e.children.filter(useful);
        return e.topics.length > 0 || e.see !== '' || e.children.length > 0;
    }
    groups = groups.filter(useful);
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

    function pageName(page) {
        var p = page.replace(/#.*$/, '').replace(/\\/g, '/');
        try { p = decodeURIComponent(p); } catch (e) { /* keep it as written */ }
        return p;
    }
    function titleOf(topic, e) {
        if (topic.title && topic.title !== e.name) return topic.title;
        var p = pageName(topic.page);
        var base = p.replace(/^.*\//, '').replace(/\.[^.]*$/, '').replace(/[_\-]+/g, ' ').trim();
        return base ? base.charAt(0).toUpperCase() + base.slice(1) : p;
    }

    // --- drawing -------------------------------------------------------------------------------
    var STEP = 300;
    var state = { q: '', lo: 0, hi: 0, limit: STEP };
    var expanded = [];
    var nav = new PlovikList(input, list, { onKey: groupKeys });

    function marked(label, n) {
        var frag = document.createDocumentFragment();
        if (n > 0) {
            var m = document.createElement('mark');
            m.textContent = label.slice(0, n);
            frag.appendChild(m);
        }
        frag.appendChild(document.createTextNode(label.slice(n)));
        return frag;
    }
    function link(href, child, className) {
        var a = document.createElement('a');
        a.className = 'pk-row ' + className;
        a.href = href;
        a.target = bridge ? bridge.target() : 'mainFrame';
        a.appendChild(child);
        return a;
    }

    // The rows of one keyword: itself (a link, a group of topics, or a "see" row), its topics
    // when it is open, then its sub-keywords.
    function drawEntry(e, level, typed, key, rows, parent) {
        var li = document.createElement('li');
        var depth = level > 1 ? ' pk-level' + Math.min(level, 3) : '';
        var label = marked(e.name, level === 1 ? typed : 0);
        var row;
        if (e.topics.length === 1) {
            row = link(e.topics[0].page, label, depth);
        } else if (e.topics.length > 1) {
            row = document.createElement('a');
            row.className = 'pk-row pk-group' + depth;
            row.setAttribute('aria-expanded', expanded.indexOf(e) >= 0 ? 'true' : 'false');
            var count = document.createElement('span');
            count.className = 'pk-count';
            count.textContent = e.topics.length + ' topics';
            row.appendChild(count);
            row.appendChild(label);
        } else if (e.see) {
            row = document.createElement('a');
            row.href = '#';
            row.className = 'pk-row pk-see' + depth;
            row.appendChild(label);
            row.appendChild(document.createTextNode(' \u2014 see ' + e.see));
            row.title = 'Go to the keyword \u201c' + e.see + '\u201d';
        } else {
            row = document.createElement('span');
            row.className = 'pk-row pk-heading' + depth;
            row.appendChild(label);
        }
        row.pkGroup = e;
        row.pkKey = key;
        li.appendChild(row);
        rows.push(row);
        if (e.topics.length > 1 && expanded.indexOf(e) >= 0) {
            var ul = document.createElement('ul');
            ul.className = 'pk-list';
            ul.setAttribute('role', 'group');
            ul.style.padding = '0';
            for (var p = 0; p < e.topics.length; p++) {
                var subLi = document.createElement('li');
                var sub = link(e.topics[p].page, document.createTextNode(titleOf(e.topics[p], e)), 'pk-sub' + depth);
                sub.title = pageName(e.topics[p].page);
                sub.pkGroup = e;
                sub.pkKey = key + '/' + p;
                subLi.appendChild(sub);
                ul.appendChild(subLi);
                rows.push(sub);
            }
            li.appendChild(ul);
        }
        parent.appendChild(li);
        for (var c = 0; c < e.children.length; c++) drawEntry(e.children[c], level + 1, 0, key + '.' + c, rows, parent);
    }

    function render(keep) {
        var rows = [];
        var frag = document.createDocumentFragment();
        var end = Math.min(state.hi, state.lo + state.limit);
        for (var k = state.lo; k < end; k++) drawEntry(groups[k], 1, state.q.length, 'g' + k, rows, frag);
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
        render(true);
    }

    // A "see" entry shows the keyword it leads to.
    function follow(see) {
        input.value = see;
        update();
        try { input.focus({ preventScroll: true }); } catch (e) { /* no focus */ }
    }

    function groupKeys(event, row) {
        if (!row || !row.pkGroup) return false;
        var g = row.pkGroup;
        if (event.key === 'Enter' && row.classList.contains('pk-see')) { follow(g.see); return true; }
        if (g.topics.length < 2) return false;
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
        if (row.classList.contains('pk-see')) {
            event.preventDefault();
            follow(row.pkGroup.see);
            return;
        }
        if (row.classList.contains('pk-group')) {
            event.preventDefault();
            var open = expanded.indexOf(row.pkGroup) < 0;
            toggle(row.pkGroup, open);
            if (open) {
                for (var k = 0; k < nav.rows.length; k++) if (nav.rows[k].pkGroup === row.pkGroup) { nav.select(k + 1, true); break; }
            }
            return;
        }
        if (event.button === 0 && !event.ctrlKey && !event.metaKey && !event.shiftKey && bridge) bridge.opened(row.href);
    });

    input.addEventListener('input', update);

    try {
        var saved = window.sessionStorage.getItem('plovik.indexFilter');
        if (saved) input.value = saved;
    } catch (e) { /* no storage */ }
    state.hi = 0;
    update();
    // Ready for typing when the tab is chosen (browsers may refuse focus to a frame; that is fine).
    try { input.focus({ preventScroll: true }); } catch (e) { /* no focus */ }
})();
