// Renders the guide's diagrams (the SVG files beside this script) into the PNG images of the
// help project, with the Chromium that the browser tests use:
//   node examples/diagrams/render.mjs
import { chromium } from '../../tests/browser/node_modules/playwright-core/index.mjs';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const out = path.join(here, '..', 'guide', 'images');
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-diagrams-'));
const browser = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
    const page = browser.pages()[0] || await browser.newPage();
    for (const name of fs.readdirSync(here).filter((f) => f.endsWith('.svg')).sort()) {
        const svg = fs.readFileSync(path.join(here, name), 'utf8');
        const [, w, h] = /width="(\d+)" height="(\d+)"/.exec(svg);
        await page.setViewportSize({ width: +w, height: +h });
        await page.setContent(`<body style="margin:0">${svg}</body>`);
        const png = path.join(out, name.replace(/\.svg$/, '.png'));
        await page.screenshot({ path: png, clip: { x: 0, y: 0, width: +w, height: +h } });
        console.log(path.relative(process.cwd(), png));
    }
} finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
}
