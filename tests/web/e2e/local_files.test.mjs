// Local files on a real `qora serve` (started by run_real.sh): a folder of
// pages added through the chooser, at the depth set on the folder page, and
// files dropped on the window, uploaded into the data folder and added to
// an existing library whose research then finds them.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir, mkdtemp, realpath, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { basename, dirname, join } from 'node:path';
import { chromiumMissing, dropFiles, eventually, startSuite } from '../browser/harness.mjs';

const skip = chromiumMissing() || (!process.env.QORA_TEST_URL && 'QORA_TEST_URL is not set');
const ONLY = 'Only HTML and PDF files (.htm, .html, .pdf) can be added to a library.';

function page(title, text) {
  return `<!DOCTYPE html><html><head><meta charset="utf-8"><title>${title}</title></head>`
    + `<body><h1>${title}</h1><p>${text}</p></body></html>`;
}

// Three pages in the folder and one in its sub-folder.
const FOLDER_PAGES = {
  'estuary.html': page('Estuary Tides', 'The estuary fills twice a day; salt marsh grasses bend with the flood tide.'),
  'harbour.htm': page('Harbour Walls', 'Granite harbour walls break the winter swell before it reaches the moorings.'),
  'lighthouse.html': page('Lighthouse Keepers', 'Keepers trimmed the lamp wicks and logged every passing ship.'),
  'deeper/reef.html': page('Coral Reef Survey', 'Divers counted parrotfish and brain coral along the reef crest.'),
};

