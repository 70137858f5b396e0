// Contents made to size for the filter's timing, shared by the browser test that bounds it and
// bench/tree-filter.mjs: the generator's markup for a flat list of N topics or a tree of N nodes
// in folders of ten, put into a copy of a built page, and the time a keystroke takes.

import fs from 'node:fs';
import path from 'node:path';

export const WORDS = ['alpha', 'buffer', 'canvas', 'dialog', 'editor', 'folder', 'graphic', 'handler',
    'image', 'journal', 'kernel', 'layout', 'module', 'network', 'object', 'printer'];

// The contents as the generator writes them: folders carry li_N and span_N, pages a link.
export function treeMarkup(shape, nodes, target) {
    let id = 0;
    const name = (n) => `${WORDS[n % WORDS.length]} ${WORDS[(n * 7 + 3) % WORDS.length]} topic ${n}`;
    const page = () => {
        const n = id++;
        return `<li><span class='file' id='span_${n}'><a href='p/${n}.htm' target='${target}'>${name(n)}</a></span></li>`;
    };
    if (shape === 'flat') {
        let out = '';
        while (id < nodes) out += page();
        return out;
    }
    // Folders of ten: ten top folders, each with nine pages and a sub-folder, and so on.
    const folder = (depth) => {
        const n = id++;
        let out = `<li id="li_${n}"><span class='folder' id='span_${n}'><a href='p/${n}.htm' target='${target}'>${name(n)}</a></span><ul>`;
        for (let k = 0; k < 10 && id < nodes; k++) out += (k < 3 && depth < 3) ? folder(depth + 1) : page();
        return out + '</ul></li>';
    };
    let out = '';
    while (id < nodes) out += folder(0);
    return out;
}

// The same contents as the no-frame layout's data file holds them: [id, depth, name, link] per
// node in document order.
export function treeData(shape, nodes) {
    const entries = [];
    const name = (n) => `${WORDS[n % WORDS.length]} ${WORDS[(n * 7 + 3) % WORDS.length]} topic ${n}`;
    let id = 0;
    if (shape === 'flat') {
        for (; id < nodes; id++) entries.push([id, 0, name(id), `p/${id}.htm`]);
        return entries;
    }
    const folder = (depth) => {
        const n = id++;
        entries.push([n, depth, name(n), `p/${n}.htm`]);
        for (let k = 0; k < 10 && id < nodes; k++) {
            if (k < 3 && depth < 3) folder(depth + 1);
            else { entries.push([id, depth + 1, name(id), `p/${id}.htm`]); id++; }
        }
    };
    while (id < nodes) folder(0);
    return entries;
}

// `html` with the contents list replaced by `inner`.
export function withTree(html, inner) {
    const open = '<ul id="pk-tree" class="pk-tree">';
    const start = html.indexOf(open);
    if (start < 0) throw new Error('the page has no contents tree');
    let depth = 0;
    const re = /<ul\b|<\/ul>/g;
    re.lastIndex = start;
    for (let m; (m = re.exec(html));) {
        depth += m[0] === '</ul>' ? -1 : 1;
        if (depth === 0) return html.slice(0, start) + open + inner + html.slice(m.index);
    }
    throw new Error('the contents tree is not closed');
}

// A copy of a built site with the made-up contents in one page of each layout (the framed
// contents page, or a no-frame topic beside the first one, which loads them as data the way the
// layout's pages do); returns that page's path.
export function makeSite(folder, sample, layout, shape, nodes) {
    fs.cpSync(sample, folder, { recursive: true });
    if (layout === 'noframe') {
        const html = fs.readFileSync(path.join(folder, 'guide', 'welcome.htm'), 'utf8');
        const loads = /<script src="\.\.\/HelpContent[^"]*\.js"><\/script>/;
        if (!loads.test(html)) throw new Error('the page does not load the contents data');
        fs.writeFileSync(path.join(folder, 'big-tree.js'), `var pkTreeData=${JSON.stringify(treeData(shape, nodes))};`);
        const file = path.join(folder, 'guide', 'page.htm');
        fs.writeFileSync(file, html.replace(loads, '<script src="../big-tree.js"></script>'));
        return file;
    }
    const source = layout === 'frame' ? path.join(folder, 'HelpContent.html') : path.join(folder, 'guide', 'welcome.htm');
    const html = withTree(fs.readFileSync(source, 'utf8'), treeMarkup(shape, nodes, layout === 'frame' ? 'mainFrame' : '_self'));
    const file = layout === 'frame' ? source : path.join(folder, 'guide', 'page.htm');
    fs.writeFileSync(file, html);
    return file;
}

