/* Clarity, framed layout: full-text search.
 *
 * js/searchdata.js holds `keywords`, [[word, [pageNo, ...]], ...] in order of first appearance,
 * and `files`, [[title, pageName], ...], which the page numbers index. On load the words are
 * sorted once; a query word then finds every keyword it starts with by binary search, and the
 * topics that contain all query words (in their text or their title) are ranked: whole words
 * before prefixes, title matches first. Twenty thousand topics answer in a few milliseconds.
 */
(function () {
    'use strict';

    var input = document.getElementById('pk-query');
    var list = document.getElementById('pk-results');
    var status = document.getElementById('pk-status');
    var hint = document.getElementById('pk-hint');
    var bridge = typeof PlovikBridge !== 'undefined' ? PlovikBridge : null;
    var K = typeof keywords !== 'undefined' && Array.isArray(keywords) ? keywords : [];
    var F = typeof files !== 'undefined' && Array.isArray(files) ? files : [];
    var MIN_WORD = 3;   // bytes of UTF-8: the generator keeps no shorter letter runs
    var MAX_WORDS = 10;
    var PAGE = 50;

    // Query words are cut the same way as the topics' text was (js/words.js).
    var W = PlovikWords;

    function lower(s) { return String(s).toLowerCase(); }

    // --- preparation, once ---------------------------------------------------------------------
    var started = Date.now();
    var n = K.length;
    var words = new Array(n);
    var order = new Array(n);
    for (var i = 0; i < n; i++) {
        words[i] = Array.isArray(K[i]) ? lower(K[i][0]) : '';
        order[i] = i;
    }
    order.sort(function (a, b) { return words[a] < words[b] ? -1 : words[a] > words[b] ? 1 : 0; });
    var sorted = new Array(n);
    for (var s = 0; s < n; s++) sorted[s] = words[order[s]];

    // Words of the titles, so that a title word finds its topic even where the text lacks it.
    var titleWords = [];
    var titlePages = [];
    (function () {
        var map = Object.create(null);
        for (var p = 0; p < F.length; p++) {
            if (!Array.isArray(F[p])) continue;
            var parts = W.tokens(lower(F[p][0]));
            for (var k = 0; k < parts.length; k++) {
                var w = parts[k].word;
                if (w.length < 2 && !parts[k].cjk) continue;
                var l = map[w] || (map[w] = []);
                if (l[l.length - 1] !== p) l.push(p);
            }
        }
        titleWords = Object.keys(map).sort();
        titlePages = titleWords.map(function (w) { return map[w]; });
    })();
    var prepareMs = Date.now() - started;

    function lowerBound(arr, q) {
        var lo = 0, hi = arr.length;
        while (lo < hi) {
            var mid = (lo + hi) >>> 1;
            if (arr[mid] < q) lo = mid + 1; else hi = mid;
        }
        return lo;
    }

    // Per-topic bit sets, one bit per query word, reused between queries.
    var inText = new Uint32Array(F.length);
    var whole = new Uint32Array(F.length);
    var inTitle = new Uint32Array(F.length);
    var touched = [];

    function touch(p) {
        if (!inText[p] && !whole[p] && !inTitle[p]) touched.push(p);
    }
    function bits(x) {
        var c = 0;
        for (; x; x &= x - 1) c++;
        return c;
    }

    // The distinct words of a query, and those of them that the search data can hold: letter
    // runs of MIN_WORD bytes or more, and every piece of a Chinese, Japanese or Korean run.
    function queryWords(text) {
        var parts = W.tokens(lower(text));
        var all = [], used = [];
        for (var k = 0; k < parts.length; k++) {
            var w = parts[k].word;
            if (all.indexOf(w) >= 0) continue;
            all.push(w);
            if (parts[k].cjk || W.utf8Length(w) >= MIN_WORD) used.push(w);
        }
        return { all: all, used: used.slice(0, MAX_WORDS) };
    }

    function search(text) {
        var t0 = performance.now();
        var query = queryWords(text);
        var all = query.all;
        var used = query.used;
        for (var z = 0; z < touched.length; z++) {
            var q = touched[z];
            inText[q] = whole[q] = inTitle[q] = 0;
        }
        touched = [];
        if (!used.length) return { words: used, ignored: all.length - used.length, pages: [], ms: 0 };

        for (var j = 0; j < used.length; j++) {
            var w = used[j];
            var bit = 1 << j;
            for (var k = lowerBound(sorted, w); k < n && sorted[k].lastIndexOf(w, 0) === 0; k++) {
                var exact = sorted[k].length === w.length;
                var pages = K[order[k]][1];
                if (!Array.isArray(pages)) continue;
                for (var m = 0; m < pages.length; m++) {
                    var p = pages[m];
                    if (p >= 0 && p < F.length) {
                        touch(p);
                        inText[p] |= bit;
                        if (exact) whole[p] |= bit;
                    }
                }
            }
            for (var t = lowerBound(titleWords, w); t < titleWords.length && titleWords[t].lastIndexOf(w, 0) === 0; t++) {
                var tp = titlePages[t];
                for (var u = 0; u < tp.length; u++) {
                    touch(tp[u]);
                    inTitle[tp[u]] |= bit;
                }
            }
        }
        var want = (1 << used.length) - 1;
        var found = [];
        for (var f = 0; f < touched.length; f++) {
            var pg = touched[f];
            if (((inText[pg] | inTitle[pg]) & want) !== want) continue;
            found.push({
                page: pg,
                score: bits(inTitle[pg]) * 6 + bits(whole[pg]) * 4 + bits(inText[pg] & ~whole[pg]) * 2
            });
        }
        found.sort(function (a, b) {
            if (a.score !== b.score) return b.score - a.score;
            var ta = title(a.page), tb = title(b.page);
            return ta < tb ? -1 : ta > tb ? 1 : a.page - b.page;
        });
        return { words: used, ignored: all.length - used.length, pages: found, ms: performance.now() - t0 };
    }

    function title(p) { return String(F[p][0] == null ? '' : F[p][0]); }
    function name(p) { return String(F[p][1] == null ? '' : F[p][1]); }
    function href(page) {
        return page.split('/').map(function (part) { return encodeURIComponent(part); }).join('/');
    }

    // --- drawing -------------------------------------------------------------------------------
    var nav = new PlovikList(input, list);
    var result = null;
    var shown = 0;

    function highlighted(text, used) {
        var frag = document.createDocumentFragment();
        var low = lower(text);
        var at = 0;
        while (at < text.length) {
            var best = -1, len = 0;
            for (var j = 0; j < used.length; j++) {
                var k = low.indexOf(used[j], at);
                while (k > 0 && !W.startsWord(low, k)) k = low.indexOf(used[j], k + 1);
                if (k >= 0 && (best < 0 || k < best)) { best = k; len = used[j].length; }
            }
            if (best < 0) break;
            frag.appendChild(document.createTextNode(text.slice(at, best)));
            var m = document.createElement('mark');
            m.textContent = text.slice(best, best + len);
            frag.appendChild(m);
            at = best + len;
        }
        frag.appendChild(document.createTextNode(text.slice(at)));
        return frag;
    }

    function draw(count) {
        var frag = document.createDocumentFragment();
        var rows = [];
        list.textContent = '';
        shown = Math.min(result.pages.length, count);
        for (var k = 0; k < shown; k++) {
            var p = result.pages[k].page;
            var li = document.createElement('li');
            var a = document.createElement('a');
            a.className = 'pk-row';
            a.href = href(name(p));
            a.target = bridge ? bridge.target() : 'mainFrame';
            a.pkKey = 'p' + p;
            var t = document.createElement('span');
            t.className = 'pk-hit-title';
            t.appendChild(highlighted(title(p) || name(p), result.words));
            var path = document.createElement('span');
            path.className = 'pk-hit-path';
            path.textContent = name(p);
            a.appendChild(t);
            if (title(p) !== name(p)) a.appendChild(path);
            li.appendChild(a);
            frag.appendChild(li);
            rows.push(a);
        }
        if (shown < result.pages.length) {
            var moreLi = document.createElement('li');
            var more = document.createElement('button');
            more.type = 'button';
            more.className = 'pk-button pk-more';
            more.textContent = 'Show ' + Math.min(PAGE, result.pages.length - shown) + ' more';
            more.addEventListener('click', function () { draw(shown + PAGE); });
            moreLi.appendChild(more);
            frag.appendChild(moreLi);
        }
        list.appendChild(frag);
        nav.setRows(rows, count > PAGE);
    }

    function update() {
        var text = input.value;
        try { window.sessionStorage.setItem('plovik.searchQuery', text); } catch (e) { /* no storage */ }
        if (!F.length) {
            status.textContent = 'This help has no search data.';
            return;
        }
        result = search(text);
        window.pkLastSearchMs = result.ms;
        draw(PAGE);
        hint.hidden = result.words.length > 0;
        var note = result.ignored ? ' (words shorter than ' + MIN_WORD + ' letters are left out)' : '';
        if (!result.words.length) {
            status.textContent = text.trim() ? 'Type at least ' + MIN_WORD + ' letters.' : F.length + ' topics searchable.';
        } else if (!result.pages.length) {
            status.textContent = 'No topic contains ' + (result.words.length > 1 ? 'all of these words' : 'this word') + note + '.';
        } else {
            status.textContent = result.pages.length + (result.pages.length === 1 ? ' topic' : ' topics') + note;
        }
        status.title = 'Searched in ' + result.ms.toFixed(1) + ' ms (prepared in ' + prepareMs + ' ms)';
    }

    nav.onScrollEnd = function () {
        if (result && shown < result.pages.length) draw(shown + PAGE);
    };
    list.addEventListener('click', function (event) {
        var row = event.target.closest ? event.target.closest('a.pk-row') : null;
        if (row && bridge && event.button === 0 && !event.ctrlKey && !event.metaKey && !event.shiftKey) bridge.opened(row.href);
    });
    var pending = 0;
    input.addEventListener('input', function () {
        if (pending) return;
        pending = window.requestAnimationFrame(function () {
            pending = 0;
            update();
        });
    });

    try {
        var saved = window.sessionStorage.getItem('plovik.searchQuery');
        if (saved) input.value = saved;
    } catch (e) { /* no storage */ }
    update();
    // Ready for typing when the tab is chosen (browsers may refuse focus to a frame; that is fine).
    try { input.focus({ preventScroll: true }); } catch (e) { /* no focus */ }
})();
