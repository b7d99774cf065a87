// The document list's pure rules: widths, row texts, titles, sorting and
// the limits on check-marked documents.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  COLUMNS, UNSORTED, analyzeDecision, columnWidths, compareCells, deleteDecision, frameTitle, iconKind,
  nextSortState, parseListDate, relevanceText, rowTexts, sortRows,
} from '../../../web/js/doclist_model.js';

test('columns come in their order with their sort kinds', () => {
  assert.deepEqual(COLUMNS.map((c) => c.title),
    ['Document Title', 'Relevance/Index', 'Size(bytes)', 'Date Saved', 'Source', '']);
  assert.deepEqual(COLUMNS.map((c) => c.sort), ['text', 'number', 'number', 'date', 'text', 'text']);
});

test('widths are 7, 2, 2, 2, 2 and 5 truncated units of the client width', () => {
  // 1300 x 0.0480769... = 62.5: a unit of 62 pixels.
  assert.deepEqual(columnWidths(1300), [434, 124, 124, 124, 124, 310]);
  // 1040 and 1248 x the factor fall just short of 50 and 60 in floating
  // point and are truncated to 49 and 59.
  assert.deepEqual(columnWidths(1040), [343, 98, 98, 98, 98, 245]);
  assert.deepEqual(columnWidths(1248), [413, 118, 118, 118, 118, 295]);
  assert.deepEqual(columnWidths(20), [0, 0, 0, 0, 0, 0]);
  assert.deepEqual(columnWidths('wide'), [0, 0, 0, 0, 0, 0]);
  assert.deepEqual(columnWidths(-5), [0, 0, 0, 0, 0, 0]);
});

test('icons follow the document type', () => {
  assert.equal(iconKind('.txt'), 'text');
  assert.equal(iconKind('.htm'), 'web');
  assert.equal(iconKind('.HTML'), 'web');
  assert.equal(iconKind('.pdf'), 'pdf');
  assert.equal(iconKind('.doc'), 'other');
  assert.equal(iconKind(undefined), 'other');
});

test('the relevance shows the rank truncated', () => {
  assert.equal(relevanceText(12.99), '12');
  assert.equal(relevanceText(1.00000001), '1');
  assert.equal(relevanceText('7.5'), '7');
  assert.equal(relevanceText('n/a'), '');
});

test('row texts show the library, or the source of a quick search hit', () => {
  const record = { name: 'Mills', rank: 3.4, size: '900', date: '1/2/2003 4:05 PM', source: 'engine two',
    library: 'Tides', uri: 'http://example.org/m.htm' };
  assert.deepEqual(rowTexts(record, false), ['Mills', '3', '900', '1/2/2003 4:05 PM', 'Tides',
    'http://example.org/m.htm']);
  assert.equal(rowTexts(record, true)[4], 'engine two');
  assert.deepEqual(rowTexts({}, false), ['', '', '', '', '', '']);
});

test('the frame title is the library, "[Multi-Library]" or "[Quick Search Results]"', () => {
  const wind = { library: 'Wind' };
  assert.equal(frameTitle([wind, wind], false), 'Wind');
  assert.equal(frameTitle([wind, wind, { library: 'Solar' }], false), '[Multi-Library]');
  assert.equal(frameTitle([wind], true), '[Quick Search Results]');
  assert.equal(frameTitle([], false), '');
});

test('list dates read in time order, with the 12-hour dial', () => {
  assert.ok(parseListDate('7/4/2003 9:05 PM') > parseListDate('7/4/2003 11:59 AM'));
  assert.ok(parseListDate('1/1/2004 12:05 AM') < parseListDate('1/1/2004 1:00 AM'));
  assert.ok(parseListDate('12/31/2003 11:00 PM') < parseListDate('1/1/2004 12:05 AM'));
  assert.ok(parseListDate('2/1/2004') > parseListDate('1/31/2004 11:59 PM'));
  assert.ok(Number.isNaN(parseListDate('')));
  assert.ok(Number.isNaN(parseListDate('someday')));
});

test('cells compare by kind: numbers by value, texts without case, bad values first', () => {
  assert.ok(compareCells('number', '10', '9') > 0);
  assert.ok(compareCells('text', '10', '9') < 0);
  assert.ok(compareCells('text', 'apple', 'Banana') < 0);
  assert.ok(compareCells('number', '', '0') < 0);
  assert.ok(compareCells('date', 'never', '1/1/2000 1:00 AM') < 0);
  assert.equal(compareCells('date', '3/3/2003 3:03 PM', '3/3/2003 3:03 PM'), 0);
});

test('the same header again reverses, another header sorts ascending', () => {
  let state = nextSortState(UNSORTED, 1);
  assert.deepEqual(state, { column: 1, descending: false });
  state = nextSortState(state, 1);
  assert.deepEqual(state, { column: 1, descending: true });
  state = nextSortState(state, 1);
  assert.deepEqual(state, { column: 1, descending: false });
  assert.deepEqual(nextSortState({ column: 1, descending: true }, 3), { column: 3, descending: false });
});

function row(name, rank, date) {
  return { texts: [name, String(rank), '0', date, '', ''] };
}

test('sorting by relevance twice gives the order and then its reverse', () => {
  const rows = [row('a', 3, ''), row('b', 10, ''), row('c', 1, ''), row('d', 3, '')];
  const up = sortRows(rows, { column: 1, descending: false });
  assert.deepEqual(up.map((r) => r.texts[0]), ['c', 'a', 'd', 'b']);
  const down = sortRows(rows, { column: 1, descending: true });
  assert.deepEqual(down.map((r) => r.texts[0]), ['b', 'd', 'a', 'c']);
  assert.deepEqual(rows.map((r) => r.texts[0]), ['a', 'b', 'c', 'd'], 'the input stays as it was');
});

test('sorting by date and leaving the list unsorted', () => {
  const rows = [row('x', 0, '1/2/2004 9:00 AM'), row('y', 0, '12/1/2003 1:00 PM'), row('z', 0, '12/1/2003 11:00 AM')];
  assert.deepEqual(sortRows(rows, { column: 3, descending: false }).map((r) => r.texts[0]), ['z', 'y', 'x']);
  assert.deepEqual(sortRows(rows, UNSORTED).map((r) => r.texts[0]), ['x', 'y', 'z']);
  assert.deepEqual(sortRows(rows, { column: 9, descending: false }).map((r) => r.texts[0]), ['x', 'y', 'z']);
});

test('Analyze takes one to five documents', () => {
  assert.deepEqual(analyzeDecision(0), { ok: false, message: 'Please checkmark documents first' });
  assert.deepEqual(analyzeDecision(1), { ok: true });
  assert.deepEqual(analyzeDecision(5), { ok: true });
  assert.deepEqual(analyzeDecision(6), { ok: false,
    message: 'Cannot analyze more than 5 documents at a time. Please uncheck some documents.' });
});

test('Delete needs at least one document', () => {
  assert.deepEqual(deleteDecision(0), { ok: false, message: 'Please checkmark documents first' });
  assert.deepEqual(deleteDecision(40), { ok: true });
});
