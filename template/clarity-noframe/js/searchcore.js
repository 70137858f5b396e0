/* Clarity: the full-text search behind the search page and the search box.
 *
 * The data in js/search/ comes in pieces, each a script that hands its part to pkSearchData:
 * index.js lists the word shards (a prefix and a size each); w-<n>.js holds the words of one
 * prefix with their pages; p-<n>.js the titles, names and contents ancestors of 64 pages;
 * t/<n>.js the text of one page. Script tags load them from file:// as well as from a server,
 * and a query loads only the shards of its words and the pages it shows.
 *
 * Ranking, best first (the user guide explains it in the same words):
 *   1. more of the query's terms (words or "quoted phrases") before fewer;
 *   2. more terms in the title, a whole word counting more than the start of a longer one; among
 *      equals, the title with fewer other words;
 *   3. more terms in a heading;
 *   4. how often the terms occur and how close together they stand (closeness is weighed for
 *      the first 400 pages of the order before it, where a reader looks);
 *   5. the help's own order of pages.
 */
var pkSearchData = (function () {
    'use strict';
    var store = { index: null, shards: [], pages: [], texts: [] };
    return {
        store: store,
        index: function (data) { if (data && typeof data === 'object') store.index = data; },
        shard: function (n, words) { if (Array.isArray(words)) store.shards[n] = words; },
        pages: function (n, list) { if (Array.isArray(list)) store.pages[n] = list; },
        text: function (n, text) { store.texts[n] = String(text); }
    };
})();

