/* Clarity: the search page. The query is answered by js/searchcore.js, which loads only the data
 * the query needs; each result shows its title, where it sits in the contents and a piece of its
 * text, the query's words marked. A result opens its topic with the query in the address
 * (?pkq=...), so that the topic marks the words too (js/mark.js).
 */
(function () {
    'use strict';

    var input = document.getElementById('pk-query');
    var list = document.getElementById('pk-results');
    var status = document.getElementById('pk-status');
    var hint = document.getElementById('pk-hint');
    var bridge = typeof PlovikBridge !== 'undefined' ? PlovikBridge : null;
    var S = PlovikSearch;
    var FIRST = 10;  // rows drawn first: each may need its own titles file
    var PAGE = 20;

    var nav = new PlovikList(input, list);
    var result = null;
    var shown = 0;
    var ready = false;
    var asked = 0;  // the latest query; answers to older ones are dropped

    function row(r, text) {
        var info = S.page(r.page) || { title: '', name: '', ancestors: [] };
        var li = document.createElement('li');
        var a = document.createElement('a');
        a.className = 'pk-row pk-hit';
        a.href = S.topicHref(info.name, text);
        a.target = bridge ? bridge.target() : '_self';
        a.pkKey = 'p' + r.page;
        var t = document.createElement('span');
        t.className = 'pk-hit-title';
        t.appendChild(S.markAll(info.title || info.name, result.terms));
        a.appendChild(t);
        if (info.ancestors.length) {
            var path = document.createElement('span');
            path.className = 'pk-hit-path';
            path.textContent = info.ancestors.join(' \u203a ');
            a.appendChild(path);
        }
        var snip = document.createElement('span');
        snip.className = 'pk-hit-text';
        a.appendChild(snip);
        var query = result;
        S.pageText(r.page, function (body) {
            if (query === result && body) snip.appendChild(S.snippet(body, result.terms, 180));
        });
        li.appendChild(a);
        return li;
    }

    function draw(count, text, keep) {
        var query = result;
        var wanted = query.pages.slice(0, count).map(function (r) { return r.page; });
        S.pageInfo(wanted, function () {
            if (query !== result) return;
            var frag = document.createDocumentFragment();
            var rows = [];
            shown = Math.min(query.pages.length, count);
            for (var k = 0; k < shown; k++) {
                var li = row(query.pages[k], text);
                rows.push(li.firstChild);
                frag.appendChild(li);
            }
            if (shown < query.pages.length) {
                var moreLi = document.createElement('li');
                var more = document.createElement('button');
                more.type = 'button';
                more.className = 'pk-button pk-more';
                more.textContent = 'Show ' + Math.min(PAGE, query.pages.length - shown) + ' more';
                more.addEventListener('click', function () { draw(shown + PAGE, text, true); });
                moreLi.appendChild(more);
                frag.appendChild(moreLi);
            }
            list.textContent = '';
            list.appendChild(frag);
            nav.setRows(rows, keep);
            window.pkFirstResultAt = window.pkFirstResultAt || performance.now();
        });
    }

    function describe(r, text) {
        var note = r.ignored ? ' (words shorter than 3 letters are left out)' : '';
        if (!r.terms.length) return text.trim() ? 'Type at least 3 letters.' : S.pageCount() + ' topics searchable.';
        if (!r.pages.length) return 'No topic contains ' + (r.terms.length > 1 ? 'these words' : 'this word') + note + '.';
        var all = 0;
        for (var k = 0; k < r.pages.length && r.pages[k].terms === r.terms.length; k++) all++;
        var s = r.pages.length + (r.pages.length === 1 ? ' topic' : ' topics');
        if (r.terms.length > 1) s += ', ' + all + ' with all the words';
        return s + note;
    }

    function update() {
        var text = input.value;
        try { window.sessionStorage.setItem('plovik.searchQuery', text); } catch (e) { /* no storage */ }
        if (!ready) return;
        var id = ++asked;
        var t0 = performance.now();
        S.query(text, function (r) {
            if (id !== asked) return;
            result = r;
            window.pkLastSearchMs = performance.now() - t0;
            hint.hidden = r.terms.length > 0;
            status.textContent = describe(r, text);
            list.textContent = '';
            nav.setRows([], false);
            if (r.pages.length) draw(FIRST, text, false);
        });
    }

    nav.onScrollEnd = function () {
        if (result && shown < result.pages.length) draw(shown + PAGE, input.value, true);
    };
    list.addEventListener('click', function (event) {
        var r = event.target.closest ? event.target.closest('a.pk-row') : null;
        if (r && bridge && event.button === 0 && !event.ctrlKey && !event.metaKey && !event.shiftKey) bridge.opened(r.href);
    });
    input.addEventListener('input', update);

    try {
        var fromAddress = new URLSearchParams(location.search).get('q');
        var saved = fromAddress !== null ? fromAddress : window.sessionStorage.getItem('plovik.searchQuery');
        if (saved) input.value = saved;
    } catch (e) { /* no storage */ }
    S.init('', function (ok) {
        ready = ok;
        if (!ok) { status.textContent = 'This help has no search data.'; return; }
        update();
    });
    // Ready for typing when the tab is chosen (browsers may refuse focus to a frame; that is fine).
    try { input.focus({ preventScroll: true }); } catch (e) { /* no focus */ }
})();
