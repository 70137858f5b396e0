// End-to-end tests of the wizard in Chromium: each test starts `plovik --no-browser` with a
// scratch home folder, opens the address it prints and works the dialogs as a person would.
//   node wizard.test.mjs [--program build/plovik] [--only TEXT]
// A build of a big help file is stopped when the shared corpus (or PLOVIK_BIG_CHM) offers one.
// Prints one line per test and "N passed, N failed"; exits non-zero on a failure.

import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { Runner, Skip, assert, assertClean, eventually, launch } from './harness.mjs';
import { Wizard, scratchHome, startPlovik } from './wizard.mjs';

const args = Object.fromEntries(process.argv.slice(2).reduce((acc, a, i, all) => {
    if (a.startsWith('--')) acc.push([a.slice(2), all[i + 1] && !all[i + 1].startsWith('--') ? all[i + 1] : true]);
    return acc;
}, []));
const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const program = path.resolve(typeof args.program === 'string' ? args.program : path.join(repo, 'build', 'plovik'));
if (!fs.existsSync(program)) {
    console.error(`no program at ${program}: build it first (tests/browser/run.sh does)`);
    process.exit(2);
}

const HEADER_PLACEHOLDER = 'Input the HTML code (your new header) to replace the current template header';
const EXAMPLE_ADDRESS = 'http://www.example.com/yourfolder/';

const runner = new Runner();
const browser = await launch();

// One run of the program with its own home folder and window; everything is taken down after.
async function withWizard(fn) {
    const scratch = scratchHome(repo);
    const plovik = await startPlovik(program, scratch);
    let wizard = null;
    try {
        wizard = await Wizard.open(browser.context, plovik, scratch);
        await fn(wizard, scratch, plovik);
        if (!wizard.page.isClosed()) assertClean(wizard.page);
    } finally {
        if (wizard) await wizard.close().catch(() => {});
        for (const p of browser.context.pages()) await p.close().catch(() => {});
        await plovik.stop();
        scratch.remove();
    }
}

async function chooseChm(w, name, folder) {
    await w.goTo(2);
    await w.wizard.locator('#button_openchmfile').click();
    await w.waitOpen('filedialog.html');
    const chosen = await w.chooseFile(name, folder);
    await w.waitValue('input_chmfile', chosen, 'the CHM file was not taken');
    return chosen;
}

async function chooseOutput(w, start, newFolder) {
    await w.goTo(2);
    await w.wizard.locator('#button_setoutputfolder').click();
    await w.waitOpen('folderdialog.html');
    const chosen = await w.chooseFolder(start, newFolder);
    await w.waitValue('input_outputfolder', chosen, 'the output folder was not taken');
    return chosen;
}

// Build on page 5 and wait for "Done." and the completion dialog; returns its two fields.
async function buildToDone(w) {
    await w.goTo(5);
    await w.wizard.locator('#button_build').click();
    await w.waitGreyed('button_build', true, 'Build did not grey while the job ran');
    await w.waitValue('textarea_log', (v) => /\r?\nDone\.$/.test(v), 'the log did not end with Done.', w.wizard, 30000);
    await w.waitOpen('done.html');
    const done = w.dialog('done.html');
    const folder = await w.waitValue('input_outputfolder', (v) => v !== '', 'the completion dialog shows no folder', done);
    const url = await w.waitValue('input_url', (v) => v !== '', 'the completion dialog shows no address', done);
    assert((await done.locator('body').innerText()).includes('Successully !'), 'the completion dialog does not say so');
    return { folder, url };
}

// Opens the preview from the completion dialog and returns the new browser page it opened.
async function openPreview(w) {
    const popup = w.page.context().waitForEvent('page', { timeout: 8000 });
    await w.dialog('done.html').locator('#button_preview').click();
    const page = await popup;
    await page.waitForLoadState('load');
    return page;
}

