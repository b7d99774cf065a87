// The scratch pad's RTF: what the writer writes reads back the same, special
// characters are escaped, and RTF of a word processor reads as its text.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { escapeRtfText, plainText, readRtf, run, writeRtf } from '../../../web/js/rtf.js';
import { colourHex, htmlFromParagraphs, paragraphsFromNodes, passageText, timeStamp } from '../../../web/js/scratch.js';

const FORMATTED = [
  [run('Tidal '), run('power', { bold: true }), run(' and '), run('lagoons', { italic: true, underline: true })],
  [],
  [run('Red', { color: '#ff0000' }), run(' on yellow', { color: '#ff0000', highlight: '#ffff00' }),
    run(' then plain\nsecond line\twith a tab')],
  [run('Back to ', { highlight: '#00ff00' }), run('bold italic', { bold: true, italic: true, highlight: '#00ff00' })],
];

test('formatted paragraphs read back as they were written', () => {
  const rtf = writeRtf(FORMATTED);
  assert.deepEqual(readRtf(rtf), FORMATTED);
  assert.match(rtf, /^\{\\rtf1\\ansi/);
  // Each colour once in the table, in the order of first use.
  assert.match(rtf, /\{\\colortbl ;\\red255\\green0\\blue0;\\red255\\green255\\blue0;\\red0\\green255\\blue0;\}/);
  assert.match(rtf, /\{\\cf1\\highlight2 {2}on yellow\}/);
  assert.match(rtf, /\\line second line\\tab with a tab/);
  assert.equal(rtf.match(/\\par\n/g).length, 4);
});

test('backslashes, braces and characters beyond ASCII are escaped and read back', () => {
  const text = 'C:\\temp\\{draft} } { caf\u00e9 \u2014 \u0416 \u20ac \ud83c\udf0a end';
  assert.equal(escapeRtfText('a\\b{c}'), 'a\\\\b\\{c\\}');
  assert.equal(escapeRtfText('\u00e9\u20ac'), '\\u233?\\u8364?');
  // Beyond the 16-bit range the two UTF-16 halves are written, as signed numbers.
  assert.equal(escapeRtfText('\ud83c\udf0a'), '\\u-10180?\\u-8438?');
  const rtf = writeRtf([[run(text, { bold: true })]]);
  assert.ok(/^[\x20-\x7e\n]*$/.test(rtf), 'the file is 7-bit ASCII');
  assert.deepEqual(readRtf(rtf), [[run(text, { bold: true })]]);
});

test('an empty pad and empty paragraphs survive the round trip', () => {
  assert.deepEqual(readRtf(writeRtf([])), []);
  assert.deepEqual(readRtf(writeRtf([[], [run('x')], []])), [[], [run('x')], []]);
});

// Written by hand the way word processors write: a font table, a style
// sheet, document information, a \* destination, a field, \'hh bytes of
// code page 1252, \uc0 and \uc2 with their fallbacks, toggles with \b0
// and \plain, a trailing \par.
const FOREIGN = String.raw`{\rtf1\ansi\ansicpg1252\deff0\nouicompat{\fonttbl{\f0\fnil\fcharset0 Calibri;}{\f1\froman Times New Roman;}}
{\colortbl ;\red0\green0\blue255;\red255\green255\blue0;}
{\stylesheet{\s0 Normal;}{\s1\b Heading 1;}}
{\info{\title Tidal notes}{\author Someone}}
{\*\generator Riched20 10.0.19041}{\*\rsidtbl \rsid123\rsid456}\viewkind4\uc1
\pard\sa200\sl276\slmult1\f0\fs22\lang9 Tides \b turn\b0  twice a day.\par
{\*\bkmkstart here}Caf\'e9 \'93quoted\'94 \u8364\'80 costs{\uc0\u8212} more{\uc2\u8230\'85\'85}\par
\pard\cf1\highlight2 Blue on yellow\cf0\highlight0 , then \plain plain.\line Next line\par
{\field{\*\fldinst{HYPERLINK "http://example.org/"}}{\fldrslt{\ul\cf1 a link}}}\par
{\pict\pngblip 89504e470d0a}\par
}`;

test('RTF of a word processor reads as its text, without its tables and destinations', () => {
  const paragraphs = readRtf(FOREIGN);
  assert.equal(plainText(paragraphs),
    'Tides turn twice a day.\nCaf\u00e9 \u201cquoted\u201d \u20ac costs\u2014 more\u2026\n'
    + 'Blue on yellow, then plain.\nNext line\na link\n');
  assert.deepEqual(paragraphs[0], [run('Tides '), run('turn', { bold: true }), run(' twice a day.')]);
  assert.deepEqual(paragraphs[2][0], run('Blue on yellow', { color: '#0000ff', highlight: '#ffff00' }));
  assert.deepEqual(paragraphs[3], [run('a link', { underline: true, color: '#0000ff' })]);
});

test('a file that is not RTF reads as plain lines', () => {
  assert.deepEqual(readRtf('first\r\n\nthird\n'), [[run('first')], [], [run('third')]]);
  assert.deepEqual(readRtf(''), []);
});

// A tiny stand-in for DOM nodes: enough for paragraphsFromNodes.
const text = (value) => ({ nodeType: 3, nodeValue: value });
const el = (name, children = [], { style = {}, attributes = {} } = {}) => ({
  nodeType: 1, nodeName: name, childNodes: children, style, getAttribute: (key) => attributes[key] ?? null,
});

test('the pad\'s HTML becomes paragraphs the way the editor shows it', () => {
  const root = el('DIV', [
    text('Hello '), el('B', [text('bold')]),
    el('DIV', [el('SPAN', [text('red '), el('FONT', [text('blue')], { attributes: { color: '#00f' } })],
      { style: { color: 'rgb(255, 0, 0)', backgroundColor: 'rgba(0, 0, 0, 0)' } })]),
    el('DIV', [el('BR')]),
    el('DIV', [text('a'), el('BR'), el('BR')]),
    el('P', [el('SPAN', [text('not bold')], { style: { fontWeight: '400', textDecorationLine: 'underline' } })]),
    el('SCRIPT', [text('alert(1)')]),
  ]);
  const paragraphs = [
    [run('Hello '), run('bold', { bold: true })],
    [run('red ', { color: '#ff0000' }), run('blue', { color: '#0000ff' })],
    [],
    [run('a\n')],
    [run('not bold', { underline: true })],
  ];
  assert.deepEqual(paragraphsFromNodes(root), paragraphs);
  assert.equal(htmlFromParagraphs(paragraphs),
    '<div>Hello <b>bold</b></div><div><span style="color: #ff0000">red </span><span style="color: #0000ff">blue</span></div>'
    + '<div><br></div><div>a<br><br></div><div><u>not bold</u></div>');
  assert.equal(htmlFromParagraphs([[run('<a & "b">', { bold: true, italic: true, highlight: '#ffff00' })]]),
    '<div><span style="background-color: #ffff00"><b><i>&lt;a &amp; &quot;b&quot;&gt;</i></b></span></div>');
});

test('colours, passages and time stamps', () => {
  assert.equal(colourHex('rgb(255, 255, 0)'), '#ffff00');
  assert.equal(colourHex('#ABC'), '#aabbcc');
  assert.equal(colourHex('Red'), '#ff0000');
  assert.equal(colourHex('rgba(0, 0, 0, 0)'), null);
  assert.equal(colourHex('transparent'), null);
  assert.equal(colourHex(''), null);
  assert.equal(passageText('', 'Tides turn.'), 'Tides turn.');
  assert.equal(passageText('Notes', 'Tides turn.'), '\nTides turn.');
  const stamp = timeStamp(new Date(2026, 11, 8, 21, 40, 5), 'en-US');
  assert.match(stamp, /^Tuesday, December 8, 2026 at 9:40:05\s?PM /);
});
