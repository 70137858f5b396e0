/* Clarity, no-frame layout: the search box in every page's header. The search itself
 * (js/words.js, js/searchcore.js) is loaded when the box is first used, so that a page that is
 * only read loads nothing of it. Results appear as one types; the arrow keys move through them,
 * Enter opens one, Escape closes the list, and "/" anywhere on the page goes to the box.
 */
(function () {
    'use strict';

    var box = document.getElementById('pk-find');
    var list = document.getElementById('pk-find-list');
    if (!box || !list || box.closest('[hidden]')) return;
    var self = document.currentScript;
    var root = self && self.src ? self.src.replace(/js\/[^\/]*$/, '') : '';
    var state = 'idle';  // idle, loading, ready, none
    var waiting = [];
    var rows = [];
    var active = -1;
    var asked = 0;
    var SHOWN = 8;

    function script(src, done) {
        var s = document.createElement('script');
        s.src = root + src;
        s.onload = function () { done(true); };
        s.onerror = function () { done(false); };
        document.head.appendChild(s);
    }
    function ready(done) {
        if (state === 'ready' || state === 'none') { done(); return; }
        waiting.push(done);
        if (state === 'loading') return;
        state = 'loading';
        var finish = function (ok) {
            state = ok ? 'ready' : 'none';
            var w = waiting;
            waiting = [];
            w.forEach(function (f) { f(); });
        };
        script('js/words.js', function (a) {
            if (!a) { finish(false); return; }
            script('js/searchcore.js', function (b) {
                if (!b || typeof PlovikSearch === 'undefined') { finish(false); return; }
                PlovikSearch.init(root, finish);
            });
        });
    }

    function close() {
        list.hidden = true;
        box.setAttribute('aria-expanded', 'false');
        box.removeAttribute('aria-activedescendant');
    }
    function select(at) {
        if (!rows.length) return;
        at = Math.max(0, Math.min(rows.length - 1, at));
        if (active >= 0 && rows[active]) rows[active].classList.remove('pk-active');
        active = at;
        rows[at].classList.add('pk-active');
        box.setAttribute('aria-activedescendant', rows[at].id);
        rows[at].scrollIntoView({ block: 'nearest' });
    }
    function item(href, title, detail, n) {
        var li = document.createElement('li');
        var a = document.createElement('a');
        a.href = href;
        a.id = 'pk-find-' + n;
        a.setAttribute('role', 'option');
        a.tabIndex = -1;
        a.appendChild(title);
        if (detail) {
            var d = document.createElement('span');
            d.className = 'pk-find-path';
            d.textContent = detail;
            a.appendChild(d);
        }
        li.appendChild(a);
        list.appendChild(li);
        rows.push(a);
    }

    function show(text, r) {
        var S = PlovikSearch;
        list.textContent = '';
        rows = [];
        active = -1;
        if (!r.terms.length) { close(); return; }
        var top = r.pages.slice(0, SHOWN);
        S.pageInfo(top.map(function (x) { return x.page; }), function () {
            if (box.value !== text) return;
            list.textContent = '';
            rows = [];
            top.forEach(function (x, n) {
                var info = S.page(x.page);
                if (!info) return;
                item(root + S.topicHref(info.name, text), S.markAll(info.title || info.name, r.terms),
                    info.ancestors.join(' \u203a '), n);
            });
            var label = document.createElement('span');
            label.className = 'pk-find-all';
            label.textContent = r.pages.length ? 'All ' + r.pages.length + (r.pages.length === 1 ? ' result' : ' results') + '\u2026' : 'No topic contains these words';
            item(root + 'HelpSearch.html?q=' + encodeURIComponent(text), label, '', 'all');
            list.hidden = false;
            box.setAttribute('aria-expanded', 'true');
            window.pkFirstResultAt = window.pkFirstResultAt || performance.now();
            select(0);
        });
    }

    function update() {
        var text = box.value;
        var id = ++asked;
        if (!text.trim()) { close(); return; }
        ready(function () {
            if (id !== asked) return;
            if (state !== 'ready') { close(); return; }
            PlovikSearch.query(text, function (r) { if (id === asked) show(text, r); });
        });
    }

    box.setAttribute('role', 'combobox');
    box.setAttribute('aria-controls', list.id);
    box.setAttribute('aria-expanded', 'false');
    box.addEventListener('focus', function () { ready(function () {}); if (rows.length && box.value.trim()) { list.hidden = false; } });
    box.addEventListener('input', update);
    box.addEventListener('keydown', function (event) {
        if (event.key === 'ArrowDown') { if (list.hidden) update(); else select(active + 1); }
        else if (event.key === 'ArrowUp') select(active - 1);
        else if (event.key === 'Enter') { if (active >= 0 && rows[active]) rows[active].click(); else if (box.value.trim()) update(); }
        else if (event.key === 'Escape') { if (!list.hidden) close(); else box.value = ''; }
        else return;
        event.preventDefault();
    });
    box.addEventListener('blur', function () { setTimeout(function () { if (document.activeElement !== box) close(); }, 200); });
    document.addEventListener('keydown', function (event) {
        if (event.key !== '/' || event.ctrlKey || event.metaKey || event.altKey) return;
        var t = event.target;
        if (t && (t.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(t.nodeName))) return;
        event.preventDefault();
        box.focus();
        box.select();
    });
})();