runner.add('wizard: the five pages, the second tab, the about box and the template preview', async () => {
    await withWizard(async (w, scratch, plovik) => {
        assert((await w.shownPage()) === 1, 'the wizard did not open on page 1');
        assert(await w.greyed('button_back'), 'Back is not greyed on page 1');
        assert(await w.greyed('button_save'), 'Save is not greyed before any change');
        assert(await w.greyed('button_stop'), 'Stop is not greyed before a build');
        assert(await w.wizard.locator('[id="input_frame"][value="0"]').isChecked(), 'Frame version is not chosen');
        assert((await w.value('textarea_addhtmlheader')) === HEADER_PLACEHOLDER, 'the header text area lacks its placeholder');
        assert((await w.page.title()) === 'Plovik', `window title ${await w.page.title()}`);
        const captions = ['Version', 'General', 'Templates & Styles', 'HTML setting', 'Build'];
        for (let n = 1; n <= 5; n++) {
            assert((await w.shownPage()) === n, `Next did not lead to page ${n}`);
            assert((await w.wizard.locator(`#tag${n}`).innerText()).trim() === captions[n - 1], `tab ${n} caption`);
            assert(await w.wizard.locator(`#tag${n}`).evaluate((e) => e.classList.contains('selected')), `tab ${n} not marked`);
            if (n < 5) await w.wizard.locator('#button_next').click();
        }
        assert(await w.wizard.locator('#button_build_down').isVisible(), 'page 5 shows no Build beside Back');
        assert(!(await w.wizard.locator('#button_next').isVisible()), 'page 5 still shows Next');
        await w.wizard.locator('#button_back').click();
        await eventually(async () => (await w.shownPage()) === 4, 'Back did not lead to page 4');
        assert(await w.wizard.locator('#button_next').isVisible(), 'Next did not come back on page 4');

        // Enter in a field and Escape do not close or change anything.
        await w.goTo(2);
        await w.wizard.locator('#input_title').press('Enter');
        await w.wizard.locator('#input_title').press('Escape');
        assert((await w.shownPage()) === 2, 'a key moved the wizard');

        // Only one window drives the dialogs.
        const second = await browser.context.newPage();
        await second.goto(`http://127.0.0.1:${plovik.port}/`);
        await second.locator('#elsewhere').waitFor({ state: 'visible' });
        await second.close();
        assert((await w.value('input_title')) === '', 'the first window lost its page');

        // About box: Escape does not close it; its close control does.
        await w.wizard.locator('#button_about').click();
        await w.waitOpen('about.html');
        const about = w.dialog('about.html');
        assert((await about.locator('.about-name').innerText()) === 'Plovik 1.0', 'the about box does not name the program');
        await about.locator('body').press('Escape');
        await w.page.waitForTimeout(300);
        assert(await w.isOpen('about.html'), 'Escape closed the about box');
        await w.closeOverlay('about.html');

        // Template preview: the chosen template's picture, closed by its own button.
        await w.goTo(3);
        await w.wizard.locator('#button_preview').click();
        await w.waitOpen('tplpreview.html');
        const img = w.dialog('tplpreview.html').locator('#img_tpl_pv img');
        await eventually(async () => img.evaluate((e) => e.complete && e.naturalWidth > 0),
            'the template preview shows no picture');
        assert(/clarity\.png$/.test(await img.getAttribute('src')), `preview of ${await img.getAttribute('src')}`);
        await w.dialog('tplpreview.html').locator('#button_close').click();
        await w.waitClosed('tplpreview.html');
    });
});

