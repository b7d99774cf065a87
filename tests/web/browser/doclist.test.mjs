// Browser tests of the document list: filling, title, widths, sorting,
// check marks and the frame's tool bar.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { USING_MOCK, chromiumMissing, eventually, records, startSuite } from './harness.mjs';

const skip = chromiumMissing();

// The cell texts of the list as shown, row by row.
function shownRows(page) {
  return page.$$eval('table.doclist tbody tr', (rows) => rows.map((r) => [...r.cells].map((c) => c.textContent)));
}

async function column(page, index) {
  return (await shownRows(page)).map((cells) => cells[index]);
}

describe('document list', { skip }, () => {
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

  async function showList(a, list) {
    a.emit({ type: 'list', ...list });
    await eventually(async () => (await a.page.$$('table.doclist tbody tr')).length === list.records.length,
      3000, 'the rows of the list');
  }

  const messageText = (a) => a.page.locator('#message-box[open] .message-text');

  test('the header has the six columns with widths in units of the client width', async () => {
    const a = await open({ width: 1100 });
    const titles = await a.page.$$eval('table.doclist th', (th) => th.map((h) => h.textContent));
    assert.deepEqual(titles, ['Document Title', 'Relevance/Index', 'Size(bytes)', 'Date Saved', 'Source', '']);
    const { client, widths } = await a.page.evaluate(() => ({
      client: document.querySelector('.list-scroll').clientWidth,
      widths: [...document.querySelectorAll('table.doclist th')].map((th) => th.getBoundingClientRect().width),
    }));
    const unit = Math.trunc(client * 0.04807692307692307);
    assert.ok(unit > 0);
    assert.deepEqual(widths.map(Math.round), [7, 2, 2, 2, 2, 5].map((u) => u * unit));
    await finish('list-header');
  });

  test('a "list" event fills the rows, their icons and the frame title', async () => {
    const a = await open();
    await showList(a, { title: 'Tidal Energy', quick: false, records: records([
      { name: 'Tide mills', rank: 12.9, size: '4096', date: '7/4/2003 9:05 PM', type: '.txt',
        uri: 'http://example.org/mills.txt', library: 'Tidal Energy' },
      { name: 'Barrage report', rank: 3.2, type: '.pdf', library: 'Tidal Energy' },
      { name: 'Lagoon page', rank: 1, type: '.html', library: 'Tidal Energy' },
      { name: 'Odd type', rank: 0.5, type: '.doc', library: 'Tidal Energy' }]) });
    assert.equal(await a.page.textContent('#library-frame .frame-title'), 'Tidal Energy');
    const rows = await shownRows(a.page);
    assert.deepEqual(rows[0], ['Tide mills', '12', '4096', '7/4/2003 9:05 PM', 'Tidal Energy',
      'http://example.org/mills.txt']);
    const icons = await a.page.$$eval('table.doclist tbody .icon', (i) => i.map((x) => x.className));
    assert.deepEqual(icons, ['icon icon-text', 'icon icon-pdf', 'icon icon-web', 'icon icon-other']);
    await finish('list-filled');
  });

  test('without a title from the server the frame names the library or "[Multi-Library]"', async () => {
    const a = await open();
    const title = () => a.page.textContent('#library-frame .frame-title');
    await showList(a, { quick: false, records: records([{ library: 'Wind' }, { library: 'Wind' }]) });
    assert.equal(await title(), 'Wind');
    a.emit({ type: 'list', quick: false, records: records([{ library: 'Wind' }, { library: 'Solar' }]) });
    await eventually(async () => (await title()) !== 'Wind', 3000, 'the second list');
    assert.equal(await title(), '[Multi-Library]');
    a.emit({ type: 'list', title: '[Quick Search Results]', quick: true,
      records: records([{ source: 'engine one', library: '' }]) });
    await eventually(async () => (await column(a.page, 0)).length === 1, 3000, 'the quick search list');
    assert.equal(await title(), '[Quick Search Results]');
    assert.equal((await column(a.page, 4))[0], 'engine one');
    await finish('list-quick-search');
  });

  test('a header click sorts by its kind; the same header again reverses the order', async () => {
    const a = await open();
    await showList(a, { title: 'Tidal Energy', quick: false, records: records([
      { name: 'banana', rank: 3.7, size: '20', date: '12/1/2003 1:00 PM' },
      { name: 'Apple', rank: 10.2, size: '3', date: '1/2/2004 9:00 AM' },
      { name: 'cherry', rank: 1.1, size: '100', date: '12/1/2003 11:00 AM' }]) });
    await a.page.click('th >> text=Relevance/Index');
    assert.deepEqual(await column(a.page, 1), ['1', '3', '10']);
    await a.screenshot('sorted-relevance');
    await a.page.click('th >> text=Relevance/Index');
    assert.deepEqual(await column(a.page, 1), ['10', '3', '1']);
    await a.screenshot('sorted-relevance-reversed');
    await a.page.click('th >> text=Size(bytes)');
    assert.deepEqual(await column(a.page, 2), ['3', '20', '100']);
    await a.page.click('th >> text=Date Saved');
    assert.deepEqual(await column(a.page, 0), ['cherry', 'banana', 'Apple']);
    await a.page.click('th >> text=Document Title');
    assert.deepEqual(await column(a.page, 0), ['Apple', 'banana', 'cherry']);
    await a.page.click('th >> text=Document Title');
    assert.deepEqual(await column(a.page, 0), ['cherry', 'banana', 'Apple']);
    await finish('sorted-title-reversed');
  });

  test('Analyze refuses six documents and none, and sends two', async () => {
    const a = await open();
    await a.page.route('**/api/analyze', (route) => route.fulfill({ json: {} }));
    await showList(a, { title: 'Tidal Energy', quick: false,
      records: records(Array.from({ length: 7 }, (_, i) => ({ handle: 2, docid: `x${i}` }))) });
    await a.page.click('#analyze-button');
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(), 'Please checkmark documents first');
    await a.page.click('#message-box .message-ok');
    for (let i = 1; i <= 6; i += 1) await a.page.check(`table.doclist tbody tr:nth-child(${i}) .row-check`);
    await a.page.click('#analyze-button');
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(),
      'Cannot analyze more than 5 documents at a time. Please uncheck some documents.');
    await a.screenshot('analyze-six-refused');
    await a.page.click('#message-box .message-ok');
    assert.equal(a.bodies('/api/analyze').length, 0);
    for (let i = 1; i <= 4; i += 1) await a.page.uncheck(`table.doclist tbody tr:nth-child(${i}) .row-check`);
    await a.page.click('#analyze-button');
    await eventually(() => a.bodies('/api/analyze').length === 1, 3000, 'the analysis request');
    assert.deepEqual(a.bodies('/api/analyze')[0],
      { documents: [{ handle: 2, docid: 'x4' }, { handle: 2, docid: 'x5' }] });
    await finish('analyze-two-sent');
  });

  test('Delete sends the check-marked documents and takes them out of the list', async () => {
    const a = await open();
    await a.page.route('**/api/delete', (route) => route.fulfill({ json: {} }));
    await showList(a, { title: 'Tidal Energy', quick: false, records: records([
      { docid: 'k1', name: 'keep' }, { docid: 'g1', name: 'go' }, { docid: 'k2', name: 'stay' }]) });
    await a.page.click('#delete-button');
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(), 'Please checkmark documents first');
    await a.page.click('#message-box .message-ok');
    await a.page.check('table.doclist tbody tr:nth-child(2) .row-check');
    await a.page.click('#delete-button');
    await eventually(async () => (await column(a.page, 0)).length === 2, 3000, 'the row to go');
    assert.deepEqual(await column(a.page, 0), ['keep', 'stay']);
    assert.deepEqual(a.bodies('/api/delete'), [{ documents: [{ handle: 1, docid: 'g1' }] }]);
    await finish('delete');
  });

  test('Next and Prev ask for the next and previous set', async () => {
    const a = await open();
    await a.page.route('**/api/fetch', (route) => route.fulfill({ json: {} }));
    await a.page.click('#next-button');
    await a.page.click('#prev-button');
    await eventually(() => a.bodies('/api/fetch').length === 2, 3000, 'two fetch requests');
    assert.deepEqual(a.bodies('/api/fetch'), [{ direction: 'next' }, { direction: 'prev' }]);
    await finish('next-prev');
  });

  test('selecting a row asks for its preview; a "page" event shows the page', async () => {
    const a = await open();
    await a.page.route('**/api/preview', (route) => route.fulfill({ json: {} }));
    await showList(a, { title: 'Tidal Energy', quick: false, records: records([
      { handle: 3, docid: 'p0', name: 'first' }, { handle: 3, docid: 'p1', name: 'second' }]) });
    await a.page.click('table.doclist tbody tr:nth-child(2) .cell-text');
    await eventually(() => a.bodies('/api/preview').length === 1, 3000, 'the preview request');
    assert.deepEqual(a.bodies('/api/preview')[0], { handle: 3, docid: 'p1' });
    assert.deepEqual(await a.page.$$eval('table.doclist tbody tr.selected', (r) => r.map((x) => x.dataset.index)),
      ['1']);
    a.emit({ type: 'page', url: '/pages/sumry_.htm' });
    await eventually(() => a.page.$eval('#preview', (f) => f.src.endsWith('/pages/sumry_.htm')), 3000, 'the page');
    await finish('preview-page');
  });

  test('a command link in a result page is sent as a command', { skip: !USING_MOCK && 'needs the mock pages' },
    async () => {
      const a = await open();
      await a.page.route('**/api/command', (route) => route.fulfill({ json: {} }));
      a.emit({ type: 'page', url: '/pages/map_.htm' });
      const frame = await eventually(() => a.page.frame({ name: 'preview' })?.url().endsWith('/pages/map_.htm')
        && a.page.frame({ name: 'preview' }), 3000, 'the result page');
      await frame.waitForSelector('#passage-link');
      await frame.click('#kw-link');
      await frame.click('#passage-link');
      await eventually(() => a.bodies('/api/command').length === 2, 3000, 'the commands');
      assert.deepEqual(a.bodies('/api/command'), [{ command: 'queryKeywords?kw=tidal+power' },
        { command: 'exportPassage?passage=Tides turn turbines.' }]);
      assert.ok(frame.url().endsWith('/pages/map_.htm'), 'the page stays');
      await finish('command-links');
    });
});
