// A long operation on a real `qora serve` (started by run_real.sh): a crawl
// of a slow local site. While it runs the window shows its title, status
// texts and the Stop button; every command is refused with the busy text,
// by the window and by the server; Stop ends it at once and the pages
// fetched so far stay in the new library.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { chromiumMissing, eventually, startSuite } from '../browser/harness.mjs';

const skip = chromiumMissing() || (!process.env.QORA_TEST_URL && 'QORA_TEST_URL is not set');
const BUSY = 'Program is busy. Please wait.';
const PAGES = 40;
// Page i comes after (i + 1) x STEP_MS: the crawl stores one page after
// another, and would take PAGES x STEP_MS in all.
const STEP_MS = 400;

// A site whose home page links to PAGES pages, answered one after another.
function slowSite() {
  const timers = new Set();
  const server = createServer((request, response) => {
    response.setHeader('Content-Type', 'text/html');
    const path = new URL(request.url, 'http://x').pathname;
    if (path === '/') {
      const links = Array.from({ length: PAGES }, (_, i) => `<a href="/p${i}.html">page ${i}</a>`);
      response.end(`<html><head><title>Slow home</title></head><body><p>Rivers and mountains.</p>${links.join(' ')}</body></html>`);
      return;
    }
    const page = path.match(/^\/p(\d+)\.html$/);
    if (!page) {
      response.statusCode = 404;
      response.end();
      return;
    }
    const timer = setTimeout(() => {
      timers.delete(timer);
      response.end(`<html><head><title>Page ${page[1]}</title></head><body><p>Page ${page[1]} tells of glaciers, deltas and the rain.</p></body></html>`);
    }, (Number(page[1]) + 1) * STEP_MS);
    timers.add(timer);
  });
  return {
    server,
    close: () => {
      timers.forEach(clearTimeout);
      server.closeAllConnections();
      return new Promise((done) => server.close(done));
    },
  };
}

describe('a long operation', { skip }, () => {
  let suite;
  let site;
  before(async () => {
    suite = await startSuite();
    site = slowSite();
    await new Promise((done) => site.server.listen(0, '127.0.0.1', done));
  });
  after(async () => {
    await site?.close();
    await suite?.close();
  });

  const events = async (seq) => (await (await fetch(`${suite.baseUrl}/api/poll?after=${seq}`)).json()).events;

  test('is shown busy, refuses commands, and ends at once on Stop', async () => {
    const a = await suite.openApp();
    // The window lists the libraries as it starts; the server refuses the
    // list while busy, so the crawl waits for the window to be started.
    await eventually(() => a.page.$$eval('#library-chooser option', (options) => options.length > 1), 10000,
      'the libraries listed');
    // The window takes events from the point its start reached; the pad is
    // read last before the polls begin. Sent earlier, the crawl's busy
    // event could be older than the window's start and never shown.
    await a.page.waitForSelector('#scratch-pad[data-state="loaded"]');
    const seq = (await (await fetch(`${suite.baseUrl}/api/poll?after=0`)).json()).seq;
    const start = `http://127.0.0.1:${site.server.address().port}/`;
    // The crawl from the internet dialog: start address, engines, crawler
    // page (depth 1), advanced page, a new library.
    await a.page.selectOption('#internet-chooser', 'crawl');
    const dialog = a.page.locator('#acquire-dialog');
    await dialog.waitFor({ state: 'visible' });
    assert.equal(await a.page.textContent('#acquire-title'), 'Internet Crawl');
    await a.page.fill('#acquire-addresses', start);
    await a.page.click('#acquire-dialog .next-button');
    await a.page.click('#acquire-dialog .next-button');
    await a.page.fill('#crawl-depth', '1');
    await a.page.fill('#crawl-sites', '100');
    await a.page.fill('#crawl-documents', '100');
    await a.page.check('#crawl-same-site');
    await a.page.click('#acquire-dialog .next-button');
    await a.page.click('#acquire-dialog .next-button');
    await a.page.fill('#acquire-dialog .target-name', 'Slow');
    await a.page.click('#acquire-dialog .ok-button');
    await dialog.waitFor({ state: 'hidden' });
    await eventually(() => a.page.evaluate(() => document.body.classList.contains('busy')), 10000, 'busy mode')
      .catch(async (e) => { throw new Error(`${e.message}; events: ${JSON.stringify(await events(seq))}`); });
    assert.equal(await a.page.title(), "Internet Crawl 'Slow'");
    assert.equal(await a.page.isEnabled('#stop-button'), true);
    // The status text follows the crawl: the pages it fetches one after
    // another.
    const statuses = new Set();
    await eventually(async () => {
      statuses.add((await a.page.textContent('#status-text')).trim());
      return statuses.size >= 3;
    }, 20000, 'the status to advance');

    // The window refuses a research itself...
    await a.page.click('#research-button');
    await a.page.locator('#message-box').waitFor({ state: 'visible', timeout: 5000 });
    assert.equal(await a.page.textContent('#message-box .message-text'), BUSY);
    assert.equal(await a.page.isVisible('#research-dialog'), false);
    await a.page.click('#message-box .message-ok');
    // ...and the server refuses what reaches it.
    const refused = await a.page.evaluate(() => fetch('/api/command', {
      method: 'POST', headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ command: 'queryKeywords?kw=rivers' }),
    }).then((response) => response.status));
    assert.equal(refused, 204);
    await eventually(async () => (await events(seq))
      .some((e) => e.type === 'message' && e.text === BUSY), 5000, 'the server\'s busy message');
    // The window shows the server's refusal too.
    await a.page.locator('#message-box').waitFor({ state: 'visible', timeout: 5000 });
    assert.equal(await a.page.textContent('#message-box .message-text'), BUSY);
    await a.screenshot('real-busy');
    await a.page.click('#message-box .message-ok');

    // Stop: the crawl ends well before the pages it still waits for would
    // have come (the last after 16 s).
    const stopped = Date.now();
    await a.page.click('#stop-button');
    await eventually(async () => (await events(seq))
      .some((e) => e.type === 'completion' && e.code === 2), 15000, 'the crawl to end');
    const took = Date.now() - stopped;
    assert.ok(took < 5000, `the crawl ended ${took} ms after Stop`);
    await eventually(() => a.page.evaluate(() => !document.body.classList.contains('busy')), 5000, 'idle');
    assert.equal(await a.page.isEnabled('#stop-button'), false);

    // The new library holds the home page at least, and not every page.
    const libraries = await (await fetch(`${suite.baseUrl}/api/libraries`)).json();
    const slow = libraries.find((library) => library.name === 'Slow');
    assert.ok(slow, 'the library was made');
    assert.ok(slow.documents >= 1 && slow.documents < PAGES, `${slow.documents} documents`);
    assert.deepEqual(a.problems, []);
    await a.page.evaluate(() => fetch('/api/settings', {
      method: 'POST', headers: { 'Content-Type': 'application/json' }, body: '{"CrawlerOptions": null}',
    }));
    await a.close();
  });
});