runner.add('wizard: builds the sample in both layouts, previews the site and ends with its window', async () => {
    await withWizard(async (w, scratch, plovik) => {
        await chooseChm(w, 'Plovik.chm');
        await w.waitValue('input_chmfile', path.join(scratch.home, 'Plovik.chm'), 'the CHM file was not taken');
        assert((await w.value('input_title')) === 'Plovik online help', `title ${await w.value('input_title')}`);
        assert((await w.value('input_defaultindex')) === 'index.html', 'the frame layout got no default index');
        await w.waitGreyed('button_save', false, 'choosing a CHM file did not mark the settings modified');

        const frameOut = await chooseOutput(w, scratch.home, 'site-frame');
        await w.waitValue('input_outputfolder', frameOut, 'the output folder was not taken');
        assert(fs.statSync(frameOut).isDirectory(), 'New Folder made no folder');

        let done = await buildToDone(w);
        assert(done.folder === frameOut + '/', `completion folder ${done.folder}`);
        assert(done.url === EXAMPLE_ADDRESS + 'index.html', `completion address ${done.url}`);
        assert(fs.existsSync(path.join(frameOut, 'index.html')), 'the framed site has no index.html');
        assert(fs.existsSync(path.join(frameOut, 'HelpContent.html')), 'the framed site has no contents page');

        let site = await openPreview(w);
        assert(site.url().includes('/preview/') && site.url().endsWith('/index.html'), `preview opened ${site.url()}`);
        const tree = await eventually(async () => {
            const f = site.frames().find((x) => /HelpContent\.html$/.test(x.url()));
            return f && (await f.locator('#pk-tree li').count()) > 0 ? f : null;
        }, 'the previewed framed site shows no contents tree');
        assert((await tree.locator('#pk-tree').innerText()).length > 0, 'the contents tree is empty');
        await site.close();

        // Open folder hands the output folder to the desktop.
        await w.dialog('done.html').locator('#button_openfolder').click();
        await eventually(() => scratch.opened().includes(frameOut + '/'), `Open folder asked for ${scratch.opened()}`);
        await w.closeOverlay('done.html');
        await w.waitGreyed('button_build', false, 'a finished build left Build greyed');
        assert(await w.greyed('button_stop'), 'a finished build left Stop active');

        // The same run again in the no-frame layout, into a second new folder.
        await w.goTo(1);
        await w.chooseLayout(1);
        await w.goTo(3);
        await eventually(async () => (await w.wizard.locator('#select_template option').first().innerText()) === 'Clarity (no frames)',
            'the no-frame templates were not listed');
        assert(!(await w.wizard.locator('#check_build_index').isDisabled()), 'build index is greyed without frames');
        assert(await w.wizard.locator('#check_build_search').isChecked(), 'the no-frame layout unticked build search');
        const noframeOut = await chooseOutput(w, frameOut, 'site-noframe');
        done = await buildToDone(w);
        assert(done.folder === noframeOut + '/', `completion folder ${done.folder}`);
        assert(done.url.startsWith(EXAMPLE_ADDRESS) && done.url.length > EXAMPLE_ADDRESS.length, `completion address ${done.url}`);
        const start = done.url.slice(EXAMPLE_ADDRESS.length);
        assert(fs.existsSync(path.join(noframeOut, start)), `the no-frame site has no ${start}`);
        assert(!fs.existsSync(path.join(noframeOut, 'HelpContent.html')), 'the no-frame site kept the contents page');
        assert(fs.existsSync(path.join(noframeOut, 'js/search/index.js')), 'the no-frame site has no search data');
        assert(fs.existsSync(path.join(noframeOut, 'js/indexdata.js')), 'the no-frame site has no keyword index');

        site = await openPreview(w);
        assert(site.url().endsWith('/' + start), `preview opened ${site.url()}`);
        assert(site.frames().length === 1, 'the no-frame site has frames');
        assert((await site.locator('body').innerText()).trim().length > 0, 'the previewed page is empty');
        await site.close();

        // Closing the window while the completion dialog waits ends the program all the same.
        assertClean(w.page);
        await w.close();
        const end = await Promise.race([plovik.exited, new Promise((r) => setTimeout(() => r(null), 10000))]);
        assert(end && end.code === 0, `the program did not end after its window closed: ${JSON.stringify(end)}`);
    });
});

