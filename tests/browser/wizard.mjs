// Drives the wizard as a person would: starts `plovik --no-browser` with a scratch home folder,
// opens the address it prints in Chromium, and works its dialogs by their element ids. Shared by
// wizard.test.mjs and scripts/screenshots.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { assert, eventually, openPage } from './harness.mjs';

// Dialogs answer through the program, so a step waits for the page to show the program's answer.
const STEP = 8000;

function escapeRegExp(s) {
    return s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
}

// A scratch home folder with the sample help file in it, and a stand-in for xdg-open that writes
// down what it was asked to open instead of starting a desktop program. A fixed root (which must
// not exist yet) gives pictures that show the same paths on every run.
export function scratchHome(repo, name = 'home', fixedRoot = null) {
    if (fixedRoot && fs.existsSync(fixedRoot)) throw new Error(`${fixedRoot} is in the way`);
    const root = fixedRoot || fs.mkdtempSync(path.join(os.tmpdir(), 'plovik-wizard-'));
    const home = path.join(root, name);
    const bin = path.join(root, 'bin');
    for (const dir of [home, bin, path.join(root, 'xdg', 'config'), path.join(root, 'xdg', 'data'),
        path.join(root, 'xdg', 'cache'), path.join(root, 'xdg', 'state'), path.join(root, 'xdg', 'run')]) {
        fs.mkdirSync(dir, { recursive: true, mode: 0o700 });
    }
    fs.copyFileSync(path.join(repo, 'examples', 'Plovik.chm'), path.join(home, 'Plovik.chm'));
    const opened = path.join(root, 'opened.txt');
    fs.writeFileSync(path.join(bin, 'xdg-open'), `#!/bin/sh\nprintf '%s\\n' "$1" >> '${opened}'\n`, { mode: 0o755 });
    return {
        root,
        home,
        env: {
            HOME: home,
            XDG_CONFIG_HOME: path.join(root, 'xdg', 'config'),
            XDG_DATA_HOME: path.join(root, 'xdg', 'data'),
            XDG_CACHE_HOME: path.join(root, 'xdg', 'cache'),
            XDG_STATE_HOME: path.join(root, 'xdg', 'state'),
            XDG_RUNTIME_DIR: path.join(root, 'xdg', 'run'),
            PATH: `${bin}:${process.env.PATH}`,
        },
        opened: () => (fs.existsSync(opened) ? fs.readFileSync(opened, 'utf8').split('\n').filter(Boolean) : []),
        remove: () => fs.rmSync(root, { recursive: true, force: true }),
    };
}

// Starts the program and waits for the address it prints.
// With `openBrowser` it opens its window as a user's start does (the scratch PATH decides with
// what).
export function startPlovik(program, scratch, args = [], { openBrowser = false } = {}) {
    const child = spawn(path.resolve(program), [...(openBrowser ? [] : ['--no-browser']), ...args], {
        cwd: scratch.home,
        env: { ...process.env, ...scratch.env },
        stdio: ['ignore', 'pipe', 'pipe'],
    });
    let output = '';
    const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
    const address = new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error(`plovik printed no address: ${output}`)), 5000);
        const look = (chunk) => {
            output += chunk;
            const m = /Plovik is running at (http:\/\/\S+)/.exec(output);
            if (m) { clearTimeout(timer); resolve(m[1]); }
        };
        child.stdout.on('data', look);
        child.stderr.on('data', (c) => { output += c; });
        child.on('exit', () => { clearTimeout(timer); reject(new Error(`plovik ended before printing an address: ${output}`)); });
        child.on('error', (e) => { clearTimeout(timer); reject(e); });
    });
    return address.then((url) => {
        const u = new URL(url);
        return {
            url,
            port: Number(u.port),
            token: u.searchParams.get('token'),
            exited,
            output: () => output,
            async stop() {
                if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
                await exited;
            },
        };
    });
}

// The wizard's window: the shell page with one iframe per open dialog.
export class Wizard {
    constructor(page, plovik, scratch) {
        this.page = page;
        this.plovik = plovik;
        this.scratch = scratch;
    }

    static async open(context, plovik, scratch, options = {}) {
        const page = await openPage(context, plovik.url, options);
        const w = new Wizard(page, plovik, scratch);
        await w.ready();
        return w;
    }

    // The page-loaded sequence has run once the program has put its template list in.
    async ready() {
        await eventually(async () => (await this.wizard.locator('#select_template option').count()) > 0,
            'the wizard page did not load', STEP);
    }

    get wizard() {
        return this.page.frameLocator('iframe[src^="/res/wizard.html"]');
    }

    // The newest dialog that shows the page res (a modal child is an overlay above its parent).
    dialog(res) {
        return this.page.frameLocator(`iframe[src^="/res/${res}"]`).last();
    }

    overlay(res) {
        return this.page.locator(`.overlay:has(iframe[src^="/res/${res}"])`).last();
    }

    async isOpen(res) {
        return (await this.page.locator(`iframe[src^="/res/${res}"]`).count()) > 0;
    }

    async waitOpen(res) {
        await this.page.locator(`iframe[src^="/res/${res}"]`).last().waitFor({ state: 'attached', timeout: STEP });
    }

