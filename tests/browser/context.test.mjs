// Browser tests of context help: the test help with context ids (tests/data/context-ids.chm) built
// in both layouts, its context.html opened from file:// and from a web server for every id and by
// name, and for ids the help does not have; and, from the shared corpus when it is there, a real
// Chinese help made by Microsoft's compiler, whose topics have non-ASCII names.
//   node context.test.mjs --plovik PROGRAM --data tests/data [--corpus DIR] [--only TEXT]
// Prints one line per test and "N passed, N failed"; exits non-zero on a failure.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { Runner, Skip, assert, assertClean, eventually, launch, openPage, serve } from './harness.mjs';

const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));
const plovik = path.resolve(args.plovik || 'build/plovik');
const data = path.resolve(args.data || 'tests/data');
const corpus = args.corpus && path.resolve(args.corpus);

// Every id of the help's project, the page it opens and that page's heading.
const IDS = [
    { id: 1001, alias: 'IDH_TOPIC_A', page: 'topic_a.htm', heading: 'Topic A' },
    { id: 1002, alias: 'IDH_TOPIC_B', page: 'topic_b.htm', heading: 'Topic B' },
    { id: 1003, alias: 'IDH_TOPIC_C', page: 'topic_c.htm', heading: 'Topic C' },
    { id: 1004, alias: 'IDH_TOPIC_D', page: 'sub/topic_d.htm', heading: 'Topic D' },
];

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-context-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

function build(chm, layout, extra = []) {
    const out = path.join(work, `${path.basename(chm, '.chm')}-${layout}`);
    fs.mkdirSync(out, { recursive: true });
    execFileSync(plovik, ['build', '--chm', chm, '--out', out, '--layout', layout, '--log', ...extra],
        { stdio: 'ignore' });
    assert(fs.existsSync(path.join(out, 'context.html')), `no context.html in the ${layout} site`);
    return out;
}

// Where the page ended up, once the context page has moved on: the topic and its heading.
async function shownTopic(page, layout) {
    if (layout === 'frame') {
        return eventually(async () => {
            const named = /\/index\.html#topic=(.*)$/.exec(page.url());
            if (!named) return null;
            const main = page.frame({ name: 'mainFrame' });
            if (!main || !/\.html?$/.test(main.url())) return null;
            // The frame may still hold the first topic a moment after the address names another.
            if (!decodeURIComponent(main.url()).endsWith('/' + decodeURIComponent(named[1]))) return null;
            const heading = await main.evaluate(() => document.readyState === 'complete' && document.querySelector('h1')?.textContent);
            return heading ? { url: main.url(), heading } : null;
        }, 'the entry page did not show a topic in its frame');
    }
    return eventually(async () => {
        if (/\/context\.html/.test(page.url())) return null;
        const heading = await page.evaluate(() => document.readyState === 'complete' && document.querySelector('h1')?.textContent);
        return heading ? { url: page.url(), heading } : null;
    }, 'the topic page did not open');
}

async function statusOf(page) {
    return page.$eval('#pk-status', (p) => ({ text: p.textContent, unknown: p.className === 'pk-unknown' }));
}

