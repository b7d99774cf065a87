// Browser tests of the ScratchPad pane: formatted typing and pasting,
// passages from result pages undone in one step, the time stamp, the saves
// (on the two-minute timer, only when changed, and when the page goes
// away) with the pad read back after a reload, and Send to Word.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { USING_MOCK, chromiumMissing, eventually, startSuite } from './harness.mjs';

const skip = chromiumMissing() || (!USING_MOCK && 'needs the mock server (its stored pad and exports)');

describe('the scratch pad', { skip }, () => {
  let suite;
  before(async () => { suite = await startSuite(); });
  after(async () => { await suite?.close(); });

  const text = (a) => a.page.innerText('#scratch-pad');
  const tool = (a, command) => a.page.click(`.scratch-tools [data-command="${command}"]`);
  const saves = (a) => a.bodies('/api/scratch');
  const loaded = (a) => a.page.waitForSelector('#scratch-pad[data-state="loaded"]');
  async function open(options) {
    const a = await suite.openApp(options);
    await loaded(a);
    return a;
  }

  test('typed and pasted formatting, a passage undone in one step, a time stamp, saved and read back', async () => {
    suite.mock.state.scratch = '';
    const a = await open({ clock: new Date(2026, 11, 8, 21, 40, 5) });
    await a.page.context().grantPermissions(['clipboard-read', 'clipboard-write'], { origin: suite.baseUrl });

    await a.page.click('#scratch-pad');
    await a.page.keyboard.type('Tides ');
    await a.page.keyboard.press('Control+b');
    await a.page.keyboard.type('turn');
    await a.page.keyboard.press('Control+b');
    await a.page.keyboard.press('Enter');
    await a.page.keyboard.press('Control+i');
    await a.page.keyboard.type('twice');
    await a.page.keyboard.press('Control+i');
    await a.page.keyboard.press('Enter');
    // Coloured text arrives through the clipboard, as from another page.
    await a.page.evaluate(async () => {
      const html = '<p><span style="color: rgb(255, 0, 0); background-color: rgb(255, 255, 0)">red on yellow</span>'
        + ' <u>caf\u00e9 {x}</u> end</p>';
      await navigator.clipboard.write([new ClipboardItem({
        'text/html': new Blob([html], { type: 'text/html' }),
        'text/plain': new Blob(['red on yellow caf\u00e9 {x} end'], { type: 'text/plain' }) })]);
    });
    await tool(a, 'paste');
    await eventually(async () => (await text(a)).includes('caf\u00e9'), 3000, 'the pasted text');
    assert.equal(await text(a), 'Tides turn\ntwice\nred on yellow caf\u00e9 {x} end');

    // A passage goes to the end in a paragraph of its own; Undo takes it
    // out whole.
    await a.page.click('#scratch-pad');
    await a.page.keyboard.press('Control+Home');
    a.emit({ type: 'scratch', passage: 'Lagoons hold water.' });
    await eventually(async () => (await text(a)).endsWith('Lagoons hold water.'), 3000, 'the passage');
    assert.equal(await text(a), 'Tides turn\ntwice\nred on yellow caf\u00e9 {x} end\nLagoons hold water.');
    await tool(a, 'undo');
    assert.equal(await text(a), 'Tides turn\ntwice\nred on yellow caf\u00e9 {x} end');
    a.emit({ type: 'scratch', passage: 'Barrages cross estuaries.' });
    await eventually(async () => (await text(a)).endsWith('Barrages cross estuaries.'), 3000, 'the second passage');

    // Time Stamp from the context menu replaces the selection, in one step.
    await a.page.keyboard.press('Control+End');
    await a.page.keyboard.press('Enter');
    await a.page.keyboard.type('Noted [when]');
    for (let i = 0; i < 6; i += 1) await a.page.keyboard.press('Shift+ArrowLeft');
    const box = await a.page.evaluate(() => {
      const rect = window.getSelection().getRangeAt(0).getBoundingClientRect();
      return { x: rect.x + rect.width / 2, y: rect.y + rect.height / 2 };
    });
    await a.page.mouse.click(box.x, box.y, { button: 'right' });
    assert.equal(await a.page.isVisible('#scratch-menu'), true);
    await a.screenshot('scratch-pad-menu');
    await a.page.click('#scratch-menu [data-command="timestamp"]');
    assert.equal(await a.page.isVisible('#scratch-menu'), false);
    const stamped = (await text(a)).split('\n').pop();
    assert.match(stamped, /^Noted Tuesday, December 8, 2026 at 9:40:\d\d\s?PM \S+$/);
    await tool(a, 'undo');
    assert.equal((await text(a)).split('\n').pop(), 'Noted [when]');
    await a.page.keyboard.press('Control+y');
    assert.equal((await text(a)).split('\n').pop(), stamped);

    // Nothing is saved before the two minutes are up; then the pad goes as
    // RTF, and not again while it stays as it is.
    assert.equal(saves(a).length, 0);
    await a.page.clock.fastForward(120000);
    await eventually(() => saves(a).length === 1, 3000, 'the timed save');
    const { rtf } = saves(a)[0];
    assert.match(rtf, /^\{\\rtf1\\ansi/);
    assert.match(rtf, /\\red255\\green0\\blue0;\\red255\\green255\\blue0;/);
    assert.ok(rtf.includes('Tides {\\b turn}\\par'), rtf);
    assert.ok(rtf.includes('{\\i twice}\\par'), rtf);
    assert.ok(rtf.includes('{\\cf1\\highlight2 red on yellow} {\\ul caf\\u233? \\{x\\}} end\\par'), rtf);
    assert.ok(rtf.includes('Barrages cross estuaries.\\par'), rtf);
    assert.ok(!rtf.includes('Lagoons'), 'the undone passage is not saved');
    await eventually(() => suite.mock.state.scratch === rtf, 3000, 'the stored pad');
    await a.page.clock.fastForward(120000);
    await a.page.waitForTimeout(300);
    assert.equal(saves(a).length, 1, 'an unchanged pad is not saved again');

    const before = await text(a);
    await a.page.reload();
    await loaded(a);
    await eventually(async () => (await text(a)).includes('Barrages'), 3000, 'the pad read back');
    assert.equal(saves(a).length, 1, 'leaving an unchanged pad saves nothing');
    assert.equal(await text(a), before);
    assert.equal(before.split('\n').pop(), stamped);
    assert.match(await a.page.innerHTML('#scratch-pad'), /<b>turn<\/b>/);
    assert.match(await a.page.innerHTML('#scratch-pad'),
      /<span style="color: (rgb\(255, 0, 0\)|#ff0000); background-color: (rgb\(255, 255, 0\)|#ffff00);?">red on yellow<\/span>/);
    await a.screenshot('scratch-pad');
    assert.deepEqual(a.problems, []);
    await a.close();
  });

  test('a change is saved when the page goes away; Clear, Copy, Paste and Cut', async () => {
    suite.mock.state.scratch = '{\\rtf1\\ansi {\\b Kept} text\\par\n}';
    const a = await open();
    await eventually(async () => (await text(a)) === 'Kept text', 3000, 'the stored pad');
    await a.page.click('#scratch-pad');
    await a.page.keyboard.press('Control+End');
    await a.page.keyboard.type(' and more');
    await a.page.reload();
    await loaded(a);
    await eventually(async () => (await text(a)) === 'Kept text and more', 3000, 'the pad saved on leaving');
    assert.match(suite.mock.state.scratch, /\{\\b Kept\} text and more\\par/);

    await a.page.click('#scratch-pad');
    await tool(a, 'clear');
    assert.equal((await text(a)).trim(), '');
    await tool(a, 'undo');
    assert.equal(await text(a), 'Kept text and more');

    // Copy, Clear and Paste bring the text back with its bold; Cut takes
    // the selection out.
    await a.page.context().grantPermissions(['clipboard-read', 'clipboard-write'], { origin: suite.baseUrl });
    await a.page.keyboard.press('Control+a');
    await tool(a, 'copy');
    await tool(a, 'clear');
    assert.equal((await text(a)).trim(), '');
    await tool(a, 'paste');
    await eventually(async () => (await text(a)) === 'Kept text and more', 3000, 'the pasted copy');
    assert.match(await a.page.innerHTML('#scratch-pad'), /<b>Kept<\/b>/);
    await a.page.keyboard.press('Control+End');
    for (let i = 0; i < 5; i += 1) await a.page.keyboard.press('Shift+ArrowLeft');
    await tool(a, 'cut');
    assert.equal(await text(a), 'Kept text and');
    assert.equal(await a.page.evaluate(() => navigator.clipboard.readText()), ' more');
    assert.deepEqual(a.problems, []);
    await a.close();
  });

  test('Paste without the clipboard permission tells the user to press Ctrl+V', async () => {
    const a = await open();
    await a.page.click('#scratch-pad');
    await tool(a, 'paste');
    const message = a.page.locator('#message-box[open] .message-text');
    await message.waitFor();
    assert.match(await message.textContent(), /Ctrl\+V/);
    await a.page.click('#message-box .message-ok');
    assert.deepEqual(a.problems, []);
    await a.close();
  });

  test('Send to Word refuses a ".url" name and writes the chosen file', async () => {
    suite.mock.state.exports = [];
    suite.mock.state.scratch = '';
    const a = await open();
    await a.page.click('#scratch-pad');
    await a.page.keyboard.type('For the report');
    await tool(a, 'word');
    const dialog = a.page.locator('#export-dialog');
    await dialog.waitFor({ state: 'visible' });
    await eventually(async () => (await a.page.textContent('#export-dialog .export-folder')) === '/mock/qoralibs',
      3000, 'the data folder listed');
    assert.equal(await a.page.inputValue('#export-dialog .export-name'), 'scratch.doc');
    await a.page.fill('#export-dialog .export-name', 'Tides.URL');
    await a.page.click('#export-dialog .export-save');
    const message = a.page.locator('#message-box[open] .message-text');
    await message.waitFor();
    assert.equal(await message.textContent(), 'Please choose files');
    assert.equal(await a.page.getAttribute('#message-box', 'data-level'), 'warning');
    await a.page.click('#message-box .message-ok');
    assert.deepEqual(suite.mock.state.exports, []);

    await tool(a, 'word');
    await dialog.waitFor({ state: 'visible' });
    await a.page.click('#export-dialog .export-list li:has-text("html/")');
    await eventually(async () => (await a.page.textContent('#export-dialog .export-folder')) === '/mock/qoralibs/html',
      3000, 'the sub-folder');
    await a.screenshot('scratch-send-to-word');
    await a.page.click('#export-dialog .export-save');
    await eventually(() => suite.mock.state.exports.length === 1, 3000, 'the exported file');
    assert.equal(suite.mock.state.exports[0].path, '/mock/qoralibs/html/scratch.doc');
    assert.match(suite.mock.state.exports[0].rtf, /^\{\\rtf1[^]*For the report\\par/);
    assert.equal(await dialog.isVisible(), false);
    assert.deepEqual(a.problems, []);
    await a.close();
  });
});
