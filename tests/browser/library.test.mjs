// Browser tests of a library of helps: the two test helps that link into each other
// (tests/data/library-a.chm, library-b.chm) built as one library in both layouts, opened from
// file:// and from a web server. Every link between them leads to the right page, the library page
// lists both by title, and its search finds topics of both and opens them.
//   node library.test.mjs --plovik PROGRAM --data tests/data [--only TEXT]
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

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-library-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

function build(layout) {
    const out = path.join(work, layout);
    fs.mkdirSync(out, { recursive: true });
    execFileSync(plovik, ['build', '--out', out, '--layout', layout, '--title', 'Both helps', '--log',
        path.join(data, 'library-a.chm'), path.join(data, 'library-b.chm')], { stdio: 'ignore' });
    return out;
}

// Every link of the help viewer's kind that the two helps' pages hold, as written in the CHM, with
// the page it must open and that page's heading (and the place in it).
const LINKS = [
    { from: 'library-a/intro.htm', text: "Library B's topic", to: 'library-b/topic.htm', heading: 'Library B' },
    { from: 'library-a/intro.htm', text: 'its details', to: 'library-b/topic.htm#details', heading: 'Library B' },
    { from: 'library-a/intro.htm', text: 'a deeper page, in capitals', to: 'library-b/sub/deep.htm', heading: 'Deeper page' },
    { from: 'library-a/intro.htm', text: 'the same page named through this help file', to: 'library-a/page.htm', heading: 'A page of Library A' },
    { from: 'library-b/topic.htm', text: "Library A's page", to: 'library-a/page.htm', heading: 'A page of Library A' },
    { from: 'library-b/topic.htm', text: 'its introduction', to: 'library-a/intro.htm', heading: 'Library A' },
    { from: 'library-b/sub/deep.htm', text: 'Library A', to: 'library-a/intro.htm', heading: 'Library A' },
];

const runner = new Runner();
const browser = await launch();
const servers = [];
for (const layout of ['frame', 'noframe']) {
    const dir = build(layout);
    const server = await serve(dir);
    servers.push(server);
    for (const [scheme, root] of [['file', pathToFileURL(dir).href + '/'], ['http', server.url]]) {
        runner.add(`${layout} ${scheme}: every link between the helps opens the right page`, async () => {
            for (const link of LINKS) {
                const page = await openPage(browser.context, root + link.from);
                try {
                    await page.click(`a:text-is("${link.text}")`);
                    await page.waitForURL(root + link.to);
                    const heading = await eventually(() => page.evaluate(() => document.readyState === 'complete' && document.querySelector('h1')?.textContent),
                        `${link.from} -> ${link.to} shows no heading`);
                    assert(heading === link.heading, `${link.from}: "${link.text}" shows "${heading}"`);
                    assertClean(page);
                } finally {
                    await page.close();
                }
            }
            // Library B's page uses Library A's style sheet and Library A's page B's logo.
            const page = await openPage(browser.context, root + 'library-a/page.htm');
            try {
                const loaded = await page.$eval('img', (img) => img.complete && img.naturalWidth > 0);
                assert(loaded, "Library B's logo does not load on Library A's page");
                assertClean(page);
            } finally {
                await page.close();
            }
        });

        runner.add(`${layout} ${scheme}: the library page lists both helps by title and opens them`, async () => {
            const page = await openPage(browser.context, root + 'index.html');
            try {
                const helps = await page.$$eval('.pk-lib-help', (as) => as.map((a) => a.textContent));
                assert(JSON.stringify(helps) === JSON.stringify(['Library A', 'Library B']), `the page lists ${JSON.stringify(helps)}`);
                await page.click('.pk-lib-help:text-is("Library B")');
                await page.waitForURL(/\/library-b\//);
                assertClean(page);
            } finally {
                await page.close();
            }
        });

        runner.add(`${layout} ${scheme}: the library page searches both helps`, async () => {
            const page = await openPage(browser.context, root + 'index.html');
            try {
                await eventually(() => page.$eval('#pk-lib-status', (p) => /searchable/.test(p.textContent)), 'the search data did not load');
                const status = await page.textContent('#pk-lib-status');
                assert(/ in 2 helps searchable\.$/.test(status), `the status says "${status}"`);
                await page.fill('#pk-lib-query', 'deeper');
                const hits = await eventually(async () => {
                    const rows = await page.$$eval('#pk-lib-results li', (lis) => lis.map((li) => li.textContent));
                    return rows.length ? rows : null;
                }, 'no result for "deeper"');
                assert(hits.some((h) => h.includes('Library B')), `"deeper" found ${JSON.stringify(hits)}`);
                // A word of both helps finds topics of both.
                await page.fill('#pk-lib-query', 'library');
                const both = await page.$$eval('#pk-lib-results .pk-lib-where', (s) => [...new Set(s.map((x) => x.textContent))].sort());
                assert(JSON.stringify(both) === JSON.stringify(['Library A', 'Library B']), `"library" found topics of ${JSON.stringify(both)}`);
                // A result opens its topic, in its help's frames in the framed layout.
                await page.fill('#pk-lib-query', 'deeper page');
                await page.click('#pk-lib-results a.pk-lib-hit');
                if (layout === 'frame') {
                    const heading = await eventually(async () => {
                        const main = page.frame({ name: 'mainFrame' });
                        return main && /deep\.htm$/.test(main.url()) && await main.evaluate(() => document.readyState === 'complete' && document.querySelector('h1')?.textContent);
                    }, 'the result did not open in the help\'s frames');
                    assert(heading === 'Deeper page', `the result shows "${heading}"`);
                } else {
                    await page.waitForURL(root + 'library-b/sub/deep.htm');
                }
                assertClean(page);
            } finally {
                await page.close();
            }
        });
    }
}

runner.add('a hostile help in a library runs nothing on the library page', async () => {
    const out = path.join(work, 'hostile');
    fs.mkdirSync(out, { recursive: true });
    // The hostile help stores files under the site's own names: it builds with failed items (4).
    try {
        execFileSync(plovik, ['build', '--out', out, '--log', path.join(data, 'hostile-strings.chm'),
            path.join(data, 'library-a.chm')], { stdio: 'ignore' });
    } catch (e) {
        assert(e.status === 4, `the library build ended with status ${e.status}`);
    }
    const page = await openPage(browser.context, pathToFileURL(out).href + '/index.html');
    try {
        await eventually(() => page.$eval('#pk-lib-status', (p) => /searchable/.test(p.textContent)), 'the search data did not load');
        assert((await page.$$('.pk-lib-help')).length === 2, 'the library page does not list both helps');
        for (const query of ['img', 'script onerror', 'pwned', 'javascript']) {
            await page.fill('#pk-lib-query', query);
            await page.waitForTimeout(50);
        }
        assert(await page.evaluate(() => window.__pwned === undefined), `a payload ran: ${await page.evaluate(() => window.__pwned)}`);
        const hrefs = await page.$$eval('a', (as) => as.map((a) => a.getAttribute('href')));
        assert(!hrefs.some((h) => /^\s*(javascript|vbscript|data):/i.test(h || '')), `a script link: ${JSON.stringify(hrefs)}`);
        assertClean(page);
    } finally {
        await page.close();
    }
});

const ok = await runner.run(typeof args.only === 'string' ? args.only : undefined);
for (const s of servers) await s.close();
await browser.close();
process.exit(ok ? 0 : 1);