    async waitClosed(res) {
        await eventually(async () => !(await this.isOpen(res)), `${res} did not close`, STEP);
    }

    // Closes a modal child with its title bar's close control (the dialog's WM_CLOSE).
    async closeOverlay(res) {
        await this.overlay(res).locator('.overlay-titlebar button').click();
        await this.waitClosed(res);
    }

    async value(id, frame = this.wizard) {
        return frame.locator(`[id="${id}"]`).first().inputValue();
    }

    async waitValue(id, test, message, frame = this.wizard, timeout = STEP) {
        const check = typeof test === 'function' ? test : (v) => v === test;
        return eventually(async () => {
            const v = await this.value(id, frame);
            return check(v) ? v || true : false;
        }, `${message || id} (wanted ${typeof test === 'function' ? 'a match' : JSON.stringify(test)})`, timeout);
    }

    async greyed(id) {
        return (await this.wizard.locator(`#${id}`).getAttribute('class')).split(/\s+/).includes('greyed');
    }

    async waitGreyed(id, greyed, message) {
        await eventually(async () => (await this.greyed(id)) === greyed, message || `${id} greyed ${greyed}`, STEP);
    }

    async shownPage() {
        for (let n = 1; n <= 5; n++) {
            if (await this.wizard.locator(`#content${n}`).isVisible()) return n;
        }
        return 0;
    }

    async goTo(n) {
        await this.wizard.locator(`#tag${n}`).click();
        await eventually(async () => (await this.shownPage()) === n, `page ${n} not shown`, STEP);
    }

    async chooseLayout(layout) {
        await this.wizard.locator(`[id="input_frame"][value="${layout}"]`).check();
    }

    // The file dialog: optionally looks in folder, then picks the entry named name and presses OK.
// Returns the full path chosen. The dialog closes before its caller writes the choice into the
// wizard, so a caller waits for that before it types into the wizard itself.
    async chooseFile(name, folder) {
        const d = this.dialog('filedialog.html');
        if (folder) {
            await d.locator('#input_folder').fill(folder);
            await d.locator('#input_folder').press('Tab');
            await this.waitValue('input_folder', folder, 'the file dialog did not go to the folder', d);
        } else {
            await this.waitValue('input_folder', (v) => v !== '', 'the file dialog shows no folder', d);
        }
        const chosen = path.join(await this.value('input_folder', d), name);
        await this.fileEntry(d, name).click();
        await this.waitValue('input_filename', name, 'choosing an entry did not name it', d);
        await d.locator('#button_ok').click();
        await this.waitClosed('filedialog.html');
        return chosen;
    }

    fileEntry(frame, name) {
        return frame.locator('button.entry').filter({ hasText: new RegExp(`^${escapeRegExp(name)}$`) });
    }

    // The folder browser: waits for it to show `start`, makes `newFolder` there (when given), and
    // chooses the folder it then shows.
    async chooseFolder(start, newFolder) {
        const d = this.dialog('folderdialog.html');
        await this.waitValue('input_folder', start, 'the folder browser did not start there', d);
        let chosen = start;
        if (newFolder) {
            await d.locator('#input_newfolder').fill(newFolder);
            await d.locator('#button_newfolder').click();
            chosen = path.join(start, newFolder);
            await this.waitValue('input_folder', chosen, 'New Folder did not open the new folder', d);
        }
        await d.locator('#button_ok').click();
        await this.waitClosed('folderdialog.html');
        return chosen;
    }

    // The message box on top: its caption, text, icon, buttons and the focused (default) button.
    async messageBox() {
        await this.waitOpen('messagebox.html');
        const d = this.dialog('messagebox.html');
        const text = await eventually(async () => (await d.locator('#text_message').innerText()).trim(),
            'the message box shows no text', STEP);
        const buttons = [];
        for (const id of ['button_ok', 'button_cancel']) {
            if (await d.locator(`#${id}`).isVisible()) buttons.push(id === 'button_ok' ? 'OK' : 'Cancel');
        }
        const focused = await eventually(async () => d.locator('body').evaluate(() => document.activeElement?.id || ''),
            'no button has the focus', STEP);
        return {
            caption: (await this.overlay('messagebox.html').locator('.overlay-titlebar span').innerText()).trim(),
            text,
            icon: await d.locator('#icon_box').getAttribute('class'),
            buttons,
            focused: focused === 'button_ok' ? 'OK' : focused === 'button_cancel' ? 'Cancel' : focused,
        };
    }

    async answer(button) {
        const d = this.dialog('messagebox.html');
        await d.locator(button === 'OK' ? '#button_ok' : '#button_cancel').click();
        await this.waitClosed('messagebox.html');
    }

    async expectMessage(text, wanted = {}) {
        const box = await this.messageBox();
        assert(box.text === text, `message box said ${JSON.stringify(box.text)}, wanted ${JSON.stringify(text)}`);
        assert(box.caption === 'Plovik', `message box caption ${box.caption}`);
        for (const [key, v] of Object.entries(wanted)) {
            assert(JSON.stringify(box[key]) === JSON.stringify(v), `message box ${key} ${JSON.stringify(box[key])}, wanted ${JSON.stringify(v)}`);
        }
        return box;
    }

    async log() {
        return this.value('textarea_log');
    }

    async close() {
        await this.page.close();
    }
}