// The filter box's text at each step of a run: a few keystrokes, a deletion and clearing the box,
// then a query that matches nothing and one that matches every topic, each followed by clearing.
// Each is a step the filter once took seconds for on a big contents.
export const STEPS = [
    ['1st key', 'c'], ['2nd key', 'ca'], ['3rd key', 'can'], ['delete', 'ca'], ['clear', ''],
    ['no match', 'zqx'], ['clear', ''], ['all match', 'topic'], ['clear', ''],
];

// For each text of `texts` in turn, put into the filter box as typing would: `first`, the
// milliseconds from the keystroke to the first frame drawn after the filter has run (what the
// reader waits for), and `settled`, to the first frame after which the tree's classes stop
// changing (the same unless the filter spreads its work over frames).
export async function timeTexts(page, texts) {
    return page.evaluate(async (all) => {
        const box = document.getElementById('pk-treefilter');
        const tree = document.getElementById('pk-tree');
        const frame = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));
        let changed = false;
        const watch = new MutationObserver(() => { changed = true; });
        watch.observe(tree, { attributes: true, subtree: true, attributeFilter: ['class', 'hidden'] });
        const first = [];
        const settled = [];
        for (const text of all) {
            await frame();
            const start = performance.now();
            box.value = text;
            box.dispatchEvent(new Event('input', { bubbles: true }));
            await frame();  // the filter runs in this frame's callbacks
            await frame();  // and this one comes once it has been drawn
            void document.body.offsetHeight;
            let end = performance.now();
            first.push(Math.round(end - start));
            // A tree that never stops changing is a fault the bound below reports, not a hang.
            while (performance.now() - start < 10000) {
                changed = false;
                await frame();
                await frame();
                if (!changed) break;
                end = performance.now();
            }
            settled.push(Math.round(end - start));
        }
        watch.disconnect();
        return { first, settled };
    }, texts);
}

// Each prefix of `query` in turn (the first keystroke first), then clearing the box.
export async function timeKeystrokes(page, query) {
    return timeTexts(page, [...Array.from(query, (_, i) => query.slice(0, i + 1)), '']);
}

// What is wrong with the contents tree as shown for the filter text `query` (after the frames it
// takes to settle): every item whose name holds the text is marked a match and shown, with the
// headings above it, and no other item is; with no text, no item keeps a mark of the filter and
// the top items show. Returns the first few faults found, as text.
export async function filterFaults(page, query) {
    return page.evaluate(async (q) => {
        const frame = () => new Promise((resolve) => requestAnimationFrame(() => resolve()));
        await frame();
        await frame();
        const tree = document.getElementById('pk-tree');
        const faults = [];
        const fault = (text) => { if (faults.length < 5) faults.push(text); };
        const items = [...tree.getElementsByTagName('li')];
        const name = (li) => (li.querySelector('a') ? li.querySelector('a').textContent.toLowerCase() : '');
        const shown = (li) => li.getClientRects().length > 0 && getComputedStyle(li).visibility !== 'hidden' &&
            !li.closest('.pk-none');
        const marks = ['pk-match', 'pk-path', 'pk-out', 'pk-context'];
        const needle = q.trim().toLowerCase();
        if (!needle) {
            if (tree.classList.contains('pk-none') || tree.classList.contains('pk-filtering')) fault('the tree is still filtered');
            const empty = document.getElementById('pk-treeempty');
            if (empty && !empty.hidden) fault('the note that nothing matches is shown');
            for (const li of items) {
                if (marks.some((m) => li.classList.contains(m))) fault(`"${name(li)}" keeps ${li.className}`);
            }
            for (const li of tree.querySelectorAll(':scope > li, :scope > .pk-run > li')) {
                if (!shown(li)) fault(`top item "${name(li)}" is not shown`);
            }
            return faults;
        }
        const wanted = new Set();
        for (const li of items) {
            if (!name(li).includes(needle)) continue;
            for (let p = li; p && p !== tree; p = p.parentElement) if (p.tagName === 'LI') wanted.add(p);
        }
        for (const li of items) {
            const match = name(li).includes(needle);
            if (match !== li.classList.contains('pk-match')) fault(`"${name(li)}" ${match ? 'not ' : ''}marked a match for "${needle}"`);
            if (wanted.has(li) !== shown(li)) fault(`"${name(li)}" ${wanted.has(li) ? 'not ' : ''}shown for "${needle}"`);
        }
        const note = document.getElementById('pk-treeempty');
        if (note && note.hidden !== wanted.size > 0) fault(`the note that nothing matches is ${note.hidden ? 'hidden' : 'shown'} for "${needle}"`);
        return faults;
    }, query);
}
