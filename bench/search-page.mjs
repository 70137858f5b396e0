// Times the search page of a built frame site in headless Chromium, from a cold load: from
// file:// as a reader with the site on a disk opens it, and over HTTP from a small local server.
// For each query: the time to the first result on the screen from opening the page (typing the
// moment the box is ready, timed inside the page from the start of the navigation) and from
// typing (into a page that has settled), the bytes of search data that query loaded, and the size
// of the search data on disk.
//
//   node bench/search-page.mjs SITE_FOLDER [--runs N] [--page NAME] [QUERY ...]
//
// --page names the search page to open (default HelpSearch.html), for instance an older search
// page put beside it as the anchor to compare with.
//
// Every run opens a new browser context (nothing cached). Uses the browser tests'
// playwright-core (run tests/browser/run.sh once, or npm ci there).

import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch } from '../tests/browser/harness.mjs';

const args = process.argv.slice(2);
const site = args.shift();
if (!site) {
    console.error('usage: node bench/search-page.mjs SITE_FOLDER [--runs N] [QUERY ...]');
    process.exit(2);
}
let runs = 5;
let searchPage = 'HelpSearch.html';
for (;;) {
    if (args[0] === '--runs') { args.shift(); runs = Math.max(1, +args.shift() || 5); }
    else if (args[0] === '--page') { args.shift(); searchPage = args.shift(); }
    else break;
}
const queries = args.length ? args : ['button', 'hashmap', 'canvas pen width', 'zzzznothing'];

function folderBytes(dir) {
    let total = 0;
    for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
        const p = path.join(dir, entry.name);
        total += entry.isDirectory() ? folderBytes(p) : fs.statSync(p).size;
    }
    return total;
}
const median = (xs) => { const s = [...xs].sort((a, b) => a - b); return s[Math.floor(s.length / 2)]; };

const root = path.resolve(site);
const server = http.createServer((req, res) => {
    const rel = decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/^\/+/, '');
    const file = path.resolve(root, rel);
    if (!file.startsWith(root) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) { res.writeHead(404); res.end(); return; }
    res.writeHead(200, { 'content-type': file.endsWith('.js') ? 'text/javascript' : 'text/html' });
    fs.createReadStream(file).pipe(res);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const bases = {
    file: pathToFileURL(root + '/').href,
    http: `http://127.0.0.1:${server.address().port}/`,
};

const onDisk = fs.existsSync(path.join(root, 'js/search')) ? folderBytes(path.join(root, 'js/search')) : 0;
const old = fs.existsSync(path.join(root, 'js/searchdata.js')) ? fs.statSync(path.join(root, 'js/searchdata.js')).size : 0;
console.log(`search data on disk: js/search/ ${(onDisk / 1e6).toFixed(2)} MB (js/searchdata.js ${(old / 1e6).toFixed(2)} MB)`);

// Every data script the page adds, whatever the scheme (file:// has no resource timing).
function watchScripts() {
    window.__pkScripts = [];
    new MutationObserver((list) => list.forEach((m) => m.addedNodes.forEach((n) => {
        if (n.src) window.__pkScripts.push(n.src);
    }))).observe(document, { childList: true, subtree: true });
}

// Types `q` into the box and resolves with performance.now() at the first frame that shows a
// result (or says there is none).
function typeAndWait(q) {
    return new Promise((resolve) => {
        const input = document.getElementById('pk-query');
        const list = document.getElementById('pk-results');
        const status = document.getElementById('pk-status');
        const observer = new MutationObserver(() => {
            if (list.querySelector('li') || /no topic/i.test(status.textContent)) {
                observer.disconnect();
                requestAnimationFrame(() => resolve(performance.now()));
            }
        });
        observer.observe(list, { childList: true, subtree: true });
        observer.observe(status, { childList: true, subtree: true, characterData: true });
        input.value = q;
        input.dispatchEvent(new Event('input', { bubbles: true }));
    });
}

// A reader who types the moment the box is ready: the time from the start of the navigation to
// the first result, measured inside the page, so that no round trip of the browser's remote
// control counts. A browser of its own: nothing cached.
async function timeFromOpening(base, query) {
    const browser = await launch();
    try {
        const page = await browser.context.newPage();
        await page.addInitScript(`(${typeAndWait.toString()});
            window.__pkOpen = new Promise((resolve) => {
                const start = () => {
                    const status = document.getElementById('pk-status');
                    if (!status || /Loading/.test(status.textContent)) { setTimeout(start, 2); return; }
                    (${typeAndWait.toString()})(${JSON.stringify(query)}).then(resolve);
                };
                document.addEventListener('DOMContentLoaded', start);
            });`);
        await page.goto(base + searchPage, { timeout: 120000 });
        return await page.evaluate(() => window.__pkOpen);
    } finally {
        await browser.close();
    }
}

// The page settled first, then the query typed: the time from typing to the first result, the
// bytes of search data the query loaded (by the files' sizes on disk) and the rows shown.
async function timeFromTyping(base, query) {
    const browser = await launch();
    try {
        const page = await browser.context.newPage();
        await page.addInitScript(watchScripts);
        await page.goto(base + searchPage, { timeout: 120000 });
        await page.waitForFunction(() => !/Loading/.test(document.getElementById('pk-status').textContent), null, { timeout: 60000 });
        const t0 = await page.evaluate(() => performance.now());
        const ms = (await page.evaluate(typeAndWait, query)) - t0;
        // Let the snippets of the first screen arrive before counting the bytes.
        await page.waitForTimeout(300);
        const shown = await page.evaluate(() => document.querySelectorAll('#pk-results li').length);
        const names = await page.evaluate(() => window.__pkScripts.concat(performance.getEntriesByType('resource').map((e) => e.name)).filter((n) => /\/js\/search(\/|data\.js)/.test(n)));
        let loaded = 0;
        for (const name of new Set(names)) {
            const rel = decodeURIComponent(new URL(name).pathname).replace(/^.*?\/js\//, 'js/');
            try { loaded += fs.statSync(path.join(root, rel)).size; } catch (e) { /* not there */ }
        }
        return { ms, loaded, shown };
    } finally {
        await browser.close();
    }
}

try {
    for (const [scheme, base] of Object.entries(bases)) {
        for (const query of queries) {
            const fromOpen = [], fromTyping = [], bytes = [];
            let shown = 0;
            for (let r = 0; r < runs; r++) {
                fromOpen.push(await timeFromOpening(base, query));
                const t = await timeFromTyping(base, query);
                fromTyping.push(t.ms);
                bytes.push(t.loaded);
                shown = t.shown;
            }
            console.log(`${scheme} "${query}": first result ${median(fromTyping).toFixed(0)} ms after typing, ` +
                `${median(fromOpen).toFixed(0)} ms after opening; ${(median(bytes) / 1024).toFixed(0)} KiB of search data loaded ` +
                `(${shown} rows; medians of ${runs})`);
        }
    }
} finally {
    server.close();
}
