// Keyboard movement in the folder list of the file and folder dialogs. The program fills the
// list with one button per entry; a long folder would otherwise take one Tab per entry.

"use strict";

(function () {
    var list = document.getElementById("list_entries");
    if (!list) return;

    list.addEventListener("keydown", function (ev) {
        var entries = Array.prototype.slice.call(list.querySelectorAll("button.entry"));
        if (entries.length === 0) return;
        var at = entries.indexOf(document.activeElement);
        var page = Math.max(1, Math.floor(list.clientHeight / (entries[0].offsetHeight || 1)) - 1);
        var to;
        if (ev.key === "ArrowDown") to = at < 0 ? 0 : Math.min(at + 1, entries.length - 1);
        else if (ev.key === "ArrowUp") to = at < 0 ? 0 : Math.max(at - 1, 0);
        else if (ev.key === "PageDown") to = Math.min(Math.max(at, 0) + page, entries.length - 1);
        else if (ev.key === "PageUp") to = Math.max(at - page, 0);
        else if (ev.key === "Home") to = 0;
        else if (ev.key === "End") to = entries.length - 1;
        else return;
        ev.preventDefault();
        entries[to].focus();
        entries[to].scrollIntoView({block: "nearest"});
    });
})();
