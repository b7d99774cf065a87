// A passage taken from a summary page outlives the application: on a
// `qora serve` of the test's own (a fresh data folder with the sample
// library, its own settings and lock), a sentence's "scratch pad" link in
// the summary page puts it into the ScratchPad; the pad is saved when the
// window goes away, the server ends cleanly on SIGTERM, and a second start
// on the same data folder shows the passage again, as scratch.rtf holds it.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFile, spawn } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { mkdir, mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';
import { CHROMIUM, SCREENSHOT_DIR, chromiumMissing, eventually } from '../browser/harness.mjs';

const PROGRAM = process.env.QORA_PROGRAM;
const SOURCE = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..', '..');
const skip = chromiumMissing() || (!PROGRAM && 'QORA_PROGRAM is not set')
  || (!process.env.QORA_WEB && 'QORA_WEB is not set');

// `text` as the pad writes it in RTF: backslash and braces escaped, letters
// beyond ASCII as \uN? escapes.
function rtfEscaped(text) {
  return [...text].map((c) => {
    if (c === '\\' || c === '{' || c === '}') return `\\${c}`;
    const code = c.codePointAt(0);
    if (code < 0x80) return c;
    return code > 0xffff ? '' : `\\u${code > 0x7fff ? code - 0x10000 : code}?`;
  }).join('');
}

