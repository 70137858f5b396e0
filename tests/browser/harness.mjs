// The small test runner of the browser tests: Chromium through playwright-core, a static file
// server for the http:// runs, the collection of console errors, and the summary line.

import { chromium } from 'playwright-core';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

export const CHROMIUM = process.env.PLOVIK_CHROMIUM || '/usr/bin/chromium';

// `options` go to the browser context (javaScriptEnabled: false for a reader without script).
export async function launch(options = {}) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-chromium-'));
    const context = await chromium.launchPersistentContext(profile, {
        ...options,
        executablePath: CHROMIUM,
        headless: true,
        viewport: { width: 1280, height: 800 },
        args: [
            '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync',
        ],
    });
    // A step that cannot happen fails in seconds, not after Playwright's half minute.
    context.setDefaultTimeout(8000);
    return {
        context,
        async close() {
            await context.close();
            fs.rmSync(profile, { recursive: true, force: true });
        },
    };
}

const TYPES = {
    '.html': 'text/html', '.htm': 'text/html', '.css': 'text/css', '.js': 'text/javascript',
    '.xml': 'application/xml', '.png': 'image/png', '.gif': 'image/gif', '.svg': 'image/svg+xml', '.jpg': 'image/jpeg',
};

// Serves a folder on 127.0.0.1; every request is recorded so that tests can see what was asked.
export function serve(root) {
    const requests = [];
    const server = http.createServer((req, res) => {
        const url = new URL(req.url, 'http://localhost');
        requests.push(url.pathname);
        let file;
        try {
            file = path.join(root, decodeURIComponent(url.pathname));
        } catch {
            res.writeHead(400).end();
            return;
        }
        if (!file.startsWith(path.resolve(root)) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
            res.writeHead(404, { 'content-type': 'text/plain' }).end('not found');
            return;
        }
        res.writeHead(200, { 'content-type': TYPES[path.extname(file).toLowerCase()] || 'application/octet-stream' });
        fs.createReadStream(file).pipe(res);
    });
    // Closing waits for every connection to end, and Node leaves open those that have not sent
    // a request yet: Chromium opens such connections ahead of need, and one of them held a test
    // for a minute or more, until Node's own header timeout ended it. The tests are done with the
    // server when they close it, so every connection goes.
    const sockets = new Set();
    server.on('connection', (socket) => {
        sockets.add(socket);
        socket.on('close', () => sockets.delete(socket));
    });
    return new Promise((resolve) => {
        server.listen(0, '127.0.0.1', () => {
            resolve({
                url: `http://127.0.0.1:${server.address().port}/`,
                requests,
                close: () => new Promise((r) => {
                    server.close(r);
                    for (const socket of sockets) socket.destroy();
                }),
            });
        });
    });
}

// The pages openPage() gave out and that are still open: what a test that timed out left behind.
const openPages = new Set();

// A page that remembers every console error, uncaught exception and failed request of all its
// frames.
export async function openPage(context, url, options = {}) {
    const page = await context.newPage();
    openPages.add(page);
    page.on('close', () => openPages.delete(page));
    if (options.viewport) await page.setViewportSize(options.viewport);
    const problems = [];
    // The browser asks a web server for /favicon.ico on its own when a page names no icon (the
    // help file's own topic pages don't); that request is not the site's.
    page.on('console', (m) => {
        if (m.type() === 'error' && !/\/favicon\.ico$/.test(m.location()?.url || '')) problems.push(`console: ${m.text()} (${m.location()?.url})`);
    });
    page.on('pageerror', (e) => problems.push(`exception: ${e.message}`));
    // A navigation replaced by another one is aborted; that is no fault.
    page.on('requestfailed', (r) => {
        if (r.failure()?.errorText !== 'net::ERR_ABORTED') problems.push(`request failed: ${r.url()} (${r.failure()?.errorText})`);
    });
    page.on('response', (r) => {
        if (r.status() >= 400 && !/\/favicon\.ico$/.test(r.url())) problems.push(`HTTP ${r.status()}: ${r.url()}`);
    });
    page.problems = problems;
    if (url) await page.goto(url, { waitUntil: 'load' });
    return page;
}

