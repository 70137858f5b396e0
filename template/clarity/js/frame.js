/* Clarity, framed layout: the entry page.
 *
 * It keeps track of the topic shown in "mainFrame", tells the contents tree about it, mirrors it
 * in the address (#topic=html/page.htm, so a topic can be linked to and bookmarked), and runs the
 * contents panel: resizing, hiding, and the menu it becomes on a phone.
 *
 * Opened from file://, every page is its own origin in Chromium and Firefox: the topic frame's
 * address cannot be read, so the topic is known from the messages of the tree, index and search
 * pages (links followed inside a topic go unnoticed there). From a web server it is read after
 * every load. Every cross-frame access is guarded, and messages are only ever plain data.
 */
(function () {
    'use strict';

    var doc = document;
    var body = doc.body;
    var main = doc.getElementById('mainFrame');
    var menu = doc.getElementById('pk-menu');
    var side = doc.getElementById('pk-side');
    var left = doc.getElementById('pk-left');
    var splitter = doc.getElementById('pk-splitter');
    var scrim = doc.getElementById('pk-scrim');
    var narrow = window.matchMedia ? window.matchMedia('(max-width: 760px)') : { matches: false };
    var baseTitle = doc.title;

    var siteRoot = location.href.replace(/[?#].*$/, '').replace(/[^\/]*$/, '');
    var current = normalise(main.getAttribute('src') || '');
    var listeners = [];
    var userNavigated = false;

    function storage(key, value) {
        try {
            if (value === undefined) return window.localStorage.getItem(key);
            window.localStorage.setItem(key, String(value));
        } catch (e) { /* storage may be off for file:// or in private windows */ }
        return null;
    }

    // Page names come with backslashes from some help files; browsers read both.
    function normalise(path) {
        return String(path).replace(/\\/g, '/');
    }

    // Root-relative form of an absolute address inside the site, or null.
    function relative(href) {
        if (typeof href !== 'string') return null;
        href = normalise(href);
        if (href.indexOf(siteRoot) !== 0) return null;
        var rel = href.slice(siteRoot.length);
        return rel === '' ? null : rel;
    }

    // A topic named in the address must stay inside the site: no scheme, no absolute path, no "..".
    function safeTopic(topic) {
        topic = normalise(topic).replace(/^\.\//, '');
        if (!topic || /^[a-z][a-z0-9+.\-]*:/i.test(topic) || topic.charAt(0) === '/') return null;
        var path = topic.replace(/[?#].*$/, '');
        if (path.split('/').indexOf('..') >= 0) return null;
        var url;
        try { url = new URL(topic, siteRoot).href; } catch (e) { return null; }
        return url.indexOf(siteRoot) === 0 ? topic : null;
    }

    function topicFromHash() {
        var hash = location.hash.replace(/^#/, '');
        var m = /(?:^|&)topic=(.*)$/.exec(hash);
        if (!m) return null;
        var value;
        try { value = decodeURIComponent(m[1]); } catch (e) { return null; }
        return safeTopic(value);
    }

    function writeHash(rel) {
        var hash = '#topic=' + encodeURIComponent(rel).replace(/%2F/gi, '/');
        if (location.hash === hash) return;
        try {
            history.replaceState(history.state, '', hash);
        } catch (e) { /* some browsers refuse this for file://; the address then stays as it is */ }
    }

    function show(rel) {
        var url = new URL(rel, siteRoot).href;
        current = rel;
        try {
            main.contentWindow.location.replace(url);
        } catch (e) {
            main.src = url;
        }
        announce();
    }

    function announce() {
        var message = { plovik: 1, type: 'current', href: current ? new URL(current, siteRoot).href : '' };
        for (var i = 0; i < listeners.length; i++) {
            try { listeners[i].postMessage(message, '*'); } catch (e) { /* a closed or navigated frame */ }
        }
    }

    function setCurrent(rel, fromUser) {
        if (!rel) return;
        var changed = rel !== current;
        current = rel;
        if (changed || fromUser) writeHash(rel);
        announce();
    }

    // --- messages from the tree, index and search pages -------------------------------------
    window.addEventListener('message', function (event) {
        var data = event.data;
        if (!data || typeof data !== 'object' || data.plovik !== 1) return;
        if (data.type === 'hello' && event.source) {
            if (listeners.indexOf(event.source) < 0) listeners.push(event.source);
            try {
                event.source.postMessage({ plovik: 1, type: 'current', href: current ? new URL(current, siteRoot).href : '' }, '*');
            } catch (e) { /* the frame went away meanwhile */ }
        } else if (data.type === 'open') {
            var rel = relative(data.href);
            if (rel !== null) {
                userNavigated = true;
                setCurrent(rel, true);
                if (narrow.matches) setMenu(false);
            }
        }
    });

    main.addEventListener('load', function () {
        var href = null;
        var title = '';
        try {
            href = main.contentWindow.location.href;
            title = main.contentDocument ? main.contentDocument.title : '';
        } catch (e) {
            href = null; // another origin (file://): keep what the last message said
        }
        if (href && href !== 'about:blank') {
            var rel = relative(href);
            if (rel !== null) setCurrent(rel, userNavigated);
        }
        doc.title = title ? title + ' \u2013 ' + baseTitle : baseTitle;
    });

    window.addEventListener('hashchange', function () {
        var topic = topicFromHash();
        if (topic && topic !== current) show(topic);
    });

    // --- the contents panel ------------------------------------------------------------------
    function setMenu(open) {
        if (narrow.matches) {
            body.classList.toggle('pk-open', open);
            body.classList.remove('pk-collapsed');
            if (open) {
                try { left.focus(); } catch (e) { /* nothing to focus */ }
            }
        } else {
            body.classList.remove('pk-open');
            body.classList.toggle('pk-collapsed', !open);
            storage('plovik.sideHidden', open ? '0' : '1');
        }
        menu.setAttribute('aria-expanded', open ? 'true' : 'false');
    }

    function menuIsOpen() {
        return narrow.matches ? body.classList.contains('pk-open') : !body.classList.contains('pk-collapsed');
    }

    menu.addEventListener('click', function () { setMenu(!menuIsOpen()); });
    scrim.addEventListener('click', function () { setMenu(false); });
    doc.addEventListener('keydown', function (event) {
        if (event.key === 'Escape' && narrow.matches && menuIsOpen()) {
            setMenu(false);
            menu.focus();
        }
    });

    function layoutChanged() {
        if (narrow.matches) {
            body.classList.remove('pk-collapsed');
            body.classList.remove('pk-open');
            menu.setAttribute('aria-expanded', 'false');
        } else {
            body.classList.remove('pk-open');
            var hidden = storage('plovik.sideHidden') === '1';
            body.classList.toggle('pk-collapsed', hidden);
            menu.setAttribute('aria-expanded', hidden ? 'false' : 'true');
        }
    }
    if (narrow.addEventListener) narrow.addEventListener('change', layoutChanged);
    else if (narrow.addListener) narrow.addListener(layoutChanged);

    var MIN_W = 180;
    function maxWidth() { return Math.max(MIN_W, Math.round(window.innerWidth * 0.6)); }
    function setWidth(px, save) {
        px = Math.round(Math.min(maxWidth(), Math.max(MIN_W, px)));
        body.style.setProperty('--side-w', px + 'px');
        splitter.setAttribute('aria-valuenow', String(px));
        splitter.setAttribute('aria-valuemin', String(MIN_W));
        splitter.setAttribute('aria-valuemax', String(maxWidth()));
        if (save) storage('plovik.sideWidth', px);
    }
    function sideWidth() { return side.getBoundingClientRect().width; }

    splitter.addEventListener('pointerdown', function (event) {
        if (event.button !== 0) return;
        event.preventDefault();
        try { splitter.setPointerCapture(event.pointerId); } catch (e) { /* old browsers */ }
        body.classList.add('pk-dragging');
        var startX = event.clientX;
        var startW = sideWidth();
        function move(e) { setWidth(startW + e.clientX - startX, false); }
        function up() {
            body.classList.remove('pk-dragging');
            splitter.removeEventListener('pointermove', move);
            splitter.removeEventListener('pointerup', up);
            splitter.removeEventListener('pointercancel', up);
            setWidth(sideWidth(), true);
        }
        splitter.addEventListener('pointermove', move);
        splitter.addEventListener('pointerup', up);
        splitter.addEventListener('pointercancel', up);
    });
    splitter.addEventListener('keydown', function (event) {
        var step = event.shiftKey ? 64 : 16;
        var w = sideWidth();
        if (event.key === 'ArrowLeft') setWidth(w - step, true);
        else if (event.key === 'ArrowRight') setWidth(w + step, true);
        else if (event.key === 'Home') setWidth(MIN_W, true);
        else if (event.key === 'End') setWidth(maxWidth(), true);
        else return;
        event.preventDefault();
    });
    splitter.addEventListener('dblclick', function () { setWidth(300, true); });

    // --- start ---------------------------------------------------------------------------------
    var savedWidth = parseInt(storage('plovik.sideWidth'), 10);
    setWidth(isNaN(savedWidth) ? 300 : savedWidth, false);
    layoutChanged();

    // A topic opened on its own offers the full help with a plain link to this page; coming back
    // that way (the referrer is known from a web server) shows the same topic in the frame.
    function topicFromReferrer() {
        var rel = relative(doc.referrer.replace(/[?#].*$/, ''));
        if (!rel || rel.indexOf('/') < 0 && /^(header|LeftPanel|HelpContent|HelpIndex|HelpSearch)\.html$/i.test(rel)) return null;
        if (location.href.replace(/[?#].*$/, '') === doc.referrer.replace(/[?#].*$/, '')) return null;
        return /\.html?$/i.test(rel) ? safeTopic(rel) : null;
    }

    var linked = topicFromHash() || topicFromReferrer();
    if (linked) show(linked);
})();
