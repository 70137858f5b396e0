/* Clarity, framed layout: the left panel. Its tabs are links marked rel="#iframe" that load the
 * contents tree, the keyword index or the search page into the panel's frame; the last tab used
 * is remembered for the next visit. */
(function () {
    'use strict';

    var frame = document.getElementById('iframe');
    var links = Array.prototype.slice.call(document.querySelectorAll('a[rel^="#"]'));
    var list = links.length ? links[0].parentNode.parentNode : null;

    function remember(value) {
        try {
            if (value === undefined) return window.sessionStorage.getItem('plovik.panelTab');
            window.sessionStorage.setItem('plovik.panelTab', value);
        } catch (e) { /* storage may be off for file:// */ }
        return null;
    }

    function target(link) {
        var selector = link.getAttribute('rel');
        try { return document.querySelector(selector) || frame; } catch (e) { return frame; }
    }

    function select(link, load, focus) {
        for (var i = 0; i < links.length; i++) {
            var on = links[i] === link;
            links[i].classList.toggle('pk-active', on);
            links[i].setAttribute('aria-current', on ? 'page' : 'false');
            links[i].tabIndex = on ? 0 : -1;
        }
        if (load) {
            var t = target(link);
            t.setAttribute('title', link.textContent);
            t.src = link.href;
            if (!focus) {
                // Typing should go to the page just chosen, not stay on the tab.
                t.addEventListener('load', function once() {
                    t.removeEventListener('load', once);
                    try { t.focus(); } catch (e) { /* no focus */ }
                });
            }
        }
        if (focus) link.focus();
        remember(link.getAttribute('href'));
    }

    links.forEach(function (link) {
        link.setAttribute('role', 'tab');
        link.addEventListener('click', function (event) {
            event.preventDefault();
            select(link, true, false);
        });
    });
    if (list) {
        list.setAttribute('role', 'tablist');
        list.addEventListener('keydown', function (event) {
            var at = links.indexOf(document.activeElement);
            if (at < 0) return;
            var to = -1;
            if (event.key === 'ArrowRight') to = (at + 1) % links.length;
            else if (event.key === 'ArrowLeft') to = (at + links.length - 1) % links.length;
            else if (event.key === 'Home') to = 0;
            else if (event.key === 'End') to = links.length - 1;
            if (to < 0) return;
            event.preventDefault();
            select(links[to], true, true);
        });
        // A single tab is only a heading.
        if (links.length === 1) document.body.classList.add('pk-single');
    }

    // The index page asks whether search data exists, to name the topics of a keyword.
    window.addEventListener('message', function (event) {
        var data = event.data;
        if (!data || typeof data !== 'object' || data.plovik !== 1 || data.type !== 'panel?') return;
        var search = links.some(function (l) { return /HelpSearch\.html$/i.test(l.getAttribute('href')); });
        try { event.source.postMessage({ plovik: 1, type: 'panel', search: search }, '*'); } catch (e) { /* gone */ }
    });

    var saved = remember();
    var start = links[0];
    for (var i = 0; i < links.length; i++) {
        if (saved && links[i].getAttribute('href') === saved) start = links[i];
    }
    if (start) select(start, start !== links[0], false);
})();
