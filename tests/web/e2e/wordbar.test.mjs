// The word bar on a stored document's archived copy, on a real `qora serve`
// (started by run_real.sh): five words set through "Edit Words on Bar",
// highlighted in the page each in its colour, found one after another up
// to "Gone past end", and their highlights removed. The copy is sandboxed
// in an opaque origin, so the test reads it through the browser's frame
// interface, not through the window's DOM.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { chromiumMissing, eventually, startSuite } from '../browser/harness.mjs';

const skip = chromiumMissing() || (!process.env.QORA_TEST_URL && 'QORA_TEST_URL is not set');

// Words of "Temporary Files Used By SQLite", none part of another, so each
// occurrence gets exactly one colour.
const WORDS = ['journal', 'rollback', 'transaction', 'temporary', 'vacuum'];
const COLOURS = ['magenta', 'yellow', 'lightgreen', 'cyan', 'red'];
// The word found one occurrence after another: it occurs a few times only.
const FOUND = 4;

// Runs in the archived page: how often each of `words` occurs in the text
// of the body outside scripts and styles, any case.
function occurrences(words) {
  const skipped = new Set(['SCRIPT', 'STYLE', 'NOSCRIPT']);
  const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  let text = '';
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    if (!skipped.has(node.parentNode.nodeName)) text += node.data;
  }
  text = text.toLowerCase();
  return words.map((word) => text.split(word).length - 1);
}

// Runs in the archived page: every highlight as [text, colour], and the
// text nodes outside highlights that still hold one of `words`.
function highlights(words) {
  const marks = [...document.querySelectorAll('span[data-qora-highlight]')]
    .map((span) => [span.textContent.toLowerCase(), span.style.backgroundColor]);
  const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  const missed = [];
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    if (['SCRIPT', 'STYLE', 'NOSCRIPT'].includes(node.parentNode.nodeName)) continue;
    if (node.parentElement.closest('span[data-qora-highlight]')) continue;
    const text = node.data.toLowerCase();
    for (const word of words) if (text.includes(word)) missed.push(`${word} in "${node.data.slice(0, 60)}"`);
  }
  return { marks, missed };
}

// Runs in the archived page: the selected text and where it starts, counted
// in characters of the body's text.
function selectionPlace() {
  const selection = window.getSelection();
  if (!selection || selection.rangeCount === 0 || selection.isCollapsed) return { text: '', at: -1 };
  const range = selection.getRangeAt(0);
  const before = document.createRange();
  before.setStart(document.body, 0);
  before.setEnd(range.startContainer, range.startOffset);
  return { text: selection.toString(), at: before.toString().length };
}

