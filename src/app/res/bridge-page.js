// A dialog page's side of the channel: reports its events to the program by element id, and
// applies the program's key filter and context-menu rule. Commands arrive through the shell.
(function () {
  "use strict";
  var match = /[?&]dlg=(\d+)/.exec(location.search);
  var dlg = match ? Number(match[1]) : 0;
  var shell = null;
  try { shell = window.parent !== window ? window.parent.plovikShell : null; } catch (e) { shell = null; }

  function report(message) { if (shell && dlg) shell.report(dlg, message); }

  // The id of the element an event belongs to: the nearest element with an id.
  function idOf(target) {
    for (var el = target; el && el !== document; el = el.parentNode) {
      if (el.id) return el.id;
    }
    return "";
  }

  document.addEventListener("click", function (e) {
    var id = idOf(e.target);
    if (id) report({ op: "event", id: id, ev: "click" });
  });
  document.addEventListener("keyup", function (e) {
    var id = idOf(e.target);
    if (id) report({ op: "event", id: id, ev: "keyup" });
  });
  document.addEventListener("change", function (e) {
    if (e.target && e.target.id) report({ op: "event", id: e.target.id, ev: "change" });
  }, true);

  // Enter, Escape and the function keys never reach the page: no dialog closes by a key, and the
  // browser's own function keys (reload, find) do nothing.
  document.addEventListener("keydown", function (e) {
    var k = e.key;
    if (k === "Enter" || k === "Escape" || /^F([1-9]|1[0-2])$/.test(k)) {
      e.preventDefault();
      e.stopPropagation();
    }
  }, true);

  document.addEventListener("contextmenu", function (e) {
    var id = e.target && e.target.id;
    if (!(shell && id && shell.menuAllowed(dlg, id))) e.preventDefault();
  });
})();
