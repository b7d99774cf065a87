// What every browser test needs: the server (the mock, or the one named by
// QORA_TEST_URL), headless chromium, a page whose polls can carry scripted
// events, a record of the API requests the page sends, and screenshots.

import { mkdir } from 'node:fs/promises';
import { existsSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { startMockServer } from '../mock_server.mjs';

const HERE = dirname(fileURLToPath(import.meta.url));
export const SCREENSHOT_DIR = resolve(process.env.QORA_SCREENSHOT_DIR || join(HERE, '..', 'screenshots'));
export const CHROMIUM = process.env.QORA_CHROMIUM || '/usr/bin/chromium';
export const USING_MOCK = !process.env.QORA_TEST_URL;

// The `skip` option of a browser suite: false, or why it cannot run.
export function chromiumMissing() {
  return existsSync(CHROMIUM) ? false : `chromium not found at ${CHROMIUM} (install it with scripts/setup.sh)`;
}

// Starts the server and the browser once per test file.
export async function startSuite() {
  const mock = USING_MOCK ? await startMockServer(0) : null;
  const baseUrl = USING_MOCK ? mock.url : process.env.QORA_TEST_URL.replace(/\/$/, '');
  const browser = await chromium.launch({ executablePath: CHROMIUM, headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'] });
  return {
    baseUrl,
    mock,
    async close() {
      await browser.close();
      if (mock) await mock.close();
    },
    openApp: (options) => openApp(browser, baseUrl, options),
  };
}

// A fresh page on the QORA window. `script` holds events to hand over with
// the next poll and values that override the poll's busy flag and status;
// `posted` records every API request the page sends (an upload by the
// name in its query); `libraries`, when
// given, replaces the server's list of libraries, `settings` the settings
// the page reads at start, and the API paths in `stub` are answered with {}
// without reaching the server (for requests that name made-up libraries);
// `brokenSettings` makes reading the settings fail; `clock`, when given,
// is the time the page's clock starts at (it runs on, and the test can
// move it ahead with page.clock.fastForward).
async function openApp(browser, baseUrl,
  { libraries, settings, stub = [], brokenSettings = false, clock, width = 1240, height = 860 } = {}) {
  const context = await browser.newContext({ viewport: { width, height } });
  const page = await context.newPage();
  if (clock) await page.clock.install({ time: clock });
  const script = { events: [], busy: undefined, status: undefined };
  const posted = [];
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  page.on('request', (request) => {
    const url = new URL(request.url());
    const path = url.pathname;
    if (request.method() !== 'POST' || !path.startsWith('/api/')) return;
    // An upload's body is the file itself, not JSON: its query is kept.
    if (path === '/api/upload') posted.push({ path, query: url.searchParams.get('name'), body: null });
    else posted.push({ path, body: request.postDataJSON() });
  });
  await page.route('**/api/poll*', async (route) => {
    let response;
    let json;
    try {
      response = await route.fetch();
      json = await response.json();
    } catch {
      // The page closed or the route was replaced while the poll was out.
      await route.abort().catch(() => {});
      return;
    }
    json.events = [...(json.events ?? []), ...script.events.splice(0)];
    if (script.busy !== undefined) json.busy = script.busy;
    if (script.status !== undefined) json.status = script.status;
    await route.fulfill({ response, json }).catch(() => {});
  });
  if (libraries) {
    await page.route('**/api/libraries', (route) => route.fulfill({ json: libraries }));
  }
  for (const path of stub) await page.route(`**${path}`, (route) => route.fulfill({ json: {} }));
  if (settings || brokenSettings) {
    const answer = brokenSettings ? { status: 500, json: { error: 'settings store damaged' } } : { json: settings };
    await page.route('**/api/settings', (route) => (route.request().method() === 'GET'
      ? route.fulfill(answer) : route.continue()));
  }
  await page.goto(baseUrl + '/');
  await page.waitForSelector('table.doclist thead th');
  // Commands are taken once the window has started.
  await page.waitForSelector('body[data-state="ready"]');
  return {
    page,
    script,
    posted,
    problems,
    // Hands `events` to the page with the next poll.
    emit: (...events) => { script.events.push(...events.map((e) => ({ seq: 0, ...e }))); },
    // The bodies of the requests sent to `path`, in order.
    bodies: (path) => posted.filter((p) => p.path === path).map((p) => p.body),
    async screenshot(name) {
      await mkdir(SCREENSHOT_DIR, { recursive: true });
      await page.screenshot({ path: join(SCREENSHOT_DIR, `${name}.png`) });
    },
    // Polls still in flight are let go before the page closes.
    async close() {
      await page.unrouteAll({ behavior: 'ignoreErrors' });
      await context.close();
    },
  };
}

// Waits until `probe()` returns a truthy value (or throws after `ms`).
export async function eventually(probe, ms = 3000, what = 'condition') {
  const end = Date.now() + ms;
  for (;;) {
    const value = await probe();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((done) => setTimeout(done, 30));
  }
}

// Records with the fields of a "list" event.
export function records(specs) {
  return specs.map((s, i) => ({
    handle: s.handle ?? 1,
    docid: s.docid ?? `doc${i}`,
    name: s.name ?? `Document ${i}`,
    rank: s.rank ?? i + 1,
    size: s.size ?? String(1000 + i),
    date: s.date ?? `1/${i + 1}/2004 3:00 PM`,
    type: s.type ?? '.htm',
    uri: s.uri ?? `http://example.org/${i}.htm`,
    source: s.source ?? '',
    library: s.library ?? 'Tidal Energy',
  }));
}

// `n` libraries in the form of GET /api/libraries.
export function libraries(n) {
  return Array.from({ length: n }, (_, i) => ({
    ident: `L${i + 1}`, name: `Library ${i + 1}`, documents: 10 + i, bytes: String(999 + i * 123456),
    date: `3/${i + 1}/2005 10:00 AM`,
  }));
}

// A drag carrying `files` ({ name, text, type }) made in the page, as the
// browser makes one for files dragged in from outside: its DataTransfer
// handle, for the events dispatched with it.
export function filesDrag(page, files) {
  return page.evaluateHandle((dropped) => {
    const transfer = new DataTransfer();
    for (const file of dropped) transfer.items.add(new File([file.text], file.name, { type: file.type ?? '' }));
    return transfer;
  }, files);
}

// Drags `files` onto `selector` and drops them there: dragenter, dragover,
// drop, as a drop from outside the window brings them.
export async function dropFiles(page, files, selector = 'body') {
  const dataTransfer = await filesDrag(page, files);
  for (const type of ['dragenter', 'dragover', 'drop']) await page.dispatchEvent(selector, type, { dataTransfer });
  await dataTransfer.dispose();
}
