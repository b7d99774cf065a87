// The DML reader of the result pages, on hand-made text and on files the
// engine wrote (data/: a weighted document, a combined summary, a map).
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import test from 'node:test';

import {
  cleanText, decodeDmlBytes, decodeEntities, parseAttributes, parseCombinedSummary,
  parseConceptMap, parseWeightedDocument, readRecords, scanMarkup, stripFileScheme,
} from '../../data/common/dml.js';

const fixture = (name) => decodeDmlBytes(readFileSync(new URL(`data/${name}`, import.meta.url)));

// The handler calls of a scan, as short strings.
function trace(text, skipHeader = true, stopAfter = Infinity) {
  const calls = [];
  scanMarkup(text, {
    start: (name, attributes) => calls.push(`start ${name} ${JSON.stringify(attributes)}`),
    end: (name) => calls.push(`end ${name}`),
    leaf: (name, content, attributes) =>
      calls.push(`leaf ${name}=${JSON.stringify(content)} ${JSON.stringify(attributes)}`),
    stop: () => calls.length >= stopAfter,
  }, skipHeader);
  return calls;
}

test('bytes are read as ISO-8859-1 with the Windows-1252 punctuation', () => {
  const bytes = Uint8Array.from([0x41, 0x93, 0x62, 0x94, 0xe9, 0x80, 0x20, 0x96]);
  assert.equal(decodeDmlBytes(bytes), 'A\u201cb\u201d\u00e9\u20ac \u2013');
  assert.equal(decodeDmlBytes(new Uint8Array(0)), '');
  // Long files are decoded whole, past any chunk boundary.
  const long = new Uint8Array(20000).fill(0x61);
  long[19999] = 0xe9;
  assert.equal(decodeDmlBytes(long.buffer), 'a'.repeat(19999) + '\u00e9');
});

test('character references are decoded, twice-escaped titles too', () => {
  assert.equal(decodeEntities('R&amp;D &lt;b&gt; &quot;x&quot; &apos;y&apos;'), 'R&D <b> "x" \'y\'');
  assert.equal(decodeEntities('caf&#233; caf&#xE9;'), 'caf\u00e9 caf\u00e9');
  assert.equal(decodeEntities('a &amp;lt; b'), 'a < b');
  assert.equal(decodeEntities('AT&T &unknown; &#; & x'), 'AT&T &unknown; &#; & x');
  assert.equal(cleanText('\n  two\n\n words  '), 'two words');
});

test('attributes are read as the writer writes them, one piece a line', () => {
  assert.deepEqual(parseAttributes('\nw="\n0.5\n" \nc="\n3\n"'), [['w', '\n0.5\n'], ['c', '\n3\n']]);
  assert.deepEqual(parseAttributes('href="a b"'), [['href', 'a b']]);
  assert.deepEqual(parseAttributes('w="1" c="2'), [['w', '1']]);
  assert.deepEqual(parseAttributes('no pairs'), []);
});

test('the scanner reports leaves, containers and attributes in order', () => {
  const text = '<?xml version="1.0" ?>\n<!DOCTYPE d SYSTEM "x">\n<d><a k="v">1</a> skipped <b><c/></b></d>';
  assert.deepEqual(trace(text), [
    'start d []',
    'leaf a="1" [["k","v"]]',
    'start b []',
    'leaf c="" []',
    'end b',
    'end d',
  ]);
});

// Unskipped, the declaration reads as a tag without its closing tag, which
// ends the scan.
test('header skipping can be turned off', () => {
  assert.deepEqual(trace('<?x ?><a>1</a>', true), ['leaf a="1" []']);
  assert.deepEqual(trace('<?x ?><a>1</a>', false), []);
});

test('the scanner stops when the handler asks', () => {
  assert.deepEqual(trace('<a>1</a><b>2</b><c>3</c>', true, 2), ['leaf a="1" []', 'leaf b="2" []']);
});

test('an element whose closing tag is missing ends its level quietly', () => {
  assert.deepEqual(trace('<a>1</a><b>2<c>3</c>'), ['leaf a="1" []']);
  assert.deepEqual(trace('<a>1</a><b'), ['leaf a="1" []']);
  assert.deepEqual(trace(''), []);
  assert.deepEqual(trace('plain text, no markup'), []);
});

test('elements of one name do not nest: the first closing tag closes', () => {
  assert.deepEqual(trace('<a>x<a>y</a>z</a>'), ['start a []', 'end a']);
});

test('deep nesting is cut off, not followed to the end of the stack', () => {
  let text = '';
  for (let i = 0; i < 5000; i++) text += `<e${i}>`;
  text += 'x';
  for (let i = 4999; i >= 0; i--) text += `</e${i}>`;
  const calls = trace(text);
  assert.ok(calls.length > 0 && calls.length < 1000, String(calls.length));
});

test('a concept map gives its concepts with handles, weights and phrases', () => {
  const concepts = parseConceptMap(fixture('map.dml'));
  assert.equal(concepts.length, 4);
  assert.deepEqual(concepts.map((c) => c.weight), [3921, 1566, 983, 877]);
  assert.deepEqual(concepts.map((c) => c.label), ['1', '2', '3', '4']);
  assert.ok(concepts.every((c) => Number.isInteger(c.handle) && c.handle > 0));
  assert.equal(new Set(concepts.map((c) => c.handle)).size, 4);
  assert.deepEqual(concepts[0].phrases, [
    { text: 'databas file', weight: 122 },
    { text: 'backup api', weight: 34 },
    { text: 'anoth process mai', weight: 16 },
  ]);
  assert.equal(concepts[3].phrases.length, 4);
});