var PlovikSearch = (function () {
    'use strict';

    var W = PlovikWords;
    var store = pkSearchData.store;
    var base = '';
    var loading = Object.create(null);
    var SHARD_BUDGET = 320 * 1024;  // bytes of the shards of longer words one query may load
    var stats = { bytes: 0, files: 0 };

    // Loads one data script once; `done` runs when it has arrived or failed.
    function load(path, size, done) {
        var waiting = loading[path];
        if (waiting === true) { done(); return; }
        if (waiting) { waiting.push(done); return; }
        loading[path] = [done];
        var s = document.createElement('script');
        s.src = base + path;
        s.async = true;
        var finish = function () {
            var list = loading[path];
            loading[path] = true;
            stats.files++;
            stats.bytes += size || 0;
            if (s.parentNode) s.parentNode.removeChild(s);
            for (var i = 0; i < list.length; i++) list[i]();
        };
        s.onload = finish;
        s.onerror = finish;
        (document.head || document.documentElement).appendChild(s);
    }

    // Runs `done` when every path of `paths` ([path, size]) has been loaded.
    function loadAll(paths, done) {
        var left = paths.length;
        if (!left) { done(); return; }
        for (var i = 0; i < paths.length; i++) load(paths[i][0], paths[i][1], function () { if (--left === 0) done(); });
    }

    function init(rootUrl, done) {
        base = rootUrl || '';
        load('js/search/index.js', 0, function () { done(!!store.index); });
    }

    // The shards a word needs: those whose prefix begins it (they hold the word itself) and,
    // while the budget lasts, those that begin with it (longer words starting with it).
    function shardsFor(terms) {
        var shards = (store.index && store.index.shards) || [];
        var must = [], may = [];
        for (var t = 0; t < terms.length; t++) {
            for (var w = 0; w < terms[t].words.length; w++) {
                var word = terms[t].words[w];
                for (var k = 0; k < shards.length; k++) {
                    var key = String(shards[k][0]);
                    if (word.lastIndexOf(key, 0) === 0) must.push(k);
                    else if (key.lastIndexOf(word, 0) === 0) may.push(k);
                }
            }
        }
        var chosen = [], used = 0, seen = Object.create(null);
        function take(k, always) {
            if (seen[k]) return;
            var size = +shards[k][1] || 0;
            if (!always && used + size > SHARD_BUDGET) return;
            seen[k] = 1;
            used += size;
            chosen.push(k);
        }
        for (var m = 0; m < must.length; m++) take(must[m], true);
        may.sort(function (a, b) { return shards[a][1] - shards[b][1]; });
        for (var y = 0; y < may.length; y++) take(may[y], false);
        return chosen;
    }

    // One word's pages, read from its shard once: parallel arrays, places as arrays.
    var parsed = new Map();
    function wordPages(a) {
        var got = parsed.get(a);
        if (got) return got;
        var w = { pages: [], flags: [], counts: [], places: [] };
        var page = 0;
        for (var i = 0; i + 3 < a.length;) {
            page += a[i] | 0;
            var n = Math.min(a[i + 3] | 0, 64), places = [], at = 0;
            for (var k = 0; k < n && i + 4 + k < a.length; k++) { at += a[i + 4 + k] | 0; places.push(at); }
            w.pages.push(page);
            w.flags.push(a[i + 1] | 0);
            w.counts.push(a[i + 2] | 0);
            w.places.push(places);
            i += 4 + n;
        }
        parsed.set(a, w);
        return w;
    }

    var MAX_PLACES = 16;
    var NEAR_PAGES = 400;  // places kept per page and term, for phrases and nearness

    // Pages of one word (exactly, or as the start of longer words): page -> posting.
    function postings(word, shardList, prefix) {
        var out = new Map();
        for (var s = 0; s < shardList.length; s++) {
            var entries = store.shards[shardList[s]];
            if (!entries) continue;
            for (var e = 0; e < entries.length; e++) {
                var w = entries[e][0];
                if (typeof w !== 'string' || w.lastIndexOf(word, 0) !== 0) continue;
                var exact = w.length === word.length;
                if (!exact && !prefix) continue;
                if (!Array.isArray(entries[e][1])) continue;
                var list = wordPages(entries[e][1]);
                var weight = exact ? 1 : 0.5;
                for (var i = 0; i < list.pages.length; i++) {
                    var page = list.pages[i], flags = list.flags[i], count = list.counts[i], places = list.places[i];
                    var p = out.get(page);
                    if (!p) out.set(page, p = { title: 0, heading: 0, count: 0, places: [], titleWords: flags >> 2, complete: true });
                    if (flags & 1) p.title = Math.max(p.title, weight);
                    if (flags & 2) p.heading = Math.max(p.heading, weight);
                    p.count += count * weight;
                    if (count + (flags & 1) > places.length) p.complete = false;
                    for (var k = 0; k < places.length && p.places.length < MAX_PLACES; k++) p.places.push(places[k]);
                    if (places.length && p.places.length >= MAX_PLACES) p.complete = false;
                }
            }
        }
        return out;
    }

    // Pages of a phrase: every word there, and one after the other where the places say so.
    function phrasePostings(words, shardList) {
        var lists = words.map(function (w, i) { return postings(w, shardList, i === words.length - 1); });
        var out = new Map();
        lists[0].forEach(function (first, page) {
            var all = [first];
            for (var i = 1; i < lists.length; i++) {
                var next = lists[i].get(page);
                if (!next) return;
                all.push(next);
            }
            var complete = all.every(function (p) { return p.complete; });
            var starts = first.places.filter(function (start) {
                for (var k = 1; k < all.length; k++) if (all[k].places.indexOf(start + k) < 0) return false;
                return true;
            });
            // Only a page whose places are all known can be told to lack the phrase.
            if (!starts.length && complete) return;
            var title = Math.min.apply(null, all.map(function (p) { return p.title; }));
            out.set(page, {
                title: starts.length ? title : 0,
                heading: Math.min.apply(null, all.map(function (p) { return p.heading; })),
                count: Math.max(starts.length, 1), places: starts.length ? starts : first.places,
                titleWords: first.titleWords, complete: complete
            });
        });
        return out;
    }

    // The smallest stretch of places holding one place of each of `lists`.
    function span(lists) {
        if (lists.length < 2) return 0;
        var best = Infinity;
        var all = [];
        lists.forEach(function (l, t) { l.forEach(function (p) { all.push([p, t]); }); });
        all.sort(function (a, b) { return a[0] - b[0]; });
        var have = new Array(lists.length).fill(0), kinds = 0, lo = 0;
        for (var hi = 0; hi < all.length; hi++) {
            if (have[all[hi][1]]++ === 0) kinds++;
            while (kinds === lists.length) {
                best = Math.min(best, all[hi][0] - all[lo][0]);
                if (--have[all[lo][1]] === 0) kinds--;
                lo++;
            }
        }
        return best;
    }

    function rank(terms, shardList) {
        var byTerm = terms.map(function (t) {
            return t.phrase ? phrasePostings(t.words, shardList) : postings(t.words[0], shardList, true);
        });
        var pages = new Map();
        byTerm.forEach(function (list, t) {
            list.forEach(function (p, page) {
                var r = pages.get(page);
                if (!r) pages.set(page, r = { page: page, terms: 0, title: 0, heading: 0, titleWords: p.titleWords, weight: 0, lists: [] });
                r.terms++;
                r.title += p.title;
                r.heading += p.heading ? 1 : 0;
                r.weight += Math.log(1 + p.count);
                r.lists.push(p.places);
            });
        });
        var out = [];
        pages.forEach(function (r) {
            r.cover = r.titleWords ? Math.min(1, r.title / r.titleWords) : 0;
            out.push(r);
        });
        function order(a, b) {
            return b.terms - a.terms || b.title - a.title || b.cover - a.cover || b.heading - a.heading ||
                b.weight - a.weight || a.page - b.page;
        }
        out.sort(order);
        // Nearness is worth its cost only where a reader looks: the first few hundred pages are
        // ordered again with it (it can only raise a page among those equal before it).
        var head = out.slice(0, NEAR_PAGES);
        head.forEach(function (r) {
            var gap = r.lists.length > 1 ? span(r.lists) : Infinity;
            if (isFinite(gap)) r.weight += 4 / (1 + Math.max(0, gap - r.lists.length + 1));
        });
        head.sort(order);
        out = head.concat(out.slice(NEAR_PAGES));
        out.forEach(function (r) { delete r.lists; });
        return out;
    }

    // Finds the pages for `text`; `done` gets {terms, ignored, pages: [{page, ...}]}.
    function query(text, done) {
        var q = W.parseQuery(text);
        if (!q.terms.length || !store.index) { done({ terms: q.terms, ignored: q.ignored, pages: [] }); return; }
        var shardList = shardsFor(q.terms);
        var shards = store.index.shards;
        loadAll(shardList.map(function (k) { return ['js/search/w-' + k + '.js', +shards[k][1] || 0]; }), function () {
            done({ terms: q.terms, ignored: q.ignored, pages: rank(q.terms, shardList) });
        });
    }

    function chunkOf(page) { return Math.floor(page / ((store.index && store.index.chunk) || 64)); }

    // Title, name and ancestors of pages: `done` runs when all of them are there.
    function pageInfo(pages, done) {
        var chunks = [], seen = Object.create(null);
        pages.forEach(function (p) {
            var c = chunkOf(p);
            if (!seen[c]) { seen[c] = 1; chunks.push(['js/search/p-' + c + '.js', 0]); }
        });
        loadAll(chunks, done);
    }
    function page(p) {
        var list = store.pages[chunkOf(p)];
        var row = list && list[p % ((store.index && store.index.chunk) || 64)];
        if (!Array.isArray(row)) return null;
        return {
            title: String(row[0] == null ? '' : row[0]),
            name: String(row[1] == null ? '' : row[1]),
            ancestors: Array.isArray(row[2]) ? row[2].map(String) : []
        };
    }
    // The texts come several pages to a file, named by its first page; the index lists them.
    function textFileOf(p) {
        var starts = store.index && store.index.texts;
        if (!Array.isArray(starts)) return p;
        var lo = 0, hi = starts.length - 1, at = p;
        while (lo <= hi) {
            var mid = (lo + hi) >> 1;
            if (starts[mid] <= p) { at = starts[mid]; lo = mid + 1; } else hi = mid - 1;
        }
        return at;
    }
    function pageText(p, done) {
        if (store.texts[p] !== undefined) { done(store.texts[p]); return; }
        load('js/search/t/' + textFileOf(p) + '.js', 0, function () { done(store.texts[p] || ''); });
    }

    // Ranges [start, end) of `text` where a term word stands at the start of a word.
    function matches(text, terms) {
        var f = W.foldMap(text);
        var low = f.text;
        var out = [];
        var words = [];
        terms.forEach(function (t) { t.words.forEach(function (w) { if (words.indexOf(w) < 0) words.push(w); }); });
        words.forEach(function (w) {
            for (var at = low.indexOf(w); at >= 0; at = low.indexOf(w, at + 1)) {
                if (!W.startsFoldedWord(low, at)) continue;
                var end = at + w.length;
                // Mark the whole word that starts with the term.
                while (end < low.length && W.isLetter(low.charAt(end))) end++;
                out.push([f.map[at], f.map[end]]);
            }
        });
        out.sort(function (a, b) { return a[0] - b[0] || b[1] - a[1]; });
        var merged = [];
        out.forEach(function (r) {
            var last = merged[merged.length - 1];
            if (last && r[0] < last[1]) last[1] = Math.max(last[1], r[1]);
            else merged.push(r);
        });
        return merged;
    }

    // A piece of `text` around its first match, as a fragment with the matches marked.
    function snippet(text, terms, length) {
        length = length || 200;
        var ranges = matches(text, terms);
        var start = 0;
        if (ranges.length) start = Math.max(0, ranges[0][0] - Math.floor(length / 3));
        if (start > 0) {
            var space = text.indexOf(' ', start);
            if (space >= 0 && space < ranges[0][0]) start = space + 1;
        }
        var end = Math.min(text.length, start + length);
        return marked(text, ranges, start, end, start > 0, end < text.length);
    }

    function marked(text, ranges, start, end, before, after) {
        var frag = document.createDocumentFragment();
        var at = start;
        if (before) frag.appendChild(document.createTextNode('\u2026 '));
        ranges.forEach(function (r) {
            var a = Math.max(r[0], at), b = Math.min(r[1], end);
            if (b <= a) return;
            frag.appendChild(document.createTextNode(text.slice(at, a)));
            var m = document.createElement('mark');
            m.textContent = text.slice(a, b);
            frag.appendChild(m);
            at = b;
        });
        frag.appendChild(document.createTextNode(text.slice(at, end)));
        if (after) frag.appendChild(document.createTextNode(' \u2026'));
        return frag;
    }

    function markAll(text, terms) {
        return marked(text, matches(text, terms), 0, text.length, false, false);
    }

    // The address of a page with the query, for the topic to mark its words.
    function topicHref(name, text) {
        var path = String(name).replace(/\\/g, '/').split('/').map(function (part) { return encodeURIComponent(part); }).join('/');
        return path + (text ? '?pkq=' + encodeURIComponent(text) : '');
    }

    return {
        init: init, query: query, pageInfo: pageInfo, page: page, pageText: pageText,
        snippet: snippet, markAll: markAll, topicHref: topicHref, stats: stats,
        pageCount: function () { return store.index ? +store.index.pages || 0 : 0; }
    };
})();
