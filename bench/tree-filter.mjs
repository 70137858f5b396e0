// Times the contents filter of both layouts in headless Chromium: the time from a keystroke in
// the filter box to the next frame after the tree has been filtered (and until the tree has
// settled, should a change be spread over frames), on contents made to size (a flat list of N
// topics, or a tree of N nodes in folders of ten), from file:// and over HTTP.
//
//   node bench/tree-filter.mjs [--frame SITE] [--noframe SITE] [--shape flat|tree] [--nodes N]
//                              [--layout frame|noframe] [--only file|http] [--runs N]
//
// Each run loads the page afresh and takes the steps of STEPS (tests/browser/contents.mjs): three
// keystrokes, a deletion, clearing the box, a query matching nothing and one matching every topic.
// Prints the median of the runs (five by default) and the slowest run for each step.
// SITE defaults to the samples beside the program (build/samples/clarity, …/clarity-noframe):
// each is copied and one page of it written with the made-up contents in place of the real one.
// Uses the browser tests' playwright-core (run tests/browser/run.sh once, or npm ci there).

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { launch, serve } from '../tests/browser/harness.mjs';
import { STEPS, makeSite, timeTexts } from '../tests/browser/contents.mjs';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));

const median = (values) => {
    const sorted = [...values].sort((a, b) => a - b);
    const mid = sorted.length >> 1;
    return sorted.length % 2 ? sorted[mid] : Math.round((sorted[mid - 1] + sorted[mid]) / 2);
};

{
    const samples = path.join(repo, 'build', 'samples');
    const sites = {
        frame: typeof args.frame === 'string' ? args.frame : path.join(samples, 'clarity'),
        noframe: typeof args.noframe === 'string' ? args.noframe : path.join(samples, 'clarity-noframe'),
    };
    const shapes = typeof args.shape === 'string' ? [args.shape] : ['tree', 'flat'];
    const layouts = typeof args.layout === 'string' ? [args.layout] : ['frame', 'noframe'];
    const nodes = Number(args.nodes) || 0;
    const runs = Number(args.runs) || 5;
    const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-treebench-'));
    const browser = await launch();
    browser.context.setDefaultTimeout(600000);
    console.log(`load ${os.loadavg().map((l) => l.toFixed(2)).join(' ')}; median (slowest) of ${runs} runs, ms to the first frame / to the settled tree`);
    console.log(`${''.padEnd(24)}${STEPS.map(([label]) => label.padStart(16)).join('')}`);
    try {
        for (const shape of shapes) {
            const count = nodes || (shape === 'flat' ? 20000 : 10000);
            for (const layout of layouts) {
                const folder = path.join(scratch, `${layout}-${shape}`);
                const file = makeSite(folder, sites[layout], layout, shape, count);
                const server = args.only === 'file' ? null : await serve(folder);
                const urls = [];
                if (args.only !== 'http') urls.push(['file', pathToFileURL(file).href]);
                if (server) urls.push(['http', server.url + path.relative(folder, file)]);
                for (const [how, url] of urls) {
                    const first = STEPS.map(() => []);
                    const settled = STEPS.map(() => []);
                    for (let run = 0; run < runs; run++) {
                        const page = await browser.context.newPage();
                        await page.goto(url);
                        const times = await timeTexts(page, STEPS.map(([, text]) => text));
                        times.first.forEach((t, i) => first[i].push(t));
                        times.settled.forEach((t, i) => settled[i].push(t));
                        await page.close();
                    }
                    const cell = (i) => `${median(first[i])}/${median(settled[i])} (${Math.max(...settled[i])})`.padStart(16);
                    console.log(`${layout.padEnd(7)} ${shape} ${String(count).padEnd(5)} ${how.padEnd(4)}  ${STEPS.map((_, i) => cell(i)).join('')}`);
                }
                if (server) await server.close();
            }
        }
    } finally {
        await browser.close();
        fs.rmSync(scratch, { recursive: true, force: true });
    }
}
