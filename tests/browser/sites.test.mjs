// Browser tests of the sites Plovik builds from the bundled sample help file, one framed and one
// without frames, opened from file:// and from a web server:
//   node sites.test.mjs --frame DIR --noframe DIR [--only TEXT]
// Prints one line per test and "N passed, N failed"; exits non-zero on a failure.

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { Runner, assert, assertClean, eventually, launch, openPage, serve } from './harness.mjs';
import { checkLinks } from './links.mjs';
import { STEPS, WORDS, filterFaults, makeSite, timeTexts, withTree } from './contents.mjs';

const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));
const frameDir = path.resolve(args.frame || 'out/sample-frame');
const noframeDir = path.resolve(args.noframe || 'out/sample-noframe');
for (const dir of [frameDir, noframeDir]) {
    if (!fs.existsSync(path.join(dir, 'index.html'))) {
        console.error(`no site in ${dir}: build it first (tests/browser/run.sh does)`);
        process.exit(2);
    }
}

const runner = new Runner();
const browser = await launch();
const noScript = await launch({ javaScriptEnabled: false });
const servers = { frame: await serve(frameDir), noframe: await serve(noframeDir) };
const roots = {
    file: { frame: pathToFileURL(frameDir).href + '/', noframe: pathToFileURL(noframeDir).href + '/' },
    http: { frame: servers.frame.url, noframe: servers.noframe.url },
};

// --- helpers for the framed site --------------------------------------------------------------
function frameNamed(page, re) {
    return page.frames().find((f) => re.test(f.url()));
}
async function treeFrame(page) {
    return eventually(async () => {
        const f = frameNamed(page, /HelpContent\.html$/);
        return f && (await f.$('#pk-tree li')) ? f : null;
    }, 'the contents tree did not load');
}
function mainFrame(page) {
    return page.frame({ name: 'mainFrame' });
}
async function mainShows(page, suffix) {
    return eventually(async () => {
        const f = mainFrame(page);
        if (!f || !f.url().endsWith(suffix)) return false;
        return (await f.evaluate(() => document.readyState)) === 'complete';
    }, `mainFrame did not show ${suffix} (it shows ${mainFrame(page)?.url()})`);
}
async function currentItem(tree) {
    return tree.evaluate(() => {
        const li = document.querySelector('#pk-tree li.pk-current');
        return li ? li.querySelector('a').textContent : null;
    });
}
async function isOpen(tree, id) {
    return tree.evaluate((i) => {
        const ul = document.querySelector(`#li_${i} > ul`);
        return !!ul && ul.getClientRects().length > 0;
    }, id);
}
async function itemId(tree, name) {
    return tree.evaluate((n) => {
        for (const a of document.querySelectorAll('#pk-tree a')) {
            if (a.textContent.trim() === n) return Number(a.closest('span').id.replace('span_', ''));
        }
        return -1;
    }, name);
}
async function openTab(page, label, re) {
    const left = frameNamed(page, /LeftPanel\.html$/);
    await left.click(`.pk-tabs a:text-is("${label}")`);
    return eventually(async () => {
        const f = frameNamed(page, re);
        return f && (await f.evaluate(() => document.readyState)) === 'complete' ? f : null;
    }, `the ${label} tab did not load`);
}

