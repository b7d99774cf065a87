// The research dialogs' pure rules: titles, initial texts, the library
// limit, requests and remembered settings.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  DIALOGS, documentColumnWidths, initialText, isDialogKind, libraryColumnWidths, libraryDecision,
  researchRequest, settingsUpdate, sizeInKb, textDecision,
} from '../../../web/js/research_model.js';

test('each dialog has its title', () => {
  assert.equal(DIALOGS.keywords.title, 'Research Libraries');
  assert.equal(DIALOGS.passage.title, 'Research Libraries using Passage');
  assert.equal(DIALOGS.concepts.title, 'Research Libraries using Selected Concepts');
  assert.equal(DIALOGS.documents.title, 'Find Similar Documents in Libraries');
  assert.equal(DIALOGS.websearch.title, 'Advanced Internet Search');
  assert.equal(DIALOGS.websearch.libraries, false);
  assert.equal(isDialogKind('websearch'), true);
  assert.equal(isDialogKind('toString'), false);
  assert.equal(isDialogKind(undefined), false);
});

test('a dialog opens with the given text, else the remembered one, else its prompt', () => {
  const settings = { QueryOptions: { lastKeyWords: 'wave energy', lastPassage: '' } };
  assert.equal(initialText('keywords', 'tidal power', settings), 'tidal power');
  assert.equal(initialText('keywords', '', settings), 'wave energy');
  assert.equal(initialText('keywords', '', {}), 'type in your keywords here');
  assert.equal(initialText('passage', '', settings), 'type in or cut/paste your passage or paragraph here');
  assert.equal(initialText('concepts', '', settings), '');
  assert.equal(initialText('concepts', '4;5;', settings), '4;5;');
});

test('the library page needs one to ten libraries', () => {
  assert.deepEqual(libraryDecision(0), { ok: false, message: 'Please check mark the libraries first' });
  assert.deepEqual(libraryDecision(1), { ok: true });
  assert.deepEqual(libraryDecision(10), { ok: true });
  assert.deepEqual(libraryDecision(11), { ok: false,
    message: 'Cannot select more than 10 libraries at a time. Please uncheck some libraries.' });
});

test('the text page needs a text other than the prompt, the documents page a document', () => {
  assert.equal(textDecision('keywords', 'tidal', []).ok, true);
  assert.equal(textDecision('keywords', '   ', []).ok, false);
  assert.equal(textDecision('keywords', 'type in your keywords here', []).ok, false);
  assert.equal(textDecision('documents', '', []).ok, false);
  assert.equal(textDecision('documents', '', [{ handle: 1, docid: 'a' }]).ok, true);
});

test('the research request carries the kind, the text, the libraries and the documents', () => {
  assert.deepEqual(researchRequest('keywords', 'tidal power', ['a', 'b'], [{ handle: 1, docid: 'x' }]),
    { kind: 'keywords', text: 'tidal power', libraries: ['a', 'b'], documents: [] });
  assert.deepEqual(researchRequest('documents', 'ignored', ['a'], [{ handle: 2, docid: 'y', name: 'Y' }]),
    { kind: 'documents', text: '', libraries: ['a'], documents: [{ handle: 2, docid: 'y' }] });
});

test('confirmed keywords become the last keywords, the word bar words and the newest history entry', () => {
  const update = settingsUpdate('keywords', 'tidal power', ['wind', 'tidal power', 'sun']);
  assert.deepEqual(update.QueryOptions, { lastKeyWords: 'tidal power' });
  assert.deepEqual(update.WordBar, { searchWords: 'tidal power' });
  assert.equal(update.QueryHistory.kwd0, 'tidal power');
  assert.equal(update.QueryHistory.kwd1, 'wind');
  assert.equal(update.QueryHistory.kwd2, 'sun');
  assert.equal(update.QueryHistory.kwd3, '');
});

test('confirmed internet search keywords are remembered like research keywords', () => {
  const update = settingsUpdate('websearch', 'wave farms', []);
  assert.equal(update.QueryOptions.lastKeyWords, 'wave farms');
  assert.equal(update.QueryHistory.kwd0, 'wave farms');
  assert.deepEqual(researchRequest('websearch', 'wave farms', [], []),
    { kind: 'websearch', text: 'wave farms', libraries: [], documents: [] });
});

test('a confirmed passage is remembered; concepts and documents remember nothing', () => {
  assert.deepEqual(settingsUpdate('passage', 'Tides turn.', []), { QueryOptions: { lastPassage: 'Tides turn.' } });
  assert.equal(settingsUpdate('concepts', '1;2;', []), null);
  assert.equal(settingsUpdate('documents', '', []), null);
});

test('library sizes show in kB without the last three digits', () => {
  assert.equal(sizeInKb('999'), '0');
  assert.equal(sizeInKb('123456'), '123');
  assert.equal(sizeInKb(1000), '1');
  assert.equal(sizeInKb(undefined), '0');
});

test('dialog columns take their units of the client width', () => {
  assert.deepEqual(documentColumnWidths(420), [220, 60, 120]);
  assert.deepEqual(documentColumnWidths(20), [0, 0, 0]);
  assert.deepEqual(libraryColumnWidths(340), [140, 40, 60, 77]);
  assert.deepEqual(libraryColumnWidths(10), [0, 0, 0, 0]);
});
