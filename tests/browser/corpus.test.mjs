// Browser tests of sites built from real help files in other code pages (the shared corpus):
// the tree shows the contents file's names as their code page spells them, topics with
// non-ASCII names get their navigation, and the search page finds a Chinese term.
//   node corpus.test.mjs --plovik PROGRAM --corpus DIR [--only TEXT]
// Prints one line per test and "N passed, N failed"; without the corpus it prints that it skips.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { Runner, assert, assertClean, eventually, launch, openPage, serve } from './harness.mjs';

const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));
const corpus = args.corpus && path.resolve(args.corpus);
const plovik = path.resolve(args.plovik || 'build/plovik');
const HELPS = [
    { file: 'jsdk3-help-zh.chm', encoding: 'gbk', chinese: true, nonAsciiNames: true },
    { file: 'chmbuilder-xtreme3d-ru.chm', encoding: 'windows-1251' },
];
if (!corpus || !HELPS.every((h) => fs.existsSync(path.join(corpus, 'chm', h.file)))) {
    console.log('corpus not present: skipped');
    process.exit(0);
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-corpus-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

function isUtf8(bytes) {
    try {
        new TextDecoder('utf-8', { fatal: true }).decode(bytes);
        return true;
    } catch {
        return false;
    }
}

function decodeEntities(text) {
    return text.replace(/&(#x[0-9a-f]+|#\d+|amp|lt|gt|quot|apos|nbsp);/gi, (m, e) => {
        const k = e.toLowerCase();
        if (k[0] === '#') return String.fromCodePoint(k[1] === 'x' ? parseInt(k.slice(2), 16) : parseInt(k.slice(1), 10));
        return { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'", nbsp: '\u00a0' }[k];
    });
}

// The names of the contents file's entries in order, decoded independently of Plovik: as UTF-8
// when the file is valid UTF-8, else in the help's code page.
function contentsNames(help) {
    const raw = path.join(work, help.file + '.raw');
    fs.mkdirSync(raw, { recursive: true });
    execFileSync(plovik, ['extract', path.join(corpus, 'chm', help.file), raw], { stdio: 'ignore' });
    const hhc = fs.readdirSync(raw).find((f) => /\.hhc$/i.test(f));
    let bytes = fs.readFileSync(path.join(raw, hhc));
    if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) bytes = bytes.subarray(3);
    let text = new TextDecoder(isUtf8(bytes) ? 'utf-8' : help.encoding).decode(bytes);
    // Entries in comments are not entries: the help viewer shows none of them.
    text = text.replace(/<!--[\s\S]*?-->/g, '');
    const names = [];
    for (const block of text.match(/<object[^>]*text\/sitemap[^>]*>[\s\S]*?<\/object>/gi) || []) {
        const m = /<param\s+name\s*=\s*"name"\s+value\s*=\s*"([^"]*)"/i.exec(block);
        if (m) names.push(decodeEntities(m[1]).trim());
    }
    return names;
}

function build(help, layout) {
    const out = path.join(work, `${help.file}-${layout}`);
    fs.mkdirSync(out, { recursive: true });
    execFileSync(plovik, ['build', '--chm', path.join(corpus, 'chm', help.file), '--out', out, '--layout', layout, '--log'],
        { stdio: 'ignore' });
    return out;
}

// The page with the tree; the no-frame site's index.html moves on to the first topic.
async function openTree(url) {
    const page = await openPage(browser.context, url);
    await page.waitForSelector('#pk-tree a', { state: 'attached' });
    await page.waitForLoadState('load');
    return page;
}

const runner = new Runner();
const browser = await launch();
const sites = [];

