// Page script of the wizard.
//
// The program never calls these functions itself: it clicks the hidden buttons at the end of
// the page, and their click handlers (wired at the bottom) call them. The functions are global
// because the template list that the program generates calls onSelTplChange() by name.

"use strict";

var ADD_HEADER_PLACEHOLDER =
    "Input the HTML code (your new header) to replace the current template header";
var DEL_HEADER_PLACEHOLDER = "Input the HTML code you want to remove from original page header";
// Two blanks after "code": the program compares against this exact text.
var DEL_FOOTER_PLACEHOLDER =
    "Input the HTML code  you want to remove from the original page footer";
var DEFAULT_FOOTER =
    '<p style="text-align:center"><b>Web help made with ' +
    '<a href="https://plovik.example.org/" target="_blank">Plovik</a></b></p>';

var PAGE_COUNT = 5;

// The four check box / text area pairs of the HTML setting page. A text area with a
// placeholder shows it as its value, because the program stores and compares the value.
var HTML_SETTINGS = [
    {check: "checkbox_delhtmlheader", text: "textarea_delhtmlheader",
     placeholder: DEL_HEADER_PLACEHOLDER, initial: DEL_HEADER_PLACEHOLDER},
    {check: "checkbox_addhtmlheader", text: "textarea_addhtmlheader",
     placeholder: ADD_HEADER_PLACEHOLDER, initial: ADD_HEADER_PLACEHOLDER},
    {check: "checkbox_delhtmlfooter", text: "textarea_delhtmlfooter",
     placeholder: DEL_FOOTER_PLACEHOLDER, initial: DEL_FOOTER_PLACEHOLDER},
    {check: "checkbox_addhtmlfooter", text: "textarea_addhtmlfooter",
     placeholder: null, initial: DEFAULT_FOOTER},
];

var currentPage = 1;

// The change event that the generated list's own onchange attribute has already reported, so
// the page's fallback listener does not report it twice. The fallback is there because the
// attribute does not run when the content policy forbids inline handlers.
var tplChangeReported = null;

function byId(id) {
    return document.getElementById(id);
}

function setGreyed(id, greyed) {
    var e = byId(id);
    if (e) e.classList.toggle("greyed", !!greyed);
}

function idOf(x) {
    return typeof x === "string" ? x : x && x.id;
}

// ------------------------------------------------------------------ pages

function switchTag(tag, content, page) {
    var tagId = idOf(tag);
    var contentId = idOf(content);
    var focused = document.activeElement;

    for (var i = 1; i <= PAGE_COUNT; i++) {
        var t = byId("tag" + i);
        var c = byId("content" + i);
        var selected = t.id === tagId;
        t.classList.toggle("selected", selected);
        t.setAttribute("aria-selected", selected ? "true" : "false");
        t.tabIndex = selected ? 0 : -1;
        c.hidden = c.id !== contentId;
    }

    currentPage = Number(page) || Number(String(tagId).replace("tag", "")) || 1;

    var last = currentPage === PAGE_COUNT;
    byId("button_next").hidden = last;
    byId("button_build_down").hidden = !last;
    setGreyed("button_back", currentPage === 1);

    // Keep keyboard users where they were when the control they stood on goes away.
    if (focused && focused !== document.body && focused.offsetParent === null) {
        if (focused.id === "button_next") byId("button_build_down").focus();
        else if (focused.id === "button_build_down") byId("button_next").focus();
        else byId(tagId).focus();
    }
}

function goToPage(n) {
    switchTag("tag" + n, "content" + n, n);
}

function nextPage() {
    if (currentPage < PAGE_COUNT) goToPage(currentPage + 1);
}

function backPage() {
    if (currentPage > 1) goToPage(currentPage - 1);
}

// ------------------------------------------------------------------ button looks

function graySaveIcon() {
    setGreyed("button_save", true);
}

function ungraySaveicon() {
    setGreyed("button_save", false);
}

function enableBuildButton(bEnable) {
    setGreyed("button_build", !Number(bEnable));
}

function enableStopButton(bEnable) {
    setGreyed("button_stop", !Number(bEnable));
}

// ------------------------------------------------------------------ dependent fields

// true: the no-frame layout, which has no entry page of its own; its pages have the keyword
// index and the search as the frame layout does, so those boxes stay as the user set them.
function switchVersion(bEnable) {
    byId("input_defaultindex").disabled = !!bEnable;
}

