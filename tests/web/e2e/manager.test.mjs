// The "Manage Libraries" window on a real `qora serve` (started by
// run_real.sh): the list with the research's open library marked, and its
// five commands: New with its name dialog, a refused and a done Merge,
// Empty and Erase asking first, Repair.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { chromiumMissing, eventually, startSuite } from '../browser/harness.mjs';

const skip = chromiumMissing() || (!process.env.QORA_TEST_URL && 'QORA_TEST_URL is not set');

describe('the library manager', { skip }, () => {
  let suite;
  before(async () => { suite = await startSuite(); });
  after(async () => { await suite?.close(); });

  test('lists, makes, refuses and erases libraries', async () => {
    const a = await suite.openApp();
    const idle = () => a.page.evaluate(() => !document.body.classList.contains('busy'));
    const rows = a.page.locator('#library-manager table.manager-list tbody tr');
    const rowOf = (name) => rows.filter({ has: a.page.locator('td', { hasText: new RegExp(`^${name}$`) }) });
    const cells = async (name) => (await rowOf(name).locator('td').allTextContents()).slice(1);

    // A research opens the sample library: the manager marks it.
    const libraries = await (await fetch(`${suite.baseUrl}/api/libraries`)).json();
    const sample = libraries.find((library) => library.name === 'Sample');
    await a.page.evaluate((ident) => fetch('/api/research', {
      method: 'POST', headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ kind: 'keywords', text: 'database', libraries: [ident] }),
    }), sample.ident);
    await eventually(async () => (await a.page.locator('table.doclist tbody tr').count()) > 0 && idle(),
      60000, 'the research');

    if (await a.page.isVisible('#message-box')) {
      throw new Error(`a message: ${await a.page.textContent('#message-box .message-text')}`);
    }
    await a.page.click('#manager-button');
    await eventually(async () => (await rowOf('Sample').count()) === 1, 10000, 'the list');
    const sampleCells = await cells('Sample');
    assert.deepEqual(sampleCells.slice(0, 3), ['Sample', 'X', '43']);
    assert.match(sampleCells[3], /^\d+$/);
    assert.deepEqual((await cells('Empty')).slice(0, 4), ['Empty', '', '0', '0']);

    // New: the name dialog offers "New " and the date; the list shows it.
    await a.page.click('#library-manager .manager-new');
    await a.page.locator('#input-box').waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#input-box .input-title'), 'Name for the new library');
    assert.equal(await a.page.textContent('#input-box .input-prompt'), 'Library Name:');
    assert.match(await a.page.inputValue('#input-box .input-text'), /^New \S/);
    await a.page.fill('#input-box .input-text', 'Shelf');
    await a.page.click('#input-box .input-ok');
    await eventually(async () => (await rowOf('Shelf').count()) === 1, 20000, 'the new library listed');
    assert.deepEqual((await cells('Shelf')).slice(0, 3), ['Shelf', '', '0']);
    await a.screenshot('real-library-manager');

    // Merge with one library checked is refused before a name is asked.
    await rowOf('Shelf').locator('.manager-check').check();
    await a.page.click('#library-manager .manager-merge');
    await a.page.locator('#message-box').waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#message-box .message-text'), 'Please check mark the libraries first');
    await a.page.click('#message-box .message-ok');
    assert.equal(await a.page.isVisible('#input-box'), false);

    // A second library, then Merge: the name dialog offers the first
    // library's name, " merged " and the date; the two become one.
    await rowOf('Shelf').locator('.manager-check').uncheck();
    await a.page.click('#library-manager .manager-new');
    await a.page.locator('#input-box').waitFor({ state: 'visible' });
    await a.page.fill('#input-box .input-text', 'Box');
    await a.page.click('#input-box .input-ok');
    await eventually(async () => (await rowOf('Box').count()) === 1, 20000, 'the second library listed');
    await rowOf('Shelf').locator('.manager-check').check();
    await rowOf('Box').locator('.manager-check').check();
    await a.page.click('#library-manager .manager-merge');
    await a.page.locator('#input-box').waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#input-box .input-title'), 'Name for the merged library');
    assert.equal(await a.page.textContent('#input-box .input-prompt'), 'Merged Library Name:');
    assert.match(await a.page.inputValue('#input-box .input-text'), /^(Box|Shelf) merged \S/);
    await a.page.fill('#input-box .input-text', 'Crate');
    await a.page.click('#input-box .input-ok');
    await eventually(async () => (await rowOf('Crate').count()) === 1 && (await rowOf('Box').count()) === 0
      && (await rowOf('Shelf').count()) === 0, 20000, 'the merged library in place of the two');

    // Empty asks first too; Repair tells when it is done.
    await rowOf('Crate').locator('.manager-check').check();
    await a.page.click('#library-manager .manager-empty');
    await a.page.locator('#question-box').waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#question-box .question-text'),
      'Are you sure you want to delete all data stored in Crate ? The data will be lost forever!');
    const seq = (await (await fetch(`${suite.baseUrl}/api/poll?after=0`)).json()).seq;
    await a.page.click('#question-box .question-yes');
    await eventually(async () => (await (await fetch(`${suite.baseUrl}/api/poll?after=${seq}`)).json()).events
      .some((e) => e.type === 'completion' && e.code === 15), 20000, 'the library emptied');
    await eventually(idle, 5000, 'the window to see the end');
    await a.page.click('#library-manager .manager-repair');
    await a.page.locator('#message-box').waitFor({ state: 'visible', timeout: 60000 });
    assert.equal(await a.page.textContent('#message-box .message-text'), 'Repair done.');
    await a.page.click('#message-box .message-ok');
    assert.equal(await rowOf('Crate').count(), 1);
    assert.deepEqual((await cells('Sample')).slice(2, 3), ['43']);

    // Erase asks; No keeps the library, Yes erases it.
    await rowOf('Crate').locator('.manager-check').check();
    await a.page.click('#library-manager .manager-erase');
    await a.page.locator('#question-box').waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#question-box .question-text'),
      'Are you sure you want to comlpetely erase Crate ? The data will be lost forever!');
    await a.page.click('#question-box .question-no');
    await a.page.click('#library-manager .manager-erase');
    await a.page.locator('#question-box').waitFor({ state: 'visible' });
    await a.page.click('#question-box .question-yes');
    await eventually(async () => (await rowOf('Crate').count()) === 0, 20000, 'the library erased');
    assert.equal(await rowOf('Sample').count(), 1);
    assert.deepEqual(a.problems, []);
    await a.close();
  });
});