describe('local files and folders', { skip, timeout: 300000 }, () => {
  let suite;
  let folder;
  before(async () => {
    suite = await startSuite();
    // The server names folders by their real paths.
    folder = await realpath(await mkdtemp(join(tmpdir(), 'qora-local-')));
    await mkdir(join(folder, 'deeper'));
    for (const [name, html] of Object.entries(FOLDER_PAGES)) await writeFile(join(folder, name), html);
  });
  after(async () => {
    await suite?.close();
    if (folder) await rm(folder, { recursive: true, force: true });
  });

  const d = '#acquire-dialog';
  const api = async (path) => (await fetch(`${suite.baseUrl}${path}`)).json();
  // (While a library is being made the list is refused: none is found then.)
  const libraryNamed = async (name) => {
    const libraries = await api('/api/libraries');
    return Array.isArray(libraries) ? libraries.find((l) => l.name === name) : undefined;
  };
  const lastSeq = async () => (await api('/api/poll?after=0')).seq;
  const messageText = (a) => a.page.locator('#message-box[open] .message-text');
  const idle = (a) => a.page.evaluate(() => !document.body.classList.contains('busy'));

  // Waits for the operation started after event `seq` to end (generous:
  // under the sanitizers an operation takes many times as long).
  async function completed(a, seq) {
    const completion = await eventually(async () => (await api(`/api/poll?after=${seq}`)).events
      .find((event) => event.type === 'completion'), 60000, 'the completion');
    await eventually(() => idle(a), 10000, 'the window to see the end');
    return completion;
  }

  async function closeMessage(a) {
    await a.page.click('#message-box .message-ok');
    await a.page.locator('#message-box[open]').waitFor({ state: 'detached' });
  }

  // Adds the test's folder to a new library `name`, `depth` folder levels
  // deep; the number of documents the library then holds.
  async function addFolder(a, name, depth) {
    await a.page.click('#add-files-button');
    await a.page.locator(`${d}[open]`).waitFor();
    await a.page.check(`${d} input[name="local-mode"][value="folder"]`);
    // To the folder's parent by its path, then into the folder by a click.
    await a.page.fill(`${d} .folder-path`, dirname(folder));
    await a.page.press(`${d} .folder-path`, 'Enter');
    await eventually(async () => (await a.page.inputValue(`${d} .folder-path`)) === dirname(folder), 10000,
      'the parent folder');
    await a.page.click(`${d} .folder-list li.folder:text-is("${basename(folder)}/")`);
    await eventually(async () => (await a.page.inputValue(`${d} .folder-path`)) === folder, 10000, 'the folder');
    const shown = await a.page.$$eval(`${d} .folder-list li`, (items) => items.map((i) => i.textContent));
    assert.deepEqual(shown, ['.. (up)', 'deeper/', 'estuary.html', 'harbour.htm', 'lighthouse.html']);
    await a.page.fill('#folder-depth', String(depth));
    await a.page.click(`${d} .next-button`);
    await a.page.check(`${d} input[name="target-kind"][value="new"]`);
    await a.page.fill(`${d} .target-name`, name);
    await a.screenshot(`real-local-folder-depth${depth}`);
    const seq = await lastSeq();
    await a.page.click(`${d} .ok-button`);
    await completed(a, seq);
    const settings = await api('/api/settings');
    assert.equal(settings.CrawlerOptions.prevName_folder, folder);
    assert.equal(String(settings.CrawlerOptions.Dpth_folder), String(depth));
    const library = await eventually(() => libraryNamed(name), 10000, `the library ${name}`);
    return library.documents;
  }

  test('a folder chosen in the chooser fills a new library as deep as its page says', async () => {
    const a = await suite.openApp();
    // Depth 1 is the folder itself; depth 2 takes its sub-folder as well.
    assert.equal(await addFolder(a, 'Shore Pages', 1), 3);
    assert.equal(await addFolder(a, 'Shore and Reef', 2), 4);
    await eventually(async () => (await a.page.$eval('#library-chooser',
      (select) => [...select.options].map((o) => o.textContent))).includes('Shore and Reef (4)'), 10000,
    'the new library in the tool bar\'s list');
    await a.screenshot('real-local-folder-done');
    assert.deepEqual(a.problems, []);
    await a.close();
  });

  test('dropped files are uploaded and added to an existing library, whose research finds them', async () => {
    // A library of its own, so the libraries the other tests count stay as
    // they are. (Made from the window: the server takes commands from its
    // own pages only.)
    const a = await suite.openApp();
    const before = await lastSeq();
    const made = await a.page.evaluate(async () => (await fetch('/api/manager', { method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ command: 'new', name: 'Dropped Pages' }) })).status);
    assert.ok(made >= 200 && made < 300, `the server answered ${made}`);
    await completed(a, before);
    const shelf = await eventually(() => libraryNamed('Dropped Pages'), 20000, 'the new library');
    assert.equal(shelf.documents, 0);
    await dropFiles(a.page, [
      { name: 'pterosaurs.html', type: 'text/html',
        text: page('Pterosaur Flight', 'Quetzalcoatlus launched itself on folded wings and soared over inland seas.') },
      { name: 'notes.txt', type: 'text/plain', text: 'Quetzalcoatlus notes in plain text' },
      { name: 'moraines.htm', type: 'text/html',
        text: page('Glacier Moraines', 'Terminal moraines mark where the ice sheet stopped its advance.') },
    ]);
    await messageText(a).waitFor({ timeout: 20000 });
    assert.equal(await messageText(a).textContent(), `${ONLY} This file was left out: notes.txt`);
    await a.screenshot('real-drop-left-out');
    await closeMessage(a);

    await a.page.locator(`${d}[open]`).waitFor();
    assert.equal(await a.page.isVisible(`${d} .page[data-page="target"]`), true);
    await eventually(async () => (await a.page.$$(`${d} .target-library option[value="${shelf.ident}"]`)).length
      === 1, 10000, 'the library offered');
    await a.page.selectOption(`${d} .target-library`, shelf.ident);
    assert.equal(await a.page.isChecked(`${d} input[name="target-kind"][value="library"]`), true);
    await a.screenshot('real-drop-target');
    const seq = await lastSeq();
    await a.page.click(`${d} .ok-button`);
    await completed(a, seq);

    // The uploads were kept in the data folder and added from there.
    const sent = a.bodies('/api/acquire')[0];
    assert.equal(sent.kind, 'files');
    assert.deepEqual(sent.target, { library: shelf.ident });
    const uploads = join(await realpath(process.env.QORA_TEST_DATA), 'uploads');
    assert.deepEqual(sent.files.map((p) => [dirname(dirname(p)), basename(p)]),
      [[uploads, 'pterosaurs.html'], [uploads, 'moraines.htm']]);
    assert.equal((await libraryNamed('Dropped Pages')).documents, 2);

    // A research of the library finds the dropped page by a word of it.
    await a.page.click('#research-button');
    await a.page.fill('#research-dialog .research-text', 'quetzalcoatlus');
    await a.page.click('#research-dialog .next-button');
    await a.page.check(`#research-dialog .library-check[value="${shelf.ident}"]`);
    await a.page.click('#research-dialog .ok-button');
    const rows = a.page.locator('table.doclist tbody tr');
    await eventually(async () => (await rows.count()) > 0 && await idle(a), 60000, 'the ranked list');
    assert.match(await rows.first().textContent(), /Pterosaur Flight/);
    assert.equal(await a.page.textContent('#library-frame .frame-title'), 'Dropped Pages');
    await a.screenshot('real-drop-research');
    assert.deepEqual(a.problems, []);
    await a.close();
  });
});
