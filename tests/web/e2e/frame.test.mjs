// The browser frame on a real `qora serve` (started by run_real.sh): an
// archived copy and a live page are shown sandboxed; their own scripts do
// not run and nothing in them can reach the application's API, while the
// frame agent carries out the word bar's commands.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { chromiumMissing, eventually, startSuite } from '../browser/harness.mjs';

const skip = chromiumMissing() || (!process.env.QORA_TEST_URL && 'QORA_TEST_URL is not set');

// A page that tries to reach the API in every way a page can.
const HOSTILE = `<!DOCTYPE html><html><head><meta charset="utf-8"><title>Tide mills</title>
<script>document.title = 'own script ran';
fetch('/api/settings', { method: 'POST', headers: { 'Content-Type': 'application/json' },
  body: JSON.stringify({ WordBar: { searchWords: 'taken over' } }) });</script>
<script src="/web/js/main.js"></script></head>
<body><img src="missing.png" onerror="document.title = 'handler ran'">
<p>Tide mills ground grain with the tide; the tide filled a pond.</p>
<p><a id="mill-link" href="mill2.htm">the next mill</a></p></body></html>`;

describe('the browser frame on the real server', { skip }, () => {
  let suite;
  let site;
  let siteUrl;
  before(async () => {
    suite = await startSuite();
    site = createServer((req, res) => {
      res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
      res.end(HOSTILE.replace('Tide mills</title>', `Tide mills ${req.url}</title>`));
    });
    await new Promise((ready) => site.listen(0, '127.0.0.1', ready));
    siteUrl = `http://127.0.0.1:${site.address().port}`;
  });
  after(async () => {
    await suite?.close();
    await new Promise((done) => site?.close(done));
  });

  const settings = async () => (await fetch(`${suite.baseUrl}/api/settings`)).json();
  const agentReady = (a) => eventually(() => a.page.$eval('#preview', (f) => f.dataset.agent === 'ready'),
    20000, 'the frame agent');

  test('an archived copy\'s own scripts do not run and cannot reach /api/; the word bar works on it', async () => {
    const start = await (await fetch(`${suite.baseUrl}/api/start`)).json();
    const file = join(start.data, 'hostile_copy.htm');
    await writeFile(file, HOSTILE);
    const a = await suite.openApp();
    await a.page.evaluate((path) => {
      document.querySelector('#preview').src = `/datafile?path=${encodeURIComponent(path)}`;
    }, file);
    await agentReady(a);
    const copy = a.page.frames().find((f) => f.url().includes('/datafile?'));
    assert.equal(await copy.title(), 'Tide mills');
    // Even a script that ran there (here put in by the test driver, past
    // the page's policy) is refused by the server: the copy has no origin
    // of the application.
    const status = await copy.evaluate(async () => {
      try {
        const r = await fetch('/api/settings', { method: 'POST', headers: { 'Content-Type': 'application/json' },
          body: JSON.stringify({ WordBar: { searchWords: 'taken over' } }) });
        return r.status;
      } catch (error) {
        return `failed: ${error.message}`;
      }
    });
    assert.notEqual(status, 200);
    assert.notEqual((await settings()).WordBar?.searchWords, 'taken over');

    await a.page.click('#edit-words-button');
    await a.page.fill('#words-input', 'tide mill');
    await a.page.press('#words-input', 'Enter');
    await a.page.click('#highlight-button');
    const marks = () => copy.$$eval('span[data-qora-highlight]', (s) => s.map((x) => [x.textContent.toLowerCase(), x.style.backgroundColor]));
    await eventually(async () => (await marks()).length >= 5, 5000, 'the highlights');
    assert.deepEqual((await marks()).filter(([w]) => w === 'mill')[0], ['mill', 'yellow']);
    assert.equal(await copy.title(), 'Tide mills', 'no handler of the page ran');
    await a.screenshot('real-archived-copy-highlighted');
    assert.deepEqual(a.problems, []);
    await a.close();
  });

  test('a web address is fetched by the application, shown sandboxed, and its links go through /live', async () => {
    const a = await suite.openApp();
    const engines = await (await fetch(`${suite.baseUrl}/api/engines`)).json();
    assert.equal(engines.length, 5);
    assert.notEqual(engines[0].name, 'engine');
    await eventually(async () => (await a.page.textContent('#search-button')) === engines[0].name, 5000,
      'the first engine on the search button');
    await a.page.fill('#address-box', `${siteUrl}/mills/first.htm`);
    await a.page.press('#address-box', 'Enter');
    await agentReady(a);
    const live = () => a.page.frames().find((f) => f.url().includes('/live?'));
    assert.equal(await live().title(), 'Tide mills /mills/first.htm');
    await a.page.click('#hide-ads-button');
    await live().click('#mill-link');
    const next = `/live?url=${encodeURIComponent(`${siteUrl}/mills/mill2.htm`)}`;
    await eventually(async () => (await a.page.$eval('#preview', (f) => f.getAttribute('src'))) === next,
      5000, 'the next page');
    await agentReady(a);
    assert.equal(await live().title(), 'Tide mills /mills/mill2.htm');
    assert.notEqual((await settings()).WordBar?.searchWords, 'taken over');
    await a.screenshot('real-live-page');
    assert.deepEqual(a.problems, []);
    await a.close();
  });
});