runner.add('wizard: saves a project, starts a new one and opens the saved one again', async () => {
    await withWizard(async (w, scratch) => {
        // Save does nothing while nothing changed.
        await w.wizard.locator('#button_save').click();
        await w.page.waitForTimeout(300);
        assert(!(await w.isOpen('filedialog.html')), 'Save of unchanged settings asked for a file');

        await chooseChm(w, 'Plovik.chm');
        const out = await chooseOutput(w, scratch.home, 'out');
        await w.wizard.locator('#input_title').fill('My help');
        await w.wizard.locator('#input_title').press('Tab');
        await w.goTo(3);
        await w.wizard.locator('#check_showreleatedtopics').uncheck();

        await w.wizard.locator('#button_save').click();
        await w.waitOpen('filedialog.html');
        const save = w.dialog('filedialog.html');
        // It starts where the last choice was made: the output folder.
        await w.waitValue('input_folder', out, 'the save dialog did not start in the last folder', save);
        await save.locator('#button_up').click();
        await w.waitValue('input_folder', scratch.home, 'Up did not lead to the parent folder', save);
        assert((await save.locator('#select_filter option').first().innerText()) === 'Plovik project file', 'save filter');
        await save.locator('#input_filename').fill('myhelp');
        await save.locator('#button_ok').click();
        await w.waitClosed('filedialog.html');
        const project = path.join(scratch.home, 'myhelp.zarn');
        await eventually(() => fs.existsSync(project), 'the project file was not written');
        await w.waitGreyed('button_save', true, 'saving did not grey Save');
        const text = fs.readFileSync(project, 'utf8');
        for (const line of [`chmfile=${path.join(scratch.home, 'Plovik.chm')}`, `outputpath=${out}`, 'title=My help', 'showrelatedtopics=0']) {
            assert(text.split(/\r?\n/).includes(line), `the project file lacks ${line}:\n${text}`);
        }

        // New asks first when there are changes; Cancel keeps them.
        await w.goTo(2);
        await w.wizard.locator('#input_title').fill('Changed');
        await w.wizard.locator('#input_title').press('Tab');
        await w.waitGreyed('button_save', false, 'typing a title did not mark the settings modified');
        await w.wizard.locator('#button_new').click();
        await w.expectMessage('The file has not been saved, do you want to continue?',
            { buttons: ['OK', 'Cancel'], focused: 'Cancel', icon: 'icon-question' });
        await w.answer('Cancel');
        assert((await w.value('input_title')) === 'Changed', 'Cancel of New lost the title');
        await w.wizard.locator('#button_new').click();
        await w.messageBox();
        await w.answer('OK');
        await w.waitValue('input_chmfile', '', 'New kept the CHM file');
        assert((await w.value('input_title')) === '', 'New kept the title');
        assert(await w.wizard.locator('#check_showreleatedtopics').isChecked(), 'New kept related topics off');
        await w.waitGreyed('button_save', true, 'New left the settings modified');

        // Open shows only project files and brings the saved values back.
        await w.wizard.locator('#button_open').click();
        await w.waitOpen('filedialog.html');
        const open = w.dialog('filedialog.html');
        await w.waitValue('input_folder', scratch.home, 'the open dialog did not start in the last folder', open);
        await eventually(async () => (await w.fileEntry(open, 'myhelp.zarn').count()) === 1, 'the project is not listed');
        assert((await w.fileEntry(open, 'Plovik.chm').count()) === 0, 'the project filter lists a CHM file');
        await w.chooseFile('myhelp.zarn');
        await w.waitValue('input_chmfile', path.join(scratch.home, 'Plovik.chm'), 'Open did not bring the CHM file back');
        await w.waitGreyed('button_save', true, 'an opened project counts as modified');
        assert((await w.value('input_outputfolder')) === out, 'Open did not bring the output folder back');
        assert((await w.value('input_title')) === 'My help', 'Open did not bring the title back');
        assert(!(await w.wizard.locator('#check_showreleatedtopics').isChecked()), 'Open did not bring related topics back');

        // With a project path, Save writes without asking.
        await w.wizard.locator('#input_title').fill('Second title');
        await w.wizard.locator('#input_title').press('Tab');
        await w.waitGreyed('button_save', false, 'typing a title did not mark the settings modified');
        await w.wizard.locator('#button_save').click();
        await eventually(() => fs.readFileSync(project, 'utf8').includes('title=Second title'), 'Save did not write the open project');
        assert(!(await w.isOpen('filedialog.html')), 'Save of an opened project asked for a file name');
    });
});

