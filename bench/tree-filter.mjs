// Times the contents filter of both layouts in headless Chromium: the time from a keystroke in
// the filter box to the next frame after the tree has been filtered (and until the tree has
// settled, as a big change is applied a slice per frame), on contents made to size
// (a flat list of N topics, or a tree of N nodes in folders of ten), from file:// and over HTTP.
//
//   node bench/tree-filter.mjs [--frame SITE] [--noframe SITE] [--shape flat|tree] [--nodes N]
//                              [--query TEXT] [--only file|http]
//
// SITE defaults to the samples beside the program (build/samples/clarity, …/clarity-noframe):
// each is copied and one page of it written with the made-up contents in place of the real one. Uses the browser tests' playwright-core (run
// tests/browser/run.sh once, or npm ci there).

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { launch, serve } from '../tests/browser/harness.mjs';
import { makeSite, timeKeystrokes } from '../tests/browser/contents.mjs';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));

// The sites, shapes and sizes asked for, each layout from file:// and over HTTP.
{
    const samples = path.join(repo, 'build', 'samples');
    const sites = {
        frame: typeof args.frame === 'string' ? args.frame : path.join(samples, 'clarity'),
        noframe: typeof args.noframe === 'string' ? args.noframe : path.join(samples, 'clarity-noframe'),
    };
    const shapes = typeof args.shape === 'string' ? [args.shape] : ['tree', 'flat'];
    const nodes = Number(args.nodes) || 0;
    const query = typeof args.query === 'string' ? args.query : 'canvas';
    const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-treebench-'));
    const browser = await launch();
    browser.context.setDefaultTimeout(600000);
    try {
        for (const shape of shapes) {
            const count = nodes || (shape === 'flat' ? 20000 : 10000);
            for (const layout of ['frame', 'noframe']) {
                const folder = path.join(scratch, `${layout}-${shape}`);
                const file = makeSite(folder, sites[layout], layout, shape, count);
                const server = args.only === 'file' ? null : await serve(folder);
                const urls = [];
                if (args.only !== 'http') urls.push(['file', pathToFileURL(file).href]);
                if (server) urls.push(['http', server.url + path.relative(folder, file)]);
                for (const [how, url] of urls) {
                    const page = await browser.context.newPage();
                    await page.goto(url);
                    const { first, settled } = await timeKeystrokes(page, query);
                    console.log(`${layout.padEnd(7)} ${shape} ${count} ${how.padEnd(4)}  first frame ${first.join(' ')} ms (max ${Math.max(...first)}), settled ${settled.join(' ')} ms (max ${Math.max(...settled)})`);
                    await page.close();
                }
                if (server) await server.close();
            }
        }
    } finally {
        await browser.close();
        fs.rmSync(scratch, { recursive: true, force: true });
    }
}