function onSelTplChange() {
    tplChangeReported = window.event || null;
    var box = byId("check_onSelTpl");
    if (box) box.click();
}

function markPlaceholder(setting) {
    var area = byId(setting.text);
    area.classList.toggle("is-placeholder",
                          setting.placeholder !== null && area.value === setting.placeholder);
}

function updateHtmlControl(setting) {
    var box = byId(setting.check);
    byId(setting.text).disabled = !(box.checked && !box.disabled);
    markPlaceholder(setting);
}

function updateAllHtmlControls() {
    HTML_SETTINGS.forEach(updateHtmlControl);
}

function inithtmlsetting() {
    HTML_SETTINGS.forEach(function (setting) {
        var box = byId(setting.check);
        var area = byId(setting.text);
        box.checked = true;
        box.disabled = false;
        area.disabled = false;
        area.value = setting.initial;
        markPlaceholder(setting);
    });
}

function onLogClick() {
    var log = byId("textarea_log");
    log.scrollTop = log.scrollHeight;
}

// ------------------------------------------------------------------ wiring

function onClick(id, handler) {
    var e = byId(id);
    if (e) e.addEventListener("click", handler);
}

(function wire() {
    for (var i = 1; i <= PAGE_COUNT; i++) {
        (function (n) {
            onClick("tag" + n, function () { goToPage(n); });
        })(i);
    }

    // Arrow keys move along the tab strip, as in any tab list.
    document.querySelector(".tabs").addEventListener("keydown", function (ev) {
        var target = currentPage;
        if (ev.key === "ArrowRight") target = currentPage % PAGE_COUNT + 1;
        else if (ev.key === "ArrowLeft") target = (currentPage + PAGE_COUNT - 2) % PAGE_COUNT + 1;
        else if (ev.key === "Home") target = 1;
        else if (ev.key === "End") target = PAGE_COUNT;
        else return;
        ev.preventDefault();
        goToPage(target);
        byId("tag" + target).focus();
    });

    onClick("button_next", nextPage);
    onClick("button_back", backPage);

    // Both radios share the id the program reads; they are told apart by value.
    document.querySelectorAll('input[name="frame"]').forEach(function (radio) {
        var apply = function () { if (radio.checked) switchVersion(radio.value === "1"); };
        radio.addEventListener("click", apply);
        radio.addEventListener("change", apply);
    });

    byId("sel_tpl_setting").addEventListener("change", function (ev) {
        if (ev.target.id !== "select_template") return;
        if (tplChangeReported !== ev) onSelTplChange();
        tplChangeReported = null;
    });

    HTML_SETTINGS.forEach(function (setting) {
        var area = byId(setting.text);
        byId(setting.check).addEventListener("click", function () { updateHtmlControl(setting); });
        area.addEventListener("input", function () { markPlaceholder(setting); });
        if (setting.placeholder === null) return;
        var clear = function () {
            if (area.value === setting.placeholder) {
                area.value = "";
                markPlaceholder(setting);
            }
        };
        area.addEventListener("click", clear);
        area.addEventListener("focus", clear);
        area.addEventListener("blur", function () {
            if (area.value === "") {
                area.value = setting.placeholder;
                markPlaceholder(setting);
            }
        });
    });

    // The program opens the home page in the desktop's browser when this link is clicked;
    // following it here as well would open it twice.
    onClick("link_homepage", function (ev) { ev.preventDefault(); });

    onClick("button_graysaveicon", graySaveIcon);
    onClick("button_ungraysaveicon", ungraySaveicon);
    onClick("button_enableBuild", function () { enableBuildButton(1); });
    onClick("button_disableBuild", function () { enableBuildButton(0); });
    onClick("button_enableStop", function () { enableStopButton(1); });
    onClick("button_disableStop", function () { enableStopButton(0); });
    onClick("button_switchToFrame", function () { switchVersion(false); });
    onClick("button_switchToNoFrame", function () { switchVersion(true); });
    onClick("button_showGeneralPage", function () { goToPage(2); });
    onClick("button_updateAllHtmlControls", updateAllHtmlControls);
    onClick("button_inithtmlsetting", inithtmlsetting);
    onClick("button_logstatus", onLogClick);

    // Show the defaults until the program writes its own values into the page.
    inithtmlsetting();
    goToPage(1);
})();
