/* Clarity: the contents tree, in the framed layout's contents page and in every no-frame page.
 *
 * The markup comes from the generator: nested <ul>/<li> items, each with a span of class
 * "folder" or "file" (id span_N) around its link, folders with id li_N, and headings without a
 * page calling initTree(N); `treeids` lists [id, parentId] for every node. Folders start closed;
 * this script opens and closes them (mouse, keyboard, initTree), highlights the topic being shown
 * with its ancestors opened, and filters the tree as one types.
 *
 * No-frame pages may instead leave the list empty and load the contents once per site as data:
 * `pkTreeData` holds one [id, depth, name, link] entry per node in document order (a fifth member
 * 1 for a link that leads out of the site), `pkRoot` leads from the page to the site's root. The
 * same markup is then made here, so that everything below works on it alike.
 *
 * Work is done lazily, per item touched, so a tree of twenty thousand items costs nothing on load.
 */
(function () {
    'use strict';

    var tree = document.getElementById('pk-tree');
    if (!tree) return;
    if (!tree.firstElementChild && Array.isArray(window.pkTreeData)) {
        render(window.pkTreeData);
        addTools();
    }

    // Pages that load the tree as data leave its filter out too, since it does nothing without
    // script and would weigh on every page.
    function addTools() {
        if (!document.getElementById('pk-treefilter')) {
            tree.insertAdjacentHTML('beforebegin', '<div class="pk-treetools">' +
                '<label class="pk-sr" for="pk-treefilter">Filter the contents</label>' +
                '<input id="pk-treefilter" class="pk-field" type="search" placeholder="Filter contents" autocomplete="off" spellcheck="false">' +
                '<button type="button" class="pk-button pk-collapse" id="pk-collapse" title="Collapse all"><span aria-hidden="true" class="pk-collapse-icon"></span><span class="pk-sr">Collapse all</span></button>' +
                '</div>');
        }
        if (!document.getElementById('pk-treeempty')) {
            tree.insertAdjacentHTML('afterend', '<p id="pk-treeempty" class="pk-status" hidden>No heading matches.</p>');
        }
    }

    // The names and links are the help's text: escaped, they stay text whatever they hold.
    function escaped(text) {
        return /[&<>"']/.test(text) ? text.replace(/&/g, '&amp;').replace(/</g, '&lt;')
            .replace(/>/g, '&gt;').replace(/"/g, '&quot;').replace(/'/g, '&#39;') : text;
    }
    function render(data) {
        var root = typeof window.pkRoot === 'string' ? window.pkRoot : '';
        var out = [];
        var open = 0;
        for (var i = 0; i < data.length; i++) {
            var e = data[i];
            if (!Array.isArray(e)) continue;
            var id = e[0] | 0;
            var depth = Math.min(Math.max(e[1] | 0, 0), open);
            for (; open > depth; open--) out.push('</ul></li>');
            var next = data[i + 1];
            var folder = Array.isArray(next) && (next[1] | 0) > depth;
            var name = escaped(String(e[2]));
            var link = typeof e[3] === 'string' ? e[3] : '';
            if (/^[\s\u0000-\u001f]*(javascript|vbscript|data):/i.test(link)) link = '';
            var a = link ?
                "<a href='" + escaped(e[4] === 1 ? link : root + link) + "' target='_self'>" :
                '<a onclick="initTree(' + id + ');" target=\'_self\'>';
            if (folder) {
                out.push('<li id="li_' + id + '"><span class=\'folder\' id=\'span_' + id + "'>" + a +
                    name + '</a></span><ul>');
                open++;
            } else {
                out.push("<li><span class='file' id='span_" + id + "'>" + a + name + '</a></span></li>');
            }
        }
        for (; open > 0; open--) out.push('</ul></li>');
        tree.innerHTML = out.join('');
    }

    var bridge = typeof PlovikBridge !== 'undefined' ? PlovikBridge : null;
    var filterBox = document.getElementById('pk-treefilter');
    var emptyNote = document.getElementById('pk-treeempty');
    var collapseButton = document.getElementById('pk-collapse');
    var focused = null;
    var currentItem = null;

    // --- structure ---------------------------------------------------------------------------
    function itemOf(node) {
        while (node && node !== tree) {
            if (node.tagName === 'LI') return node;
            node = node.parentNode;
        }
        return null;
    }
    function spanOf(li) {
        for (var c = li.firstElementChild; c; c = c.nextElementSibling) {
            if (c.tagName === 'SPAN') return c;
        }
        return null;
    }
    function anchorOf(li) {
        var span = spanOf(li);
        var a = span ? span.getElementsByTagName('a')[0] : null;
        return a || li.getElementsByTagName('a')[0] || null;
    }
    function childList(li) {
        for (var c = li.firstElementChild; c; c = c.nextElementSibling) {
            if (c.tagName === 'UL') return c.firstElementChild ? c : null;
        }
        return null;
    }
    function parentItem(li) {
        var ul = listOf(li);
        return ul && ul !== tree ? itemOf(ul) : null;
    }

    // A list of many siblings keeps them in runs of RUN items (div.pk-run, without a role), so
    // that the browser checks and styles a few hundred runs for coming into view rather than
    // every item: showing the 17,500 topics of a flat contents again after a filter cost it over
    // half a second, item by item. Everything below moves between items through these helpers.
    var RUN = 64;
    var RUN_FROM = 2 * RUN;
    var ROW = 28;  // the height of an item of one line, as the style sheet makes it
    var runs = [];
    var runRows = [];  // the items a run shows, for the height it is given while out of view
    function isRun(el) { return !!el && el.tagName === 'DIV' && el.classList.contains('pk-run'); }
    function listOf(li) {
        var p = li.parentNode;
        return isRun(p) ? p.parentNode : p;
    }
    function firstItemIn(list) {
        var c = list.firstElementChild;
        return isRun(c) ? c.firstElementChild : c;
    }
    function lastItemIn(list) {
        var c = list.lastElementChild;
        return isRun(c) ? c.lastElementChild : c;
    }
    function nextItem(li) {
        var n = li.nextElementSibling;
        if (!n && isRun(li.parentNode)) n = li.parentNode.nextElementSibling;
        return isRun(n) ? n.firstElementChild : n;
    }
    function prevItem(li) {
        var p = li.previousElementSibling;
        if (!p && isRun(li.parentNode)) p = li.parentNode.previousElementSibling;
        return isRun(p) ? p.lastElementChild : p;
    }
    function setRunRows(r, rows) {
        if (runRows[r] === rows) return;
        if (!rows !== !runRows[r]) runs[r].classList.toggle('pk-empty', !rows);
        if (rows) runs[r].style.setProperty('contain-intrinsic-block-size', rows * ROW + 'px');
        runRows[r] = rows;
    }
    function groupRuns() {
        var lists = [];
        if (tree.childElementCount > RUN_FROM) lists.push(tree);
        var uls = tree.getElementsByTagName('ul');
        for (var u = 0; u < uls.length; u++) if (uls[u].childElementCount > RUN_FROM) lists.push(uls[u]);
        if (!lists.length) return;
        // Moved while the tree is out of the document, the items cost the browser no work of
        // its own for each move.
        var holder = tree.parentNode;
        var after = tree.nextSibling;
        holder.removeChild(tree);
        for (var l = 0; l < lists.length; l++) {
            var list = lists[l];
            var kids = [];
            for (var c = list.firstElementChild; c; c = c.nextElementSibling) kids.push(c);
            var all = document.createDocumentFragment();
            for (var k = 0; k < kids.length; k += RUN) {
                var run = document.createElement('div');
                run.className = 'pk-run';
                run.setAttribute('role', 'none');
                var end = Math.min(k + RUN, kids.length);
                for (var j = k; j < end; j++) run.appendChild(kids[j]);
                run.pkIndex = runs.length;
                run.pkRows = end - k;
                runs.push(run);
                runRows.push(0);
                setRunRows(run.pkIndex, run.pkRows);
                all.appendChild(run);
            }
            list.appendChild(all);
        }
        holder.insertBefore(tree, after);
    }
    function isOpen(li) { return li.classList.contains('pk-open'); }
    // Items the filter leaves out are told by class, and all of them while nothing matches.
    function shown(el) {
        return !noneShown && !el.classList.contains('pk-out') && el.getClientRects().length > 0;
    }
    function level(li) {
        var n = 1;
        for (var p = parentItem(li); p; p = parentItem(p)) n++;
        return n;
    }

    // ARIA roles are given to an item when it is first shown or focused.
    function prepare(li) {
        if (li.pkReady) return;
        li.pkReady = true;
        li.setAttribute('role', 'none');
        var a = anchorOf(li);
        if (!a) return;
        a.setAttribute('role', 'treeitem');
        a.setAttribute('aria-level', String(level(li)));
        if (childList(li)) {
            a.setAttribute('aria-expanded', isOpen(li) ? 'true' : 'false');
            childList(li).setAttribute('role', 'group');
        }
        if (a.tabIndex !== 0) a.tabIndex = -1;
    }
    function prepareChildren(li) {
        var ul = childList(li);
        if (!ul) return;
        for (var c = firstItemIn(ul); c; c = nextItem(c)) prepare(c);
    }

    function setOpen(li, open) {
        if (!childList(li)) return;
        li.classList.toggle('pk-open', open);
        prepare(li);
        var a = anchorOf(li);
        if (a) a.setAttribute('aria-expanded', open ? 'true' : 'false');
        if (open) prepareChildren(li);
    }

    // Headings without a page call this from their onclick.
    window.initTree = function (id) {
        var li = document.getElementById('li_' + id);
        if (!li) {
            var span = document.getElementById('span_' + id);
            li = span ? itemOf(span) : null;
        }
        if (!li) return;
        setOpen(li, !isOpen(li));
        focus(li, false);
    };

    function openAncestors(li) {
        for (var p = parentItem(li); p; p = parentItem(p)) setOpen(p, true);
    }

    // --- scrolling and focus -------------------------------------------------------------------
    function scroller() {
        for (var el = tree.parentNode; el && el.nodeType === 1; el = el.parentNode) {
            var style = window.getComputedStyle(el);
            if (/(auto|scroll)/.test(style.overflowY) && el.scrollHeight > el.clientHeight) return el;
        }
        return document.scrollingElement || document.documentElement;
    }
    // Scrolls only the tree's own container, never the page around it.
    function reveal(li, centre) {
        var span = spanOf(li) || li;
        var box = scroller();
        var isPage = box === document.scrollingElement || box === document.documentElement;
        var top = isPage ? 0 : box.getBoundingClientRect().top;
        var height = isPage ? window.innerHeight : box.clientHeight;
        var r = span.getBoundingClientRect();
        var y = r.top - top;
        var margin = isPage && filterBox ? filterBox.getBoundingClientRect().height + 16 : 8;
        if (y >= margin && y + r.height <= height - 8 && !centre) return;
        if (centre && y >= margin && y + r.height <= height - 8) return;
        var delta = centre ? y - height / 3 : (y < margin ? y - margin : y + r.height - height + 8);
        box.scrollTop += delta;
    }

    function focus(li, move) {
        if (!li) return;
        prepare(li);
        var a = anchorOf(li);
        if (!a) return;
        if (focused && focused !== li) {
            var old = anchorOf(focused);
            if (old) old.tabIndex = -1;
        }
        focused = li;
        a.tabIndex = 0;
        if (move) {
            try { a.focus({ preventScroll: true }); } catch (e) { a.focus(); }
            reveal(li, false);
        }
    }

    // --- the topic shown -----------------------------------------------------------------------
    function markCurrent(li, scroll) {
        if (currentItem === li) {
            if (li && scroll) reveal(li, true);
            return;
        }
        if (currentItem) {
            currentItem.classList.remove('pk-current');
            var oldA = anchorOf(currentItem);
            if (oldA) oldA.removeAttribute('aria-current');
        }
        currentItem = li;
        if (!li) return;
        li.classList.add('pk-current');
        var a = anchorOf(li);
        if (a) a.setAttribute('aria-current', 'page');
        openAncestors(li);
        if (childList(li)) setOpen(li, true);
        focus(li, false);
        if (scroll) reveal(li, true);
    }

    var byHref = null;
    var byPage = null;
    function indexLinks() {
        byHref = Object.create(null);
        byPage = Object.create(null);
        var links = tree.getElementsByTagName('a');
        for (var i = 0; i < links.length; i++) {
            if (!links[i].hasAttribute('href')) continue;
            var href = links[i].href;
            var page = href.replace(/#.*$/, '');
            var li = itemOf(links[i]);
            if (!(href in byHref)) byHref[href] = li;
            if (!(page in byPage)) byPage[page] = li;
        }
    }
    function itemForHref(href) {
        if (!href) return null;
        if (!byHref) indexLinks();
        return byHref[href] || byPage[href.replace(/#.*$/, '')] || null;
    }

    // --- filtering -----------------------------------------------------------------------------
    // Built on the first keystroke: every item in document order with its name and the position
    // of its parent item, so that a keystroke is one pass over plain arrays. A keystroke then
    // changes the classes of only the items whose state changed since the last one: a class
    // change costs the browser style work, and most items keep theirs while one types.
    var items = null;
    var names = null;
    var parents = null;
    var runOf = null;  // per item: the run whose height it counts in, or -1
    var state = null;  // per item: 0 when not filtering, else a sum of the flags below
    var MATCH = 1;     // pk-match: its name holds the text (no style depends on it, so it is cheap)
    var PATH = 2;      // pk-path: a match is below it, so it is shown opened
    var OUT = 4;       // pk-out: neither, so it is not shown
    var CONTEXT = 8;   // pk-context: on the path without matching itself, so it is shown dimmed
    var FLAGS = [[MATCH, 'pk-match'], [PATH, 'pk-path'], [OUT, 'pk-out'], [CONTEXT, 'pk-context']];
    // The last query and the items it matched: a query that holds the last one can only match
    // among those, which is what typing on mostly does.
    var lastQuery = '';
    var lastMatches = null;
    // When nothing matches, the tree is hidden as a whole (pk-none) and the items keep their
    // state: hiding twenty thousand items one by one, and showing them again when the text is
    // taken back, cost the browser as much as any other keystroke.
    var noneShown = false;
    function indexItems() {
        var all = [];
        var allNames = [];
        var allParents = [];
        // One walk in document order, carrying each item's position down to what it holds,
        // rather than climbing from every item to find its parent. The walk keeps its own stack,
        // as a hostile contents may nest deeper than the script's.
        var resumeAt = [];
        var resumeParent = [];
        var parent = -1;
        var node = tree.firstElementChild;
        while (node || resumeAt.length) {
            if (!node) {
                node = resumeAt.pop();
                parent = resumeParent.pop();
                continue;
            }
            var inner = parent;
            if (node.tagName === 'LI') {
                inner = all.length;
                all.push(node);
                allParents.push(parent);
                // The generator puts the link first in its span; asking anchorOf() of every
                // item would leave the browser a live collection per item to keep up to date.
                var span = spanOf(node);
                var a = span && span.firstElementChild && span.firstElementChild.tagName === 'A' ?
                    span.firstElementChild : anchorOf(node);
                allNames.push(a ? a.textContent.toLowerCase() : '');
            }
            if (node.firstElementChild) {
                resumeAt.push(node.nextElementSibling);
                resumeParent.push(parent);
                parent = inner;
                node = node.firstElementChild;
            } else {
                node = node.nextElementSibling;
            }
        }
        items = all;
        names = allNames;
        parents = Int32Array.from(allParents);
        state = new Uint8Array(items.length);
        // An item counts in the run it lies in, or in the one its parent counts in.
        runOf = new Int32Array(items.length);
        for (var i = 0; i < items.length; i++) {
            var holder = items[i].parentNode;
            runOf[i] = isRun(holder) ? holder.pkIndex : parents[i] >= 0 ? runOf[parents[i]] : -1;
        }
    }
    function setState(i, now) {
        var was = state[i];
        if (was === now) return;
        var list = items[i].classList;
        for (var f = 0; f < FLAGS.length; f++) {
            if ((was ^ now) & FLAGS[f][0]) list.toggle(FLAGS[f][1], (now & FLAGS[f][0]) !== 0);
        }
        state[i] = now;
    }
    function applyState(next) {
        for (var i = 0; i < items.length; i++) setState(i, next[i]);
        if (!runs.length) return;
        // Runs left with nothing to show leave the layout; the others are given the height of
        // what they show, so that the scroll bar is about right before they come into view.
        // Not filtering, every item's state is 0 and a run shows its own items.
        if (!next.length || next[0] === 0) {
            for (var r = 0; r < runs.length; r++) setRunRows(r, runs[r].pkRows);
            return;
        }
        var rows = new Int32Array(runs.length);
        for (var k = 0; k < next.length; k++) {
            if (runOf[k] >= 0 && !(next[k] & OUT)) rows[runOf[k]]++;
        }
        for (var n = 0; n < runs.length; n++) setRunRows(n, rows[n]);
    }
    function showNone(none) {
        if (none === noneShown) return;
        noneShown = none;
        tree.classList.toggle('pk-none', none);
        if (emptyNote) emptyNote.hidden = !none;
    }
    function matching(q) {
        var found = [];
        if (lastMatches && lastQuery && q.indexOf(lastQuery) >= 0) {
            for (var j = 0; j < lastMatches.length; j++) {
                if (names[lastMatches[j]].indexOf(q) >= 0) found.push(lastMatches[j]);
            }
        } else {
            for (var i = 0; i < names.length; i++) if (names[i].indexOf(q) >= 0) found.push(i);
        }
        lastQuery = q;
        lastMatches = found;
        return found;
    }
    function filter(text) {
        var q = text.trim().toLowerCase();
        if (!q) {
            lastQuery = '';
            lastMatches = null;
            tree.classList.remove('pk-filtering');
            if (items) applyState(new Uint8Array(items.length));
            showNone(false);
            if (currentItem) reveal(currentItem, true);
            return;
        }
        if (!items) indexItems();
        var found = matching(q);
        if (!found.length) {
            // Hidden as they are, but no item is left marked as a match.
            for (var n = 0; n < items.length; n++) {
                if (state[n] & MATCH) setState(n, state[n] & ~MATCH);
            }
            tree.classList.add('pk-filtering');
            showNone(true);
            return;
        }
        // Back to the top before the tree changes, while its layout is still clean: moving the
        // view afterwards would make the browser lay the whole tree out at once to place it.
        scroller().scrollTop = 0;
        var next = new Uint8Array(items.length);
        for (var m = 0; m < found.length; m++) {
            var i = found[m];
            next[i] |= MATCH;
            for (var p = parents[i]; p >= 0 && !(next[p] & PATH); p = parents[p]) next[p] |= PATH;
        }
        for (var k = 0; k < next.length; k++) {
            if (!next[k]) next[k] = OUT;
            else if (next[k] === PATH) next[k] = PATH | CONTEXT;
        }
        applyState(next);
        tree.classList.add('pk-filtering');
        showNone(false);
    }
    function firstShown() {
        var li = firstItemIn(tree);
        while (li && !shown(li)) li = nextItem(li);
        return li;
    }

    // --- keyboard ------------------------------------------------------------------------------
    function nextInOrder(li, descend) {
        if (descend) {
            var ul = childList(li);
            if (ul && shown(ul)) return firstItemIn(ul);
        }
        for (; li; li = parentItem(li)) {
            var n = nextItem(li);
            if (n) return n;
        }
        return null;
    }
    function visibleNext(li) {
        var n = nextInOrder(li, true);
        while (n && !shown(n)) n = nextInOrder(n, false);
        return n;
    }
    function lastShownIn(li) {
        for (;;) {
            var ul = childList(li);
            if (!ul || !shown(ul)) return li;
            var c = lastItemIn(ul);
            while (c && !shown(c)) c = prevItem(c);
            if (!c) return li;
            li = c;
        }
    }
    function visiblePrev(li) {
        var p = prevItem(li);
        while (p && !shown(p)) p = prevItem(p);
        return p ? lastShownIn(p) : parentItem(li);
    }
    function typeAhead(from, ch) {
        var li = from;
        for (var guard = 0; guard < 100000; guard++) {
            li = visibleNext(li) || firstShown();
            if (!li || li === from) return null;
            var a = anchorOf(li);
            if (a && a.textContent.trim().toLowerCase().charAt(0) === ch) return li;
        }
        return null;
    }
    function activate(li) {
        var a = anchorOf(li);
        if (a) a.click();
    }

    tree.addEventListener('keydown', function (event) {
        var li = itemOf(event.target);
        if (!li || event.altKey || event.ctrlKey || event.metaKey) return;
        var to = null;
        switch (event.key) {
        case 'ArrowDown': to = visibleNext(li); break;
        case 'ArrowUp': to = visiblePrev(li); break;
        case 'ArrowRight':
            if (childList(li) && !isOpen(li) && !tree.classList.contains('pk-filtering')) setOpen(li, true);
            else if (childList(li)) to = visibleNext(li);
            break;
        case 'ArrowLeft':
            if (childList(li) && isOpen(li) && !tree.classList.contains('pk-filtering')) setOpen(li, false);
            else to = parentItem(li);
            break;
        case 'Home': to = firstShown(); break;
        case 'End': to = lastItemIn(tree) ? lastShownIn(lastItemIn(tree)) : null; break;
        case 'Enter':
            if (anchorOf(li) && anchorOf(li).hasAttribute('href')) return; // the link itself follows
            activate(li);
            break;
        case ' ':
            if (childList(li) && !(anchorOf(li) && anchorOf(li).hasAttribute('href'))) setOpen(li, !isOpen(li));
            else activate(li);
            break;
        case '*':
            for (var c = firstItemIn(listOf(li)); c; c = nextItem(c)) setOpen(c, true);
            break;
        default:
            if (event.key.length === 1 && /\S/.test(event.key)) {
                to = typeAhead(li, event.key.toLowerCase());
                if (!to) return;
            } else {
                return;
            }
        }
        event.preventDefault();
        if (to) focus(to, true);
    });

    // --- mouse ---------------------------------------------------------------------------------
    tree.addEventListener('click', function (event) {
        var li = itemOf(event.target);
        if (!li) return;
        var span = spanOf(li);
        if (event.target === span || event.target === li) {
            // The disclosure arrow in front of the link.
            if (childList(li)) setOpen(li, !isOpen(li));
            focus(li, false);
            return;
        }
        var a = event.target.closest ? event.target.closest('a') : anchorOf(li);
        if (!a || !tree.contains(a)) return;
        focus(li, false);
        if (!a.hasAttribute('href')) return; // a heading: initTree() has done its work
        if (bridge && !bridge.framed() && a.target === 'mainFrame') a.target = '_self';
        if (event.button === 0 && !event.ctrlKey && !event.metaKey && !event.shiftKey) {
            markCurrent(li, false);
            if (bridge) bridge.opened(a.href);
        }
    });

    // --- filter box and toolbar ----------------------------------------------------------------
    if (filterBox) {
        var pending = 0;
        // The names are gathered once the box is focused, while the reader is yet to type,
        // rather than on the first keystroke.
        filterBox.addEventListener('focus', function () {
            if (items) return;
            var later = window.requestIdleCallback || function (f) { return window.setTimeout(f, 50); };
            later(function () { if (!items) indexItems(); });
        });
        filterBox.addEventListener('input', function () {
            if (pending) return;
            pending = window.requestAnimationFrame(function () {
                pending = 0;
                filter(filterBox.value);
            });
        });
        filterBox.addEventListener('keydown', function (event) {
            if (event.key === 'ArrowDown' || event.key === 'Enter') {
                var li = firstShown();
                if (tree.classList.contains('pk-filtering')) {
                    var m = tree.querySelector('li.pk-match');
                    if (m) li = m;
                }
                if (li) {
                    event.preventDefault();
                    focus(li, true);
                }
            } else if (event.key === 'Escape' && filterBox.value) {
                filterBox.value = '';
                filter('');
            }
        });
    }
    if (collapseButton) {
        collapseButton.addEventListener('click', function () {
            var open = tree.querySelectorAll('li.pk-open');
            for (var i = 0; i < open.length; i++) setOpen(open[i], false);
            if (currentItem) openAncestors(currentItem);
        });
    }

    // --- start ---------------------------------------------------------------------------------
    groupRuns();
    for (var top = firstItemIn(tree); top; top = nextItem(top)) prepare(top);
    tree.setAttribute('role', 'tree');
    tree.setAttribute('aria-label', 'Contents');
    focus(firstItemIn(tree), false);

    if (bridge && bridge.framed()) {
        bridge.on('current', function (data) {
            var li = itemForHref(typeof data.href === 'string' ? data.href : '');
            if (li) markCurrent(li, true);
        });
        bridge.hello();
    } else {
        // No-frame pages name their own node; a page outside the contents is found by address.
        var id = typeof window.pkCurrentNode === 'number' ? window.pkCurrentNode : -1;
        var span = id >= 0 ? document.getElementById('span_' + id) : null;
        var li = span ? itemOf(span) : itemForHref(location.href);
        if (li) markCurrent(li, true);
    }
})();
