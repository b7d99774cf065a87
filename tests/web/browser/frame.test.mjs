// Browser tests of the browser frame: the word bar on result pages and on
// sandboxed live pages, the "Edit Words on Bar" dialog, the address box, the
// quick web search, and the view and action bars.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { USING_MOCK, chromiumMissing, eventually, records, startSuite } from './harness.mjs';

const skip = chromiumMissing() || (!USING_MOCK && 'needs the mock pages and engines');

describe('browser frame', { skip }, () => {
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

  const frame = (a) => a.page.frame({ name: 'preview' });
  const settingsPosts = (a) => a.bodies('/api/settings');

  // Shows `url` through a "page" event and waits for its agent.
  async function showPage(a, url) {
    a.emit({ type: 'page', url });
    await eventually(() => a.page.$eval('#preview', (f) => f.dataset.agent === 'ready'), 4000, 'the agent');
  }

  async function messageText(a) {
    await a.page.locator('#message-box').waitFor({ state: 'visible' });
    return a.page.textContent('#message-box .message-text');
  }

  test('"Highlight All" colours each word in its colour; "Remove Highlights" takes the colours away', async () => {
    const a = await open();
    a.emit({ type: 'wordbar', words: 'tidal   POWER' });
    await showPage(a, '/pages/sumry_.htm');
    await a.page.click('#highlight-button');
    const marks = () => frame(a).$$eval('span[data-qora-highlight]',
      (s) => s.map((x) => [x.textContent, x.style.backgroundColor]));
    await eventually(async () => (await marks()).length === 2, 3000, 'the highlights');
    assert.deepEqual(await marks(), [['tidal', 'magenta'], ['power', 'yellow']]);
    await a.screenshot('frame-highlighted');
    await a.page.click('#unhighlight-button');
    await eventually(async () => (await marks()).length === 0, 3000, 'the highlights gone');
    assert.match(await frame(a).textContent('#kw-link'), /^tidal power$/);
    await finish('frame-unhighlighted');
  });

  test('a word button finds each occurrence in turn, then says "Gone past end"', async () => {
    const a = await open();
    a.emit({ type: 'wordbar', words: 'tidal mill' });
    a.emit({ type: 'page', url: '/live?url=http%3A%2F%2Ftides.example%2Fa%2Fpage.htm' });
    await eventually(() => a.page.$eval('#preview', (f) => f.dataset.agent === 'ready'), 4000, 'the agent');
    const live = () => a.page.frames().find((f) => f.url().includes('/live?'));
    const selected = () => live().evaluate(() => {
      const s = window.getSelection();
      return s.rangeCount ? [s.toString(), s.getRangeAt(0).startContainer.textContent.indexOf('tidal')] : null;
    });
    const words = a.page.locator('#word-bar .word');
    assert.deepEqual(await words.allTextContents(), ['tidal', 'mill']);
    // The live page's text has "tidal" three times.
    for (let i = 0; i < 3; i += 1) {
      await words.nth(0).click();
      await eventually(async () => (await selected())?.[0].toLowerCase() === 'tidal', 3000, `occurrence ${i + 1}`);
    }
    await words.nth(0).click();
    assert.equal(await messageText(a), 'Gone past end');
    assert.equal(await selected(), null, 'the selection is emptied');
    await a.screenshot('frame-gone-past-end');
    await a.page.click('#message-box .message-ok');
    // The page's own script did not run and reached nothing.
    assert.notEqual(await live().title(), 'page script ran');
    assert.deepEqual(a.bodies('/api/stop'), []);
    await finish('frame-find-next');
  });

  test('"Hide Ads" hides banner-sized images and inner frames; a link opens through /live', async () => {
    const a = await open();
    a.emit({ type: 'page', url: '/live?url=http%3A%2F%2Ftides.example%2Fa%2Fpage.htm' });
    await eventually(() => a.page.$eval('#preview', (f) => f.dataset.agent === 'ready'), 4000, 'the agent');
    const live = () => a.page.frames().find((f) => f.url().includes('/live?'));
    await a.page.click('#hide-ads-button');
    const visibility = (id) => live().$eval(id, (e) => e.style.visibility);
    await eventually(async () => (await visibility('#banner')) === 'hidden', 3000, 'the banner hidden');
    assert.equal(await visibility('#inner'), 'hidden');
    assert.equal(await visibility('#photo'), '');
    await live().click('#next-link');
    await eventually(() => a.page.$eval('#preview', (f) => f.getAttribute('src')
      === `/live?url=${encodeURIComponent('http://tides.example/a/next.htm')}`), 3000, 'the next page');
    assert.equal(await a.page.inputValue('#address-box'), 'http://tides.example/a/next.htm');
    await finish('frame-hide-ads-link');
  });

  test('"Edit Words on Bar" edits the words; the bar shows five and keeps them all', async () => {
    const a = await open({ settings: { WordBar: { searchWords: 'tidal power' } } });
    assert.deepEqual(await a.page.locator('#word-bar .word').allTextContents(), ['tidal', 'power']);
    await a.page.click('#edit-words-button');
    await a.page.locator('#words-dialog').waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#words-title'), 'Edit Words on Bar:');
    assert.equal(await a.page.textContent('#words-dialog .words-prompt'),
      'Edit, add or remove words on the toolbar (maximum 5 words)');
    assert.equal(await a.page.inputValue('#words-input'), 'tidal power');
    await a.page.fill('#words-input', '  ebb   flow tide moon sun  star sea ');
    await a.screenshot('frame-edit-words');
    await a.page.press('#words-input', 'Enter');
    await eventually(async () => (await a.page.locator('#word-bar .word').count()) === 5, 3000, 'the buttons');
    assert.deepEqual(await a.page.locator('#word-bar .word').allTextContents(), ['ebb', 'flow', 'tide', 'moon', 'sun']);
    await eventually(() => settingsPosts(a).length === 1, 3000, 'the saved words');
    assert.deepEqual(settingsPosts(a)[0], { WordBar: { searchWords: 'ebb flow tide moon sun star sea' } });
    // Cancel changes nothing.
    await a.page.click('#edit-words-button');
    await a.page.fill('#words-input', 'other');
    await a.page.click('#words-dialog .words-cancel');
    assert.equal(await a.page.locator('#word-bar .word').count(), 5);
    assert.equal(settingsPosts(a).length, 1);
    await finish('frame-words-edited');
  });

  test('the quick search builds the engine\'s address, keeps the histories and sets the word bar', async () => {
    const a = await open({ settings: { QueryHistory: { kwd0: 'older words' }, History: { AddressItem0: 'http://a.example/' } } });
    await eventually(async () => (await a.page.textContent('#search-button')) === 'Tide Search', 3000, 'the engine');
    await a.page.click('#search-button');
    assert.equal(await messageText(a), 'Please type in keywords');
    await a.page.click('#message-box .message-ok');
    await a.page.selectOption('#engine-chooser', '2');
    assert.equal(await a.page.textContent('#search-button'), 'Wave Finder');
    await a.page.fill('#keyword-box', 'tidal power mill');
    await a.page.click('#search-button');
    const address = 'http://waves.example/find?query=tidal+power+mill&count=10';
    await eventually(async () => (await a.page.inputValue('#address-box')) === address, 3000, 'the address');
    await eventually(() => a.page.$eval('#preview', (f) => f.getAttribute('src')) .then((s) => s === `/live?url=${encodeURIComponent(address)}`),
      3000, 'the live page');
    assert.deepEqual(await a.page.locator('#word-bar .word').allTextContents(), ['tidal', 'power', 'mill']);
    await eventually(() => settingsPosts(a).length === 2, 3000, 'the settings');
    assert.deepEqual(settingsPosts(a)[0], { Settings: { whichEngine: 2 } });
    const saved = settingsPosts(a)[1];
    assert.equal(saved.QueryOptions.lastKeyWords, 'tidal power mill');
    assert.equal(saved.WordBar.searchWords, 'tidal power mill');
    assert.deepEqual([saved.QueryHistory.kwd0, saved.QueryHistory.kwd1, saved.QueryHistory.kwd2], ['tidal power mill', 'older words', '']);
    assert.deepEqual([saved.History.AddressItem0, saved.History.AddressItem1], ['tidal power mill', 'http://a.example/']);
    assert.equal(Object.keys(saved.History).length, 10);
    await finish('frame-quick-search');
  });

  test('the address box completes a bare name and shows it as a live page', async () => {
    const a = await open({ settings: {} });
    await a.page.fill('#address-box', 'tides');
    await a.page.press('#address-box', 'Enter');
    await eventually(async () => (await a.page.inputValue('#address-box')) === 'http://www.tides.com/', 3000, 'the completion');
    await eventually(() => a.page.$eval('#preview', (f) => f.getAttribute('src')
      === `/live?url=${encodeURIComponent('http://www.tides.com/')}`), 3000, 'the live page');
    await eventually(() => settingsPosts(a).length === 1, 3000, 'the history');
    assert.equal(settingsPosts(a)[0].History.AddressItem0, 'http://www.tides.com/');
    assert.deepEqual(await a.page.$$eval('#address-history option', (o) => o.map((x) => x.value)), ['http://www.tides.com/']);
    await finish('frame-address');
  });

  test('the view bar shows the current document\'s pages; the action bar acts on what is shown', async () => {
    const a = await open();
    await a.page.route('**/api/preview', (route) => route.fulfill({ json: {} }));
    await a.page.route('**/api/analyze', (route) => route.fulfill({ json: {} }));
    const view = (name) => a.page.click(`#view-bar button:text-is("${name}")`);
    const action = (name) => a.page.click(`#action-bar button:text-is("${name}")`);
    const src = () => a.page.$eval('#preview', (f) => f.getAttribute('src'));
    assert.deepEqual(await a.page.$$eval('#view-bar button', (b) => b.map((x) => x.textContent)),
      ['Summary', 'Highlights', 'Visual Abstract', 'Archived', 'Live Page']);
    assert.deepEqual(await a.page.$$eval('#action-bar button', (b) => b.map((x) => x.textContent)),
      ['Save', 'Analyze', 'Crawl']);
    await view('Summary');
    assert.equal(await messageText(a), 'Please select a document in the list first.');
    await a.page.click('#message-box .message-ok');

    const list = records([{ handle: 4, docid: 'd7', name: 'Tide mills', uri: 'http://tides.example/mills.htm' }]);
    list[0].bcuri = 'file:///mock/qoralibs/libs/tides/7.htm';
    a.emit({ type: 'list', title: 'Tides', quick: false, records: list });
    await a.page.locator('table.doclist tbody tr').first().waitFor();
    await a.page.click('table.doclist tbody tr .cell-text');
    await eventually(() => a.bodies('/api/preview').length === 1, 3000, 'the preview');
    for (const [name, page] of [['Summary', '/pages/sumry_.htm'], ['Highlights', '/pages/sum_.htm'],
      ['Visual Abstract', '/pages/map_.htm'],
      ['Archived', `/datafile?path=${encodeURIComponent('file:///mock/qoralibs/libs/tides/7.htm')}`],
      ['Live Page', `/live?url=${encodeURIComponent('http://tides.example/mills.htm')}`]]) {
      await view(name);
      assert.equal(await src(), page, name);
    }
    await action('Analyze');
    await eventually(() => a.bodies('/api/analyze').length === 1, 3000, 'the analysis');
    assert.deepEqual(a.bodies('/api/analyze')[0], { documents: [{ handle: 4, docid: 'd7' }] });
    await action('Save');
    await a.page.locator('#acquire-dialog').waitFor({ state: 'visible', timeout: 3000 });
    assert.equal(await a.page.textContent('#acquire-title'), 'Saving: http://tides.example/mills.htm');
    await a.page.click('#acquire-dialog .cancel-button');
    await view('Summary');
    await action('Crawl');
    assert.equal(await messageText(a), 'Save and Crawl work on a live page: open one first.');
    await a.page.click('#message-box .message-ok');
    await finish('frame-view-bar');
  });
});