// A block without a name is labelled by its place in the file.
test('map blocks without a handle or without phrases are left out', () => {
  const stat = (handle, phrases) => `<stat><ord>5</ord><obj_handle>${handle}</obj_handle>` +
    `<keywords>${phrases}</keywords></stat>`;
  const text = `<document>${stat(0, '<i w="1" c="0">a b</i>')}${stat(7, '')}` +
    `${stat(8, '<i w="2" c="0">c d</i>')}</document>`;
  assert.deepEqual(parseConceptMap(text),
    [{ handle: 8, weight: 5, label: '3', phrases: [{ text: 'c d', weight: 2 }] }]);
});

test('a weighted document gives its title, sentences with weights, and links', () => {
  const text = fixture('weighted.dml');
  const doc = parseWeightedDocument(text);
  assert.equal(doc.title, 'About SQLite');
  assert.equal(doc.record.uri, '/work/wt-pages/samples/library/about.html');
  const sentences = doc.paragraphs.flat();
  assert.equal(sentences.length, text.split('<s ').length - 1);
  assert.deepEqual(sentences[0], { weight: 0, text: 'Small.' });
  assert.ok(sentences.some((s) => s.weight === 402 &&
    s.text === 'SQLite database files are a recommended storage format by the US Library of Congress.'));
  assert.equal(doc.links.length, text.split('<a ').length - 1);
  assert.deepEqual(doc.links[1], { href: 'http:///work/wt-pages/samples/library/about.html', text: 'About' });
});

test('sentence text is decoded and paragraphs without sentences are kept as text', () => {
  const doc = parseWeightedDocument('<document><stat><name>A &amp;amp; B</name></stat>' +
    '<title>ignored when named</title><p><s w="7" c="1"> x &lt; y </s><s>no weight</s></p>' +
    '<p>plain</p><p></p></document>');
  assert.equal(doc.title, 'A & B');
  assert.deepEqual(doc.paragraphs, [
    [{ weight: 7, text: 'x < y' }, { weight: 0, text: 'no weight' }],
    [{ weight: 0, text: 'plain' }],
  ]);
});

test('a document without a name takes its body title', () => {
  const doc = parseWeightedDocument('<document><stat><name></name></stat><title>T</title>' +
    '<p><s w="1">s</s></p></document>');
  assert.equal(doc.title, 'T');
});

test('a combined summary lists the paths of its weighted documents', () => {
  const entries = parseCombinedSummary(fixture('combined.dml'));
  assert.equal(entries.length, 3);
  for (const entry of entries) {
    assert.match(entry.path, /^\/tmp\/pg\/libraries\/ds1204628659\/loc_c\/[0-9a-z]+_\.dml$/);
    assert.equal(entry.path.endsWith(`/${entry.docid}.dml`), true);
  }
  const schemed = parseCombinedSummary('<document><stat><bcuri href="file:///t/a_.dml">x</bcuri></stat>' +
    '<stat><bcuri href=""></bcuri></stat></document>');
  assert.deepEqual(schemed, [{ docid: '', path: '/t/a_.dml' }]);
});

test('the file scheme is cut at its first occurrence', () => {
  assert.equal(stripFileScheme('file:///a/b.dml'), '/a/b.dml');
  assert.equal(stripFileScheme('/a/b.dml'), '/a/b.dml');
  assert.equal(stripFileScheme(undefined), '');
});

test('records of result lists are read from their item blocks', () => {
  const records = readRecords('<result>\n<item>\n<rank>\n0.5\n</rank>\n<docid>\n d1 \n</docid>\n' +
    '<keywords>\n<i \nw="\n2\n" \nc="\n3\n">\nword \n</i>\n</keywords>\n</item>\n</result>\n', 'item');
  assert.equal(records.length, 1);
  assert.equal(records[0].rank, 0.5);
  assert.equal(records[0].docid, 'd1');
  assert.deepEqual(records[0].keywords, [{ text: 'word', weight: 2, count: 3 }]);
});

// Any prefix of a real file, and any file with a stretch cut out, reads
// without an error: a page shows what it can.
test('malformed and truncated DML never throws', () => {
  for (const name of ['map.dml', 'weighted.dml', 'combined.dml']) {
    const text = fixture(name);
    for (let cut = 0; cut < text.length; cut += 97) {
      const damaged = [text.slice(0, cut), text.slice(0, cut) + text.slice(cut + 211)];
      for (const piece of damaged) {
        assert.ok(Array.isArray(parseConceptMap(piece)));
        assert.ok(Array.isArray(parseWeightedDocument(piece).paragraphs));
        assert.ok(Array.isArray(parseCombinedSummary(piece)));
      }
    }
  }
  for (const junk of ['<', '>', '</stat>', '<stat>', '<<<>>>', '<s w=">x</s>', '\u0000\uffff', null, undefined]) {
    assert.doesNotThrow(() => parseWeightedDocument(junk));
    assert.doesNotThrow(() => parseConceptMap(junk));
  }
});
