// Browser tests of the research dialogs and message boxes.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { chromiumMissing, eventually, libraries, records, startSuite } from './harness.mjs';

const skip = chromiumMissing();

describe('research dialogs', { skip }, () => {
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

  const dialog = (a) => a.page.locator('#research-dialog');
  const messageText = (a) => a.page.locator('#message-box[open] .message-text');

  async function checkLibraries(a, idents) {
    for (const ident of idents) await a.page.check(`#research-dialog .library-check[value="${ident}"]`);
  }

  test('a "dialog" event opens the keyword dialog with its text', async () => {
    const a = await open({ stub: ['/api/research'], libraries: libraries(3) });
    a.emit({ type: 'dialog', dialog: 'keywords', text: 'tidal power' });
    await dialog(a).waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#research-dialog .dialog-title'), 'Research Libraries');
    assert.equal(await a.page.inputValue('#research-dialog .research-text'), 'tidal power');
    assert.equal(await a.page.isVisible('#research-dialog .history-button'), true);
    await finish('dialog-event-keywords');
  });

  test('a keyword research posts its text and libraries and remembers the keywords', async () => {
    const a = await open({ stub: ['/api/research'], libraries: libraries(12) });
    await a.page.click('#research-button');
    await a.page.fill('#research-dialog .research-text', 'tidal power');
    await a.page.click('#research-dialog .next-button');
    await checkLibraries(a, ['L2', 'L5']);
    await a.screenshot('keyword-research-libraries');
    await a.page.click('#research-dialog .ok-button');
    await eventually(() => a.bodies('/api/research').length === 1, 3000, 'the research request');
    assert.deepEqual(a.bodies('/api/research')[0],
      { kind: 'keywords', text: 'tidal power', libraries: ['L2', 'L5'], documents: [] });
    const settings = a.bodies('/api/settings')[0];
    assert.equal(settings.QueryOptions.lastKeyWords, 'tidal power');
    assert.equal(settings.WordBar.searchWords, 'tidal power');
    assert.equal(settings.QueryHistory.kwd0, 'tidal power');
    assert.equal(Object.keys(settings.QueryHistory).length, 20);
    assert.equal(await dialog(a).isVisible(), false);
    await finish('keyword-research-posted');
  });

  test('OK with no library check-marked keeps the dialog open with its message', async () => {
    const a = await open({ stub: ['/api/research'], libraries: libraries(4) });
    await a.page.click('#research-button');
    await a.page.fill('#research-dialog .research-text', 'wave energy');
    await a.page.click('#research-dialog .next-button');
    await a.page.click('#research-dialog .ok-button');
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(), 'Please check mark the libraries first');
    assert.equal(await a.page.getAttribute('#message-box', 'data-level'), 'warning');
    assert.equal(await a.page.textContent('#message-box .message-title'), 'QORA');
    await a.screenshot('no-library-message');
    await a.page.click('#message-box .message-ok');
    assert.equal(await dialog(a).isVisible(), true);
    assert.equal(a.bodies('/api/research').length, 0);
    await finish('no-library-dialog-stays');
  });

  test('the eleventh library is refused with the message naming 10; ten are accepted', async () => {
    const a = await open({ stub: ['/api/research'], libraries: libraries(12) });
    await a.page.click('#research-button');
    await a.page.fill('#research-dialog .research-text', 'tidal');
    await a.page.click('#research-dialog .next-button');
    const eleven = Array.from({ length: 11 }, (_, i) => `L${i + 1}`);
    await checkLibraries(a, eleven);
    await a.page.click('#research-dialog .ok-button');
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(),
      'Cannot select more than 10 libraries at a time. Please uncheck some libraries.');
    await a.screenshot('eleven-libraries-refused');
    await a.page.click('#message-box .message-ok');
    assert.equal(await dialog(a).isVisible(), true);
    assert.equal(a.bodies('/api/research').length, 0);
    await a.page.uncheck('#research-dialog .library-check[value="L11"]');
    await a.page.click('#research-dialog .ok-button');
    await eventually(() => a.bodies('/api/research').length === 1, 3000, 'the research request');
    assert.deepEqual(a.bodies('/api/research')[0].libraries, eleven.slice(0, 10));
    await finish('ten-libraries-accepted');
  });

  test('the library page shows names, counts, sizes in kB and dates', async () => {
    const a = await open({ stub: ['/api/research'], libraries: libraries(2) });
    await a.page.click('#research-button');
    await a.page.click('#research-dialog .next-button');
    const cells = await a.page.$$eval('#research-dialog .libraries-table tbody tr',
      (rows) => rows.map((r) => [...r.cells].map((c) => c.textContent)));
    assert.deepEqual(cells, [
      ['Library 1', '10', '0', '3/1/2005 10:00 AM'],
      ['Library 2', '11', '124', '3/2/2005 10:00 AM'],
    ]);
    await finish('library-page');
  });

  test('a keyword picked from the history is appended after a blank', async () => {
    const a = await open({ stub: ['/api/research'], libraries: libraries(2), settings: {
      QueryOptions: { lastKeyWords: 'wave energy' },
      QueryHistory: { kwd0: 'tidal power', kwd1: 'ocean currents' },
    } });
    await a.page.click('#research-button');
    assert.equal(await a.page.inputValue('#research-dialog .research-text'), 'wave energy');
    await a.page.click('#research-dialog .history-button');
    const options = await a.page.$$eval('#history-dialog option', (o) => o.map((x) => x.value));
    assert.deepEqual(options, ['tidal power', 'ocean currents']);
    await a.page.selectOption('#history-dialog .history-list', 'ocean currents');
    await a.screenshot('history-list');
    await a.page.click('#history-dialog .history-ok');
    assert.equal(await a.page.inputValue('#research-dialog .research-text'), 'wave energy ocean currents');
    await finish('history-appended');
  });

  test('the passage and concept dialogs carry their titles and texts', async () => {
    const a = await open({ stub: ['/api/research'], libraries: libraries(2), settings: {} });
    await a.page.click('#passage-button');
    assert.equal(await a.page.textContent('#research-dialog .dialog-title'), 'Research Libraries using Passage');
    assert.equal(await a.page.inputValue('#research-dialog .research-text'),
      'type in or cut/paste your passage or paragraph here');
    assert.equal(await a.page.isVisible('#research-dialog .history-button'), false);
    await a.page.fill('#research-dialog .research-text', 'Tides turn turbines twice a day.');
    await a.page.click('#research-dialog .next-button');
    await checkLibraries(a, ['L1']);
    await a.page.click('#research-dialog .ok-button');
    await eventually(() => a.bodies('/api/research').length === 1, 3000, 'the passage research');
    assert.deepEqual(a.bodies('/api/research')[0],
      { kind: 'passage', text: 'Tides turn turbines twice a day.', libraries: ['L1'], documents: [] });
    assert.deepEqual(a.bodies('/api/settings')[0], { QueryOptions: { lastPassage: 'Tides turn turbines twice a day.' } });

    a.emit({ type: 'dialog', dialog: 'concepts', text: '12;13;' });
    await dialog(a).waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#research-dialog .dialog-title'),
      'Research Libraries using Selected Concepts');
    assert.equal(await a.page.inputValue('#research-dialog .research-text'), '12;13;');
    await finish('concepts-dialog');
  });

  test('research by documents lists the check-marked documents and sends them', async () => {
    const a = await open({ stub: ['/api/research'], libraries: libraries(3) });
    a.emit({ type: 'list', title: 'Library 1', quick: false, records: records([
      { handle: 4, docid: 'a1', name: 'Tide tables' }, { handle: 4, docid: 'a2', name: 'Barrages', type: '.txt' },
      { handle: 4, docid: 'a3', name: 'Lagoons' }]) });
    await a.page.locator('table.doclist tbody tr').nth(2).waitFor();
    await a.page.check('table.doclist tbody tr:nth-child(1) .row-check');
    await a.page.check('table.doclist tbody tr:nth-child(3) .row-check');
    await a.page.click('#documents-button');
    assert.equal(await a.page.textContent('#research-dialog .dialog-title'), 'Find Similar Documents in Libraries');
    const titles = await a.page.$$eval('#research-dialog .documents-table tbody tr',
      (rows) => rows.map((r) => r.cells[0].textContent));
    assert.deepEqual(titles, ['Tide tables', 'Lagoons']);
    await a.screenshot('documents-page');
    await a.page.click('#research-dialog .next-button');
    await checkLibraries(a, ['L3']);
    await a.page.click('#research-dialog .ok-button');
    await eventually(() => a.bodies('/api/research').length === 1, 3000, 'the research by documents');
    assert.deepEqual(a.bodies('/api/research')[0], { kind: 'documents', text: '', libraries: ['L3'],
      documents: [{ handle: 4, docid: 'a1' }, { handle: 4, docid: 'a3' }] });
    await finish('documents-research-posted');
  });

  test('the internet search dialog has the keyword page alone and sends its keywords', async () => {
    const a = await open({ stub: ['/api/research'], settings: {} });
    a.emit({ type: 'dialog', dialog: 'websearch', text: 'wave farms' });
    await dialog(a).waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#research-dialog .dialog-title'), 'Advanced Internet Search');
    assert.equal(await a.page.isVisible('#research-dialog .next-button'), false);
    await a.screenshot('websearch-dialog');
    await a.page.click('#research-dialog .ok-button');
    await eventually(() => a.bodies('/api/research').length === 1, 3000, 'the search request');
    assert.deepEqual(a.bodies('/api/research')[0],
      { kind: 'websearch', text: 'wave farms', libraries: [], documents: [] });
    assert.equal(a.bodies('/api/settings')[0].QueryHistory.kwd0, 'wave farms');
    await finish('websearch-sent');
  });

  test('a "message" event shows a message box titled QORA', async () => {
    const a = await open();
    a.emit({ type: 'message', level: 'info', title: 'QORA', text: 'Program is busy. Please wait.' });
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(), 'Program is busy. Please wait.');
    assert.equal(await a.page.textContent('#message-box .message-title'), 'QORA');
    assert.equal(await a.page.getAttribute('#message-box', 'data-level'), 'info');
    await finish('message-event');
  });

  test('an error answer of the server is shown as an error message', async () => {
    const a = await open();
    await a.page.route('**/api/analyze', (route) => route.fulfill({ status: 409,
      json: { error: 'Program is busy. Please wait.' } }));
    a.emit({ type: 'list', title: 'Tidal Energy', quick: false, records: records([{}, {}]) });
    await a.page.locator('table.doclist tbody tr').nth(1).waitFor();
    await a.page.check('table.doclist tbody tr:nth-child(1) .row-check');
    await a.page.click('#analyze-button');
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(), 'Program is busy. Please wait.');
    assert.equal(await a.page.getAttribute('#message-box', 'data-level'), 'error');
    await finish('error-answer');
  });

  test('a malformed event is reported in words, not as a script error', async () => {
    const a = await open();
    a.emit({ type: 'list', title: 'x', records: 'not a list' });
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(), 'The server sent a "list" event with records is not a list.');
    await finish('malformed-event');
  });
});
