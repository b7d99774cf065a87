// The layout of the concept map picture.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import test from 'node:test';

import { decodeDmlBytes, parseConceptMap } from '../../data/common/dml.js';
import {
  LAYOUT, afterLineOffset, circleLines, conceptHue, conceptRadii, fittingFontSize, layoutConcepts,
  neededRadius, phraseStrengths,
} from '../../data/map/map_layout.js';

const mapFixture = () =>
  parseConceptMap(decodeDmlBytes(readFileSync(new URL('data/map.dml', import.meta.url))));

const concept = (weight, phrases = 3) =>
  ({ weight, phrases: Array.from({ length: phrases }, (_, i) => ({ text: `p${i}`, weight: 1 })) });

function assertNoOverlaps(circles) {
  for (let i = 0; i < circles.length; i++) {
    for (let j = i + 1; j < circles.length; j++) {
      const a = circles[i];
      const b = circles[j];
      const apart = Math.hypot(a.x - b.x, a.y - b.y);
      assert.ok(apart >= a.r + b.r + LAYOUT.gap - 0.5, `circles ${i} and ${j} overlap`);
    }
  }
}

function assertInside(layout) {
  for (const c of layout.circles) {
    assert.ok(c.x - c.r >= LAYOUT.margin - 0.5 && c.y - c.r >= LAYOUT.margin - 0.5);
    assert.ok(c.x + c.r <= layout.width && c.y + c.r <= layout.height);
  }
}

test('areas follow the weights, above the least radius', () => {
  const radii = conceptRadii([concept(4000), concept(1000), concept(10)]);
  assert.equal(radii[0], LAYOUT.maxRadius);
  assert.equal(radii[1], LAYOUT.maxRadius / 2);  // a quarter of the weight, a quarter of the area
  assert.equal(radii[2], LAYOUT.minRadius);
});

test('a circle is never too small for its lines', () => {
  const [r] = conceptRadii([concept(1, 12)], { ...LAYOUT, minRadius: 10 });
  assert.ok(r >= (13 * LAYOUT.lineHeight) / 2, String(r));
});

test('weights that are missing or not numbers give the least circle, never NaN', () => {
  const radii = conceptRadii([concept(100), concept(NaN), concept(-5)]);
  assert.deepEqual(radii, [LAYOUT.maxRadius, LAYOUT.minRadius, LAYOUT.minRadius]);
  const all = conceptRadii([concept(0), concept(0)]);
  assert.deepEqual(all, [LAYOUT.maxRadius, LAYOUT.maxRadius]);
});

// A concept with a long phrase gets a circle in which the phrase is
// readable, even when its weight alone would make the circle small.
test('a long phrase widens its circle to a readable size', () => {
  const long = { weight: 1, label: '2', phrases: [{ text: 'function call sqlite3_backup_step', weight: 1 }] };
  const [, r] = conceptRadii([concept(10000), long]);
  assert.ok(r > LAYOUT.minRadius && r >= neededRadius(long), String(r));
  const lines = circleLines('Concept 2', ['function call sqlite3_backup_step'], r);
  assert.ok(lines[1].fontSize >= LAYOUT.readableFontSize, String(lines[1].fontSize));
});

test('every phrase of a real map is drawn at a readable size', () => {
  const concepts = mapFixture();
  const { circles } = layoutConcepts(concepts);
  concepts.forEach((c, i) => {
    const lines = circleLines(`Concept ${c.label}`, c.phrases.map((p) => p.text), circles[i].r);
    for (const line of lines) assert.ok(line.fontSize >= LAYOUT.readableFontSize, line.text);
  });
});

test('the same map always gives the same picture', () => {
  const concepts = mapFixture();
  assert.deepEqual(layoutConcepts(concepts), layoutConcepts(structuredClone(concepts)));
});

test('the circles of a real map do not overlap and fit the picture', () => {
  const layout = layoutConcepts(mapFixture());
  assert.equal(layout.circles.length, 4);
  assertNoOverlaps(layout.circles);
  assertInside(layout);
  // Four concepts fit a 1280 by 800 frame at one unit a pixel.
  assert.ok(layout.width <= 1240 && layout.height <= 720, `${layout.width} x ${layout.height}`);
});

test('the strongest concept stands in the middle of the others', () => {
  const layout = layoutConcepts([concept(900), concept(400), concept(400), concept(400), concept(400)]);
  const [first, ...others] = layout.circles;
  const cx = others.reduce((s, c) => s + c.x, 0) / others.length;
  const cy = others.reduce((s, c) => s + c.y, 0) / others.length;
  assert.ok(Math.hypot(first.x - cx, first.y - cy) < first.r, 'the first circle is not central');
  assertNoOverlaps(layout.circles);
});

test('many concepts still pack without overlaps', () => {
  const concepts = Array.from({ length: 12 }, (_, i) => concept(1000 - i * 80, 1 + (i % 5)));
  const layout = layoutConcepts(concepts);
  assertNoOverlaps(layout.circles);
  assertInside(layout);
});

test('one concept, and none', () => {
  const one = layoutConcepts([concept(5)]);
  assert.deepEqual(one.circles, [{ x: LAYOUT.margin + LAYOUT.maxRadius, y: LAYOUT.margin + LAYOUT.maxRadius, r: LAYOUT.maxRadius }]);
  assert.deepEqual(layoutConcepts([]), { circles: [], width: 0, height: 0 });
});

test('lines stand centred in the circle, long ones in smaller type', () => {
  const lines = circleLines('Concept 1', ['ab', 'a much longer phrase of words here'], 80);
  assert.deepEqual(lines.map((l) => l.dy), [-LAYOUT.lineHeight, 0, LAYOUT.lineHeight]);
  assert.equal(lines[0].fontSize, LAYOUT.titleSize);
  assert.equal(lines[1].fontSize, LAYOUT.maxFontSize);
  assert.ok(lines[2].fontSize < LAYOUT.maxFontSize && lines[2].fontSize >= LAYOUT.minFontSize);
  assert.equal(fittingFontSize('x'.repeat(500), 100), LAYOUT.minFontSize);
});

test('phrase strengths are shares of the strongest phrase', () => {
  assert.deepEqual(phraseStrengths([{ weight: 40 }, { weight: 10 }, { weight: 0 }]), [1, 0.25, 0]);
  assert.deepEqual(phraseStrengths([{ weight: 0 }]), [1]);
});

test('neighbouring concepts get different hues, the same each time', () => {
  const hues = [0, 1, 2, 3, 4, 5].map(conceptHue);
  assert.equal(new Set(hues).size, 6);
  assert.deepEqual(hues, [0, 1, 2, 3, 4, 5].map(conceptHue));
  assert.ok(hues.every((h) => h >= 0 && h < 360));
});

test('a mark after a line stands past its half width', () => {
  assert.equal(afterLineOffset('abcd', 10), Math.round((4 * LAYOUT.charWidth * LAYOUT.boldWidth * 10) / 2 + 8));
});
