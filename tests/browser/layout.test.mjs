// Browser tests of what a build adds to a topic against the topic's own layout: in a help whose
// pages pin a banner and scroll their text in a block of their own (tests/data/positioned-layout),
// the prompt, the navigation bar, the related topics and the footer of the frame layout and the
// bars of the no-frame layout must each be visible where they are, not under the banner or behind
// the text; the banner stays and the text still scrolls. A plain topic keeps our blocks where the
// build put them.
//   node layout.test.mjs --plovik PROGRAM --data tests/data [--only TEXT]
// Prints one line per test and "N passed, N failed"; exits non-zero on a failure.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { Runner, Skip, assert, assertClean, launch, openPage, serve } from './harness.mjs';

const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));
const plovik = path.resolve(args.plovik || 'build/plovik');
const data = path.resolve(args.data || 'tests/data');
const corpus = args.corpus && path.resolve(args.corpus);

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-layout-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

function build(chm, layout) {
    const out = path.join(work, `${path.basename(chm, '.chm')}-${layout}`);
    fs.mkdirSync(out, { recursive: true });
    execFileSync(plovik, ['build', '--chm', chm, '--out', out, '--layout', layout, '--log'], { stdio: 'ignore' });
    return out;
}

// For each element matched by `selectors`, brought into view: is the point at its middle its own
// (nothing of the topic lies over it)? And is the topic's banner still on top where it stands?
async function coverage(page, selectors) {
    return page.evaluate((sels) => {
        const report = [];
        for (const sel of sels) {
            const found = [...document.querySelectorAll(sel)].filter((e) => e.getBoundingClientRect().height > 0);
            if (!found.length) report.push(`${sel}: not shown`);
            for (const e of found) {
                e.scrollIntoView({ block: 'center' });
                const r = e.getBoundingClientRect();
                const hit = document.elementFromPoint(r.left + Math.min(r.width / 2, 40), r.top + r.height / 2);
                if (!hit || !(e === hit || e.contains(hit))) report.push(`${sel}: covered by ${hit ? hit.outerHTML.slice(0, 60) : 'nothing'}`);
            }
        }
        const banner = document.querySelector('#banner h1');
        if (banner) {
            banner.scrollIntoView({ block: 'center' });
            const r = banner.getBoundingClientRect();
            const hit = document.elementFromPoint(r.left + 5, r.top + r.height / 2);
            if (!hit || !banner.contains(hit)) report.push(`the banner is covered by ${hit ? hit.outerHTML.slice(0, 60) : 'nothing'}`);
        }
        const text = document.querySelector('#text');
        if (text && !(text.scrollHeight > text.clientHeight && text.clientHeight > 100)) report.push('the text does not scroll in its block');
        return report;
    }, selectors);
}

const runner = new Runner();
const browser = await launch();
const chm = path.join(data, 'positioned-layout.chm');
const sites = { frame: build(chm, 'frame'), noframe: build(chm, 'noframe') };
const server = await serve(work);

const BLOCKS = {
    frame: ['.prompt_div', 'body div[align=right]', 'a[href*="plovik"]'],
    noframe: ['.pk-bar', '.pk-navbar', '.pk-footer'],
};

for (const layout of ['frame', 'noframe']) {
    for (const [how, base] of [['file://', pathToFileURL(sites[layout]).href + '/'],
        ['HTTP', `${server.url}${path.basename(sites[layout])}/`]]) {
        runner.add(`${layout}, ${how}: added blocks stay clear of a topic with a pinned banner`, async () => {
            for (const topic of ['overview.htm', 'details.htm', 'reference.htm']) {
                const page = await openPage(browser.context, base + topic);
                try {
                    await page.waitForTimeout(100);
                    const report = await coverage(page, BLOCKS[layout]);
                    assert(report.length === 0, `${topic}: ${report.join('; ')}`);
                    assertClean(page);
                } finally {
                    await page.close();
                }
            }
        });
    }
}

runner.add('frame: in a plain topic the blocks stay where the build put them', async () => {
    const plain = build(path.join(data, 'doxygen-style.chm'), 'frame');
    const first = fs.readdirSync(plain).find((f) => /\.html?$/.test(f) && fs.readFileSync(path.join(plain, f), 'utf8').includes('topic-fit.js'));
    assert(first, 'no topic carries the script');
    const page = await openPage(browser.context, pathToFileURL(path.join(plain, first)).href);
    try {
        await page.waitForTimeout(100);
        const parent = await page.evaluate(() => document.querySelector('div[align=right]')?.parentElement?.tagName);
        assert(parent === 'BODY', `the navigation bar moved into ${parent}`);
        assertClean(page);
    } finally {
        await page.close();
    }
});

// A real help whose pages size their scrolling block from a script of their own.
runner.add('jsdk3-help-zh.chm, frame: the blocks show inside the topic\'s scrolling block', async () => {
    const help = corpus && path.join(corpus, 'chm', 'jsdk3-help-zh.chm');
    if (!help || !fs.existsSync(help)) throw new Skip('the shared corpus is not here');
    const site = build(help, 'frame');
    const page = await openPage(browser.context, pathToFileURL(path.join(site, 'contents', '简介.html')).href);
    try {
        await page.waitForTimeout(100);
        const report = await coverage(page, BLOCKS.frame);
        assert(report.length === 0, report.join('; '));
        assertClean(page);
    } finally {
        await page.close();
    }
});

const ok = await runner.run(typeof args.only === 'string' ? args.only : undefined);
await server.close();
await browser.close();
process.exit(ok ? 0 : 1);
