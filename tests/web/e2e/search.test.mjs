// Internet searches from the internet dialog on a real `qora serve`
// (started by run_real.sh), against a search engine of the test's own: the
// data folder's "se.ini" points the five engines at it for the test, and
// is put back afterwards. A basic search stores the hits in a new library;
// a quick search lists them as "[Quick Search Results]" and stores nothing.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { readFile, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { chromiumMissing, eventually, startSuite } from '../browser/harness.mjs';

const skip = chromiumMissing() || (!process.env.QORA_TEST_URL && 'QORA_TEST_URL is not set')
  || (!process.env.QORA_TEST_DATA && 'QORA_TEST_DATA is not set');

const PAGES = {
  '/page/barrage': ['Tidal barrages', 'A tidal barrage holds the flood tide behind a dam and lets it out through turbines.'],
  '/page/stream': ['Tidal stream turbines', 'Tidal stream turbines stand on the sea bed where the currents run fast.'],
};

// A search engine whose result page lists the two pages above, which it
// serves too; it records the searches it gets.
function fakeEngine() {
  const searches = [];
  const server = createServer((request, response) => {
    const url = new URL(request.url, 'http://x');
    response.setHeader('Content-Type', 'text/html');
    if (url.pathname === '/search') {
      searches.push(url.searchParams.get('q'));
      const site = `http://127.0.0.1:${server.address().port}`;
      const hits = Object.entries(PAGES).map(([path, [title]]) => `<li class="r"><a href="${site}${path}">${title}</a></li>`);
      response.end(`<html><body><!-- results -->\n${hits.join('\n')}\n</body></html>`);
      return;
    }
    const page = PAGES[url.pathname];
    if (!page) {
      response.statusCode = 404;
      response.end();
      return;
    }
    response.end(`<html><head><title>${page[0]}</title></head><body><h1>${page[0]}</h1><p>${page[1]}</p></body></html>`);
  });
  return { server, searches };
}

function engineDefinitions(site) {
  return Array.from({ length: 5 }, (_, i) => [
    `[engine${i + 1}]`, `name = Local ${i + 1}`, `url = ${site}/search`, 'pre_query_string = ?q=',
    'post_query_string = &n=', 'cuestring1 = <!-- results -->', 'cuestring2 = ',
    'hitstring = <li class="r"><a href="', 'sepstring1 = ">', 'sepstring2 = </a>', '',
  ].join('\n')).join('\n');
}

describe('internet searches', { skip }, () => {
  let suite;
  let engine;
  let original;
  const seIni = join(process.env.QORA_TEST_DATA ?? '', 'se.ini');
  before(async () => {
    engine = fakeEngine();
    await new Promise((done) => engine.server.listen(0, '127.0.0.1', done));
    original = await readFile(seIni);
    await writeFile(seIni, engineDefinitions(`http://127.0.0.1:${engine.server.address().port}`));
    suite = await startSuite();
  });
  after(async () => {
    if (original) await writeFile(seIni, original);
    await suite?.close();
    engine?.server.closeAllConnections();
    await new Promise((done) => engine?.server.close(done));
  });

  const events = async (seq) => (await (await fetch(`${suite.baseUrl}/api/poll?after=${seq}`)).json()).events;
  const ended = (seq, code) => eventually(async () => (await events(seq))
    .some((e) => e.type === 'completion' && e.code === code), 60000, `completion ${code}`);

  // Opens the internet dialog in `mode` with `words` on its keyword page and
  // engine 1 alone on the engine page.
  async function searchDialog(a, mode, title, words) {
    await a.page.selectOption('#internet-chooser', mode);
    await a.page.locator('#acquire-dialog').waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#acquire-title'), title);
    await a.page.fill('#acquire-keywords', words);
    await a.page.click('#acquire-dialog .next-button');
    const boxes = a.page.locator('#acquire-dialog .engine-on');
    for (let i = 0; i < 5; i += 1) await boxes.nth(i).setChecked(i === 0);
  }

  test('a basic search stores the hits in a new library; a quick search only lists them', async () => {
    const a = await suite.openApp();
    let seq = (await (await fetch(`${suite.baseUrl}/api/poll?after=0`)).json()).seq;
    await searchDialog(a, 'basic', 'Basic Internet Search', 'tidal energy');
    await a.page.click('#acquire-dialog .next-button');
    await a.page.fill('#acquire-dialog .target-name', 'Tides');
    await a.page.click('#acquire-dialog .ok-button');
    await ended(seq, 0);
    assert.deepEqual(engine.searches, ['tidal energy']);
    const libraries = await (await fetch(`${suite.baseUrl}/api/libraries`)).json();
    assert.equal(libraries.find((library) => library.name === 'Tides')?.documents, 2);
    await eventually(async () => (await a.page.locator('#library-chooser option', { hasText: 'Tides (2)' }).count()) === 1,
      5000, 'the library chooser to list the new library');

    seq = (await (await fetch(`${suite.baseUrl}/api/poll?after=0`)).json()).seq;
    await searchDialog(a, 'quick', 'Quick Internet Search', 'tidal stream');
    await a.page.click('#acquire-dialog .ok-button');
    await ended(seq, 1);
    await eventually(async () => (await a.page.textContent('#library-frame .frame-title')) === '[Quick Search Results]',
      5000, 'the quick search list');
    const rows = a.page.locator('table.doclist tbody tr');
    assert.equal(await rows.count(), 2);
    assert.match(await rows.first().textContent(), /Tidal barrages/);
    assert.match(await rows.first().textContent(), /Local 1/); // the engine that found it
    assert.equal(await a.page.title(), "Internet Search 'tidal stream'");
    await a.screenshot('real-quick-search');
    const after = await (await fetch(`${suite.baseUrl}/api/libraries`)).json();
    assert.equal(after.length, libraries.length, 'a quick search makes no library');
    assert.deepEqual(a.problems, []);
    await a.close();
  });
});
