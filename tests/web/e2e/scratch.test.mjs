// The scratch pad on a real `qora serve` (started by run_real.sh, which
// names its data folder in QORA_TEST_DATA): the pad is saved as RTF in
// "scratch.rtf" there, when the page goes away and on the two-minute timer,
// and read back; Send to Word refuses a ".url" name and writes the chosen
// file.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { chromiumMissing, eventually, startSuite } from '../browser/harness.mjs';

const DATA = process.env.QORA_TEST_DATA;
const skip = chromiumMissing() || (!process.env.QORA_TEST_URL && 'QORA_TEST_URL is not set')
  || (!DATA && 'QORA_TEST_DATA is not set');

const stored = () => (existsSync(join(DATA, 'scratch.rtf')) ? readFileSync(join(DATA, 'scratch.rtf'), 'utf8') : '');

describe('the scratch pad of the application', { skip }, () => {
  let suite;
  before(async () => { suite = await startSuite(); });
  after(async () => { await suite?.close(); });

  const text = (a) => a.page.innerText('#scratch-pad');
  async function open(options) {
    const a = await suite.openApp(options);
    await a.page.waitForSelector('#scratch-pad[data-state="loaded"]');
    return a;
  }

  test('the pad is kept in scratch.rtf in the data folder and read back', async () => {
    const a = await open({ clock: new Date() });
    await a.page.click('#scratch-pad');
    await a.page.keyboard.press('Control+End');
    await a.page.keyboard.type('Tides ');
    await a.page.keyboard.press('Control+b');
    await a.page.keyboard.type('turn');
    await a.page.keyboard.press('Control+b');
    await a.page.keyboard.type(' at the caf\u00e9');
    await a.page.reload();
    await eventually(() => stored().includes('Tides {\\b turn} at the caf\\u233?\\par'), 10000, 'scratch.rtf');
    assert.match(stored(), /^\{\\rtf1\\ansi/);
    await a.page.waitForSelector('#scratch-pad[data-state="loaded"]');
    assert.match(await text(a), /Tides turn at the caf\u00e9$/);
    assert.match(await a.page.innerHTML('#scratch-pad'), /<b>turn<\/b>/);

    await a.page.click('#scratch-pad');
    await a.page.keyboard.press('Control+End');
    await a.page.keyboard.press('Enter');
    await a.page.keyboard.type('Second {line}');
    await a.page.clock.fastForward(120000);
    await eventually(() => stored().includes('Second \\{line\\}\\par'), 10000, 'the timed save');
    const answer = await (await fetch(`${suite.baseUrl}/api/scratch`)).json();
    assert.equal(answer.rtf, stored());
    await a.screenshot('real-scratch-pad');
    assert.deepEqual(a.problems, []);
    await a.close();
  });

  test('Send to Word refuses a ".url" name and writes the chosen file', async () => {
    const a = await open();
    await a.page.click('.scratch-tools [data-command="word"]');
    await a.page.locator('#export-dialog').waitFor({ state: 'visible' });
    await eventually(async () => (await a.page.textContent('#export-dialog .export-folder')) !== '', 5000,
      'the folder listing');
    assert.equal(join(await a.page.textContent('#export-dialog .export-folder'), '/'), join(DATA, '/'));
    await a.page.fill('#export-dialog .export-name', 'notes.url');
    await a.page.click('#export-dialog .export-save');
    const message = a.page.locator('#message-box[open] .message-text');
    await message.waitFor({ timeout: 10000 });
    assert.equal(await message.textContent(), 'Please choose files');
    await a.page.click('#message-box .message-ok');
    assert.equal(existsSync(join(DATA, 'notes.url')), false);

    await a.page.click('.scratch-tools [data-command="word"]');
    await a.page.locator('#export-dialog').waitFor({ state: 'visible' });
    await a.page.fill('#export-dialog .export-name', 'notes.doc');
    await a.page.click('#export-dialog .export-save');
    await eventually(() => existsSync(join(DATA, 'notes.doc')), 10000, 'the exported file');
    assert.equal(readFileSync(join(DATA, 'notes.doc'), 'utf8'), stored());
    assert.deepEqual(a.problems, []);
    await a.close();
  });
});
