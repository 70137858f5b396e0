/* Clarity, no-frame layout: the page around the topic. On a phone the contents column is a menu
 * behind the Contents button; on a wide screen the same button hides and shows the column. */
(function () {
    'use strict';

    var body = document.body;
    var menu = document.getElementById('pk-menu');
    var nav = document.getElementById('pk-nav');
    var scrim = document.getElementById('pk-scrim');
    var narrow = window.matchMedia ? window.matchMedia('(max-width: 760px)') : { matches: false };

    function storage(value) {
        try {
            if (value === undefined) return window.localStorage.getItem('plovik.navHidden');
            window.localStorage.setItem('plovik.navHidden', value);
        } catch (e) { /* storage may be off for file:// */ }
        return null;
    }

    function isOpen() {
        return narrow.matches ? body.classList.contains('pk-open') : !body.classList.contains('pk-collapsed');
    }
    function setOpen(open) {
        if (narrow.matches) {
            body.classList.toggle('pk-open', open);
            if (open) {
                var target = nav.querySelector('li.pk-current > span > a') || nav.querySelector('input, a');
                if (target) target.focus({ preventScroll: true });
            }
        } else {
            body.classList.toggle('pk-collapsed', !open);
            storage(open ? '0' : '1');
        }
        menu.setAttribute('aria-expanded', open ? 'true' : 'false');
    }
    function layoutChanged() {
        body.classList.remove('pk-open');
        body.classList.toggle('pk-collapsed', !narrow.matches && storage() === '1');
        menu.setAttribute('aria-expanded', isOpen() ? 'true' : 'false');
    }

    menu.addEventListener('click', function () { setOpen(!isOpen()); });
    scrim.addEventListener('click', function () { setOpen(false); });
    document.addEventListener('keydown', function (event) {
        if (event.key === 'Escape' && narrow.matches && isOpen()) {
            setOpen(false);
            menu.focus();
        }
    });
    if (narrow.addEventListener) narrow.addEventListener('change', layoutChanged);
    else if (narrow.addListener) narrow.addListener(layoutChanged);
    layoutChanged();

    // A topic whose text sits in pinned blocks (a fixed banner over a scrolling block) has no
    // height of its own in the page's flow; it gets the height of a window, as in the help viewer.
    var topic = document.querySelector('.pk-topic');
    function needsWindow() {
        var box = topic.getBoundingClientRect(), all = topic.getElementsByTagName('*');
        for (var i = 0; i < all.length && i < 5000; i++) {
            var s = getComputedStyle(all[i]);
            if (s.position !== 'absolute' && s.position !== 'fixed') continue;
            var r = all[i].getBoundingClientRect();
            if (r.height <= 1 || r.bottom > box.bottom + 1) return true;
            if (/auto|scroll/.test(s.overflowY) && all[i].scrollHeight > all[i].clientHeight) return true;
        }
        return false;
    }
    function fitTopic() { if (topic && needsWindow()) topic.classList.add('pk-window'); }
    if (document.readyState === 'complete') fitTopic();
    else window.addEventListener('load', fitTopic);

    // A page without a title of its own would be named " - Help"; keep only the help's title.
    var t = document.title.replace(/^\s*[\u2013-]\s*/, '');
    if (t !== document.title) document.title = t;
})();
