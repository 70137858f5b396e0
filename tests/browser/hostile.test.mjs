// Browser test of a help whose names, locals, titles, keywords and file names carry script
// (tests/data/hostile-strings): every page of both sites is opened, hovered over and focused
// through, and none of the payloads may run (each sets window.__pwned); no link or frame of ours
// may lead to a javascript:, vbscript: or data: address.
//   node hostile.test.mjs --plovik PROGRAM --data tests/data [--only TEXT]
// Prints one line per test and "N passed, N failed"; exits non-zero on a failure.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { Runner, assert, launch, openPage } from './harness.mjs';

const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));
const plovik = path.resolve(args.plovik || 'build/plovik');
const data = path.resolve(args.data || 'tests/data');

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-hostile-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

function build(layout) {
    const out = path.join(work, layout);
    fs.mkdirSync(out, { recursive: true });
    try {
        execFileSync(plovik, ['build', '--chm', path.join(data, 'hostile-strings.chm'), '--out', out,
            '--layout', layout, '--log'], { stdio: 'ignore' });
    } catch (e) {
        // It stores files under the site's own names: those are failed items (status 4).
        assert(e.status === 4, `the build ended with status ${e.status}`);
    }
    return out;
}

function pagesBelow(dir, rel = '') {
    const found = [];
    for (const e of fs.readdirSync(path.join(dir, rel), { withFileTypes: true })) {
        if (e.isDirectory()) found.push(...pagesBelow(dir, rel + e.name + '/'));
        else if (/\.html?$/i.test(e.name)) found.push(rel + e.name);
    }
    return found;
}

// In every frame of the page: did a payload run, and which links or frames of ours lead to a
// script address?
async function inspect(page) {
    const report = [];
    for (const frame of page.frames()) {
        const found = await frame.evaluate(() => {
            const bad = [];
            if (window.__pwned !== undefined) bad.push(`payload ${window.__pwned} ran`);
            for (const e of document.querySelectorAll('a[href], iframe[src], frame[src]')) {
                const target = (e.getAttribute('href') || e.getAttribute('src') || '').trim().toLowerCase();
                if (/^(javascript|vbscript|data):/.test(target)) bad.push(`${e.tagName.toLowerCase()} to ${target.slice(0, 40)}`);
            }
            return bad;
        }).catch(() => []);
        report.push(...found.map((f) => `${frame.url().split('/').pop()}: ${f}`));
    }
    return report;
}

const runner = new Runner();
const browser = await launch();

for (const layout of ['frame', 'noframe']) {
    runner.add(`${layout}: no payload of a hostile help runs on any page, hovered and focused`, async () => {
        const site = build(layout);
        const pages = pagesBelow(site);
        assert(pages.length > 5, `only ${pages.length} pages were written`);
        const problems = [];
        for (const rel of pages) {
            const page = await openPage(browser.context, pathToFileURL(path.join(site, rel)).href);
            try {
                await page.waitForTimeout(150);
                // Hover over every link and walk the focus through the page, as a reader would.
                for (const frame of page.frames()) {
                    const links = await frame.$$('a').catch(() => []);
                    for (const link of links.slice(0, 60)) await link.hover({ timeout: 300, force: true }).catch(() => {});
                }
                for (let i = 0; i < 30; i++) await page.keyboard.press('Tab');
                await page.waitForTimeout(50);
                problems.push(...(await inspect(page)).map((p) => `${rel}: ${p}`));
            } finally {
                await page.close();
            }
        }
        assert(problems.length === 0, problems.slice(0, 10).join('\n      '));
    });
}

const ok = await runner.run(typeof args.only === 'string' ? args.only : undefined);
await browser.close();
process.exit(ok ? 0 : 1);
