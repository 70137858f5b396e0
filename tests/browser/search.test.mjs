// Browser tests of the search and the keyword index: the test help tests/data/rich-index.chm
// built in both layouts and opened from file:// and from a web server. The search page ranks the
// page titled with the query first, shows where each result sits and a snippet with the words
// marked, and opens the topic with the words marked; the no-frame header's box finds a word of
// another page's text and opens it; the index page shows a keyword's several topics, its
// sub-keywords and a "See Also" entry that leads to its keyword.
//   node search.test.mjs --plovik PROGRAM --data tests/data [--only TEXT]
// Prints one line per test and "N passed, N failed"; exits non-zero on a failure.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { Runner, assert, assertClean, eventually, launch, openPage, serve } from './harness.mjs';

const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));
const plovik = path.resolve(args.plovik || 'build/plovik');
const data = path.resolve(args.data || 'tests/data');

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-search-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

function build(layout) {
    const out = path.join(work, layout);
    fs.mkdirSync(out, { recursive: true });
    execFileSync(plovik, ['build', '--chm', path.join(data, 'rich-index.chm'), '--out', out, '--layout', layout],
        { stdio: 'ignore' });
    return out;
}

async function results(page) {
    return page.$$eval('#pk-results a.pk-row', (rows) => rows.map((r) => ({
        title: r.querySelector('.pk-hit-title')?.textContent || '',
        path: r.querySelector('.pk-hit-path')?.textContent || '',
        text: r.querySelector('.pk-hit-text')?.textContent || '',
        marks: [...r.querySelectorAll('.pk-hit-text mark')].map((m) => m.textContent),
        href: r.getAttribute('href'),
    })));
}

async function query(page, text) {
    await page.fill('#pk-query', text);
    return eventually(async () => {
        const r = await results(page);
        // Rows of an earlier query may still be there: these carry this query in their links.
        const mine = 'pkq=' + encodeURIComponent(text);
        return r.length && r.every((x) => x.text && x.href.endsWith(mine)) ? r : null;
    }, `no results with snippets for ${text}`);
}

async function marksIn(frameOrPage) {
    return eventually(() => frameOrPage.evaluate(() => {
        const m = [...document.querySelectorAll('mark.pk-found')];
        return m.length ? m.map((x) => x.textContent) : null;
    }), 'the topic marked no words');
}