// A help's site, built and served until the tests end.
async function servedSite(help, layout) {
    const dir = build(help, layout);
    const server = await serve(dir);
    sites.push(server);
    return { dir, server };
}
for (const help of HELPS) {
    const expected = contentsNames(help);
    for (const layout of ['frame', 'noframe']) {
        const { dir, server } = await servedSite(help, layout);
        const treeUrl = layout === 'frame' ? server.url + 'HelpContent.html' : server.url + 'index.html';

        runner.add(`${help.file} ${layout}: the tree shows the contents' names in their own letters`, async () => {
            const page = await openTree(treeUrl);
            try {
                // Said, not guessed: a browser's guess can hide a page that declares nothing.
                const charset = await page.evaluate(() => document.characterSet);
                assert(charset === 'UTF-8', `the tree page is read as ${charset}`);
                const shown = await page.$$eval('#pk-tree a', (as) => as.map((a) => a.textContent.trim()));
                assert(expected.length > 0, 'the contents file has no names');
                assert(shown.length === expected.length, `${shown.length} names shown, ${expected.length} in the contents file`);
                const wrong = shown.findIndex((s, i) => s !== expected[i]);
                assert(wrong < 0, `name ${wrong}: shown "${shown[wrong]}", contents file "${expected[wrong]}"`);
                assert(shown.some((s) => /[^\x00-\x7f]/.test(s)), 'no non-ASCII name to compare');
            } finally {
                await page.close();
            }
        });

        if (help.nonAsciiNames) runner.add(`${help.file} ${layout}: a topic with a non-ASCII name has its navigation`, async () => {
            const tree = await openTree(treeUrl);
            let href;
            try {
                href = await tree.$$eval('#pk-tree a[href]', (as) =>
                    as.map((a) => a.href).find((h) => /%[89a-f][0-9a-f]/i.test(new URL(h).pathname)));
            } finally {
                await tree.close();
            }
            assert(href, 'no topic with a non-ASCII name in the tree');
            const topic = await openPage(browser.context, href);
            try {
                assertClean(topic);
                const html = await topic.content();
                assert(/(prev|next)\.gif/.test(html), `${href} has no navigation buttons`);
            } finally {
                await topic.close();
            }
        });

        if (help.chinese && layout === 'frame') {
            runner.add(`${help.file} frame: search finds a Chinese term of a topic's text`, async () => {
                const data = fs.readFileSync(path.join(dir, 'js/searchdata.js'), 'utf8');
                const files = JSON.parse(data.slice(data.indexOf('var files = ') + 12).replace(/;\s*$/, ''));
                // A term of the first topic whose text has two Han characters in a row.
                let term = null, topicIndex = -1;
                for (let i = 0; i < files.length && !term; i++) {
                    const topic = await openPage(browser.context, server.url + encodeURI(files[i][1]));
                    try {
                        const text = await topic.evaluate(() => document.body ? document.body.innerText : '');
                        const m = /[\u4e00-\u9fff]{2,4}/.exec(text);
                        if (m) { term = m[0]; topicIndex = i; }
                    } finally {
                        await topic.close();
                    }
                }
                assert(term, 'no topic with Chinese text');
                const search = await openPage(browser.context, server.url + 'HelpSearch.html');
                try {
                    await search.fill('#pk-query', term);
                    await eventually(async () => (await search.$$('#pk-results .pk-row')).length > 0, `"${term}" finds nothing`);
                    const found = await search.$$eval('#pk-results .pk-row .pk-hit-path, #pk-results .pk-row', (rows) =>
                        rows.map((r) => (r.getAttribute('href') || '').replace(/\?pkq=.*$/, '')).filter(Boolean));
                    const wanted = files[topicIndex][1].split('/').map(encodeURIComponent).join('/');
                    assert(found.includes(wanted), `"${term}" does not list ${files[topicIndex][1]}`);
                    assertClean(search);
                } finally {
                    await search.close();
                }
            });
        }
    }
}

