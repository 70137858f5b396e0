<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<title>[#title#]</title>
<style>
:root { --fg: #1b1f24; --muted: #5d6670; --line: #d8dde3; --accent: #0b62c4; --bg: #fff; --mark: #fde68a; }
@media (prefers-color-scheme: dark) {
  :root { --fg: #e6e9ed; --muted: #9aa4ae; --line: #38414b; --accent: #6cb0ff; --bg: #16191d; --mark: #6b5a12; }
}
body { margin: 0; font: 15px/1.5 system-ui, -apple-system, "Segoe UI", sans-serif; color: var(--fg); background: var(--bg); }
main { max-width: 52rem; margin: 0 auto; padding: 1.5rem 1rem 3rem; }
h1 { font-size: 1.6rem; margin: 0 0 1rem; }
h2 { font-size: 1.1rem; margin: 1.5rem 0 .5rem; }
a { color: var(--accent); }
.pk-lib-helps { list-style: none; padding: 0; margin: 0; border-top: 1px solid var(--line); }
.pk-lib-helps li { padding: .5rem 0; border-bottom: 1px solid var(--line); }
.pk-lib-help { font-weight: 600; text-decoration: none; }
.pk-lib-help:hover, .pk-lib-help:focus { text-decoration: underline; }
.pk-lib-folder, .pk-lib-where { color: var(--muted); font-size: .85em; margin-left: .5rem; }
#pk-lib-query { width: 100%; box-sizing: border-box; font: inherit; padding: .45rem .6rem; border: 1px solid var(--line); border-radius: 4px; background: var(--bg); color: var(--fg); }
#pk-lib-status { color: var(--muted); margin: .4rem 0; min-height: 1.5em; }
#pk-lib-results { list-style: none; padding: 0; margin: 0; }
#pk-lib-results li { padding: .3rem 0; }
#pk-lib-results mark { background: var(--mark); color: inherit; }
.pk-lib-more { font: inherit; margin-top: .5rem; }
.pk-sr { position: absolute; width: 1px; height: 1px; overflow: hidden; clip: rect(0 0 0 0); }
</style>
</head>
<body>
<main>
<h1>[#title#]</h1>
<ul class="pk-lib-helps" aria-label="Helps of this library">
[#helps#]</ul>
<h2>Search all helps</h2>
<label class="pk-sr" for="pk-lib-query">Words to look for in every help</label>
<input id="pk-lib-query" type="search" placeholder="Search all helps" autocomplete="off" spellcheck="false">
<p id="pk-lib-status" aria-live="polite">Loading the search data&hellip;</p>
<ul id="pk-lib-results" aria-label="Topics found"></ul>
<noscript><p>The search needs JavaScript.</p></noscript>
</main>
<script>
/* The library's search: each help's own search data (js/searchdata.js in its folder, which sets
 * the globals `keywords`, [[word, [pageNo, ...]], ...], and `files`, [[title, page], ...]) is
 * loaded in turn by a script element and kept apart; a query then looks in every help. Words are
 * cut as the helps' data was made: ASCII separators, other punctuation and blanks end a word, a
 * run of Chinese, Japanese or Korean characters is taken as its two-character pieces. */
(function () {
    'use strict';
    var HELPS = [#library_data#];
    var MIN_WORD = 3;   // bytes of UTF-8: the data holds no shorter letter runs
    var MAX_WORDS = 10;
    var PAGE = 50;
    var input = document.getElementById('pk-lib-query');
    var status = document.getElementById('pk-lib-status');
    var list = document.getElementById('pk-lib-results');

    var ASCII_SEPARATORS = ' \t\r\n.:,[]{}()-|/@?\'"~$!;*#+\\_&=%^';
    var CJK = /^(?:[\u1100-\u11FF\u2E80-\u2FDF\u3005-\u3007\u3021-\u3029\u3031-\u3035\u3038-\u303C\u3041-\u30FA\u30FC-\u30FF\u3130-\u318F\u31F0-\u31FF\u3400-\u4DBF\u4E00-\u9FFF\uA960-\uA97F\uAC00-\uD7FF\uF900-\uFAFF\uFF66-\uFFDC]|[\uD840-\uD8BF][\uDC00-\uDFFF])$/;
    var OTHER_SEPARATOR = /^[\p{P}\p{S}\p{Z}\p{Cc}\p{Cf}]$/u;

    function kind(ch) {
        if (ch.charCodeAt(0) < 0x80) return ASCII_SEPARATORS.indexOf(ch) >= 0 ? 1 : 0;
        if (CJK.test(ch)) return 2;
        return OTHER_SEPARATOR.test(ch) ? 1 : 0;
    }
    function utf8Length(s) {
        var n = 0;
        for (var ch of s) { var c = ch.codePointAt(0); n += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }
        return n;
    }
    // The words of a text: letter runs, and the two-character pieces of CJK runs (flagged).
    function tokens(text) {
        var out = [], letters = '', previous = '', count = 0;
        function endLetters() { if (letters) out.push({ word: letters, cjk: false }); letters = ''; }
        function endCjk() { if (count === 1) out.push({ word: previous, cjk: true }); count = 0; }
        for (var ch of String(text).toLowerCase()) {
            var k = kind(ch);
            if (k !== 0) endLetters();
            if (k !== 2 && count) endCjk();
            if (k === 0) letters += ch;
            else if (k === 2) {
                if (count) out.push({ word: previous + ch, cjk: true });
                previous = ch;
                count++;
            }
        }
        endLetters();
        if (count) endCjk();
        return out;
    }

    function lowerBound(arr, q) {
        var lo = 0, hi = arr.length;
        while (lo < hi) { var mid = (lo + hi) >>> 1; if (arr[mid] < q) lo = mid + 1; else hi = mid; }
        return lo;
    }

    // One help's data, prepared once: its keywords sorted, and the words of its topics' titles.
    function prepare(help, K, F) {
        var n = K.length, words = new Array(n), order = new Array(n);
        for (var i = 0; i < n; i++) {
            words[i] = Array.isArray(K[i]) ? String(K[i][0]).toLowerCase() : '';
            order[i] = i;
        }
        order.sort(function (a, b) { return words[a] < words[b] ? -1 : words[a] > words[b] ? 1 : 0; });
        var sorted = order.map(function (i) { return words[i]; });
        var map = Object.create(null);
        for (var p = 0; p < F.length; p++) {
            if (!Array.isArray(F[p])) continue;
            var parts = tokens(F[p][0]);
            for (var t = 0; t < parts.length; t++) {
                var l = map[parts[t].word] || (map[parts[t].word] = []);
                if (l[l.length - 1] !== p) l.push(p);
            }
        }
        var titleWords = Object.keys(map).sort();
        return { help: help, K: K, F: F, sorted: sorted, order: order, titleWords: titleWords,
                 titlePages: titleWords.map(function (w) { return map[w]; }) };
    }

    // A topic's page, as the help's folder names it; nothing that leaves the help.
    function pagePath(page) {
        page = String(page == null ? '' : page);
        if (!page || /^[a-z][a-z0-9+.\-]*:/i.test(page) || page.charAt(0) === '/') return null;
        var path = page.replace(/[?#].*$/, '');
        if (path.split('/').indexOf('..') >= 0) return null;
        return page;
    }
    function encodePath(path) {
        return path.split('/').map(function (part) { return encodeURIComponent(part); }).join('/');
    }
    function topicHref(help, page) {
        var folder = encodePath(help.folder) + '/';
        if (help.framed) return folder + encodePath(help.entry) + '#topic=' + encodeURIComponent(page).replace(/%2F/gi, '/');
        return folder + encodePath(page);
    }

    var data = [];
    var loaded = 0;

    function searchOne(d, used, found) {
        var inText = Object.create(null), whole = Object.create(null), inTitle = Object.create(null);
        var touched = [];
        function touch(p) { if (!(p in inText) && !(p in inTitle)) touched.push(p); }
        for (var j = 0; j < used.length; j++) {
            var w = used[j], bit = 1 << j;
            for (var k = lowerBound(d.sorted, w); k < d.sorted.length && d.sorted[k].lastIndexOf(w, 0) === 0; k++) {
                var pages = d.K[d.order[k]][1];
                if (!Array.isArray(pages)) continue;
                for (var m = 0; m < pages.length; m++) {
                    var p = pages[m];
                    if (typeof p !== 'number' || p < 0 || p >= d.F.length) continue;
                    touch(p);
                    inText[p] = (inText[p] || 0) | bit;
                    if (d.sorted[k].length === w.length) whole[p] = (whole[p] || 0) | bit;
                }
            }
            for (var t = lowerBound(d.titleWords, w); t < d.titleWords.length && d.titleWords[t].lastIndexOf(w, 0) === 0; t++) {
                var tp = d.titlePages[t];
                for (var u = 0; u < tp.length; u++) { touch(tp[u]); inTitle[tp[u]] = (inTitle[tp[u]] || 0) | bit; }
            }
        }
        var want = (1 << used.length) - 1;
        for (var f = 0; f < touched.length; f++) {
            var pg = touched[f];
            var text = inText[pg] || 0, title = inTitle[pg] || 0, exact = whole[pg] || 0;
            if (((text | title) & want) !== want) continue;
            var entry = d.F[pg];
            var page = pagePath(entry[1]);
            if (page === null) continue;
            found.push({ help: d.help, title: String(entry[0] == null || entry[0] === '' ? page : entry[0]), page: page,
                         score: bits(title) * 6 + bits(exact) * 4 + bits(text & ~exact) * 2 });
        }
    }
    function bits(x) { var c = 0; for (; x; x &= x - 1) c++; return c; }

    function highlighted(text, used) {
        var frag = document.createDocumentFragment();
        var low = text.toLowerCase(), at = 0;
        while (at < text.length) {
            var best = -1, len = 0;
            for (var j = 0; j < used.length; j++) {
                var k = low.indexOf(used[j], at);
                if (k >= 0 && (best < 0 || k < best)) { best = k; len = used[j].length; }
            }
            if (best < 0 || len === 0) break;
            frag.appendChild(document.createTextNode(text.slice(at, best)));
            var mark = document.createElement('mark');
            mark.textContent = text.slice(best, best + len);
            frag.appendChild(mark);
            at = best + len;
        }
        frag.appendChild(document.createTextNode(text.slice(at)));
        return frag;
    }

    var found = [], used = [], shown = 0;
    function draw(count) {
        list.textContent = '';
        shown = Math.min(found.length, count);
        for (var i = 0; i < shown; i++) {
            var r = found[i];
            var li = document.createElement('li');
            var a = document.createElement('a');
            a.className = 'pk-lib-hit';
            a.href = topicHref(r.help, r.page);
            a.appendChild(highlighted(r.title, used));
            var where = document.createElement('span');
            where.className = 'pk-lib-where';
            where.textContent = r.help.title;
            li.appendChild(a);
            li.appendChild(where);
            list.appendChild(li);
        }
        if (shown < found.length) {
            var more = document.createElement('button');
            more.type = 'button';
            more.className = 'pk-lib-more';
            more.textContent = 'Show ' + Math.min(PAGE, found.length - shown) + ' more';
            more.addEventListener('click', function () { draw(shown + PAGE); });
            var li2 = document.createElement('li');
            li2.appendChild(more);
            list.appendChild(li2);
        }
    }

    function ready() {
        var topics = 0;
        for (var i = 0; i < data.length; i++) topics += data[i].F.length;
        var without = HELPS.length - data.length;
        return topics + ' topics in ' + data.length + (data.length === 1 ? ' help' : ' helps') + ' searchable' +
            (without ? ' (' + without + (without === 1 ? ' help has' : ' helps have') + ' no search data)' : '') + '.';
    }

    function update() {
        if (loaded < HELPS.length) return;
        var text = input.value;
        var parts = tokens(text), all = [];
        used = [];
        for (var k = 0; k < parts.length; k++) {
            var w = parts[k].word;
            if (all.indexOf(w) >= 0) continue;
            all.push(w);
            if (parts[k].cjk || utf8Length(w) >= MIN_WORD) used.push(w);
        }
        used = used.slice(0, MAX_WORDS);
        found = [];
        if (used.length) for (var d = 0; d < data.length; d++) searchOne(data[d], used, found);
        found.sort(function (a, b) {
            if (a.score !== b.score) return b.score - a.score;
            return a.title < b.title ? -1 : a.title > b.title ? 1 : 0;
        });
        draw(PAGE);
        if (!used.length) status.textContent = text.trim() ? 'Type at least ' + MIN_WORD + ' letters.' : ready();
        else if (!found.length) status.textContent = 'No topic contains ' + (used.length > 1 ? 'all of these words.' : 'this word.');
        else status.textContent = found.length + (found.length === 1 ? ' topic' : ' topics') + ' in ' + data.length +
            (data.length === 1 ? ' help.' : ' helps.');
    }

    // Each help's data in turn: every data file sets the same two globals.
    function load(i) {
        if (i >= HELPS.length) { loaded = i; update(); return; }
        var help = HELPS[i];
        if (!help.search) { load(i + 1); return; }
        window.keywords = undefined;
        window.files = undefined;
        var script = document.createElement('script');
        script.src = encodePath(help.folder) + '/js/searchdata.js';
        script.onload = function () {
            var K = Array.isArray(window.keywords) ? window.keywords : [];
            var F = Array.isArray(window.files) ? window.files : [];
            window.keywords = window.files = undefined;
            script.remove();
            data.push(prepare(help, K, F));
            load(i + 1);
        };
        script.onerror = function () { script.remove(); load(i + 1); };
        document.head.appendChild(script);
    }

    input.addEventListener('input', update);
    load(0);
})();
</script>
</body>
</html>
