// History lists: newest first, no duplicates, limited, stored by position.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  KEYWORD_HISTORY, addToHistory, appendHistoryPick, historyFromSection, historyToSection,
} from '../../../web/js/history.js';

test('the keyword history is "QueryHistory" with prefix "kwd" and 20 entries', () => {
  assert.deepEqual({ ...KEYWORD_HISTORY }, { section: 'QueryHistory', prefix: 'kwd', limit: 20 });
});

test('a new entry goes to the top and an equal older one is removed', () => {
  assert.deepEqual(addToHistory(['b', 'a'], 'c', 20), ['c', 'b', 'a']);
  assert.deepEqual(addToHistory(['c', 'b', 'a'], 'a', 20), ['a', 'c', 'b']);
  assert.deepEqual(addToHistory(['a'], '   ', 20), ['a']);
});

test('the history keeps the 20 newest texts', () => {
  let list = [];
  for (let i = 1; i <= 25; i += 1) list = addToHistory(list, `query ${i}`, 20);
  assert.equal(list.length, 20);
  assert.equal(list[0], 'query 25');
  assert.equal(list[19], 'query 6');
});

test('a history is read from its section up to the first gap', () => {
  assert.deepEqual(historyFromSection({ kwd0: 'a', kwd1: 'b', kwd3: 'd' }, 'kwd', 20), ['a', 'b']);
  assert.deepEqual(historyFromSection({ kwd0: 'a', kwd1: 7 }, 'kwd', 20), ['a']);
  assert.deepEqual(historyFromSection(undefined, 'kwd', 20), []);
  const full = Object.fromEntries(Array.from({ length: 30 }, (_, i) => [`kwd${i}`, `t${i}`]));
  assert.equal(historyFromSection(full, 'kwd', 20).length, 20);
});

test('a history is written at every position so that a shorter one replaces a longer', () => {
  const section = historyToSection(['x', 'y'], 'kwd', 20);
  assert.equal(Object.keys(section).length, 20);
  assert.equal(section.kwd0, 'x');
  assert.equal(section.kwd1, 'y');
  assert.equal(section.kwd2, '');
  assert.equal(section.kwd19, '');
  assert.deepEqual(historyFromSection(section, 'kwd', 20), ['x', 'y']);
});

test('an entry picked from the history is appended after a blank', () => {
  assert.equal(appendHistoryPick('wave energy', 'tidal power'), 'wave energy tidal power');
  assert.equal(appendHistoryPick('', 'tidal power'), ' tidal power');
});
