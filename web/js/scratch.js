// The scratch pad's pure helpers: the text of a time stamp and of an
// inserted passage, and the translation between the pad's HTML and the
// paragraphs of web/js/rtf.js.

import { PLAIN, normalizeParagraphs, run } from './rtf.js';

// The time stamp: the local long date and time of `date`, e.g.
// "Tuesday, December 8, 2026 at 9:40:00 PM UTC" in American English.
export function timeStamp(date, locale = undefined) {
  return date.toLocaleString(locale, { dateStyle: 'full', timeStyle: 'long' });
}

// What to insert at the end of the pad for `passage`: the passage in a
// paragraph of its own, so after a line break when the last paragraph has
// text.
export function passageText(lastParagraph, passage) {
  return `${lastParagraph === '' ? '' : '\n'}${passage}`;
}

const NAMED_COLOURS = { black: '#000000', white: '#ffffff', red: '#ff0000', lime: '#00ff00', green: '#008000',
  blue: '#0000ff', yellow: '#ffff00', cyan: '#00ffff', aqua: '#00ffff', magenta: '#ff00ff', fuchsia: '#ff00ff',
  gray: '#808080', grey: '#808080', silver: '#c0c0c0', maroon: '#800000', olive: '#808000', navy: '#000080',
  purple: '#800080', teal: '#008080', orange: '#ffa500', lightgreen: '#90ee90' };

// The colour named by the CSS value `value` as '#rrggbb'; null for none,
// transparent and what is not understood.
export function colourHex(value) {
  const text = String(value ?? '').trim().toLowerCase();
  if (NAMED_COLOURS[text]) return NAMED_COLOURS[text];
  let match = /^#([0-9a-f]{3})$/.exec(text);
  if (match) return `#${[...match[1]].map((d) => d + d).join('')}`;
  match = /^#([0-9a-f]{6})$/.exec(text);
  if (match) return text;
  match = /^rgba?\(\s*(\d+)[\s,]+(\d+)[\s,]+(\d+)(?:\s*[,/]\s*([\d.]+%?))?\s*\)$/.exec(text);
  if (!match) return null;
  if (match[4] !== undefined && parseFloat(match[4]) === 0) return null;
  return `#${match.slice(1, 4).map((n) => Math.min(255, Number(n)).toString(16).padStart(2, '0')).join('')}`;
}

function escapeHtml(text) {
  return text.replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);
}

// The pad's HTML for `paragraphs`: a <div> per paragraph, <br> for line
// breaks (and one more where a paragraph is empty or ends with a break, as
// the editor itself keeps the line open), <b>, <i>, <u> and a styled
// <span> for the colours.
export function htmlFromParagraphs(paragraphs) {
  return normalizeParagraphs(paragraphs).map((runs) => {
    const inner = runs.map((piece) => {
      let html = escapeHtml(piece.text).replace(/\n/g, '<br>');
      if (piece.underline) html = `<u>${html}</u>`;
      if (piece.italic) html = `<i>${html}</i>`;
      if (piece.bold) html = `<b>${html}</b>`;
      const style = [piece.color && `color: ${piece.color}`, piece.highlight && `background-color: ${piece.highlight}`]
        .filter(Boolean).join('; ');
      return style ? `<span style="${style}">${html}</span>` : html;
    }).join('');
    const text = runs.map((piece) => piece.text).join('');
    return `<div>${inner}${text === '' || text.endsWith('\n') ? '<br>' : ''}</div>`;
  }).join('');
}

const BLOCKS = new Set(['DIV', 'P', 'LI', 'UL', 'OL', 'H1', 'H2', 'H3', 'H4', 'H5', 'H6', 'BLOCKQUOTE', 'PRE',
  'TABLE', 'TR', 'SECTION', 'ARTICLE', 'HEADER', 'FOOTER', 'DL', 'DT', 'DD', 'FIGURE', 'ADDRESS', 'NAV', 'HR']);
const HIDDEN = new Set(['SCRIPT', 'STYLE', 'HEAD', 'TITLE', 'META', 'TEMPLATE']);

// The formatting inside `element` where `outer` holds outside it: from its
// tag (b, strong, i, em, u, font color, mark) and its inline style.
function formatInside(element, outer) {
  const format = { ...outer };
  const tag = element.nodeName.toUpperCase();
  if (tag === 'B' || tag === 'STRONG') format.bold = true;
  if (tag === 'I' || tag === 'EM') format.italic = true;
  if (tag === 'U' || tag === 'INS') format.underline = true;
  if (tag === 'MARK') format.highlight = '#ffff00';
  if (tag === 'FONT') format.color = colourHex(element.getAttribute?.('color')) ?? format.color;
  const style = element.style ?? {};
  const weight = String(style.fontWeight ?? '');
  if (weight !== '') format.bold = weight === 'bold' || weight === 'bolder' || Number(weight) >= 600;
  const slant = String(style.fontStyle ?? '');
  if (slant !== '') format.italic = slant === 'italic' || slant === 'oblique';
  // A decoration adds to the one outside; "none" cannot take it away.
  if (/underline/.test(`${style.textDecorationLine ?? ''} ${style.textDecoration ?? ''}`)) format.underline = true;
  format.color = colourHex(style.color) ?? format.color;
  format.highlight = colourHex(style.backgroundColor) ?? format.highlight;
  return format;
}

// The paragraphs of the pad `root` (a DOM element, or any tree of objects
// with nodeType, nodeName, nodeValue, childNodes, style and getAttribute):
// block elements are paragraphs, inline text before, between and after
// them too; <br> is a line break, except the last one of a paragraph,
// which the editor shows as nothing.
export function paragraphsFromNodes(root) {
  const paragraphs = [];
  let current = [];
  let open = false; // whether `current` has begun (it may be empty)
  const finish = () => {
    if (current.length > 0 || open) {
      const last = current[current.length - 1];
      if (last && last.text.endsWith('\n')) last.text = last.text.slice(0, -1);
      paragraphs.push(current);
    }
    current = [];
    open = false;
  };
  const walk = (node, format) => {
    if (node.nodeType === 3) {
      const text = String(node.nodeValue ?? '').replace(/\r\n?/g, '\n');
      if (text !== '') current.push(run(text, format));
      return;
    }
    if (node.nodeType !== 1) return;
    const tag = node.nodeName.toUpperCase();
    if (HIDDEN.has(tag)) return;
    if (tag === 'BR') {
      current.push(run('\n', format));
      open = true;
      return;
    }
    const inside = formatInside(node, format);
    if (!BLOCKS.has(tag)) {
      for (const child of node.childNodes) walk(child, inside);
      return;
    }
    finish();
    const before = paragraphs.length;
    for (const child of node.childNodes) walk(child, inside);
    // An empty block still is a paragraph: an empty line.
    if (current.length > 0 || open || paragraphs.length === before) {
      open = true;
      finish();
    }
  };
  for (const child of root.childNodes) walk(child, { ...PLAIN });
  finish();
  return normalizeParagraphs(paragraphs);
}
