// Which dropped files are uploaded, the message for the others, and the
// drag that shows the drop hint.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  MSG_ONLY_HTML_PDF, carriesFiles, dragDepth, extensionOf, importableName, leftOutMessage, sortDropped,
  uploadPath, uploadedPath,
} from '../../../web/js/drop_model.js';

test('HTML and PDF files in any letter case are importable, other kinds are not', () => {
  for (const name of ['a.htm', 'b.html', 'c.pdf', 'REPORT.PDF', 'Page.HtMl', 'tidal power.html', '..html']) {
    assert.equal(importableName(name), true, name);
  }
  for (const name of ['notes.txt', 'a.htm.txt', 'pdf', 'html', '.html', 'a.', 'archive.tar.gz', 'photo.png']) {
    assert.equal(importableName(name), false, name);
  }
});

test('names with a folder part, empty names and non-texts are refused', () => {
  for (const name of ['', '.', '..', 'docs/a.html', '..\\a.pdf', 'a\0.html', undefined, null, 12]) {
    assert.equal(importableName(name), false, String(name));
  }
});

test('the extension is read from the last dot, a leading dot alone does not count', () => {
  assert.equal(extensionOf('x.tar.HTML'), '.html');
  assert.equal(extensionOf('.pdf'), '');
  assert.equal(extensionOf('noext'), '');
  assert.equal(extensionOf('end.'), '.');
});

test('dropped files are split in their order', () => {
  const files = ['one.html', 'notes.txt', 'two.PDF', 'sheet.xls', 'three.htm'].map((name) => ({ name }));
  const { importable, leftOut } = sortDropped(files);
  assert.deepEqual(importable.map((f) => f.name), ['one.html', 'two.PDF', 'three.htm']);
  assert.deepEqual(leftOut.map((f) => f.name), ['notes.txt', 'sheet.xls']);
  // The objects themselves are kept, so the page can upload them.
  assert.equal(importable[0], files[0]);
  assert.deepEqual(sortDropped([]), { importable: [], leftOut: [] });
  assert.deepEqual(sortDropped(undefined), { importable: [], leftOut: [] });
});

test('the message names the files left out, with the server\'s text', () => {
  assert.equal(leftOutMessage([]), '');
  assert.equal(leftOutMessage(['notes.txt']), `${MSG_ONLY_HTML_PDF} This file was left out: notes.txt`);
  assert.equal(leftOutMessage(['notes.txt', 'sheet.xls']),
    'Only HTML and PDF files (.htm, .html, .pdf) can be added to a library. '
    + 'These files were left out: notes.txt, sheet.xls');
  assert.match(leftOutMessage(['']), /left out: \(no name\)$/);
});

test('the upload request carries the name escaped; the answer must hold an absolute path', () => {
  assert.equal(uploadPath('tidal power & tides.html'), '/api/upload?name=tidal%20power%20%26%20tides.html');
  assert.equal(uploadPath('été?.pdf'), '/api/upload?name=%C3%A9t%C3%A9%3F.pdf');
  assert.equal(uploadedPath({ path: '/data/uploads/ab12/a.html' }), '/data/uploads/ab12/a.html');
  assert.equal(uploadedPath({ path: 'a.html' }), '');
  assert.equal(uploadedPath({}), '');
  assert.equal(uploadedPath(null), '');
});

test('only a drag that carries files counts', () => {
  assert.equal(carriesFiles(['Files']), true);
  assert.equal(carriesFiles(['text/plain', 'Files']), true);
  assert.equal(carriesFiles(['text/plain', 'text/uri-list']), false);
  assert.equal(carriesFiles(undefined), false);
});

test('the drag depth follows the elements entered and left, and a drop clears it', () => {
  let depth = 0;
  // Into the page, over a child (enter comes before the leave), out again.
  for (const type of ['dragenter', 'dragenter', 'dragleave']) depth = dragDepth(depth, type);
  assert.equal(depth, 1);
  depth = dragDepth(depth, 'dragover');
  assert.equal(depth, 1);
  depth = dragDepth(depth, 'dragleave');
  assert.equal(depth, 0);
  assert.equal(dragDepth(0, 'dragleave'), 0, 'never below nothing');
  assert.equal(dragDepth(3, 'drop'), 0);
  assert.equal(dragDepth(2, 'dragend'), 0);
});
