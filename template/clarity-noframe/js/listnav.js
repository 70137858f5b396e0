/* Clarity: keyboard and mouse handling shared by the keyword index and the search results.
 * Focus stays in the text field while the arrow keys move a highlighted row (the list box
 * pattern with aria-activedescendant); Enter opens it. Rows are links or buttons. */
function PlovikList(input, list, options) {
    'use strict';
    var self = this;
    options = options || {};
    this.input = input;
    this.list = list;
    this.rows = [];
    this.active = -1;
    this.onKey = options.onKey || null;

    list.setAttribute('role', 'listbox');
    input.setAttribute('role', 'combobox');
    input.setAttribute('aria-autocomplete', 'list');
    input.setAttribute('aria-expanded', 'true');
    input.setAttribute('aria-controls', list.id);

    function keydown(event) {
        if (event.altKey || event.ctrlKey || event.metaKey) return;
        if (self.onKey && self.onKey(event, self.current())) { event.preventDefault(); return; }
        var page = Math.max(1, Math.floor(list.clientHeight / 32) || 10);
        switch (event.key) {
        case 'ArrowDown': self.select(self.active + 1, true); break;
        case 'ArrowUp': self.select(Math.max(0, self.active - 1), true); break;
        case 'PageDown': self.select(self.active + page, true); break;
        case 'PageUp': self.select(Math.max(0, self.active - page), true); break;
        case 'Home': if (event.target === input) return; self.select(0, true); break;
        case 'End': if (event.target === input) return; self.select(self.rows.length - 1, true); break;
        case 'Enter': if (self.active < 0 && self.rows.length) self.select(0, false); self.open(); break;
        case 'Escape': if (!input.value) return; input.value = ''; input.dispatchEvent(new Event('input')); break;
        default: return;
        }
        event.preventDefault();
    }
    input.addEventListener('keydown', keydown);
    list.addEventListener('keydown', keydown);
    list.addEventListener('click', function (event) {
        var row = event.target.closest ? event.target.closest('.pk-row') : null;
        var at = self.rows.indexOf(row);
        if (at >= 0) self.select(at, false);
    });
}

PlovikList.prototype.current = function () {
    return this.active >= 0 ? this.rows[this.active] : null;
};

PlovikList.prototype.setRows = function (rows, keep) {
    var old = keep ? this.current() : null;
    this.rows = rows;
    for (var i = 0; i < rows.length; i++) {
        rows[i].id = this.list.id + '-' + i;
        rows[i].setAttribute('role', 'option');
        rows[i].tabIndex = -1;
    }
    var at = -1;
    for (var k = 0; old && k < rows.length && at < 0; k++) {
        if (rows[k] === old || (old.pkKey && rows[k].pkKey === old.pkKey)) at = k;
    }
    this.active = -1;
    this.select(at >= 0 ? at : (rows.length ? 0 : -1), false);
};

PlovikList.prototype.select = function (at, scroll) {
    if (!this.rows.length) {
        this.active = -1;
        this.input.removeAttribute('aria-activedescendant');
        return;
    }
    at = Math.min(this.rows.length - 1, Math.max(0, at));
    if (this.active >= 0 && this.rows[this.active]) {
        this.rows[this.active].classList.remove('pk-active');
        this.rows[this.active].setAttribute('aria-selected', 'false');
    }
    this.active = at;
    var row = this.rows[at];
    row.classList.add('pk-active');
    row.setAttribute('aria-selected', 'true');
    this.input.setAttribute('aria-activedescendant', row.id);
    if (scroll) {
        var r = row.getBoundingClientRect();
        var top = this.input.getBoundingClientRect().bottom + 8;
        if (r.top < top) window.scrollBy(0, r.top - top);
        else if (r.bottom > window.innerHeight) window.scrollBy(0, r.bottom - window.innerHeight + 8);
        if (this.onScrollEnd && at >= this.rows.length - 5) this.onScrollEnd();
    }
};

PlovikList.prototype.open = function () {
    var row = this.current();
    if (row) row.click();
};