// The corpus's largest help without frames: every page loads the contents once per site and
// shows its own node, from file:// and over HTTP, promptly and without a console error.
const LARGEST = 'virtualtreeview.chm';
if (fs.existsSync(path.join(corpus, 'chm', LARGEST))) {
    const help = { file: LARGEST };
    const { dir, server } = await servedSite(help, 'noframe');
    const data = fs.readdirSync(dir).find((f) => /^HelpContent.*\.js$/.test(f));
    for (const scheme of ['file', 'http']) {
        runner.add(`${LARGEST} noframe/${scheme}: a deep page shows its node in the tree`, async () => {
            assert(data, 'no contents data file in the site');
            const text = fs.readFileSync(path.join(dir, data), 'utf8').replace(/^\uFEFF/, '');
            const nodes = JSON.parse(text.slice(text.indexOf('['), text.lastIndexOf(']') + 1));
            // The deepest node with a page of the site, and its file.
            const deepest = nodes.filter((n) => n[3] && !n[4] && fs.existsSync(path.join(dir, decodeURIComponent(n[3].replace(/#.*$/, '')))))
                .reduce((a, b) => (b[1] > a[1] ? b : a));
            const rel = deepest[3].replace(/#.*$/, '');
            const url = scheme === 'file' ? new URL('file://' + path.join(dir, rel)).href : server.url + rel;
            const page = await openPage(browser.context, url);
            try {
                await eventually(() => page.$('#pk-tree li.pk-current'), 'no node marked');
                const shown = await page.$eval('#pk-tree li.pk-current > span', (e) => {
                    const r = e.getBoundingClientRect();
                    return { id: e.id, visible: r.height > 0 && r.top >= 0 && r.bottom <= window.innerHeight };
                });
                assert(shown.visible, `the node of ${rel} is not in view`);
                // Its place in the help, as plain links: one per level above the page's node.
                const marked = nodes.find((n) => `span_${n[0]}` === shown.id);
                const ancestors = await page.$$eval('.pk-crumbs li:not([aria-current])', (lis) => lis.length);
                assert(marked && ancestors === marked[1], `${rel} at depth ${marked && marked[1]} lists ${ancestors} ancestors`);
                const size = fs.statSync(path.join(dir, rel)).size;
                assert(size < 200000, `${rel} is ${size} bytes: it carries the tree`);
                // The help's own pages name background images that it does not hold.
                page.problems = page.problems.filter((p) => !/-bkg-whitegradient\.gif\b/.test(p));
                assertClean(page);
            } finally {
                await page.close();
            }
        });
    }
}

// A help of some hundred pages keeps its pages' texts several to a file: each result of a word
// that many pages hold shows the snippet of its own page, also after "Show more", from file://
// and over HTTP.
const MANY = 'halibut-putty.chm';
if (fs.existsSync(path.join(corpus, 'chm', MANY))) {
    const help = { file: MANY };
    const { dir, server } = await servedSite(help, 'frame');
    for (const scheme of ['file', 'http']) {
        runner.add(`${MANY} frame/${scheme}: every result shows the snippet of its own page`, async () => {
            const texts = fs.readdirSync(path.join(dir, 'js/search/t'));
            assert(texts.length > 3, `${texts.length} text files: the test needs several`);
            const url = scheme === 'file' ? new URL('file://' + path.join(dir, 'HelpSearch.html')).href : server.url + 'HelpSearch.html';
            const search = await openPage(browser.context, url);
            try {
                await search.fill('#pk-query', 'putty');
                const rows = async () => search.$$eval('#pk-results a.pk-row', (as) => as.map((a) => ({
                    href: a.getAttribute('href'),
                    text: a.querySelector('.pk-hit-text')?.textContent || '',
                })));
                const first = await eventually(async () => { const r = await rows(); return r.length && r.every((x) => x.text) ? r : null; }, 'results without snippets');
                await search.click('#pk-results .pk-more');
                const more = await eventually(async () => { const r = await rows(); return r.length > first.length && r.every((x) => x.text) ? r : null; }, 'more results without snippets');
                // Each snippet is text of its own page.
                for (const row of more.slice(0, 40)) {
                    const file = decodeURIComponent(row.href.replace(/\?pkq=.*$/, ''));
                    const html = fs.readFileSync(path.join(dir, file), 'latin1').replace(/<[^>]*>/g, ' ').replace(/&[a-z#0-9]+;/gi, ' ').replace(/\s+/g, ' ');
                    const piece = row.text.replace(/^\W*…?\s*|\s*…?\W*$/g, '').split(/\s+/).filter((w) => /^[A-Za-z]{4,}$/.test(w)).slice(0, 3);
                    assert(piece.every((w) => html.includes(w)), `${file}: the snippet "${row.text.slice(0, 80)}" is not its text`);
                }
                assertClean(search);
            } finally {
                await search.close();
            }
        });
    }
}

const ok = await runner.run(args.only);
for (const s of sites) await s.close();
await browser.close();
process.exit(ok ? 0 : 1);
