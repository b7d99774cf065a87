// Browser tests of the status bar, the Stop button and the events that
// change the word bar, the scratch pad and the window title.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { USING_MOCK, chromiumMissing, eventually, startSuite } from './harness.mjs';

const skip = chromiumMissing();

describe('status bar and events', { skip }, () => {
  let suite;
  let app;
  before(async () => { suite = await startSuite(); });
  after(async () => { await suite?.close(); });

  async function open(options) {
    app = await suite.openApp(options);
    return app;
  }

  async function finish(name) {
    await app.screenshot(name);
    assert.deepEqual(app.problems, [], 'no script errors in the page');
    await app.close();
  }

  const progress = (a) => a.page.$eval('#progress', (p) => p.value);

  test('while busy the status text is shown, the progress bar steps and Stop posts /api/stop', async () => {
    const a = await open();
    await a.page.route('**/api/stop', (route) => route.fulfill({ json: {} }));
    a.script.busy = true;
    a.script.status = 'Relevance ranking 7';
    await eventually(async () => (await a.page.textContent('#status-text')) === 'Relevance ranking 7',
      3000, 'the status text');
    const first = await progress(a);
    await eventually(async () => (await progress(a)) >= first + 3, 3000, 'the progress bar to step');
    assert.equal(await a.page.isEnabled('#stop-button'), true);
    await a.screenshot('busy-status');
    await a.page.click('#stop-button');
    await eventually(() => a.bodies('/api/stop').length === 1, 3000, 'the stop request');
    assert.deepEqual(a.bodies('/api/stop'), [{}]);
    a.script.busy = false;
    a.script.status = 'Document Listing completed';
    await eventually(async () => (await progress(a)) === 0, 3000, 'the progress bar to rest');
    assert.equal(await a.page.textContent('#status-text'), 'Document Listing completed');
    assert.equal(await a.page.isEnabled('#stop-button'), false);
    await finish('idle-status');
  });

  test('while busy the tool bar is refused with "Program is busy. Please wait."', async () => {
    const a = await open();
    a.script.busy = true;
    await eventually(() => a.page.isEnabled('#stop-button'), 3000, 'busy mode');
    await a.page.click('#research-button');
    const message = a.page.locator('#message-box[open] .message-text');
    await message.waitFor();
    assert.equal(await message.textContent(), 'Program is busy. Please wait.');
    assert.equal(await a.page.getAttribute('#message-box', 'data-level'), 'info');
    assert.equal(await a.page.isVisible('#research-dialog'), false);
    await a.screenshot('busy-refused');
    await a.page.click('#message-box .message-ok');
    await a.page.click('#analyze-button');
    await message.waitFor();
    await a.page.click('#message-box .message-ok');
    assert.equal(a.bodies('/api/analyze').length, 0);
    a.script.busy = false;
    await eventually(async () => !(await a.page.isEnabled('#stop-button')), 3000, 'the end of busy mode');
    await a.page.click('#research-button');
    await a.page.locator('#research-dialog').waitFor({ state: 'visible' });
    await finish('idle-again');
  });

  test('"wordbar", "scratch" and "title" events show their texts', async () => {
    const a = await open();
    a.emit({ type: 'wordbar', words: '  tidal  power barrage lagoon turbine mill   estuary ' },
      { type: 'scratch', passage: 'Tides turn turbines.' },
      { type: 'scratch', passage: 'Lagoons hold water.' },
      { type: 'title', text: "Library Search 'tidal power'" });
    await eventually(async () => (await a.page.title()) === "Library Search 'tidal power'", 3000, 'the title');
    const words = await a.page.$$eval('#word-bar .word', (w) => w.map((x) => [x.textContent, x.style.background]));
    assert.deepEqual(words, [['tidal', 'magenta'], ['power', 'yellow'], ['barrage', 'lightgreen'],
      ['lagoon', 'cyan'], ['turbine', 'red']]);
    await eventually(async () => (await a.page.innerText('#scratch-pad')).includes('Lagoons'), 3000, 'the passages');
    assert.equal(await a.page.innerText('#scratch-pad'), 'Tides turn turbines.\nLagoons hold water.');
    await finish('wordbar-scratch-title');
  });

  test('the library chooser opens a library; a library operation refreshes the chooser', async () => {
    const a = await open({ libraries: [{ ident: 'L1', name: 'Tides', documents: 3, bytes: '5000', date: '' },
      { ident: 'L2', name: 'Winds', documents: 4, bytes: '7000', date: '' }] });
    await a.page.route('**/api/library', (route) => route.fulfill({ json: {} }));
    const options = () => a.page.$$eval('#library-chooser option', (o) => o.map((x) => x.textContent));
    assert.deepEqual(await options(), ['Open a library...', 'Tides (3)', 'Winds (4)']);
    await a.page.selectOption('#library-chooser', 'L2');
    await eventually(() => a.bodies('/api/library').length === 1, 3000, 'the library request');
    assert.deepEqual(a.bodies('/api/library'), [{ ident: 'L2' }]);
    await a.page.unroute('**/api/libraries');
    await a.page.route('**/api/libraries', (route) => route.fulfill({ json: [
      { ident: 'L1', name: 'Tides', documents: 3, bytes: '5000', date: '' },
      { ident: 'L2', name: 'Winds', documents: 9, bytes: '9000', date: '' }] }));
    // As the server ends an operation: its completion, then busy mode left.
    a.emit({ type: 'busy', busy: true, title: 'Adding documents' }, { type: 'completion', code: 4 },
      { type: 'busy', busy: false, title: '' });
    await eventually(async () => (await options()).includes('Winds (9)'), 3000, 'the refreshed chooser');
    assert.equal(await a.page.inputValue('#library-chooser'), 'L2', 'the chosen library stays chosen');
    assert.equal(await a.page.title(), 'Adding documents');
    await finish('library-chooser');
  });

  test('unreadable settings are reported and the page goes on polling', async () => {
    const b = await open({ brokenSettings: true });
    const message = b.page.locator('#message-box[open] .message-text');
    await message.waitFor();
    assert.equal(await message.textContent(), 'settings store damaged');
    b.script.status = 'Merging';
    await eventually(async () => (await b.page.textContent('#status-text')) === 'Merging', 3000, 'the status');
    await finish('settings-refused');
  });

  test('the panes follow the "Appearance" settings and a moved splitter is remembered', async () => {
    const a = await open({ settings: { Appearance: { vSplitterEdge1: 300, vSplitterEdge2: 520 } } });
    const heights = () => a.page.$$eval('#panes > .pane', (p) => p.map((x) => Math.round(x.getBoundingClientRect().height)));
    assert.deepEqual((await heights()).slice(0, 2), [300, 220]);
    const box = await a.page.locator('#splitter1').boundingBox();
    await a.page.mouse.move(box.x + 100, box.y + 2);
    await a.page.mouse.down();
    await a.page.mouse.move(box.x + 100, box.y - 98, { steps: 5 });
    await a.page.mouse.up();
    await eventually(() => a.bodies('/api/settings').length === 1, 3000, 'the remembered panes');
    const { Appearance } = a.bodies('/api/settings')[0];
    assert.ok(Math.abs(Appearance.vSplitterEdge1 - 200) <= 3, `first edge ${Appearance.vSplitterEdge1}`);
    assert.equal(Appearance.vSplitterEdge2, 520);
    assert.equal((await heights())[0], Appearance.vSplitterEdge1);
    await finish('panes-moved');
  });

  test('a poll the server refuses is reported in the status bar', async () => {
    const a = await open();
    await a.page.unroute('**/api/poll*');
    await a.page.route('**/api/poll*', (route) => route.fulfill({ status: 500, json: { error: 'engine gone' } }));
    await eventually(async () => (await a.page.textContent('#status-text')).includes('engine gone'),
      3000, 'the failure in the status bar');
    assert.equal(await a.page.textContent('#status-text'), 'No answer from the QORA server: engine gone');
    await finish('poll-refused');
  });

  test('a keyword research on the mock runs with its status texts and fills the list',
    { skip: !USING_MOCK && 'needs the mock libraries' }, async () => {
      const a = await open();
      await a.page.click('#research-button');
      await a.page.fill('#research-dialog .research-text', 'turbines');
      await a.page.click('#research-dialog .next-button');
      await a.page.check('#research-dialog .library-check[value="lib01"]');
      await a.page.check('#research-dialog .library-check[value="lib02"]');
      await a.page.click('#research-dialog .ok-button');
      const seen = new Set();
      await eventually(async () => {
        seen.add(await a.page.textContent('#status-text'));
        return seen.has('Document Listing completed');
      }, 5000, 'the end of the research');
      assert.ok([...seen].some((s) => /^Relevance ranking \d+$/.test(s)), `status texts seen: ${[...seen]}`);
      await eventually(async () => (await a.page.$$('table.doclist tbody tr')).length === 7, 3000, 'the rows');
      assert.equal(await a.page.textContent('#library-frame .frame-title'), '[Multi-Library]');
      assert.equal(await a.page.title(), "Library Search 'turbines'");
      const first = await a.page.textContent('table.doclist tbody tr:first-child .cell-text');
      assert.match(first, /turbines/);
      await eventually(async () => (await a.page.textContent('#word-bar')) === 'turbines', 3000, 'the word bar');
      await finish('mock-research');
    });
});