runner.add('wizard: the build refuses missing inputs with its messages', async () => {
    await withWizard(async (w, scratch) => {
        const warn = { buttons: ['OK'], icon: 'icon-warning' };
        await w.goTo(5);
        await w.wizard.locator('#button_build').click();
        await w.expectMessage('Please select a CHM file first!', warn);
        await w.answer('OK');
        await eventually(async () => (await w.shownPage()) === 2, 'the message did not lead to the General page');

        // A CHM file that went away after it was chosen.
        fs.copyFileSync(path.join(scratch.home, 'Plovik.chm'), path.join(scratch.home, 'Gone.chm'));
        await chooseChm(w, 'Gone.chm');
        fs.rmSync(path.join(scratch.home, 'Gone.chm'));
        await w.goTo(5);
        await w.wizard.locator('#button_build_down').click();
        await w.expectMessage('File does not exist!', warn);
        await w.answer('OK');
        await eventually(async () => (await w.shownPage()) === 2, 'the message did not lead to the General page');

        await chooseChm(w, 'Plovik.chm');
        await w.goTo(5);
        await w.wizard.locator('#button_build').click();
        await w.expectMessage('Please select output folder first!', warn);
        await w.answer('OK');

        const out = await chooseOutput(w, scratch.home, 'vanishing');
        fs.rmdirSync(out);
        await w.goTo(5);
        await w.wizard.locator('#button_build').click();
        await w.expectMessage('Output folder does not exist!', warn);
        await w.answer('OK');
        assert((await w.log()) === '', 'a refused build logged something');
        assert(!(await w.greyed('button_build')), 'a refused build greyed Build');

        // The file dialog's own refusals.
        await w.goTo(2);
        await w.wizard.locator('#button_openchmfile').click();
        await w.waitOpen('filedialog.html');
        const d = w.dialog('filedialog.html');
        await d.locator('#input_filename').fill('missing.chm');
        await d.locator('#button_ok').click();
        await eventually(async () => (await d.locator('#text_error').innerText()).includes('file not found'),
            'the open dialog took a missing file');
        await d.locator('#button_cancel').click();
        await w.waitClosed('filedialog.html');
        assert((await w.value('input_chmfile')) === path.join(scratch.home, 'Plovik.chm'), 'Cancel changed the CHM file');
    });
});

// The biggest help file at hand makes a build long enough to stop.
function bigChm() {
    if (process.env.PLOVIK_BIG_CHM) return process.env.PLOVIK_BIG_CHM;
    const corpus = process.env.PLOVIK_CORPUS || path.join(repo, '..', 'shared', 'corpus');
    for (const name of ['virtualtreeview.chm', 'sandcastle-picoxlsx.chm']) {
        const file = path.join(corpus, 'chm', name);
        if (fs.existsSync(file)) return file;
    }
    // Where bench/fetch-inputs.sh keeps it, or an older hand-made copy.
    const cache = process.env.PLOVIK_BENCH_CACHE
        || path.join(process.env.XDG_CACHE_HOME || path.join(os.homedir(), '.cache'), 'plovik-bench');
    for (const lcl of [path.join(cache, 'lcl.chm'), '/work/bench-data/x/usr/share/doc/lazarus/2.2.6/lcl.chm']) {
        if (fs.existsSync(lcl)) return lcl;
    }
    return null;
}

runner.add('wizard: Stop ends a build of a big help file', async () => {
    const big = bigChm();
    if (!big) throw new Skip('no big CHM file (set PLOVIK_CORPUS or PLOVIK_BIG_CHM)');
    await withWizard(async (w, scratch) => {
        fs.copyFileSync(big, path.join(scratch.home, 'Big.chm'));
        await chooseChm(w, 'Big.chm');
        const out = await chooseOutput(w, scratch.home, 'big');
        await w.goTo(5);
        await w.wizard.locator('#button_build').click();
        await w.waitValue('textarea_log', (v) => v.includes('start extract chm file'), 'the build did not start');
        await w.waitGreyed('button_stop', false, 'Stop is not active during the build');
        await w.wizard.locator('#button_stop').click();
        await w.waitValue('textarea_log', (v) => /\r?\n\r?\nstopped\.\r?\n\r?\n$/.test(v), 'the log did not end with stopped.', w.wizard, 20000);
        assert(!(await w.log()).includes('Done.'), 'the build ran to its end before Stop');
        assert(!(await w.greyed('button_build')), 'Stop left Build greyed');
        assert(await w.greyed('button_stop'), 'Stop left Stop active');
        await w.page.waitForTimeout(300);
        assert(!(await w.isOpen('done.html')), 'a stopped build showed the completion dialog');
        assert(fs.readdirSync(out).length > 0, 'the stopped build wrote nothing before it stopped');

        // A new build can start after a stop and runs to its end.
        await chooseChm(w, 'Plovik.chm');
        await buildToDone(w);
        await w.closeOverlay('done.html');
    });
});

// --- the server's own guards, spoken to without a browser -----------------------------------

function request(port, { path: target = '/', headers = {}, method = 'GET', body = '' } = {}) {
    return new Promise((resolve, reject) => {
        const req = http.request({ host: '127.0.0.1', port, path: target, method, headers, agent: false }, (res) => {
            res.resume();
            res.on('end', () => resolve(res));
        });
        req.on('error', reject);
        req.end(body);
    });
}

