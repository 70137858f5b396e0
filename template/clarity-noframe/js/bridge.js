/* Clarity, framed layout: how the contents, index and search pages talk to the entry page.
 * Frames opened from file:// are of different origins, so they only exchange plain messages;
 * links still carry target="mainFrame", which needs no script at all. */
var PlovikBridge = (function () {
    'use strict';

    function framed() {
        try { return window.top !== window.self; } catch (e) { return true; }
    }

    function post(target, message) {
        message.plovik = 1;
        try { target.postMessage(message, '*'); } catch (e) { /* no such window */ }
    }

    return {
        framed: framed,
        // Where topic links open: the topic frame, or this window when the page stands alone.
        target: function () { return framed() ? 'mainFrame' : '_self'; },
        // Tells the entry page that a topic was chosen here.
        opened: function (href) { if (framed()) post(window.top, { type: 'open', href: href }); },
        // Asks the entry page for the topic shown now; it answers with a "current" message.
        hello: function () { if (framed()) post(window.top, { type: 'hello' }); },
        ask: function (target, type) { post(target, { type: type }); },
        on: function (type, handler) {
            window.addEventListener('message', function (event) {
                var data = event.data;
                if (data && typeof data === 'object' && data.plovik === 1 && data.type === type) handler(data, event);
            });
        }
    };
})();
