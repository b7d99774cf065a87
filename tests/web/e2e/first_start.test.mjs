// The first start in the browser: `qora serve` with empty settings asks
// where to make the data folder, makes "qoralibs/" there, and goes on to
// the main window; a clean end remembers the folder.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtemp, readFile, rm, stat } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { CHROMIUM, chromiumMissing, eventually } from '../browser/harness.mjs';

const skip = chromiumMissing() || (!process.env.QORA_PROGRAM && 'QORA_PROGRAM is not set');

describe('the first start', { skip }, () => {
  let work;
  let browser;
  before(async () => {
    work = await mkdtemp(join(tmpdir(), 'qora-first-'));
    browser = await chromium.launch({ executablePath: CHROMIUM, headless: true,
      args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'] });
  });
  after(async () => {
    await browser?.close();
    if (work) await rm(work, { recursive: true, force: true });
  });

  test('asks for a folder, makes qoralibs/ in it and opens the main window', async () => {
    const server = spawn(process.env.QORA_PROGRAM, ['serve', '--no-browser', '--port', '0'], {
      env: { ...process.env, XDG_CONFIG_HOME: join(work, 'config'), XDG_RUNTIME_DIR: join(work, 'run'),
        HOME: join(work, 'home'), QORA_DATA: '', QORA_SETTINGS: '' },
      stdio: ['ignore', 'pipe', 'pipe'],
    });
    let output = '';
    server.stdout.on('data', (chunk) => { output += chunk; });
    server.stderr.on('data', (chunk) => { output += chunk; });
    const ended = new Promise((done) => server.on('exit', (code) => done(code)));
    try {
      const address = await eventually(() => output.match(/QORA is at (http\S+)/)?.[1], 20000, 'the address');
      const page = await browser.newPage({ viewport: { width: 1240, height: 860 } });
      await page.goto(address);
      await eventually(async () => (await page.textContent('#message')).includes(
        'Before starting QORA for the first time'), 10000, 'the first start message');
      assert.equal(await page.textContent('#chooser-title'), 'User Library Location:');
      assert.equal(await page.textContent('#prompt'), 'Choose a folder on your hard disk (NOT ON A SHARED FOLDER)');
      await page.fill('#path', work);
      await page.click('#ok');
      await page.waitForSelector('table.doclist thead th', { timeout: 20000 });
      assert.ok((await stat(join(work, 'qoralibs', 'main.ini'))).isFile());
      await page.close();
    } finally {
      server.kill('SIGTERM');
    }
    assert.equal(await ended, 0, output);
    const settings = await readFile(join(work, 'config', 'qora', 'settings.ini'), 'utf8');
    assert.match(settings, new RegExp(`rootFolder=${work}/qoralibs/\n`));
    assert.match(settings, /gracefullyTerminated=1/);
  });
});
