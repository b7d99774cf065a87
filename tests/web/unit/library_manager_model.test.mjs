// The library manager's rules: widths, row texts, default names, and the
// checks of a merge made before the user is asked for a name.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  NONE_CHECKED, TOO_MANY_MERGED, confirmation, managerColumnWidths, managerRow, mergeDecision, newLibraryName,
} from '../../../web/js/library_manager_model.js';

test('widths are 7, 1, 2, 3 and 4 units less 3 pixels, a unit being a seventeenth', () => {
  assert.deepEqual(managerColumnWidths(680), [280, 40, 80, 120, 157]);
  assert.deepEqual(managerColumnWidths(700), [287, 41, 82, 123, 161]); // 700 / 17 = 41.2
  assert.deepEqual(managerColumnWidths(0), [0, 0, 0, 0, 0]);
});

test('a row shows the name, the open mark, the count, the kilobytes and the date', () => {
  assert.deepEqual(managerRow({ ident: 'ds1', name: 'Rivers', open: true, documents: 12, kb: '123', date: 'd' }),
    ['Rivers', 'X', '12', '123', 'd']);
  assert.deepEqual(managerRow({ ident: 'ds2', name: 'Lakes', open: false, documents: 0, kb: '0', date: '' }),
    ['Lakes', '', '0', '0', '']);
});

test('a merge needs two libraries of at most 200 documents together', () => {
  const now = 'Tue Dec  8 21:00:00 2026';
  assert.deepEqual(mergeDecision([], now), { refuse: NONE_CHECKED });
  assert.deepEqual(mergeDecision([{ name: 'A', documents: 3 }], now), { refuse: NONE_CHECKED });
  assert.deepEqual(mergeDecision([{ name: 'A', documents: 150 }, { name: 'B', documents: 60 }], now),
    { refuse: TOO_MANY_MERGED, level: 'error' });
  assert.match(TOO_MANY_MERGED, /more than 200 documents/);
  assert.deepEqual(mergeDecision([{ name: 'A', documents: 150 }, { name: 'B', documents: 50 }], now),
    { ask: `A merged ${now}` });
  assert.equal(newLibraryName(now), `New ${now}`);
});

test('emptying and erasing ask their own questions', () => {
  assert.equal(confirmation('empty', 'Rivers'),
    'Are you sure you want to delete all data stored in Rivers ? The data will be lost forever!');
  assert.equal(confirmation('erase', 'Rivers'),
    'Are you sure you want to comlpetely erase Rivers ? The data will be lost forever!');
});
