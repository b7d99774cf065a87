// Browser tests of files dropped on the window, against the mock server:
// the drop hint, the uploads, the local files dialog opened with the
// uploads chosen, the request it sends, and the drops that upload nothing.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { USING_MOCK, chromiumMissing, dropFiles, eventually, filesDrag, startSuite } from './harness.mjs';

const skip = chromiumMissing() || (!USING_MOCK && 'these tests read the mock server\'s uploads');
const ONLY = 'Only HTML and PDF files (.htm, .html, .pdf) can be added to a library.';

describe('files dropped on the window', { skip, timeout: 120000 }, () => {
  let suite;
  before(async () => { suite = await startSuite(); });
  after(async () => { await suite?.close(); });

  const d = '#acquire-dialog';
  const visiblePage = (a) => a.page.$eval(`${d} .page:not([hidden])`, (s) => s.dataset.page);
  const messageText = (a) => a.page.locator('#message-box[open] .message-text');
  const uploadsSent = (a) => a.posted.filter((p) => p.path === '/api/upload').map((p) => p.query);
  const chooserEntry = (a, ident) => a.page.$eval('#library-chooser',
    (select, id) => [...select.options].find((o) => o.value === id)?.textContent ?? '', ident);

  async function closeMessage(a) {
    await a.page.click('#message-box .message-ok');
    await a.page.locator('#message-box[open]').waitFor({ state: 'detached' });
  }

  async function finish(a, name) {
    await a.screenshot(name);
    assert.deepEqual(a.problems, [], 'no script errors in the page');
    await a.close();
  }

  test('the hint shows while files are dragged over the window, and only then', async () => {
    const a = await suite.openApp();
    const hint = a.page.locator('#drop-hint');
    assert.equal(await hint.isVisible(), false);
    const dataTransfer = await filesDrag(a.page, [{ name: 'a.html', text: '<p>a</p>', type: 'text/html' }]);
    await a.page.dispatchEvent('body', 'dragenter', { dataTransfer });
    assert.equal(await hint.isVisible(), true);
    assert.match(await hint.textContent(), /Drop HTML or PDF files to add them to a library/);
    await a.screenshot('drop-hint');
    // Over the tool bar (entered before the page is left): the hint stays.
    await a.page.dispatchEvent('#toolbar', 'dragenter', { dataTransfer });
    await a.page.dispatchEvent('body', 'dragleave', { dataTransfer });
    assert.equal(await hint.isVisible(), true);
    // Out of the window.
    await a.page.dispatchEvent('#toolbar', 'dragleave', { dataTransfer });
    assert.equal(await hint.isVisible(), false);
    // Text dragged inside the page is no file drag.
    const text = await a.page.evaluateHandle(() => {
      const transfer = new DataTransfer();
      transfer.setData('text/plain', 'tides');
      return transfer;
    });
    await a.page.dispatchEvent('body', 'dragenter', { dataTransfer: text });
    assert.equal(await hint.isVisible(), false);
    await finish(a, 'drop-hint-gone');
  });

  test('dropped HTML and PDF files are uploaded and open the dialog with them chosen', async () => {
    const a = await suite.openApp();
    assert.equal(await chooserEntry(a, 'lib01'), 'Tidal Energy (3)');
    await dropFiles(a.page, [
      { name: 'lagoons.html', text: '<html><body>Tidal lagoons</body></html>', type: 'text/html' },
      { name: 'notes.txt', text: 'plain notes', type: 'text/plain' },
      { name: 'barrage.PDF', text: '%PDF-1.4 barrage', type: 'application/pdf' },
      { name: 'old page.htm', text: '<p>old</p>', type: 'text/html' },
    ]);
    assert.equal(await a.page.isVisible('#drop-hint'), false, 'the drop ends the hint');
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(), `${ONLY} This file was left out: notes.txt`);
    await a.screenshot('drop-left-out-message');
    // The files were uploaded one by one, in the order dropped, with their bytes.
    assert.deepEqual(uploadsSent(a), ['lagoons.html', 'barrage.PDF', 'old page.htm']);
    const kept = suite.mock.state.uploads.slice(-3);
    assert.deepEqual(kept.map((u) => [u.name, u.text]), [
      ['lagoons.html', '<html><body>Tidal lagoons</body></html>'], ['barrage.PDF', '%PDF-1.4 barrage'],
      ['old page.htm', '<p>old</p>']]);
    assert.equal(await a.page.isVisible(d), false, 'the dialog waits for the message');
    await closeMessage(a);

    // The dialog opens in its files mode on the target page.
    await a.page.locator(`${d}[open]`).waitFor();
    assert.equal(await a.page.textContent(`${d} .dialog-title`), 'Add Local Files');
    assert.equal(await visiblePage(a), 'target');
    await a.page.click(`${d} .back-button`);
    assert.equal(await visiblePage(a), 'local');
    assert.equal(await a.page.isChecked(`${d} input[name="local-mode"][value="files"]`), true);
    assert.equal(await a.page.textContent(`${d} .chosen-count`), '3 files chosen');
    const chosen = () => a.page.$$eval(`${d} .chosen-list li span`, (items) => items.map((i) => i.textContent));
    assert.deepEqual(await chosen(), kept.map((u) => u.path));
    await a.screenshot('drop-dialog-chosen');
    // A chosen file can be taken out again.
    await a.page.click(`${d} .chosen-list li:nth-child(3) .unchoose-button`);
    assert.deepEqual(await chosen(), kept.slice(0, 2).map((u) => u.path));
    assert.equal(await a.page.textContent(`${d} .chosen-count`), '2 files chosen');
    await a.page.click(`${d} .next-button`);
    assert.equal(await visiblePage(a), 'target');
    await a.page.check(`${d} input[name="target-kind"][value="library"]`);
    await a.page.selectOption(`${d} .target-library`, 'lib01');
    await a.page.click(`${d} .ok-button`);
    await eventually(() => a.bodies('/api/acquire').length === 1, 3000, 'the acquire request');
    assert.deepEqual(a.bodies('/api/acquire')[0], { kind: 'files', files: kept.slice(0, 2).map((u) => u.path),
      target: { library: 'lib01' } });
    await eventually(async () => (await chooserEntry(a, 'lib01')) === 'Tidal Energy (5)', 5000,
      'the library list reloaded after adding the files');
    await eventually(() => !suite.mock.state.busy, 5000, 'the end of the operation');
    await finish(a, 'drop-files-added');
  });

  test('a drop of no importable file uploads nothing and names the files', async () => {
    const a = await suite.openApp();
    const before = suite.mock.state.uploads.length;
    await dropFiles(a.page, [
      { name: 'sheet.xls', text: 'cells', type: 'application/vnd.ms-excel' },
      { name: 'photo.png', text: 'png', type: 'image/png' },
    ]);
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(),
      `${ONLY} These files were left out: sheet.xls, photo.png`);
    await a.screenshot('drop-nothing-importable');
    await closeMessage(a);
    // Give a late upload or dialog the time to show itself.
    await new Promise((done) => setTimeout(done, 300));
    assert.deepEqual(uploadsSent(a), []);
    assert.equal(suite.mock.state.uploads.length, before);
    assert.equal(await a.page.isVisible(d), false);
    await finish(a, 'drop-nothing-uploaded');
  });

  test('while the program is busy a drop is refused and nothing is uploaded', async () => {
    const a = await suite.openApp();
    a.script.busy = true;
    await eventually(() => a.page.evaluate(() => document.body.classList.contains('busy')), 3000, 'busy mode');
    await dropFiles(a.page, [{ name: 'tides.html', text: '<p>tides</p>', type: 'text/html' }]);
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(), 'Program is busy. Please wait.');
    await a.screenshot('drop-busy-refused');
    await closeMessage(a);
    await new Promise((done) => setTimeout(done, 300));
    assert.deepEqual(uploadsSent(a), []);
    assert.equal(await a.page.isVisible(d), false);
    // Once idle, the same drop goes through.
    a.script.busy = undefined;
    await eventually(() => a.page.evaluate(() => !document.body.classList.contains('busy')), 3000, 'idle');
    await dropFiles(a.page, [{ name: 'tides.html', text: '<p>tides</p>', type: 'text/html' }]);
    await a.page.locator(`${d}[open]`).waitFor();
    assert.deepEqual(uploadsSent(a), ['tides.html']);
    await a.page.click(`${d} .cancel-button`);
    await finish(a, 'drop-after-busy');
  });

  test('an upload the server refuses is shown and opens no dialog', async () => {
    const a = await suite.openApp();
    await a.page.route('**/api/upload*', (route) => route.fulfill({ status: 507,
      json: { error: 'The folder /mock/qoralibs/uploads/ cannot be written.' } }));
    await dropFiles(a.page, [{ name: 'tides.html', text: '<p>tides</p>', type: 'text/html' }]);
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(),
      'tides.html cannot be added: The folder /mock/qoralibs/uploads/ cannot be written.');
    await closeMessage(a);
    await new Promise((done) => setTimeout(done, 300));
    assert.equal(await a.page.isVisible(d), false);
    await finish(a, 'drop-upload-refused');
  });
});