describe('a passage in the scratch pad across a restart', { skip }, () => {
  let work;
  let data;
  let env;
  let browser;
  before(async () => {
    work = await mkdtemp(join(tmpdir(), 'qora-restart-'));
    data = join(work, 'data');
    env = { ...process.env, XDG_CONFIG_HOME: join(work, 'config'), XDG_RUNTIME_DIR: join(work, 'run'),
      QORA_DATA: '', QORA_SETTINGS: '' };
    // Without a display the server opens no file.
    delete env.DISPLAY;
    delete env.WAYLAND_DISPLAY;
    await mkdir(env.XDG_CONFIG_HOME, { recursive: true });
    await mkdir(env.XDG_RUNTIME_DIR, { recursive: true });
    const run = (...args) => promisify(execFile)(PROGRAM, args, { env });
    await run('init', data);
    await run('--data', data, 'lib', 'new', 'Sample');
    await run('--data', data, 'add-folder', 'Sample', join(SOURCE, 'samples', 'library'),
      '--max-docs', '200', '--max-kb', '100000');
    browser = await chromium.launch({ executablePath: CHROMIUM, headless: true,
      args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'] });
  });
  after(async () => {
    await browser?.close();
    if (work) await rm(work, { recursive: true, force: true });
  });

  // Starts `qora serve` on the data folder; resolves to its address, the
  // promise of its exit status, and a way to end it with SIGTERM.
  async function serve() {
    const server = spawn(PROGRAM, ['--data', data, 'serve', '--no-browser', '--port', '0'], {
      env, stdio: ['ignore', 'pipe', 'pipe'],
    });
    let output = '';
    server.stdout.on('data', (chunk) => { output += chunk; });
    server.stderr.on('data', (chunk) => { output += chunk; });
    const ended = new Promise((done) => server.on('exit', (code, signal) => done(signal ?? code)));
    const address = await eventually(() => output.match(/QORA is at (http\S+)/)?.[1], 20000, 'the address')
      .catch((error) => {
        server.kill('SIGKILL');
        throw error;
      });
    return {
      address: address.replace(/\/$/, ''),
      output: () => output,
      async stop() {
        server.kill('SIGTERM');
        return ended;
      },
    };
  }

  async function openWindow(address) {
    const context = await browser.newContext({ viewport: { width: 1240, height: 860 } });
    const page = await context.newPage();
    const problems = [];
    page.on('pageerror', (error) => problems.push(error.message));
    await page.goto(`${address}/`);
    await page.waitForSelector('table.doclist thead th');
    await page.waitForSelector('#scratch-pad[data-state="loaded"]');
    await page.waitForSelector('body[data-state="ready"]');
    return { context, page, problems };
  }

  const screenshot = async (page, name) => {
    await mkdir(SCREENSHOT_DIR, { recursive: true });
    await page.screenshot({ path: join(SCREENSHOT_DIR, `${name}.png`) });
  };
  const stored = () => (existsSync(join(data, 'scratch.rtf')) ? readFileSync(join(data, 'scratch.rtf'), 'utf8') : '');
  const padText = (page) => page.innerText('#scratch-pad');
  const idle = async (page) => !(await page.evaluate(() => document.body.classList.contains('busy')));

  test('a sentence sent from the summary page is in the pad and in scratch.rtf after a restart', async () => {
    let passage;
    const first = await serve();
    try {
      const { context, page, problems } = await openWindow(first.address);
      assert.equal(await padText(page), '', 'a fresh data folder has an empty pad');
      const libraries = await (await fetch(`${first.address}/api/libraries`)).json();
      const sample = libraries.find((library) => library.name === 'Sample');
      assert.ok(sample, 'the sample library is listed');

      await page.click('#research-button');
      await page.fill('#research-dialog .research-text', 'write-ahead log checkpoint');
      await page.click('#research-dialog .next-button');
      await page.check(`#research-dialog .library-check[value="${sample.ident}"]`);
      await page.click('#research-dialog .ok-button');
      const rows = page.locator('table.doclist tbody tr');
      await eventually(async () => (await rows.count()) > 0 && await idle(page), 60000, 'the ranked list');
      const seq = (await (await fetch(`${first.address}/api/poll?after=0`)).json()).seq;
      await rows.first().click();
      await eventually(async () => (await (await fetch(`${first.address}/api/poll?after=${seq}`)).json()).events
        .some((event) => event.type === 'completion'), 60000, 'the preview of the document');
      await eventually(async () => (await page.$eval('#preview', (f) => f.getAttribute('src'))) === '/pages/map_.htm'
        && await idle(page), 10000, 'the window to show the end of the preview');
      // The preview ends on the concept map; the view bar brings back the
      // summary page.
      await page.click('#view-bar button[data-view="summary"]');
      await eventually(async () => (await page.$eval('#preview', (f) => f.contentWindow.location.pathname))
        === '/pages/sumry_.htm', 10000, 'the summary page');
      const summary = page.frameLocator('#preview');
      const strongest = summary.locator('li.strong').first();
      await strongest.locator('a[href*="exportPassage?passage="]').waitFor({ timeout: 20000 }).catch(async (error) => {
        await screenshot(page, 'real-restart-no-summary');
        const shown = await page.$eval('#preview', (f) => f.contentDocument?.body?.innerText.slice(0, 500));
        throw new Error(`${error.message}\nthe frame shows: ${shown}`);
      });
      passage = (await strongest.locator('.text').textContent()).replace(/\s+/g, ' ').trim();
      assert.ok(passage.length > 20, `a sentence: "${passage}"`);

      await strongest.locator('a[href*="exportPassage?passage="]').click();
      await eventually(async () => (await padText(page)).includes(passage), 10000, 'the passage in the pad');
      await screenshot(page, 'real-restart-passage-in-pad');
      assert.deepEqual(problems, []);

      // The window goes away: the pad is saved as it goes.
      await page.close({ runBeforeUnload: true });
      await eventually(() => stored().includes(rtfEscaped(passage)), 10000, 'scratch.rtf with the passage');
      await context.close();
    } finally {
      const status = await first.stop();
      assert.equal(status, 0, first.output());
    }
    assert.match(readFileSync(join(env.XDG_CONFIG_HOME, 'qora', 'settings.ini'), 'utf8'), /gracefullyTerminated=1/);

    // The second start reads the pad back from the same data folder.
    const second = await serve();
    try {
      const { context, page, problems } = await openWindow(second.address);
      assert.ok((await padText(page)).includes(passage), `the pad after the restart: ${await padText(page)}`);
      await screenshot(page, 'real-restart-pad-read-back');
      assert.deepEqual(problems, []);
      await context.close();
    } finally {
      const status = await second.stop();
      assert.equal(status, 0, second.output());
    }
    const rtf = stored();
    assert.match(rtf, /^\{\\rtf1\\ansi/);
    assert.ok(rtf.includes(`${rtfEscaped(passage)}\\par`), rtf);
  });
});
