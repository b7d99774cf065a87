// What the summary pages pick and how strongly they highlight.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import test from 'node:test';

import { decodeDmlBytes, parseWeightedDocument } from '../../data/common/dml.js';
import {
  candidateWords, greatestWeight, highlightAlpha, keyWords, sentencesOf, strongestSentences,
  summaryLength,
} from '../../data/common/summary.js';

const sentences = (...weights) => sentencesOf([weights.map((weight, i) => ({ weight, text: `s${i}` }))]);

test('the short summary is about one sentence in seven, 3 to 10', () => {
  assert.deepEqual([0, 2, 3, 5, 21, 22, 35, 70, 500].map(summaryLength), [0, 2, 3, 3, 3, 4, 5, 10, 10]);
});

test('sentences are numbered in text order across paragraphs', () => {
  const all = sentencesOf([[{ weight: 1, text: 'a' }], [], [{ weight: 2, text: 'b' }, { weight: 3, text: 'c' }]]);
  assert.deepEqual(all.map((s) => [s.text, s.paragraph, s.index, s.position]),
    [['a', 0, 0, 0], ['b', 2, 1, 0], ['c', 2, 2, 1]]);
});

test('the strongest sentences come in text order, weight 0 never', () => {
  const chosen = strongestSentences(sentences(5, 0, 9, 5, 1, 9), 3);
  assert.deepEqual(chosen.map((s) => s.text), ['s0', 's2', 's5']);
  // Of two equal weights the earlier wins.
  assert.deepEqual(strongestSentences(sentences(5, 5, 5), 1).map((s) => s.text), ['s0']);
  assert.deepEqual(strongestSentences(sentences(0, 0), 2), []);
  assert.deepEqual(strongestSentences(sentences(1, 2), 0), []);
});

test('highlight strength is proportional to the weight', () => {
  assert.equal(highlightAlpha(100, 100), 0.8);
  assert.equal(highlightAlpha(50, 100), 0.4);
  assert.equal(highlightAlpha(25, 100), 0.2);
  assert.equal(highlightAlpha(0, 100), 0);
  assert.equal(highlightAlpha(-3, 100), 0);
  assert.equal(highlightAlpha(5, 0), 0);
  assert.equal(greatestWeight(sentences(3, 9, 4)), 9);
  assert.equal(greatestWeight([]), 0);
});

test('key words are scored by the weights of the sentences holding them', () => {
  const words = keyWords([
    { weight: 10, text: 'Database files are portable; database engines vary.' },
    { weight: 4, text: 'Portable engines.' },
    { weight: 0, text: 'zero weighted words count nothing' },
  ], 3);
  // "engines" is in both weighted sentences; of equal scores the word met
  // first comes first.
  assert.deepEqual(words, [
    { word: 'portable', score: 14 },
    { word: 'engines', score: 14 },
    { word: 'database', score: 10 },
  ]);
});

test('candidate words leave out short, common and numeric words', () => {
  assert.deepEqual(candidateWords("It's the 2021-10-06 sqlite3_backup_step, with x-ray café"),
    ['sqlite3_backup_step', 'x-ray', 'café']);
});

test('a real weighted document gives its strongest sentences', () => {
  const doc = parseWeightedDocument(decodeDmlBytes(readFileSync(new URL('data/weighted.dml', import.meta.url))));
  const all = sentencesOf(doc.paragraphs);
  const chosen = strongestSentences(all, summaryLength(all.length));
  assert.equal(chosen.length, summaryLength(all.length));
  // The heaviest sentences of the document, no other, in text order.
  const heaviest = all.map((s) => s.weight).sort((a, b) => b - a).slice(0, chosen.length);
  assert.deepEqual(chosen.map((s) => s.weight).sort((a, b) => b - a), heaviest);
  assert.deepEqual(chosen.map((s) => s.index), chosen.map((s) => s.index).sort((a, b) => a - b));
  assert.ok(chosen.some((s) => s.weight === 402));
  assert.ok(keyWords(chosen, 5).some(({ word }) => word === 'database'));
});