// A WebSocket handshake by hand; resolves with the status line of the answer.
function upgrade(port, headers) {
    return new Promise((resolve, reject) => {
        const socket = net.connect(port, '127.0.0.1', () => {
            const lines = ['GET /ws HTTP/1.1', 'Upgrade: websocket', 'Connection: Upgrade',
                'Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==', 'Sec-WebSocket-Version: 13'];
            for (const [k, v] of Object.entries(headers)) lines.push(`${k}: ${v}`);
            socket.write(lines.join('\r\n') + '\r\n\r\n');
        });
        let data = '';
        socket.setTimeout(5000, () => { socket.destroy(); reject(new Error('no answer to the upgrade')); });
        socket.on('data', (c) => {
            data += c;
            if (data.includes('\r\n')) { socket.destroy(); resolve(data.slice(0, data.indexOf('\r\n'))); }
        });
        socket.on('error', reject);
    });
}

runner.add('wizard: refuses requests without the token, from a foreign host and foreign sockets', async () => {
    const scratch = scratchHome(repo);
    const plovik = await startPlovik(program, scratch);
    try {
        const { port, token } = plovik;
        const own = `127.0.0.1:${port}`;
        const status = async (options) => (await request(port, options)).statusCode;

        assert(await status({ path: '/' }) === 403, 'the shell page was served without the token');
        assert(await status({ path: '/res/wizard.html' }) === 403, 'a page was served without the token');
        assert(await status({ path: `/?token=${'0'.repeat(token.length)}` }) === 403, 'a wrong token was taken');
        assert(await status({ path: `/preview/${'0'.repeat(token.length)}/index.html` }) === 403, 'a preview was served with a wrong token');

        const first = await request(port, { path: `/?token=${token}` });
        assert(first.statusCode === 302, `the first address answered ${first.statusCode}`);
        const setCookie = String(first.headers['set-cookie']);
        assert(/HttpOnly/.test(setCookie) && /SameSite=Strict/.test(setCookie), `cookie ${setCookie}`);
        const cookie = setCookie.split(';')[0];
        assert(await status({ path: '/res/wizard.html', headers: { cookie } }) === 200, 'the cookie did not admit');

        // DNS rebinding: the right token under someone else's name.
        assert(await status({ path: `/?token=${token}`, headers: { host: `evil.example:${port}` } }) === 403, 'a foreign Host got the cookie');
        assert(await status({ path: '/res/wizard.html', headers: { cookie, host: `evil.example:${port}` } }) === 403, 'a foreign Host was served');
        assert(await status({ path: '/res/wizard.html', headers: { cookie, host: `127.0.0.1:${port + 1}` } }) === 403, 'another port in Host was served');
        assert(await status({ path: '/', method: 'POST', headers: { cookie, origin: 'http://evil.example' } }) >= 400, 'a foreign POST was taken');

        const foreign = await upgrade(port, { Host: own, Cookie: cookie, Origin: 'http://evil.example' });
        assert(/^HTTP\/1\.1 403/.test(foreign), `a foreign Origin's upgrade got ${foreign}`);
        const noOrigin = await upgrade(port, { Host: own, Cookie: cookie });
        assert(/^HTTP\/1\.1 403/.test(noOrigin), `an upgrade without Origin got ${noOrigin}`);
        const noCookie = await upgrade(port, { Host: own, Origin: `http://${own}` });
        assert(/^HTTP\/1\.1 403/.test(noCookie), `an upgrade without the cookie got ${noCookie}`);
        const rebound = await upgrade(port, { Host: `evil.example:${port}`, Cookie: cookie, Origin: `http://evil.example:${port}` });
        assert(/^HTTP\/1\.1 403/.test(rebound), `an upgrade under a foreign Host got ${rebound}`);
        // The handshake itself is sound: with everything in order it is taken.
        const ownSocket = await upgrade(port, { Host: own, Cookie: cookie, Origin: `http://${own}` });
        assert(/^HTTP\/1\.1 101/.test(ownSocket), `the program's own upgrade got ${ownSocket}`);

        // Oversized requests are told so, not cut off.
        const bigBody = await status({ path: '/', method: 'POST', headers: { cookie }, body: 'x'.repeat(200 * 1024) });
        assert(bigBody === 413, `a 200 KiB body got ${bigBody}`);
        const bigHead = await status({ path: '/res/wizard.html', headers: { cookie, 'x-big': 'h'.repeat(64 * 1024) } });
        assert(bigHead === 431, `64 KiB of headers got ${bigHead}`);
        // The launch page's form trades the token for the cookie; without it, or from another
        // site, it gets nothing.
        const form = { 'content-type': 'application/x-www-form-urlencoded' };
        const launched = await request(port, { path: '/', method: 'POST', headers: { ...form, origin: 'null' }, body: `token=${token}` });
        assert(launched.statusCode === 200 && /SameSite=Strict/.test(String(launched.headers['set-cookie'])), `the launch form got ${launched.statusCode}`);
        assert(await status({ path: '/', method: 'POST', headers: { ...form, origin: 'http://evil.example' }, body: `token=${token}` }) === 403,
            'a foreign site\'s form got the cookie');
    } finally {
        await plovik.stop();
        scratch.remove();
    }
});

