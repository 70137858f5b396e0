// Link check of a generated site: every local href and src of every HTML page must name a file
// of the site. Returns the broken ones as "page: link".

import fs from 'node:fs';
import path from 'node:path';

const TAG = /<[a-z][^<>]*>/gi;
const ATTR = /\s(?:href|src)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>"']+))/gi;
const OUTSIDE = /^(?:[a-z][a-z0-9+.-]*:|\/\/|#)/i;

function* pages(dir) {
    for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
        const p = path.join(dir, e.name);
        if (e.isDirectory()) yield* pages(p);
        else if (/\.html?$/i.test(e.name)) yield p;
    }
}

export function checkLinks(root) {
    const broken = [];
    for (const file of pages(root)) {
        const html = fs.readFileSync(file, 'latin1');
        for (const m of [...html.matchAll(TAG)].flatMap((t) => [...t[0].matchAll(ATTR)])) {
            const link = (m[1] ?? m[2] ?? m[3]).trim();
            if (!link || OUTSIDE.test(link)) continue;
            let target = link.replace(/[?#].*$/, '').replace(/\\/g, '/');
            if (!target) continue;
            try { target = decodeURIComponent(target); } catch { /* keep it as written */ }
            const resolved = path.resolve(path.dirname(file), target);
            if (!resolved.startsWith(path.resolve(root)) || !fs.existsSync(resolved)) {
                broken.push(`${path.relative(root, file)}: ${link}`);
            }
        }
    }
    return broken;
}
