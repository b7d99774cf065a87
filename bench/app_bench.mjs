// Times the application as a user meets it, in headless chromium: the first
// paint of the main page, a keyword research from the dialog's OK to the
// filled list, and a preview from the click on a document to its summary
// shown. Prints the median and the spread of each, in milliseconds.
//
//   node bench/app_bench.mjs URL LIBRARY-IDENT KEYWORDS [RUNS]
//
// playwright-core comes from tests/web/node_modules (scripts/setup_web.sh).

import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';
import { dirname, join } from 'node:path';

const here = dirname(fileURLToPath(import.meta.url));
const require = createRequire(join(here, '..', 'tests', 'web', 'package.json'));
const { chromium } = require('playwright-core');

const [url, library, keywords, runsText = '7'] = process.argv.slice(2);
if (!url || !library || !keywords) {
  console.error('usage: node bench/app_bench.mjs URL LIBRARY-IDENT KEYWORDS [RUNS]');
  process.exit(2);
}
const runs = Number(runsText);

const browser = await chromium.launch({
  executablePath: process.env.QORA_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
});

async function waitFor(probe, what, ms = 60000) {
  const end = Date.now() + ms;
  while (!(await probe())) {
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((done) => setTimeout(done, 5));
  }
}

async function oneRun() {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  const page = await context.newPage();
  await page.goto(url);
  await page.waitForSelector('table.doclist thead th');
  const paint = await page.evaluate(() =>
    performance.getEntriesByName('first-contentful-paint')[0]?.startTime ?? NaN);
  // Ready: settings, libraries, engines and the ScratchPad read, the
  // commands wired.
  await page.waitForSelector('body[data-state="ready"]');
  const ready = await page.evaluate(() => performance.getEntriesByName('qora-ready')[0]?.startTime ?? NaN);

  await page.click('#research-button');
  await page.fill('#research-dialog .research-text', keywords);
  await page.click('#research-dialog .next-button');
  await page.check(`#research-dialog .library-check[value="${library}"]`);
  const rows = page.locator('table.doclist tbody tr');
  const researchStart = Date.now();
  await page.click('#research-dialog .ok-button');
  await waitFor(async () => (await rows.count()) > 0 && (await page.title()).startsWith('Library Search'),
    'the ranked list');
  const research = Date.now() - researchStart;
  // The list comes before the research ends; a row is taken once it has.
  await waitFor(async () => !(await page.locator('body.busy').count()), 'the end of the research');

  // The preview shows the summary first, then the concept map: the time to
  // the summary page drawn in the frame.
  const frame = page.frameLocator('#preview');
  const previewStart = Date.now();
  await rows.first().click();
  await waitFor(async () => {
    const path = await page.evaluate(() => document.querySelector('#preview').contentWindow.location.pathname);
    return (path === '/pages/sumry_.htm' || path === '/pages/map_.htm')
      && (await frame.locator('body').textContent()).length > 50;
  }, 'the summary');
  const preview = Date.now() - previewStart;
  // Let the preview's concept map finish before the next run starts.
  await waitFor(async () => !(await page.locator('body.busy').count()), 'the end of the preview');
  await context.close();
  return { paint, ready, research, preview };
}

const results = [];
await oneRun();  // warm-up: the engine's caches and the browser's
for (let i = 0; i < runs; i += 1) results.push(await oneRun());
await browser.close();

function summary(name) {
  const values = results.map((r) => r[name]).sort((a, b) => a - b);
  const median = values[Math.floor(values.length / 2)];
  return `${name.padEnd(9)} median ${median.toFixed(0).padStart(5)} ms   min ${values[0].toFixed(0)}   max ${values[values.length - 1].toFixed(0)}`;
}
console.log(`${runs} runs, keywords "${keywords}"`);
for (const name of ['paint', 'ready', 'research', 'preview']) console.log(summary(name));
