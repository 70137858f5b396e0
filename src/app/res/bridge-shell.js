// The window's side of the channel to the program: one WebSocket, one iframe per open dialog.
// Dialog pages talk to it through window.parent.plovikShell (see bridge-page.js).
(function () {
  "use strict";
  var socket = null;
  var dialogs = {};          // id -> { frame, holder, menuIds, pending: [] }
  var titleText = document.title || "Plovik";
  var flashing = null;
  var live = true;
  var leaving = false;
  var guardExit = false;

  function send(message) {
    if (socket && socket.readyState === 1) socket.send(JSON.stringify(message));
  }

  function byId(doc, id) {
    return doc ? doc.getElementById(id) : null;
  }

  function allById(doc, id) {
    return doc ? Array.prototype.filter.call(doc.querySelectorAll("[id]"), function (e) {
      return e.id === id;
    }) : [];
  }

  // One command of {"op":"cmd"} on a dialog's document.
  function run(doc, cmd) {
    var el = byId(doc, cmd.id);
    switch (cmd.c) {
      case "exists":
        return !!el;
      case "click":
        if (!el) return false;
        el.click();
        return true;
      case "focus":
        if (!el) return false;
        el.focus();
        return true;
      case "html":
        if (!el) return false;
        el.innerHTML = cmd.v;
        return true;
      case "get":
        if (cmd.p === "radio") {
          var radios = allById(doc, cmd.id);
          if (!radios.length) return null;
          for (var i = 0; i < radios.length; i++) if (radios[i].checked) return i;
          return -1;
        }
        if (!el) return null;
        if (cmd.p === "value") return el.value === undefined ? null : String(el.value);
        if (cmd.p === "checked") return !!el.checked;
        if (cmd.p === "selectedIndex") return el.selectedIndex === undefined ? null : el.selectedIndex;
        if (cmd.p === "hidden") return !!el.hidden;
        if (cmd.p === "disabled") return !!el.disabled;
        if (cmd.p === "className") return el.className;
        if (cmd.p === "innerText") return el.innerText;
        return null;
      case "set":
        if (cmd.p === "radio") {
          var group = allById(doc, cmd.id);
          if (!group.length) return false;
          group.forEach(function (r, i) { r.checked = (i === cmd.v); });
          return true;
        }
        if (!el) return false;
        if (cmd.p === "value") el.value = cmd.v;
        else if (cmd.p === "checked") el.checked = !!cmd.v;
        else if (cmd.p === "selectedIndex") el.selectedIndex = cmd.v;
        else if (cmd.p === "hidden") el.hidden = !!cmd.v;
        else if (cmd.p === "disabled") el.disabled = !!cmd.v;
        else if (cmd.p === "className") el.className = cmd.v;
        else if (cmd.p === "innerText") el.innerText = cmd.v;
        else return false;
        return true;
    }
    return null;
  }

  function documentOf(id) {
    var d = dialogs[id];
    if (!d || !d.loaded) return null;
    try { return d.frame.contentDocument; } catch (e) { return null; }
  }

  function openDialog(m) {
    closeDialog(m.dlg);
    var container = document.getElementById("dialogs");
    var frame = document.createElement("iframe");
    frame.className = "dialog";
    frame.title = m.caption || "Plovik";
    frame.setAttribute("data-dlg", String(m.dlg));
    var holder = frame;
    if (m.parent) {
      holder = document.createElement("div");
      holder.className = "overlay";
      var backdrop = document.createElement("div");
      backdrop.className = "overlay-backdrop";
      var box = document.createElement("div");
      box.className = "overlay-box";
      box.setAttribute("role", "dialog");
      box.setAttribute("aria-modal", "true");
      var bar = document.createElement("div");
      bar.className = "overlay-titlebar";
      var caption = document.createElement("span");
      caption.textContent = m.caption || "Plovik";
      var close = document.createElement("button");
      close.type = "button";
      close.id = "overlay_close_" + m.dlg;
      close.setAttribute("aria-label", "Close");
      close.textContent = "\u00d7";
      close.addEventListener("click", function () { send({ op: "close", dlg: m.dlg }); });
      bar.appendChild(caption);
      bar.appendChild(close);
      frame.style.width = (m.width || 400) + "px";
      frame.style.height = (m.height || 200) + "px";
      box.appendChild(bar);
      box.appendChild(frame);
      holder.appendChild(backdrop);
      holder.appendChild(box);
    }
    dialogs[m.dlg] = { frame: frame, holder: holder, menuIds: m.menuIds || [], loaded: false };
    frame.addEventListener("load", function () {
      var d = dialogs[m.dlg];
      if (!d || d.frame !== frame) return;
      d.loaded = true;
      send({ op: "loaded", dlg: m.dlg });
      try { frame.contentWindow.focus(); } catch (e) { /* not ours to focus */ }
    });
    frame.src = "/res/" + encodeURIComponent(m.res) + "?dlg=" + m.dlg;
    container.appendChild(holder);
    if (!m.parent) document.title = m.caption || titleText;
  }

  function closeDialog(id) {
    var d = dialogs[id];
    if (!d) return;
    delete dialogs[id];
    if (d.holder.parentNode) d.holder.parentNode.removeChild(d.holder);
  }

  function stopFlashing() {
    if (flashing) { clearInterval(flashing); flashing = null; document.title = titleText; }
  }

  function onMessage(event) {
    var m;
    try { m = JSON.parse(event.data); } catch (e) { return; }
    switch (m.op) {
      case "open": openDialog(m); break;
      case "close": closeDialog(m.dlg); break;
      case "cmd": {
        var doc = documentOf(m.dlg);
        var results = (m.cmds || []).map(function (c) {
          try { return doc ? run(doc, c) : null; } catch (e) { return null; }
        });
        send({ op: "reply", seq: m.seq, results: results });
        break;
      }
      case "title": titleText = m.text; document.title = m.text; break;
      case "flash":
        if (document.hasFocus()) break;
        stopFlashing();
        var on = false;
        flashing = setInterval(function () {
          on = !on;
          document.title = on ? "\u2022 " + titleText : titleText;
        }, 600);
        break;
      case "busy": document.body.classList.toggle("busy", !!m.on); break;
      case "guard": guardExit = !!m.on; break;
      case "navigate": window.open(m.url, "_blank", "noopener"); break;
      case "ended":
        live = false;
        document.getElementById("dialogs").hidden = true;
        var gone = document.getElementById("elsewhere");
        gone.textContent = "Plovik has ended. You can close this window.";
        gone.hidden = false;
        break;
      case "elsewhere":
        live = false;
        document.getElementById("elsewhere").hidden = false;
        document.getElementById("dialogs").hidden = true;
        break;
    }
  }

  function connect() {
    if (!live || leaving) return;
    socket = new WebSocket((location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws");
    socket.addEventListener("open", function () { send({ op: "hello" }); });
    socket.addEventListener("message", onMessage);
    socket.addEventListener("close", function () {
      socket = null;
      if (live && !leaving) setTimeout(connect, 500);
    });
  }

  window.addEventListener("focus", function () { stopFlashing(); send({ op: "focus", active: true }); });
  window.addEventListener("blur", function () { send({ op: "focus", active: false }); });
  // Closing the window is the top dialog's close: while a build runs or the settings are
  // modified, the browser asks first.
  window.addEventListener("beforeunload", function (e) {
    if (guardExit) { e.preventDefault(); e.returnValue = ""; return ""; }
    leaving = true;
    return undefined;
  });

  window.plovikShell = {
    // Called by each dialog page's bridge with its own dialog id.
    report: function (dlg, message) { message.dlg = dlg; send(message); },
    menuAllowed: function (dlg, id) {
      var d = dialogs[dlg];
      return !!d && d.menuIds.indexOf(id) >= 0;
    },
    close: function (dlg) { send({ op: "close", dlg: dlg }); }
  };

  connect();
})();
