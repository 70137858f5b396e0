// Times a no-frame page of a built site in headless Chromium: from the start of its navigation,
// and from the moment the page itself has arrived, to the moment its own node is marked and in
// view in the contents tree (what a reader waits for before the tree is usable), from file:// and
// over HTTP. Prints the medians of the runs and each run.
//
//   node bench/noframe-page.mjs --site DIR --page REL [--runs 5]
//
// Uses the browser tests' playwright-core (run tests/browser/run.sh once, or npm ci there).

import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch, serve } from '../tests/browser/harness.mjs';

const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));
const site = path.resolve(args.site);
const runs = Number(args.runs) || 5;
const server = await serve(site);
const browser = await launch();
try {
    for (const [scheme, url] of [['file', pathToFileURL(path.join(site, args.page)).href], ['http', server.url + args.page]]) {
        const times = [];
        const afterPage = [];
        for (let k = 0; k < runs; k++) {
            const page = await browser.context.newPage();
            await page.goto(url, { waitUntil: 'commit' });
            const ms = await page.evaluate(() => new Promise((resolve) => {
                const check = () => {
                    const li = document.querySelector('#pk-tree li.pk-current > span');
                    const r = li && li.getBoundingClientRect();
                    const nav = performance.getEntriesByType('navigation')[0];
                    if (r && r.height > 0 && r.top >= 0 && r.bottom <= window.innerHeight) resolve([performance.now(), nav ? nav.responseEnd : 0]);
                    else requestAnimationFrame(check);
                };
                check();
            }));
            times.push(Math.round(ms[0]));
            afterPage.push(Math.round(ms[0] - ms[1]));
            await page.close();
        }
        const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
        console.log(`${scheme}: from navigation median ${median(times)} ms (${times.join(' ')}); ` +
            `from the page's arrival median ${median(afterPage)} ms (${afterPage.join(' ')})`);
    }
} finally {
    await browser.close();
    await server.close();
}