const runner = new Runner();
const browser = await launch();
const servers = [];
for (const layout of ['frame', 'noframe']) {
    const dir = build(layout);
    const server = await serve(dir);
    servers.push(server);
    for (const [scheme, root] of [['file', pathToFileURL(dir).href + '/'], ['http', server.url]]) {
        runner.add(`${layout} ${scheme}: the search ranks the titled page first and shows where and why`, async () => {
            const page = await openPage(browser.context, `${root}HelpSearch.html`);
            try {
                let r = await query(page, 'hashmap');
                assert(r[0].title === 'HashMap', `first result ${JSON.stringify(r[0])}`);
                assert(r[0].path === 'Collections \u203a Maps', `ancestors ${r[0].path}`);
                assert(r.some((x) => x.marks.some((m) => /^hashmap$/i.test(m))), `no marked snippet: ${JSON.stringify(r)}`);
                // Accents fold: the query without them finds the page with them.
                r = await query(page, 'resume');
                assert(r[0].title === 'Your r\u00e9sum\u00e9' && r[0].marks.includes('r\u00e9sum\u00e9'), `resume: ${JSON.stringify(r)}`);
                // A phrase needs its words in order: "hash map" stands in maps.htm only, while
                // lists.htm has both words apart.
                r = await query(page, '"hash map"');
                assert(r[0].href.startsWith('maps.htm'), `phrase: ${JSON.stringify(r)}`);
                assert(!r.some((x) => x.href.startsWith('lists.htm')), `the phrase matched words apart: ${JSON.stringify(r)}`);
                // More of the words first: both words before one.
                r = await query(page, 'sorted keys compare');
                assert(r[0].href.startsWith('treemap.htm'), `several words: ${JSON.stringify(r)}`);
                // Script text and markup in the text are no words and run nothing.
                await page.fill('#pk-query', 'scripted');
                await eventually(() => page.evaluate(() => /No topic/.test(document.getElementById('pk-status').textContent)), 'script words were found');
                r = await query(page, 'alert');
                assert(r[0].text.includes('<script>alert(1)</script>'), `escaped markup: ${r[0].text}`);
                assert(await page.evaluate(() => window.__pwned === undefined), 'a script ran');
                assertClean(page);
            } finally {
                await page.close();
            }
        });

        runner.add(`${layout} ${scheme}: an opened result marks its words, and the marks can be cleared`, async () => {
            const page = await openPage(browser.context, `${root}treemap.htm?pkq=${encodeURIComponent('sorted HashMap')}`);
            try {
                const marks = await marksIn(page);
                assert(marks.includes('sorted') && marks.includes('HashMap'), `marks ${marks}`);
                const top = await page.evaluate(() => document.querySelector('mark.pk-found').getBoundingClientRect().top);
                assert(top >= 0 && top < 800, `the first mark is not in view (${top})`);
                await page.click('button.pk-clearmarks');
                await eventually(() => page.evaluate(() => !document.querySelector('mark.pk-found') && !document.querySelector('.pk-clearmarks')), 'the marks stayed');
                assert(await page.evaluate(() => document.body.textContent.includes('keeps its keys sorted')), 'clearing lost text');
                assertClean(page);
            } finally {
                await page.close();
            }
        });

        runner.add(`${layout} ${scheme}: the index shows several topics, sub-keywords and See Also`, async () => {
            const page = await openPage(browser.context, `${root}HelpIndex.html`);
            try {
                const rows = () => page.$$eval('#pk-results .pk-row', (r) => r.map((x) => ({ text: x.textContent, cls: x.className, href: x.getAttribute('href') })));
                await eventually(async () => (await rows()).length > 0, 'no keywords');
                let r = await rows();
                const group = r.find((x) => x.text.includes('hash tables'));
                assert(group && /pk-group/.test(group.cls) && group.text.includes('2 topics'), `group ${JSON.stringify(r)}`);
                const sorted = r.findIndex((x) => x.text === 'sorted');
                const maps = r.findIndex((x) => x.text === 'maps');
                assert(maps >= 0 && sorted === maps + 1 && /pk-level2/.test(r[sorted].cls), `sub-keywords ${JSON.stringify(r)}`);
                await page.click('#pk-results .pk-group');
                r = await eventually(async () => { const x = await rows(); return x.some((y) => y.text === 'Maps overview') ? x : null; }, 'the group did not open');
                assert(r.some((y) => y.text === 'HashMap' && y.href === 'hashmap.htm'), `topics ${JSON.stringify(r)}`);
                await page.click('#pk-results .pk-see');
                await eventually(async () => (await page.inputValue('#pk-filter')) === 'maps', 'See Also did not lead to its keyword');
                r = await rows();
                assert(r[0].text === 'maps', `after See Also ${JSON.stringify(r)}`);
                if (layout === 'noframe') {
                    await page.fill('#pk-filter', 'lists');
                    await page.click('#pk-results a[href="lists.htm"]');
                    await page.waitForURL(/lists\.htm$/);
                    assert(await page.evaluate(() => document.querySelector('h2').textContent) === 'Lists', 'the index did not open the topic');
                }
                assertClean(page);
            } finally {
                await page.close();
            }
        });

        if (layout === 'noframe') {
            runner.add(`noframe ${scheme}: the header's box finds another page's words and opens it`, async () => {
                const page = await openPage(browser.context, `${root}maps.htm`);
                try {
                    assert(await page.isVisible('#pk-find'), 'no search box');
                    assert(await page.isVisible('a.pk-indexlink'), 'no index link');
                    await page.keyboard.press('/');
                    assert(await page.evaluate(() => document.activeElement.id === 'pk-find'), '"/" did not focus the box');
                    await page.keyboard.type('constant');
                    await eventually(() => page.isVisible('#pk-find-list a'), 'no results under the box');
                    const first = await page.textContent('#pk-find-list a');
                    assert(first.startsWith('HashMap'), `first ${first}`);
                    await page.keyboard.press('Enter');
                    await page.waitForURL(/hashmap\.htm\?pkq=constant$/);
                    const marks = await marksIn(page);
                    assert(marks.includes('constant'), `marks ${marks}`);
                    assertClean(page);
                } finally {
                    await page.close();
                }
            });
        } else {
            runner.add(`frame ${scheme}: a result opens its topic in the frame with the words marked`, async () => {
                const page = await openPage(browser.context, `${root}index.html`);
                try {
                    const panel = await eventually(() => page.frame({ name: 'leftFrame' }), 'no panel');
                    await panel.click('a[href="HelpSearch.html"]');
                    const search = await eventually(() => page.frames().find((f) => /HelpSearch\.html/.test(f.url())), 'no search page');
                    await search.fill('#pk-query', 'constant');
                    await eventually(() => search.isVisible('#pk-results a.pk-row'), 'no result');
                    await search.press('#pk-query', 'Enter');
                    const main = await eventually(() => { const f = page.frame({ name: 'mainFrame' }); return f && /hashmap\.htm\?pkq=/.test(f.url()) ? f : null; }, 'the topic did not open');
                    const marks = await marksIn(main);
                    assert(marks.includes('constant'), `marks ${marks}`);
                } finally {
                    await page.close();
                }
            });
        }
    }
}

const ok = await runner.run(args.only);
await browser.close();
for (const s of servers) await s.close();
process.exit(ok ? 0 : 1);