for (const scheme of ['file', 'http']) {
    const root = roots[scheme].frame;
    const entry = root + 'index.html';

    runner.add(`frame/${scheme}: the entry page loads its frames without a console error`, async () => {
        const page = await openPage(browser.context, entry);
        try {
            const tree = await treeFrame(page);
            await mainShows(page, 'guide/welcome.htm');
            assert(await frameNamed(page, /header\.html$/).$('text=Plovik online help'), 'header shows no title');
            const tabs = await frameNamed(page, /LeftPanel\.html$/).$$eval('.pk-tabs a', (as) => as.map((a) => a.textContent));
            assert(tabs.join() === 'Contents,Index,Search', `tabs are ${tabs}`);
            assert((await currentItem(tree)) === 'Welcome to Plovik', 'the first topic is not highlighted');
            await page.waitForTimeout(300);
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`frame/${scheme}: a tree folder opens and closes`, async () => {
        const page = await openPage(browser.context, entry);
        try {
            const tree = await treeFrame(page);
            const id = await itemId(tree, 'Getting started'); // a heading without a page
            assert(id >= 0, 'no "Getting started" item');
            assert(!(await isOpen(tree, id)), 'folder starts open');
            await tree.click(`#span_${id} > a`);
            assert(await isOpen(tree, id), 'clicking the heading did not open it');
            await tree.click(`#span_${id} > a`);
            assert(!(await isOpen(tree, id)), 'clicking the heading again did not close it');
            const wizard = await itemId(tree, 'The wizard'); // a folder with a page: the arrow toggles
            await tree.click(`#span_${wizard}`, { position: { x: 8, y: 12 } });
            assert(await isOpen(tree, wizard), 'the arrow did not open the folder');
            await mainShows(page, 'guide/welcome.htm'); // the arrow does not navigate
            await tree.click(`#span_${wizard}`, { position: { x: 8, y: 12 } });
            assert(!(await isOpen(tree, wizard)), 'the arrow did not close the folder');
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`frame/${scheme}: a topic clicked in the tree shows in mainFrame and is highlighted`, async () => {
        const page = await openPage(browser.context, entry);
        try {
            const tree = await treeFrame(page);
            const id = await itemId(tree, 'Command line');
            await tree.click(`#span_${id} > a`);
            await tree.click('#pk-tree a:text-is("plovik build")');
            await mainShows(page, 'guide/cli/build.htm');
            assert(await mainFrame(page).$('h1:text-is("plovik build")'), 'topic heading missing');
            assert((await currentItem(tree)) === 'plovik build', 'clicked topic not highlighted');
            await eventually(() => page.evaluate(() => location.hash === '#topic=guide/cli/build.htm'),
                'the address does not name the topic');
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`frame/${scheme}: a deep link opens its topic with the tree opened to it`, async () => {
        const page = await openPage(browser.context, entry + '#topic=guide/layouts/search.htm');
        try {
            await mainShows(page, 'guide/layouts/search.htm');
            const tree = await treeFrame(page);
            await eventually(async () => (await currentItem(tree)) === 'Full-text search', 'deep-linked topic not highlighted');
            assert(await isOpen(tree, await itemId(tree, 'Site layouts')), 'grandparent not opened');
            assert(await isOpen(tree, await itemId(tree, 'Frame layout')), 'parent not opened');
            const visible = await tree.evaluate(() => {
                const r = document.querySelector('li.pk-current > span').getBoundingClientRect();
                return r.top >= 0 && r.bottom <= window.innerHeight;
            });
            assert(visible, 'highlighted item is scrolled out of view');
            assertClean(page);
        } finally { await page.close(); }
        // A hostile address must not leave the site.
        const bad = await openPage(browser.context, entry + '#topic=javascript:alert(1)');
        try {
            await mainShows(bad, 'guide/welcome.htm');
            assertClean(bad);
        } finally { await bad.close(); }
    });

    runner.add(`frame/${scheme}: the tree works from the keyboard`, async () => {
        const page = await openPage(browser.context, entry);
        try {
            const tree = await treeFrame(page);
            await tree.focus('#span_0 > a');
            await page.keyboard.press('ArrowDown');
            assert((await tree.evaluate(() => document.activeElement.textContent)) === 'Getting started', 'ArrowDown');
            await page.keyboard.press('ArrowRight');
            assert(await isOpen(tree, 1), 'ArrowRight did not open the folder');
            await page.keyboard.press('ArrowRight');
            await page.keyboard.press('ArrowDown');
            assert((await tree.evaluate(() => document.activeElement.textContent)) === 'Your first web site', 'moving into the folder');
            await page.keyboard.press('Enter');
            await mainShows(page, 'guide/start/first-site.htm');
            await page.keyboard.press('ArrowLeft');
            assert((await tree.evaluate(() => document.activeElement.textContent)) === 'Getting started', 'ArrowLeft to parent');
            await page.keyboard.press('ArrowLeft');
            assert(!(await isOpen(tree, 1)), 'ArrowLeft did not close the folder');
            await page.keyboard.press('End');
            assert((await tree.evaluate(() => document.activeElement.textContent)) === 'Reference', 'End');
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`frame/${scheme}: the index filters as one types and opens a topic`, async () => {
        const page = await openPage(browser.context, entry);
        try {
            await treeFrame(page);
            const index = await openTab(page, 'Index', /HelpIndex\.html$/);
            const all = await index.$$eval('#pk-results .pk-row', (r) => r.length);
            assert(all > 20, `only ${all} keywords`);
            await index.fill('#pk-filter', 'TE');
            const rows = await index.$$eval('#pk-results > li > .pk-row', (r) => r.map((a) => a.textContent.replace(/^\d+ topics/, '')));
            assert(rows.length === 1 && rows[0] === 'template', `"TE" gives ${JSON.stringify(rows)}`);
            // "template" leads to three topics: Enter opens the list, the arrow keys choose one.
            await index.press('#pk-filter', 'Enter');
            // The topics' full titles come with the search data, which may still be loading on a
            // busy machine; until then a topic shows a shorter name.
            await index.waitForFunction(() => Array.from(document.querySelectorAll('.pk-row.pk-sub'))
                .some((a) => a.textContent === 'Making your own template'), null, { timeout: 10000 })
                .catch(() => {});
            const subs = () => index.$$eval('.pk-row.pk-sub', (r) => r.map((a) => a.textContent));
            assert((await subs()).length === 3, `template has ${(await subs()).length} topics listed`);
            // Their titles come from the search data, loaded when first needed.
            await eventually(async () => (await subs()).includes('Making your own template'), 'topic titles');
            await index.press('#pk-filter', 'ArrowDown');
            await index.press('#pk-filter', 'Enter');
            await mainShows(page, 'guide/templates/catalogue.htm');
            // A keyword with one topic opens it directly.
            await index.fill('#pk-filter', 'tpl');
            await index.press('#pk-filter', 'Enter');
            await mainShows(page, 'guide/templates/catalogue.htm');
            await index.fill('#pk-filter', 'exit');
            await index.click('#pk-results .pk-row');
            await mainShows(page, 'guide/cli/build.htm');
            const tree = await openTab(page, 'Contents', /HelpContent\.html$/);
            await eventually(async () => (await currentItem(tree)) === 'plovik build', 'tree does not follow the index');
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`frame/${scheme}: search finds a word of one topic's text and opens it`, async () => {
        const page = await openPage(browser.context, entry);
        try {
            await treeFrame(page);
            const search = await openTab(page, 'Search', /HelpSearch\.html$/);
            await search.fill('#pk-query', 'kerning');
            await eventually(async () => (await search.$$('#pk-results .pk-row')).length === 1, '"kerning" does not give one topic');
            const title = await search.textContent('#pk-results .pk-hit-title');
            assert(title === 'Making your own template', `found "${title}"`);
            await search.click('#pk-results .pk-row');
            await mainShows(page, 'guide/templates/making.htm?pkq=kerning');
            // Topics with all the words come first; one with only some of them still comes.
            await search.fill('#pk-query', 'mojibake meta');
            await eventually(async () => /, 1 with all the words/.test(await search.textContent('#pk-status')), 'two words');
            await search.fill('#pk-query', 'mojibake kerning');
            await eventually(async () => /^2 topics, 0 with all the words/.test(await search.textContent('#pk-status')), 'words of different topics');
            // A word also finds the longer words it begins with, whatever its case.
            await search.fill('#pk-query', 'KERN');
            await eventually(async () => (await search.$$('#pk-results .pk-row')).length === 1 &&
                /pkq=KERN$/.test(await search.getAttribute('#pk-results .pk-row', 'href')), 'a prefix in capitals');
            await search.press('#pk-query', 'Enter');
            await mainShows(page, 'guide/templates/making.htm?pkq=KERN');
            const ms = await search.evaluate(() => window.pkLastSearchMs);
            assert(ms < 50, `a search took ${ms} ms`);
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`frame/${scheme}: a topic opened on its own offers the framed help`, async () => {
        const page = await openPage(browser.context, root + 'guide/layouts/noframe.htm');
        try {
            const link = await page.$('.prompt_div a');
            assert(link, 'no prompt');
            const sizes = await page.$$eval('img[src$="prev.gif"], img[src$="next.gif"]', (imgs) => imgs.map((i) => i.naturalWidth));
            assert(sizes.length === 2 && sizes.every((w) => w > 0), `navigation images: ${sizes}`);
            await link.click();
            await page.waitForURL(/index\.html/);
            await mainShows(page, scheme === 'http' ? 'guide/layouts/noframe.htm' : 'guide/welcome.htm');
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`frame/${scheme}: on a phone the contents panel is a menu`, async () => {
        const page = await openPage(browser.context, entry, { viewport: { width: 390, height: 780 } });
        try {
            const side = await page.$('#pk-side');
            assert(!(await side.isVisible()), 'contents panel visible on a phone');
            await page.click('#pk-menu');
            assert(await side.isVisible(), 'menu button did not show the contents');
            const tree = await treeFrame(page);
            await tree.click(`#span_${await itemId(tree, 'Reference')} > a`);
            await tree.click('#pk-tree a:text-is("Glossary")');
            await mainShows(page, 'guide/reference/glossary.htm');
            await eventually(async () => !(await side.isVisible()), 'menu stayed open after choosing a topic');
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`frame/${scheme}: the contents panel can be resized and hidden`, async () => {
        const page = await openPage(browser.context, entry);
        try {
            const width = () => page.$eval('#pk-side', (e) => e.getBoundingClientRect().width);
            const before = await width();
            await page.focus('#pk-splitter');
            await page.keyboard.press('ArrowRight');
            await page.keyboard.press('ArrowRight');
            assert((await width()) === before + 32, `keyboard resize: ${before} -> ${await width()}`);
            const box = await page.$eval('#pk-splitter', (e) => { const r = e.getBoundingClientRect(); return { x: r.x + r.width / 2, y: r.y + 100 }; });
            await page.mouse.move(box.x, box.y);
            await page.mouse.down();
            await page.mouse.move(box.x - 60, box.y, { steps: 4 });
            await page.mouse.up();
            assert(Math.abs((await width()) - (before - 28)) <= 2, `dragging: ${await width()}`);
            await page.click('#pk-menu');
            assert(!(await page.$eval('#pk-side', (e) => e.getClientRects().length)), 'menu did not hide the panel');
            await page.click('#pk-menu');
            await page.dblclick('#pk-splitter');
            assertClean(page);
        } finally { await page.close(); }
    });
}

runner.add('frame/http: the tree follows links inside topics', async () => {
    const page = await openPage(browser.context, roots.http.frame + 'index.html');
    try {
        const tree = await treeFrame(page);
        await mainShows(page, 'guide/welcome.htm');
        await mainFrame(page).click('img[src$="next.gif"]');
        await mainShows(page, 'guide/start/installing.htm');
        await eventually(async () => (await currentItem(tree)) === 'Installing Plovik', 'tree did not follow the next button');
        assert(await isOpen(tree, 1), 'parent of the new topic not opened');
        await eventually(() => page.evaluate(() => location.hash === '#topic=guide/start/installing.htm'), 'address not updated');
        await eventually(() => page.evaluate(() => document.title.startsWith('Installing Plovik')), 'window title not updated');
        assertClean(page);
    } finally { await page.close(); }
});

// --- the no-frame site --------------------------------------------------------------------------
for (const scheme of ['file', 'http']) {
    const root = roots[scheme].noframe;

    runner.add(`noframe/${scheme}: index.html leads to the first topic without a console error`, async () => {
        const page = await openPage(browser.context, root + 'index.html');
        try {
            await page.waitForURL(/guide\/welcome\.htm$/);
            await page.waitForLoadState('load');
            assert((await page.title()) === 'Welcome to Plovik \u2013 Plovik online help', `title is "${await page.title()}"`);
            assert((await page.textContent('.pk-title')) === 'Plovik online help', 'header title');
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`noframe/${scheme}: a page in a subfolder reaches the tree and its assets through ../`, async () => {
        const page = await openPage(browser.context, root + 'guide/layouts/keyword-index.htm');
        try {
            const bg = await page.$eval('.pk-bar', (e) => getComputedStyle(e).backgroundColor);
            assert(bg !== 'rgba(0, 0, 0, 0)', 'template style sheet not applied');
            const hrefs = await page.$$eval('#pk-tree a[href]', (as) => as.map((a) => a.getAttribute('href')));
            assert(hrefs.length === 28 && hrefs.every((h) => h.startsWith('../../guide/')), `tree links: ${hrefs.slice(0, 3)}`);
            const current = await page.$eval('#pk-tree li.pk-current > span > a', (a) => a.textContent);
            assert(current === 'Keyword index', `highlighted: ${current}`);
            const open = await page.$$eval('#pk-tree li.pk-open > span > a', (as) => as.map((a) => a.textContent));
            assert(open.includes('Site layouts') && open.includes('Frame layout'), `opened: ${open}`);
            assert(await page.$('.pk-topic h1:text-is("Keyword index")'), 'topic text missing');
            const related = await page.$$eval('.pk-related a', (as) => as.map((a) => a.textContent));
            assert(related.join() === 'Full-text search', `related: ${related}`);
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`noframe/${scheme}: the next and previous buttons follow the contents`, async () => {
        const page = await openPage(browser.context, root + 'guide/welcome.htm');
        try {
            assert(!(await page.$('.pk-navbar img[src$="prev.gif"]')), 'the first topic has a previous button');
            await page.click('.pk-navbar a:has(img[src$="next.gif"]) >> nth=0');
            await page.waitForURL(/guide\/start\/installing\.htm$/);
            await page.click('.pk-navbar a:has(img[src$="next.gif"]) >> nth=0');
            await page.waitForURL(/guide\/start\/first-site\.htm$/);
            await page.click('.pk-navbar a:has(img[src$="prev.gif"]) >> nth=0');
            await page.waitForURL(/guide\/start\/installing\.htm$/);
            const current = await page.$eval('#pk-tree li.pk-current > span > a', (a) => a.textContent);
            assert(current === 'Installing Plovik', `highlighted: ${current}`);
            const label = await page.$eval('.pk-navbar a:has(img[src$="next.gif"])', (a) => getComputedStyle(a, '::after').content);
            assert(label.includes('Next'), `next button reads ${label}`);
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`noframe/${scheme}: tree folders open, close and filter`, async () => {
        const page = await openPage(browser.context, root + 'guide/welcome.htm');
        try {
            const open = (name) => page.$eval(`#pk-tree li:has(> span > a:text-is("${name}")) > ul`, (ul) => ul.getClientRects().length > 0);
            assert(!(await open('Templates')), 'folder starts open');
            await page.click('#pk-tree a:text-is("Templates")');
            assert(await open('Templates'), 'did not open');
            await page.click('#pk-tree a:text-is("Templates")');
            assert(!(await open('Templates')), 'did not close');
            await page.fill('#pk-treefilter', 'file');
            const matches = () => page.$$eval('#pk-tree li.pk-match > span > a', (as) => as.filter((a) => a.getClientRects().length).map((a) => a.textContent));
            await eventually(async () => (await matches()).length === 3, 'filter');
            const shown = await matches();
            assert(shown.includes('Frame template files') && shown.includes('Project files'), `filter shows ${shown}`);
            await page.press('#pk-treefilter', 'Enter'); // to the first match
            await Promise.all([page.waitForURL(/templates\/frame-files\.htm$/), page.keyboard.press('Enter')]);
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`noframe/${scheme}: the tree comes once from its data file and opens at the page's node`, async () => {
        const server = scheme === 'http' ? servers.noframe : null;
        const page = await openPage(browser.context, root + 'guide/templates/making.htm');
        try {
            const html = fs.readFileSync(path.join(noframeDir, 'guide/templates/making.htm'), 'utf8');
            assert(!html.includes("class='folder'"), 'the page itself carries the tree');
            await eventually(() => page.$('#pk-tree li.pk-current'), 'no current node');
            const current = await page.$eval('#pk-tree li.pk-current > span > a', (a) => a.textContent);
            assert(current === 'Making your own template', `highlighted: ${current}`);
            assert(await page.isVisible('#pk-tree li.pk-current > span'), 'the current node is not shown');
            const inView = await page.$eval('#pk-tree li.pk-current > span', (e) => {
                const r = e.getBoundingClientRect();
                return r.top >= 0 && r.bottom <= window.innerHeight;
            });
            assert(inView, 'the current node is scrolled out of view');
            const open = await page.$$eval('#pk-tree li.pk-open > span > a', (as) => as.map((a) => a.textContent));
            assert(open.includes('Templates'), `opened: ${open}`);
            if (server) {
                // Over HTTP the tree is a file of its own, which the browser keeps for the next page.
                const asked = server.requests.filter((r) => /HelpContent.*\.js$/.test(r)).length;
                assert(asked >= 1, 'the data file was not asked for over HTTP');
            }
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`noframe/${scheme}: without script the page still shows its place and its neighbours`, async () => {
        const page = await openPage(noScript.context, root + 'guide/layouts/keyword-index.htm');
        try {
            const trail = await page.$$eval('.pk-crumbs li', (lis) => lis.map((li) => li.textContent));
            assert(trail.join(' > ') === 'Site layouts > Frame layout > Keyword index', `trail: ${trail.join(' > ')}`);
            assert((await page.textContent('.pk-crumbs [aria-current=page]')) === 'Keyword index', 'the trail does not end at the page');
            const links = await page.$$eval('.pk-crumbs a', (as) => as.map((a) => a.getAttribute('href')));
            assert(links.length > 0, 'no ancestor is a link');
            for (const href of links) {
                const file = path.resolve(noframeDir, 'guide/layouts', href.replace(/#.*$/, ''));
                assert(fs.existsSync(file), `trail link ${href} leads nowhere`);
            }
            assert(await page.isVisible('.pk-navbar a:has(img[src$="prev.gif"])'), 'no previous link');
            assert(await page.isVisible('.pk-navbar a:has(img[src$="next.gif"])'), 'no next link');
            await Promise.all([page.waitForURL(/full-text|search\.htm$/), page.click('.pk-navbar a:has(img[src$="next.gif"]) >> nth=0')]);
            assertClean(page);
        } finally { await page.close(); }
    });

    runner.add(`noframe/${scheme}: on a phone the tree is a menu`, async () => {
        const page = await openPage(browser.context, root + 'guide/cli/build.htm', { viewport: { width: 390, height: 780 } });
        try {
            assert(!(await page.isVisible('#pk-nav')), 'tree visible on a phone');
            await page.click('#pk-menu');
            assert(await page.isVisible('#pk-nav'), 'menu did not open');
            assert(await page.isVisible('#pk-tree li.pk-current'), 'current topic not visible in the menu');
            await page.keyboard.press('Escape');
            assert(!(await page.isVisible('#pk-nav')), 'Escape did not close the menu');
            const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
            assert(overflow <= 0, `page is ${overflow}px wider than the phone`);
            assertClean(page);
        } finally { await page.close(); }
    });
}

// Each keystroke in the contents filter must answer promptly on a big help: the filter once took
// minutes on a flat contents of 20,000 topics, and clearing the box seconds. The bound is
// generous, as a loaded machine runs these; bench/tree-filter.mjs measures properly. Typed fast,
// the keystrokes must still leave the tree filtered for the text in the box at the end. Four big
// contents with nine timed steps each take about 20 s alone and more in a browser that has run
// the other tests, so the test as a whole has three minutes; each step keeps its own bound.
for (const [layout, site] of [['frame', frameDir], ['noframe', noframeDir]]) runner.add(`${layout}: the contents filter keeps up with typing on 20,000 topics`, async () => {
    const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-bigtree-'));
    try {
        for (const [shape, nodes] of [['flat', 20000], ['tree', 10000]]) {
            const folder = path.join(scratch, `${layout}-${shape}`);
            const file = makeSite(folder, site, layout, shape, nodes);
            const server = await serve(folder);
            try {
                for (const url of [pathToFileURL(file).href, server.url + path.relative(folder, file)]) {
                    const what = `${layout} ${shape} ${nodes} from ${url.slice(0, 4)}`;
                    const page = await openPage(browser.context, url);
                    try {
                        const { settled } = await timeTexts(page, STEPS.map(([, text]) => text));
                        assert(Math.max(...settled) < 5000,
                            `${what}: ${STEPS.map(([label], i) => `${label} ${settled[i]}`).join(', ')} ms`);
                        // Still the same filter: every topic whose name holds the text, and no other.
                        await page.fill('#pk-treefilter', 'canvas');
                        const expected = Array.from({ length: nodes }, (_, n) => `${WORDS[n % WORDS.length]} ${WORDS[(n * 7 + 3) % WORDS.length]}`)
                            .filter((name) => name.includes('canvas')).length;
                        await eventually(async () => (await page.locator('#pk-tree li.pk-match').count()) === expected,
                            `${layout} ${shape}: not ${expected} matches`);
                        // Keystrokes faster than frames: each check sees what the last text asks for.
                        if (!url.startsWith('file:')) continue;
                        await page.fill('#pk-treefilter', '');
                        await page.focus('#pk-treefilter');
                        const check = async (text) => {
                            assert((await page.inputValue('#pk-treefilter')) === text, `${what}: the box holds ${await page.inputValue('#pk-treefilter')}`);
                            const faults = await filterFaults(page, text);
                            assert(!faults.length, `${what}, "${text}": ${faults.join('; ')}`);
                        };
                        await page.keyboard.type('graph');
                        await page.keyboard.press('Backspace');
                        await check('grap');
                        await page.keyboard.type('hq');
                        await check('graphq');
                        await page.keyboard.press('Backspace');
                        await page.keyboard.press('Backspace');
                        await check('grap');
                        for (let k = 0; k < 'grap'.length; k++) await page.keyboard.press('Backspace');
                        await page.keyboard.type('ic 1');
                        await check('ic 1');
                        await page.keyboard.press('Control+A');
                        await page.keyboard.press('Backspace');
                        await check('');
                        await page.keyboard.type('zq');
                        await page.keyboard.press('Escape');
                        await check('');
                        // The keys walk the items in order, across the runs a long list is kept in,
                        // and over the runs a filter leaves empty.
                        const at = async (keys, n, why) => {
                            for (const key of keys) await page.keyboard.press(key);
                            const name = await page.evaluate(() => document.activeElement.textContent);
                            assert(name.endsWith(`topic ${n}`), `${what}: ${why} reached "${name}", not topic ${n}`);
                        };
                        if (shape === 'flat') {
                            await page.focus('#span_0 > a');
                            await at(Array(64).fill('ArrowDown'), 64, 'ArrowDown');
                            await at(['ArrowUp'], 63, 'ArrowUp');
                            await at(['End'], nodes - 1, 'End');
                            await at(['Home'], 0, 'Home');
                            await page.focus('#pk-treefilter');
                            await page.keyboard.type('topic 1999');
                            await check('topic 1999');
                            await at(['ArrowDown'], 1999, 'ArrowDown from the box');
                            await at(['ArrowDown'], 19990, 'ArrowDown over empty runs');
                            await at(['ArrowUp'], 1999, 'ArrowUp over empty runs');
                            await at(['End'], 19999, 'End while filtering');
                        }
                        assertClean(page);
                    } finally {
                        await page.close();
                    }
                }
            } finally {
                await server.close();
            }
        }
    } finally {
        fs.rmSync(scratch, { recursive: true, force: true });
    }
}, { timeout: 180000 });

// A folder of 300 topics keeps them in runs inside its own list: the keys step into, through and
// out of it in order, its topics sit one level down, and the filter shows the folder with only
// the topics that match.
runner.add('frame: a folder of 300 topics is walked and filtered in order', async () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-bigfolder-'));
    try {
        fs.cpSync(frameDir, folder, { recursive: true });
        let topics = '';
        for (let i = 1; i <= 300; i++) topics += `<li><span class='file' id='span_${i}'><a href='p/${i}.htm' target='mainFrame'>child ${i}</a></span></li>`;
        const file = path.join(folder, 'HelpContent.html');
        fs.writeFileSync(file, withTree(fs.readFileSync(file, 'utf8'),
            `<li id="li_0"><span class='folder' id='span_0'><a href='p/0.htm' target='mainFrame'>big folder</a></span><ul>${topics}</ul></li>` +
            `<li><span class='file' id='span_301'><a href='p/301.htm' target='mainFrame'>after</a></span></li>`));
        const page = await openPage(browser.context, pathToFileURL(file).href);
        try {
            const at = async (keys, name) => {
                for (const key of keys) await page.keyboard.press(key);
                const shown = await page.evaluate(() => document.activeElement.textContent);
                assert(shown === name, `${keys.join(' ')} reached "${shown}", not "${name}"`);
            };
            await page.focus('#span_0 > a');
            await at(['ArrowRight', 'ArrowDown'], 'child 1');
            await at(Array(70).fill('ArrowDown'), 'child 71');
            await at(['ArrowLeft'], 'big folder');
            await at(['End'], 'after');
            await at(['ArrowUp'], 'child 300');
            assert(await page.evaluate(() => document.querySelector('#span_200 > a').getAttribute('aria-level')) === '2', 'aria-level');
            await page.fill('#pk-treefilter', 'child 29');
            const faults = await filterFaults(page, 'child 29');
            assert(!faults.length, faults.join('; '));
            assertClean(page);
        } finally {
            await page.close();
        }
    } finally {
        fs.rmSync(folder, { recursive: true, force: true });
    }
});

// What a search engine reads: sitemap.xml lists every page once, and each page names the same
// address as its canonical one and describes itself with its own words.
runner.add('noframe: sitemap.xml lists every page once and each page is canonical', async () => {
    const address = typeof args.address === 'string' ? args.address : null;
    assert(address, 'no --address: the site was built without one');
    const pages = [];
    const walk = (dir, rel) => {
        for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
            if (e.isDirectory()) walk(path.join(dir, e.name), rel + e.name + '/');
            // The site's own index and search pages hold no topic: they are not for search engines.
            else if (/\.html?$/i.test(e.name) && !['index.html', 'HelpIndex.html', 'HelpSearch.html'].includes(rel + e.name)) pages.push(rel + e.name);
        }
    };
    walk(noframeDir, '');
    const page = await openPage(browser.context, servers.noframe.url + 'guide/welcome.htm');
    try {
        const locs = await page.evaluate(async () => {
            const text = await (await fetch('/sitemap.xml')).text();
            const xml = new DOMParser().parseFromString(text, 'application/xml');
            if (xml.getElementsByTagName('parsererror').length) return null;
            if (xml.documentElement.namespaceURI !== 'http://www.sitemaps.org/schemas/sitemap/0.9') return null;
            return Array.from(xml.getElementsByTagNameNS('*', 'loc'), (l) => l.textContent);
        });
        assert(locs, 'sitemap.xml is not a valid sitemap');
        assert(new Set(locs).size === locs.length, 'a page is listed twice');
        const expected = pages.map((p) => address + p.split('/').map(encodeURIComponent).join('/')).sort();
        assert(JSON.stringify([...locs].sort()) === JSON.stringify(expected),
            `sitemap lists ${locs.length} pages, the site has ${pages.length}`);
        for (const rel of pages) {
            const html = fs.readFileSync(path.join(noframeDir, rel), 'utf8');
            const canonical = html.match(/<link rel="canonical" href="([^"]*)">/);
            assert(canonical && locs.includes(canonical[1]), `${rel} names ${canonical && canonical[1]} as canonical`);
        }
        const description = await page.$eval('meta[name=description]', (m) => m.content);
        const title = await page.title();
        assert(description.length > 40 && !title.startsWith(description), `description: "${description}"`);
        assertClean(page);
    } finally { await page.close(); }
});

runner.add('both: no request leaves the site', async () => {
    for (const [name, s] of Object.entries(servers)) {
        const page = await openPage(browser.context, s.url + (name === 'frame' ? 'index.html' : 'guide/welcome.htm'));
        const outside = [];
        page.on('request', (r) => { if (!r.url().startsWith(s.url) && !r.url().startsWith('data:')) outside.push(r.url()); });
        await page.reload({ waitUntil: 'networkidle' });
        await page.close();
        assert(outside.length === 0, `${name} asked for ${outside.join(', ')}`);
    }
});

runner.add('both: every local link of every page resolves', async () => {
    for (const dir of [frameDir, noframeDir]) {
        const broken = checkLinks(dir);
        assert(broken.length === 0, `${path.basename(dir)}:\n      ${broken.slice(0, 20).join('\n      ')}`);
    }
});

const ok = await runner.run(typeof args.only === 'string' ? args.only : '');
await Promise.all(Object.values(servers).map((s) => s.close()));
await browser.close();
await noScript.close();
process.exit(ok ? 0 : 1);
