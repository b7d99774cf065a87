// Browser tests of the acquisition dialogs against the mock server: an
// internet crawl, the new-library wizard, adding files and a folder through
// the chooser, a page crawl and the refusals.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { USING_MOCK, chromiumMissing, eventually, startSuite } from './harness.mjs';

const skip = chromiumMissing() || (!USING_MOCK && 'these tests fill the mock server\'s libraries');

describe('acquisition dialogs', { skip, timeout: 120000 }, () => {
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

  const d = '#acquire-dialog';
  const visiblePage = (a) => a.page.$eval(`${d} .page:not([hidden])`, (s) => s.dataset.page);
  const messageText = (a) => a.page.locator('#message-box[open] .message-text');

  async function expectMessage(a, text) {
    await messageText(a).waitFor();
    assert.equal(await messageText(a).textContent(), text);
    assert.equal(await a.page.textContent('#message-box .message-title'), 'QORA');
  }

  async function closeMessage(a) {
    await a.page.click('#message-box .message-ok');
    await a.page.locator('#message-box[open]').waitFor({ state: 'detached' });
  }

  // The library chooser's entry of `ident`, as it is now.
  const chooserEntry = (a, ident) => a.page.$eval('#library-chooser',
    (select, id) => [...select.options].find((o) => o.value === id)?.textContent ?? '', ident);

  // Waits for the mock's operation to end (the completion the page reacts to).
  const idle = () => eventually(() => !suite.mock.state.busy, 5000, 'the end of the operation');

  async function next(a, page) {
    await a.page.click(`${d} .next-button`);
    await eventually(async () => (await visiblePage(a)) === page, 3000, `the ${page} page`);
  }

  test('a crawl sends its pages to the settings, then the request, and the libraries are reloaded', async () => {
    const a = await open();
    assert.equal(await chooserEntry(a, 'lib03'), 'Solar Cells (5)');
    await a.page.selectOption('#internet-chooser', 'crawl');
    assert.equal(await a.page.textContent(`${d} .dialog-title`), 'Internet Crawl');
    assert.equal(await visiblePage(a), 'start');
    assert.equal(await a.page.inputValue('#internet-chooser'), '');
    await a.page.fill('#acquire-addresses', 'http://tides.example/\nhttp://waves.example/start.htm');
    await next(a, 'engines');
    assert.equal(await a.page.isChecked(`${d} .engine-on[data-engine="0"]`), true, 'engine 1 is on by default');
    await a.page.check(`${d} .engine-on[data-engine="1"]`);
    await a.page.fill(`${d} .engine-results[data-engine="1"]`, '25');
    await next(a, 'crawler');
    await a.page.fill('#crawl-depth', '7');
    await a.page.click(`${d} .page[data-page="crawler"] .reset-button`);
    await eventually(() => a.bodies('/api/settings').length === 1, 3000, 'the reset');
    assert.deepEqual(a.bodies('/api/settings')[0], { CrawlerOptions: null });
    await eventually(async () => (await a.page.inputValue('#crawl-depth')) === '2', 3000,
      'the reset showing the default depth');
    await a.page.fill('#crawl-depth', 'deep');
    await a.page.click(`${d} .next-button`);
    await expectMessage(a, 'The depth must be a whole number from 0 to 2147483647.');
    await closeMessage(a);
    await a.page.fill('#crawl-depth', '3');
    await a.page.fill('#crawl-kilobytes', '400');
    await a.page.uncheck('#crawl-same-site');
    await next(a, 'advanced');
    await a.page.fill('#adv-neg-words', 'casino lottery');
    await next(a, 'target');
    await a.page.click(`${d} .ok-button`);
    await expectMessage(a, 'Please checkmark libraries first');
    await closeMessage(a);
    await a.page.selectOption(`${d} .target-library`, 'lib03');
    await a.screenshot('acquire-crawl-target');
    await a.page.click(`${d} .ok-button`);
    await eventually(() => a.bodies('/api/acquire').length === 1, 3000, 'the acquire request');
    const settings = a.bodies('/api/settings')[1];
    assert.equal(settings.CrawlerOptions.startURLs, 'http://tides.example/\r\nhttp://waves.example/start.htm');
    assert.deepEqual([settings.CrawlerOptions.Dpth, settings.CrawlerOptions.MaxKB, settings.CrawlerOptions.internalOnly],
      [3, 400, 0]);
    assert.deepEqual([settings.EngineOptions.selEng1, settings.EngineOptions.selEng2, settings.EngineOptions.numResEng2],
      [1, 1, 25]);
    assert.equal(settings.AdvancedOptions.negWords, 'casino+lottery');
    assert.deepEqual(a.bodies('/api/acquire')[0], { kind: 'internet', mode: 'crawl', keywords: '',
      addresses: ['http://tides.example/', 'http://waves.example/start.htm'], target: { library: 'lib03' } });
    // The settings went before the request.
    const order = a.posted.map((p) => p.path).filter((p) => p === '/api/settings' || p === '/api/acquire');
    assert.deepEqual(order, ['/api/settings', '/api/settings', '/api/acquire']);
    await eventually(async () => (await chooserEntry(a, 'lib03')) === 'Solar Cells (8)', 5000,
      'the library list reloaded after the crawl');
    assert.equal(suite.mock.state.settings.CrawlerOptions.Dpth, '3');
    await idle();
    await finish('acquire-crawl-done');
  });

  test('the wizard refuses no choice, remembers the choice and fills a new library', async () => {
    const a = await open({ settings: { Settings: { newLibMode: '0' } } });
    await a.page.click('#new-library-button');
    assert.equal(await a.page.textContent(`${d} .dialog-title`), 'New Library');
    assert.equal(await a.page.$$eval(`${d} input[name="wizard-mode"]:checked`, (r) => r.length), 0);
    await a.page.click(`${d} .next-button`);
    await expectMessage(a, 'No mode selected to create the new library');
    await a.screenshot('acquire-wizard-no-mode');
    await closeMessage(a);
    assert.equal(await visiblePage(a), 'choice');
    await a.page.check(`${d} input[name="wizard-mode"][value="1170"]`);
    await next(a, 'keywords');
    assert.deepEqual(a.bodies('/api/settings')[0], { Settings: { newLibMode: 1170 } });
    await a.page.fill('#acquire-keywords', 'tidal lagoons');
    await next(a, 'engines');
    await next(a, 'crawler');
    await next(a, 'advanced');
    await next(a, 'target');
    assert.equal(await a.page.isVisible(`${d} .target-library`), false, 'the wizard makes a new library');
    await a.page.fill(`${d} .target-name`, 'Lagoon Hits');
    await a.page.click(`${d} .ok-button`);
    await eventually(() => a.bodies('/api/acquire').length === 1, 3000, 'the acquire request');
    assert.deepEqual(a.bodies('/api/acquire')[0], { kind: 'internet', mode: 'wizard-searchcrawl',
      keywords: 'tidal lagoons', addresses: [], target: { new: 'Lagoon Hits' } });
    assert.equal(suite.mock.state.settings.Settings.newLibMode, '1170');
    await eventually(async () => (await chooserEntry(a, 'lib13')) === 'Lagoon Hits (3)', 5000,
      'the new library in the list');
    await idle();
    await finish('acquire-wizard-done');
  });

  test('files chosen in the chooser are sent with their absolute paths', async () => {
    const a = await open();
    await a.page.click('#add-files-button');
    await eventually(async () => (await a.page.inputValue(`${d} .folder-path`)) === '/', 3000, 'the root');
    await a.page.click(`${d} .next-button`);
    await expectMessage(a, 'No mode selected to add local files');
    await closeMessage(a);
    await a.page.check(`${d} input[name="local-mode"][value="files"]`);
    await a.page.click(`${d} .next-button`);
    await expectMessage(a, 'Please choose files');
    await closeMessage(a);
    const enter = async (label, path) => {
      await a.page.click(`${d} .folder-list li.folder:text-is("${label}")`);
      await eventually(async () => (await a.page.inputValue(`${d} .folder-path`)) === path, 3000, path);
    };
    await enter('home/', '/home');
    await enter('ada/', '/home/ada');
    await enter('papers/', '/home/ada/papers');
    const files = await a.page.$$eval(`${d} .file-check`, (boxes) => boxes.map((b) => b.value));
    assert.deepEqual(files, ['/home/ada/papers/barrages.pdf', '/home/ada/papers/lagoons.htm',
      '/home/ada/papers/tides.html']);
    await a.page.check(`${d} .file-check[value="/home/ada/papers/tides.html"]`);
    await a.page.check(`${d} .file-check[value="/home/ada/papers/barrages.pdf"]`);
    await enter('.. (up)', '/home/ada');
    await a.page.check(`${d} .file-check[value="/home/ada/notes.html"]`);
    assert.equal(await a.page.textContent(`${d} .chosen-count`), '3 files chosen');
    assert.equal(await a.page.isVisible('#folder-depth'), false, 'the folder page is for folders only');
    await a.screenshot('acquire-files-chooser');
    await next(a, 'target');
    await a.page.selectOption(`${d} .target-library`, 'lib01');
    await a.page.click(`${d} .ok-button`);
    await eventually(() => a.bodies('/api/acquire').length === 1, 3000, 'the acquire request');
    assert.deepEqual(a.bodies('/api/acquire')[0], { kind: 'files', target: { library: 'lib01' },
      files: ['/home/ada/papers/tides.html', '/home/ada/papers/barrages.pdf', '/home/ada/notes.html'] });
    assert.equal(a.bodies('/api/settings').length, 0, 'files leave the folder page alone');
    await eventually(async () => (await chooserEntry(a, 'lib01')) === 'Tidal Energy (6)', 5000,
      'the library list reloaded after adding files');
    await idle();
    await finish('acquire-files-done');
  });

  test('a folder writes the folder page to the settings, then the request', async () => {
    const a = await open();
    await a.page.click('#add-files-button');
    await a.page.check(`${d} input[name="local-mode"][value="folder"]`);
    assert.equal(await a.page.isVisible('#folder-depth'), true);
    await a.page.fill(`${d} .folder-path`, '/home/ada/nowhere');
    await a.page.press(`${d} .folder-path`, 'Enter');
    await eventually(async () => (await a.page.textContent(`${d} .folder-error`)) === 'There is no such folder.',
      3000, 'the missing folder\'s message');
    await a.page.fill(`${d} .folder-path`, '/home/ada/saved pages');
    await a.page.press(`${d} .folder-path`, 'Enter');
    await eventually(async () => (await a.page.textContent(`${d} .folder-error`)) === '', 3000, 'the folder');
    await a.page.fill('#folder-depth', '1');
    await next(a, 'target');
    await a.page.check(`${d} input[name="target-kind"][value="new"]`);
    await a.page.fill(`${d} .target-name`, 'Saved Pages');
    await a.screenshot('acquire-folder-target');
    await a.page.click(`${d} .ok-button`);
    await eventually(() => a.bodies('/api/acquire').length === 1, 3000, 'the acquire request');
    assert.deepEqual(a.bodies('/api/settings')[0], { CrawlerOptions: { prevName_folder: '/home/ada/saved pages',
      Dpth_folder: 1, MaxKB_folder: 1000, MaxDocs_folder: 50 } });
    assert.deepEqual(a.bodies('/api/acquire')[0], { kind: 'folder', target: { new: 'Saved Pages' } });
    await eventually(async () => (await chooserEntry(a, 'lib14')) === 'Saved Pages (2)', 5000,
      'the new library in the list');
    await idle();
    await finish('acquire-folder-done');
  });

  test('a page crawl opened for an address; the server\'s busy refusal is shown', async () => {
    const a = await open();
    await a.page.evaluate(() => { window.qoraAcquire.crawlPage('http://tides.example/tables.htm'); });
    await a.page.locator(`${d}[open]`).waitFor();
    assert.equal(await a.page.textContent(`${d} .dialog-title`), 'Crawling: http://tides.example/tables.htm');
    assert.equal(await visiblePage(a), 'crawler');
    await next(a, 'advanced');
    await next(a, 'target');
    await a.page.selectOption(`${d} .target-library`, 'lib02');
    // Another operation starts before OK: the server refuses the crawl.
    const started = await fetch(`${suite.baseUrl}/api/research`, { method: 'POST',
      body: JSON.stringify({ kind: 'keywords', text: 'tides', libraries: ['lib04', 'lib05', 'lib06'] }) });
    assert.equal(started.status, 200);
    await a.page.click(`${d} .ok-button`);
    await expectMessage(a, 'Program is busy. Please wait.');
    assert.deepEqual(a.bodies('/api/acquire')[0], { kind: 'internet', mode: 'crawlpage', keywords: '',
      addresses: ['http://tides.example/tables.htm'], target: { library: 'lib02' } });
    await a.screenshot('acquire-busy-refused');
    await closeMessage(a);
    // While busy the tool bar's commands are refused as well.
    await eventually(() => a.page.evaluate(() => document.body.classList.contains('busy')), 3000, 'busy mode');
    await a.page.click('#add-files-button');
    await expectMessage(a, 'Program is busy. Please wait.');
    assert.equal(await a.page.isVisible(d), false);
    await closeMessage(a);
    await eventually(() => a.page.evaluate(() => !document.body.classList.contains('busy')), 5000, 'the end');
    // (The refusal's promise ends only when its message is closed.)
    await a.page.evaluate(() => { window.qoraAcquire.savePage('not an address'); });
    await expectMessage(a, 'There is no page address to act on.');
    await finish('acquire-page-refusals');
  });
});
