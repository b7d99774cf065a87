// The window on a real `qora serve` with the sample library (started by
// run_real.sh): the roads of a research from the dialog to the ranked list,
// the preview of a document, the concept map and its links, and a command
// sent from another origin.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { chromiumMissing, eventually, startSuite } from '../browser/harness.mjs';

const skip = chromiumMissing() || (!process.env.QORA_TEST_URL && 'QORA_TEST_URL is not set');

// The events of the server after `seq`, read as the front reads them.
async function events(baseUrl, seq = 0) {
  const response = await fetch(`${baseUrl}/api/poll?after=${seq}`);
  return (await response.json()).events;
}

describe('the application on the sample library', { skip }, () => {
  let suite;
  let sample;
  before(async () => {
    suite = await startSuite();
    const libraries = await (await fetch(`${suite.baseUrl}/api/libraries`)).json();
    sample = libraries.find((library) => library.name === 'Sample');
  });
  after(async () => { await suite?.close(); });

  const rows = (a) => a.page.locator('table.doclist tbody tr');
  const preview = (a) => a.page.frameLocator('#preview');

  async function keywordResearch(a, words) {
    await a.page.click('#research-button');
    await a.page.fill('#research-dialog .research-text', words);
    await a.page.click('#research-dialog .next-button');
    await a.page.check(`#research-dialog .library-check[value="${sample.ident}"]`);
    await a.page.click('#research-dialog .ok-button');
  }

  // The ranked list arrives before the research ends: a row clicked in
  // between is refused as busy, as the user would be told. So a test waits
  // for both before it selects a row.
  // (Generous waits: under the sanitizers an operation takes many times as
  // long.)
  const idle = async (a) => !(await a.page.evaluate(() => document.body.classList.contains('busy')));
  async function researched(a, minimum = 1) {
    await eventually(async () => (await rows(a).count()) >= minimum && await idle(a), 60000, 'the ranked list');
  }

  test('a keyword research goes from the dialog to the ranked list', async () => {
    assert.ok(sample, 'the sample library is listed');
    assert.equal(sample.documents, 43);
    const a = await suite.openApp();
    await keywordResearch(a, 'transaction rollback journal');
    await eventually(async () => (await a.page.title()) === "Library Search 'transaction rollback journal'",
      60000, 'the window title').catch(async (error) => {
      throw new Error(`${error.message}: it is "${await a.page.title()}"; events ${JSON.stringify(await events(suite.baseUrl, 0))}`);
    });
    await researched(a);
    assert.equal(await a.page.textContent('#library-frame .frame-title'), 'Sample');
    assert.match(await rows(a).first().textContent(), /Temporary Files Used By SQLite/);
    await a.screenshot('real-keyword-research');
    assert.deepEqual(a.problems, []);
    await a.close();
  });

  test('a selected document shows its summary, its highlights and its visual abstract', async () => {
    const a = await suite.openApp();
    await keywordResearch(a, 'file locking concurrency');
    await researched(a);
    await rows(a).first().click();
    // The preview ends with the concept map: a picture of its concepts.
    await eventually(async () => (await a.page.getAttribute('#preview', 'src'))?.includes('map_.htm')
      || (await a.page.evaluate(() => document.querySelector('#preview').contentWindow.location.pathname)) === '/pages/map_.htm',
    60000, 'the visual abstract in the preview');
    const circles = preview(a).locator('svg circle');
    await eventually(async () => (await circles.count()) > 0, 10000, 'concepts drawn');
    await a.screenshot('real-visual-abstract');

    // The summary pages of the same preview: strongest sentences, then the
    // whole text with the weights as highlights.
    const summary = await suite.openApp();
    await summary.page.goto(`${suite.baseUrl}/pages/sumry_.htm`);
    await eventually(async () => /\w{4,}/.test(await summary.page.textContent('body')), 10000, 'the summary');
    await summary.screenshot('real-summary');
    await summary.page.goto(`${suite.baseUrl}/pages/sum_.htm`);
    await eventually(async () => (await summary.page.locator('[style*="background"]').count()) > 0,
      10000, 'highlighted sentences');
    await summary.screenshot('real-highlights');
    assert.deepEqual(summary.problems, []);
    await summary.close();

    // A click on a concept opens the concept research with that concept;
    // its OK lists the documents of the concept.
    await eventually(() => idle(a), 60000, 'the preview to end');
    const seq = (await (await fetch(`${suite.baseUrl}/api/poll?after=0`)).json()).seq;
    // (Its phrases lie over the circle's middle, so the click is sent to the
    // concept's link itself.)
    await preview(a).locator('svg a[href*="queryConcepts"]').first().dispatchEvent('click');
    await a.page.locator('#research-dialog').waitFor({ state: 'visible', timeout: 10000 });
    assert.equal(await a.page.textContent('#research-dialog .dialog-title'),
      'Research Libraries using Selected Concepts');
    await a.page.click('#research-dialog .next-button');
    await a.page.check(`#research-dialog .library-check[value="${sample.ident}"]`);
    await a.page.click('#research-dialog .ok-button');
    await eventually(async () => (await events(suite.baseUrl, seq))
      .some((event) => event.type === 'completion' && event.code === 14), 60000, 'the concept research');
    await eventually(async () => (await a.page.title()) === 'Library Search using Concepts', 5000, 'its title');
    assert.ok((await rows(a).count()) > 0, 'the concept research lists documents');
    await a.screenshot('real-concept-research');
    assert.deepEqual(a.problems, []);
    await a.close();
  });

  test('"lastConceptMap?level=1" shows the map before the current one', async () => {
    const a = await suite.openApp();
    await keywordResearch(a, 'database file format');
    await researched(a, 2);
    const mapPath = async () => (await (await fetch(`${suite.baseUrl}/pages/map_.htm`)).text())
      .match(/id="qora-dml-path">([^<]*)</)[1];
    const waitForCompletion = async (seq) => {
      await eventually(async () => (await events(suite.baseUrl, seq))
        .some((event) => event.type === 'completion'), 60000, 'the preview');
      await eventually(() => idle(a), 5000, 'the window to see the end');
    };
    let seq = (await (await fetch(`${suite.baseUrl}/api/poll?after=0`)).json()).seq;
    await rows(a).nth(0).click();
    await waitForCompletion(seq);
    const first = await mapPath();
    seq = (await (await fetch(`${suite.baseUrl}/api/poll?after=0`)).json()).seq;
    await rows(a).nth(1).click();
    await waitForCompletion(seq);
    const second = await mapPath();
    assert.notEqual(first, second);
    await a.page.evaluate(() => fetch('/api/command', {
      method: 'POST', headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ command: 'lastConceptMap?level=1' }),
    }));
    await eventually(async () => (await mapPath()) === first, 10000, 'the previous map');
    await a.close();
  });

  test('a command from another origin is refused', async () => {
    const other = createServer((request, response) => {
      response.setHeader('Content-Type', 'text/html');
      response.end('<p>elsewhere</p>');
    });
    await new Promise((done) => other.listen(0, '127.0.0.1', done));
    const a = await suite.openApp();
    const seq = (await (await fetch(`${suite.baseUrl}/api/poll?after=0`)).json()).seq;
    await a.page.goto(`http://127.0.0.1:${other.address().port}/`);
    const outcome = await a.page.evaluate(async (base) => {
      const results = [];
      for (const attempt of [
        () => fetch(`${base}/api/command`, { method: 'POST', body: '{"command":"queryKeywords?kw=stolen"}' }),
        () => fetch(`${base}/localservlets/queryKeywords?kw=stolen`, { mode: 'no-cors' }),
      ]) {
        try {
          const response = await attempt();
          results.push(response.type === 'opaque' ? 'opaque' : response.status);
        } catch {
          results.push('blocked');
        }
      }
      return results;
    }, suite.baseUrl);
    other.close();
    assert.notEqual(outcome[0], 204, `the command went through: ${outcome}`);
    await new Promise((done) => setTimeout(done, 500));
    const after = await events(suite.baseUrl, seq);
    assert.equal(after.filter((event) => event.type === 'dialog').length, 0, JSON.stringify(after));
    const settings = await (await fetch(`${suite.baseUrl}/api/settings`)).json();
    assert.notEqual(settings.QueryOptions?.lastKeyWords, 'stolen');
    await a.close();
  });
});