const runner = new Runner();
const browser = await launch();
const servers = [];
const names = path.join(data, 'helps', 'context-ids', 'context-ids.hhp');
for (const layout of ['frame', 'noframe']) {
    const dir = build(path.join(data, 'context-ids.chm'), layout, ['--context-names', names]);
    const server = await serve(dir);
    servers.push(server);
    for (const [scheme, root] of [['file', pathToFileURL(dir).href + '/'], ['http', server.url]]) {
        runner.add(`${layout} ${scheme}: every context id opens its topic the layout's way`, async () => {
            for (const { id, page: topic, heading } of IDS) {
                const page = await openPage(browser.context, `${root}context.html?id=${id}`);
                try {
                    const shown = await shownTopic(page, layout);
                    assert(shown.url === root + topic, `id ${id} opened ${shown.url}, not ${topic}`);
                    assert(shown.heading === heading, `id ${id} shows "${shown.heading}"`);
                    if (layout === 'frame') {
                        // The entry page with its contents, not the topic alone.
                        assert(page.frame({ name: 'leftFrame' }), `id ${id}: the entry page has no contents frame`);
                    }
                    assertClean(page);
                } finally {
                    await page.close();
                }
            }
        });

        runner.add(`${layout} ${scheme}: names and hexadecimal ids open their topics too`, async () => {
            for (const query of ['alias=IDH_TOPIC_C', 'alias=idh_topic_c', 'id=0x3EB', 'id=%201003%20']) {
                const page = await openPage(browser.context, `${root}context.html?${query}`);
                try {
                    const shown = await shownTopic(page, layout);
                    assert(shown.heading === 'Topic C', `?${query} shows "${shown.heading}"`);
                } finally {
                    await page.close();
                }
            }
        });

        runner.add(`${layout} ${scheme}: an unknown id says so and stays on the page`, async () => {
            const cases = [
                ['id=9999', 'no topic for the context id 9999'],
                ['alias=IDH_NOWHERE', 'no topic named "IDH_NOWHERE"'],
                ['id=%3Cimg%20src%3Dx%20onerror%3Dwindow.__pwned%3D1%3E', 'a context id is a number'],
                ['id=99999999999', 'a context id is a number'],
            ];
            for (const [query, says] of cases) {
                const page = await openPage(browser.context, `${root}context.html?${query}`);
                try {
                    await page.waitForTimeout(300);  // time enough to have moved on, were it going to
                    assert(/\/context\.html\?/.test(page.url()), `?${query} moved on to ${page.url()}`);
                    const status = await statusOf(page);
                    assert(status.unknown && status.text.includes(says), `?${query} says "${status.text}"`);
                    assert(await page.isVisible('#pk-start-link'), `?${query} offers no start page`);
                    assert(await page.evaluate(() => window.__pwned === undefined && !document.querySelector('img')),
                        `?${query} ran or inserted markup`);
                    assertClean(page);
                } finally {
                    await page.close();
                }
            }
        });

        runner.add(`${layout} ${scheme}: without a query the page lists every id with a link`, async () => {
            const page = await openPage(browser.context, `${root}context.html`);
            try {
                const rows = await page.$$eval('#pk-ids tbody tr', (trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent)));
                assert(JSON.stringify(rows) === JSON.stringify(IDS.map((i) => [String(i.id), i.alias, i.page])),
                    `the list is ${JSON.stringify(rows)}`);
                await page.click('#pk-ids a:text-is("sub/topic_d.htm")');
                const shown = await shownTopic(page, layout);
                assert(shown.heading === 'Topic D', `the link shows "${shown.heading}"`);
                assertClean(page);
            } finally {
                await page.close();
            }
        });
    }
}

runner.add('jsdk3-help-zh.chm: an id opens a topic with a Chinese name in both layouts', async () => {
    const chm = corpus && path.join(corpus, 'chm', 'jsdk3-help-zh.chm');
    if (!chm || !fs.existsSync(chm)) throw new Skip('the shared corpus is not here');
    for (const layout of ['frame', 'noframe']) {
        const dir = build(chm, layout);
        const page = await openPage(browser.context, pathToFileURL(dir).href + '/context.html?id=1000');
        try {
            const shown = await shownTopic(page, layout).catch(async () => {
                // The help's topics have no h1 each: settle for the address.
                return { url: layout === 'frame' ? page.frame({ name: 'mainFrame' })?.url() : page.url() };
            });
            assert(decodeURIComponent(shown.url || '').endsWith('/contents/简介.html'), `${layout}: id 1000 opened ${shown.url}`);
        } finally {
            await page.close();
        }
    }
});

const ok = await runner.run(typeof args.only === 'string' ? args.only : undefined);
for (const s of servers) await s.close();
await browser.close();
process.exit(ok ? 0 : 1);
