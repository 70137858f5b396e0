// Times the search page of a built frame site in headless Chromium, from file:// as a reader
// with the site on a disk would open it: loading the page with its data file, then each query
// until its first result is on the screen.
//
//   node bench/search-page.mjs SITE_FOLDER [QUERY ...]
//
// Uses the browser tests' playwright-core (run tests/browser/run.sh once, or npm ci there).

import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch } from '../tests/browser/harness.mjs';

const site = process.argv[2];
if (!site) {
    console.error('usage: node bench/search-page.mjs SITE_FOLDER [QUERY ...]');
    process.exit(2);
}
const queries = process.argv.length > 3 ? process.argv.slice(3) : ['button', 'tbutton click', 'canvas pen width', 'zzzznothing'];

const browser = await launch();
try {
    const page = await browser.context.newPage();
    const url = pathToFileURL(path.resolve(site, 'HelpSearch.html')).href;
    const start = Date.now();
    await page.goto(url);
    // Ready when the status no longer says that the data is loading.
    await page.waitForFunction(() => !/Loading/.test(document.getElementById('pk-status').textContent),
        null, { timeout: 60000 });
    const loadMs = Date.now() - start;
    const data = await page.evaluate(() => ({
        keywords: typeof keywords !== 'undefined' ? keywords.length : 0,
        files: typeof files !== 'undefined' ? files.length : 0,
    }));
    console.log(`page and data ready: ${loadMs} ms (${data.keywords} keywords, ${data.files} topics)`);
    for (const query of queries) {
        await page.fill('#pk-query', '');
        await page.waitForFunction(() => document.querySelectorAll('#pk-results li').length === 0);
        const ms = await page.evaluate((q) => new Promise((resolve) => {
            const input = document.getElementById('pk-query');
            const list = document.getElementById('pk-results');
            const status = document.getElementById('pk-status');
            const t0 = performance.now();
            const done = () => resolve(performance.now() - t0);
            const observer = new MutationObserver(() => {
                if (list.querySelector('li') || /no topic|nothing/i.test(status.textContent)) {
                    observer.disconnect();
                    // The first frame that shows it.
                    requestAnimationFrame(done);
                }
            });
            observer.observe(list, { childList: true, subtree: true });
            observer.observe(status, { childList: true, subtree: true, characterData: true });
            input.value = q;
            input.dispatchEvent(new Event('input', { bubbles: true }));
        }), query);
        const count = await page.evaluate(() => document.querySelectorAll('#pk-results li').length);
        console.log(`"${query}": first result on screen after ${ms.toFixed(1)} ms (${count} shown)`);
    }
} finally {
    await browser.close();
}