runner.add('wizard: serves of the program\'s folder only the samples, the help and the previews', async () => {
    await withWizard(async (w, scratch, plovik) => {
        // The template preview makes the program's folder servable.
        await w.goTo(3);
        await w.wizard.locator('#button_preview').click();
        await w.waitOpen('tplpreview.html');
        const base = `/sample/${plovik.token}/`;
        const status = async (p) => (await request(plovik.port, { path: base + p })).statusCode;
        assert(await status('samples/clarity/index.html') === 200, 'the sample site is not served');
        assert(await status('help/index.html') === 200, 'the help site is not served');
        assert(await status('template/previews/clarity.png') === 200, 'the preview is not served');
        for (const hidden of ['plovik', 'CMakeCache.txt', 'template/tplsetting.ini', 'template/clarity/frame.tpl', 'samples/../plovik']) {
            const got = await status(hidden);
            assert(got === 404, `${hidden} answered ${got}`);
        }
        await w.dialog('tplpreview.html').locator('#button_close').click();
        await w.waitClosed('tplpreview.html');
    });
});

runner.add('wizard: the browser it opens gets the token from a private page, not its command line', async () => {
    const scratch = scratchHome(repo);
    // A stand-in browser that writes down its command line instead of opening a window.
    const argsFile = path.join(scratch.root, 'browser-args.txt');
    fs.writeFileSync(path.join(scratch.root, 'bin', 'chromium'), `#!/bin/sh\nprintf '%s\\n' "$@" > '${argsFile}'\n`, { mode: 0o755 });
    const plovik = await startPlovik(program, scratch, [], { openBrowser: true });
    let page = null;
    let launchFile = null;
    try {
        await eventually(async () => fs.existsSync(argsFile) && fs.readFileSync(argsFile, 'utf8').includes('--app='), 'no browser was started');
        const argv = fs.readFileSync(argsFile, 'utf8').split('\n');
        assert(!argv.some((a) => a.includes(plovik.token)), `the token is on the browser's command line: ${argv.join(' ')}`);
        const app = argv.find((a) => a.startsWith('--app=file://'));
        assert(app, `the browser was not given a launch page: ${argv.join(' ')}`);
        launchFile = decodeURIComponent(app.slice('--app=file://'.length));
        assert((fs.statSync(launchFile).mode & 0o777) === 0o600, 'the launch page is readable by others');
        assert((fs.statSync(path.dirname(launchFile)).mode & 0o777) === 0o700, 'the launch page\'s folder is open to others');
        // The real browser, given that page, ends at the wizard with its cookie.
        page = await browser.context.newPage();
        await page.goto('file://' + launchFile);
        await eventually(async () => page.url() === `http://127.0.0.1:${plovik.port}/`, `the launch page went to ${page.url()}`);
        await eventually(async () => (await page.frameLocator('iframe[src^="/res/wizard.html"]').locator('#select_template option').count()) > 0,
            'the wizard did not load from the launch page', 8000);
    } finally {
        if (page) await page.close().catch(() => {});
        await plovik.stop();
        scratch.remove();
    }
    assert(launchFile && !fs.existsSync(launchFile), 'the launch page outlived the program');
});

const started = Date.now();
const ok = await runner.run(typeof args.only === 'string' ? args.only : '');
console.log(`wizard tests took ${((Date.now() - started) / 1000).toFixed(1)} s`);
await browser.close();
process.exit(ok ? 0 : 1);