describe('the word bar on an archived page', { skip }, () => {
  let suite;
  let sample;
  before(async () => {
    suite = await startSuite();
    const libraries = await (await fetch(`${suite.baseUrl}/api/libraries`)).json();
    sample = libraries.find((library) => library.name === 'Sample');
  });
  after(async () => { await suite?.close(); });

  const rows = (a) => a.page.locator('table.doclist tbody tr');
  const idle = async (a) => !(await a.page.evaluate(() => document.body.classList.contains('busy')));
  const message = (a) => a.page.locator('#message-box[open] .message-text');

  test('highlights five words in their colours, finds one to the end, and removes the highlights', async () => {
    assert.ok(sample, 'the sample library is listed');
    const a = await suite.openApp();

    // A research, the document selected, then its archived copy.
    await a.page.click('#research-button');
    await a.page.fill('#research-dialog .research-text', 'transaction rollback journal');
    await a.page.click('#research-dialog .next-button');
    await a.page.check(`#research-dialog .library-check[value="${sample.ident}"]`);
    await a.page.click('#research-dialog .ok-button');
    await eventually(async () => (await rows(a).count()) > 0 && await idle(a), 60000, 'the ranked list');
    assert.match(await rows(a).first().textContent(), /Temporary Files Used By SQLite/);
    // The preview of the selected document ends with the concept map; the
    // view bar acts once the window has shown it and left the busy mode
    // (else the preview's own pages would replace the archived copy).
    const seq = (await (await fetch(`${suite.baseUrl}/api/poll?after=0`)).json()).seq;
    await rows(a).first().click();
    await eventually(async () => (await (await fetch(`${suite.baseUrl}/api/poll?after=${seq}`)).json()).events
      .some((event) => event.type === 'completion'), 60000, 'the preview of the document');
    await eventually(async () => (await a.page.$eval('#preview', (f) => f.getAttribute('src'))) === '/pages/map_.htm'
      && await idle(a), 10000, 'the window to show the end of the preview');
    await a.page.click('#view-bar button[data-view="archived"]');
    await eventually(async () => a.page.frames().some((f) => f.url().includes('/datafile?'))
      && await a.page.$eval('#preview', (f) => f.dataset.agent === 'ready'), 20000, 'the archived copy and its agent');
    assert.equal(await a.page.$eval('#preview', (f) => f.dataset.kind), 'archived');
    const copy = a.page.frames().find((f) => f.url().includes('/datafile?'));
    assert.ok(copy, 'the archived copy is in the frame');
    assert.match(await copy.title(), /Temporary Files/);
    // The copy is not reachable from the window: it has an origin of its own.
    assert.equal(await a.page.$eval('#preview', (f) => {
      try {
        return f.contentDocument === null;
      } catch {
        return true;
      }
    }), true);

    // The words, as the user sets them (after the research, which puts its
    // own words on the bar).
    await a.page.click('#edit-words-button');
    await a.page.locator('#words-dialog').waitFor({ state: 'visible' });
    await a.page.fill('#words-input', WORDS.join(' '));
    await a.page.click('#words-dialog .words-ok');
    await a.page.locator('#words-dialog').waitFor({ state: 'hidden' });
    const buttons = await a.page.$$eval('#word-bar button.word',
      (list) => list.map((b) => [b.textContent, b.style.backgroundColor]));
    assert.deepEqual(buttons, WORDS.map((word, i) => [word, COLOURS[i]]));

    const counts = await copy.evaluate(occurrences, WORDS);
    counts.forEach((n, i) => assert.ok(n > 0, `"${WORDS[i]}" occurs in the copy`));
    assert.ok(counts[FOUND] >= 2 && counts[FOUND] <= 20, `"${WORDS[FOUND]}" occurs ${counts[FOUND]} times`);
    const textBefore = await copy.evaluate(() => document.body.textContent);

    // Highlight All: every occurrence of word i, and nothing else, in colour i.
    await a.page.click('#highlight-button');
    const total = counts.reduce((sum, n) => sum + n, 0);
    await eventually(async () => (await copy.evaluate(highlights, WORDS)).marks.length === total, 10000,
      'the highlights');
    const { marks, missed } = await copy.evaluate(highlights, WORDS);
    assert.deepEqual(missed, []);
    WORDS.forEach((word, i) => {
      const own = marks.filter(([text]) => text === word);
      assert.equal(own.length, counts[i], `highlights of "${word}"`);
      assert.deepEqual([...new Set(own.map(([, colour]) => colour))], [COLOURS[i]], `the colour of "${word}"`);
    });
    assert.equal(marks.filter(([text]) => !WORDS.includes(text)).length, 0);
    await a.screenshot('real-wordbar-highlighted');

    // Find next: each press selects the next occurrence of the word.
    const wordButton = a.page.locator('#word-bar button.word').nth(FOUND);
    let last = -1;
    for (let n = 0; n < counts[FOUND]; n += 1) {
      await wordButton.click();
      const place = await eventually(async () => {
        const p = await copy.evaluate(selectionPlace);
        return p.at > last ? p : null;
      }, 5000, `occurrence ${n + 1} of "${WORDS[FOUND]}"`);
      assert.equal(place.text.toLowerCase(), WORDS[FOUND]);
      last = place.at;
    }
    assert.equal(await message(a).count(), 0, 'no message while occurrences are left');
    await a.screenshot('real-wordbar-found');
    // Past the last one the window says so and nothing stays selected.
    await wordButton.click();
    await message(a).waitFor({ timeout: 5000 });
    assert.equal(await message(a).textContent(), 'Gone past end');
    assert.deepEqual(await copy.evaluate(selectionPlace), { text: '', at: -1 });
    await a.page.click('#message-box .message-ok');
    // And the next press starts again at the first occurrence.
    await wordButton.click();
    const first = await eventually(async () => {
      const p = await copy.evaluate(selectionPlace);
      return p.at >= 0 ? p : null;
    }, 5000, 'the first occurrence again');
    assert.equal(first.text.toLowerCase(), WORDS[FOUND]);
    assert.ok(first.at < last, 'the search starts again from the top');

    // Remove Highlights: no highlight is left, and the text is as it was.
    await a.page.click('#unhighlight-button');
    await eventually(async () => (await copy.evaluate(highlights, WORDS)).marks.length === 0, 10000,
      'the highlights to go');
    assert.equal(await copy.evaluate(() => document.body.textContent), textBefore);
    assert.deepEqual(await copy.evaluate(occurrences, WORDS), counts);
    await a.screenshot('real-wordbar-unhighlighted');
    assert.deepEqual(a.problems, []);
    await a.close();
  });
});