export function assert(condition, message) {
    if (!condition) throw new Error(message);
}

export function assertClean(page) {
    assert(page.problems.length === 0, `browser reported:\n      ${page.problems.join('\n      ')}`);
}

// Waits until fn() returns a truthy value (fn may be async), or fails with the message.
export async function eventually(fn, message, timeout = 5000) {
    const end = Date.now() + timeout;
    let last;
    for (;;) {
        try {
            last = await fn();
            if (last) return last;
        } catch (e) {
            last = e;
        }
        if (Date.now() > end) throw new Error(`${message} (last: ${last instanceof Error ? last.message : JSON.stringify(last)})`);
        await new Promise((r) => setTimeout(r, 50));
    }
}

// Thrown by a test that cannot run here (its input is missing); counted apart from the others.
export class Skip extends Error {}

class TimedOut extends Error {
    constructor(ms) {
        super(`test timed out after ${ms / 1000} s`);
    }
}

// The pages opened since `before` and still open, each with its address and whether its script
// still answers; they are closed, so that what the test still waits for ends.
async function leftOpen(before) {
    let report = '';
    for (const page of [...openPages].filter((p) => !before.has(p))) {
        const answer = await Promise.race([
            page.evaluate(() => document.readyState).catch((e) => `error: ${e.message.split('\n')[0]}`),
            new Promise((r) => setTimeout(() => r('no answer in 2 s'), 2000)),
        ]);
        report += `\n     open: ${page.url()} (${answer})`;
        await Promise.race([page.close().catch(() => {}), new Promise((r) => setTimeout(r, 5000))]);
    }
    return report || '\n     (no page of its own open)';
}

export class Runner {
    constructor() {
        this.tests = [];
        this.passed = 0;
        this.failed = 0;
        this.skipped = 0;
        this.retried = 0;
    }

    // `timeout` (ms, default a minute) bounds the whole test; its own checks bound each step.
    add(name, fn, { timeout = 60000 } = {}) {
        this.tests.push({ name, fn, timeout });
    }

    // A test that times out is reported with the pages it left open, which are then closed, and
    // is run once more: a browser that stalls now and then (a test that passes here in seconds
    // stood still for a minute in CI, once in many runs) must not fail the whole suite, while a
    // test that hangs each time still fails, and the first run's report says where it stood.
    async run(filter) {
        const attempt = async (t) => {
            let timer;
            const before = new Set(openPages);
            try {
                await Promise.race([
                    t.fn(),
                    new Promise((_, reject) => { timer = setTimeout(() => reject(new TimedOut(t.timeout)), t.timeout); }),
                ]);
            } catch (e) {
                if (e instanceof TimedOut) e.pages = await leftOpen(before);
                throw e;
            } finally {
                clearTimeout(timer);
            }
        };
        for (const t of this.tests) {
            if (filter && !t.name.includes(filter)) continue;
            let started = Date.now();
            let note = '';
            try {
                try {
                    await attempt(t);
                } catch (e) {
                    if (!(e instanceof TimedOut)) throw e;
                    console.log(`TIMEOUT ${t.name}, run again; ${e.message}${e.pages}`);
                    this.retried++;
                    note = ', on its second run';
                    started = Date.now();
                    await attempt(t);
                }
                this.passed++;
                console.log(`ok   ${t.name} (${Date.now() - started} ms${note})`);
            } catch (e) {
                if (e instanceof Skip) {
                    this.skipped++;
                    console.log(`skip ${t.name} (${e.message})`);
                    continue;
                }
                this.failed++;
                console.log(`FAIL ${t.name}\n     ${String(e && e.stack || e).split('\n').slice(0, 6).join('\n     ')}${e.pages || ''}`);
            }
        }
        if (this.retried) console.log(`${this.retried} test(s) timed out once and were run again`);
        console.log(`${this.passed} passed, ${this.failed} failed${this.skipped ? `, ${this.skipped} skipped` : ''}`);
        return this.failed === 0;
    }
}
