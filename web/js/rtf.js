// The scratch pad's file format: RTF that a word processor opens.
//
// A document is a list of paragraphs; a paragraph is a list of runs
// { text, bold, italic, underline, color, highlight } where `text` may hold
// '\n' (a line break inside the paragraph) and '\t', and `color` and
// `highlight` are '#rrggbb' or null (the default colour, no highlight).
// writeRtf writes such a document; readRtf reads back what writeRtf wrote,
// and reads any other RTF as the text a word processor would show, with the
// formatting named above where it can tell.

export const PLAIN = Object.freeze({ bold: false, italic: false, underline: false, color: null, highlight: null });

const FORMAT_KEYS = Object.keys(PLAIN);

function sameFormat(a, b) {
  return FORMAT_KEYS.every((key) => a[key] === b[key]);
}

// A run of `text` with the formatting of `format` (missing keys plain).
export function run(text, format = {}) {
  const out = { text: String(text) };
  for (const key of FORMAT_KEYS) out[key] = format[key] ?? PLAIN[key];
  return out;
}

// `paragraphs` with empty runs dropped and neighbouring runs of the same
// formatting joined: the one form of each document, so two documents can
// be compared.
export function normalizeParagraphs(paragraphs) {
  return paragraphs.map((paragraph) => {
    const runs = [];
    for (const piece of paragraph) {
      if (piece.text === '') continue;
      const last = runs[runs.length - 1];
      if (last && sameFormat(last, piece)) last.text += piece.text;
      else runs.push(run(piece.text, piece));
    }
    return runs;
  });
}

// ---- writing ----

function hexBytes(colour) {
  return [1, 3, 5].map((at) => parseInt(colour.slice(at, at + 2), 16));
}

// `text` as RTF: the three special characters escaped, line breaks and tabs
// as control words, every character beyond ASCII as \uN? (N the signed
// 16-bit UTF-16 code unit, '?' the fallback that readers of \uc1 skip).
// Other control characters are left out.
export function escapeRtfText(text) {
  let out = '';
  for (let i = 0; i < text.length; i += 1) {
    const c = text[i];
    const code = text.charCodeAt(i);
    if (c === '\\' || c === '{' || c === '}') out += `\\${c}`;
    else if (c === '\n') out += '\\line ';
    else if (c === '\t') out += '\\tab ';
    else if (code < 0x20) continue;
    else if (code < 0x7f) out += c;
    else out += `\\u${code > 32767 ? code - 65536 : code}?`;
  }
  return out;
}

// The RTF file of `paragraphs`: a font table, a colour table of the
// colours used (entry 0 is the default colour), then each paragraph ended
// by \par, each formatted run in a group of its own.
export function writeRtf(paragraphs) {
  const doc = normalizeParagraphs(paragraphs);
  const colours = [];
  const indexOf = (colour) => {
    if (!colours.includes(colour)) colours.push(colour);
    return colours.indexOf(colour) + 1;
  };
  const body = doc.map((runs) => {
    const text = runs.map((piece) => {
      const controls = [];
      if (piece.bold) controls.push('\\b');
      if (piece.italic) controls.push('\\i');
      if (piece.underline) controls.push('\\ul');
      if (piece.color) controls.push(`\\cf${indexOf(piece.color)}`);
      if (piece.highlight) controls.push(`\\highlight${indexOf(piece.highlight)}`);
      const escaped = escapeRtfText(piece.text);
      return controls.length === 0 ? escaped : `{${controls.join('')} ${escaped}}`;
    }).join('');
    return `${text}\\par\n`;
  }).join('');
  const table = colours.map((colour) => {
    const [r, g, b] = hexBytes(colour);
    return `\\red${r}\\green${g}\\blue${b};`;
  }).join('');
  return '{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\n'
    + `{\\colortbl ;${table}}\n\\viewkind4\\pard\\plain\\f0\\fs20\n${body}}\n`;
}

// ---- reading ----

// Groups whose content a word processor does not show as text.
const SKIPPED_DESTINATIONS = new Set(['fonttbl', 'stylesheet', 'info', 'pict', 'header', 'headerl', 'headerr',
  'headerf', 'footer', 'footerl', 'footerr', 'footerf', 'listtable', 'listoverridetable', 'rsidtbl', 'generator',
  'xmlnstbl', 'themedata', 'colorschememapping', 'latentstyles', 'datastore', 'object', 'fldinst', 'filetbl',
  'revtbl', 'pgdsctbl', 'footnote', 'annotation', 'bkmkstart', 'bkmkend', 'shpinst', 'nonshppict', 'xe', 'tc',
  'private', 'template', 'userprops', 'wgrffmtfilter', 'mmathPr', 'author', 'operator', 'title', 'subject',
  'keywords', 'comment', 'doccomm', 'company', 'creatim', 'revtim', 'printim', 'buptim']);

const SYMBOLS = { line: '\n', tab: '\t', cell: '\t', emdash: '\u2014', endash: '\u2013', bullet: '\u2022',
  lquote: '\u2018', rquote: '\u2019', ldblquote: '\u201c', rdblquote: '\u201d', emspace: '\u2003',
  enspace: '\u2002', qmspace: '\u2005' };

// Bytes 0x80..0x9f of Windows code page 1252 (the rest is Latin-1).
const CP1252 = '\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152\u008d\u017d\u008f'
  + '\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\u009d\u017e\u0178';

function byteChar(byte) {
  return byte >= 0x80 && byte <= 0x9f ? CP1252[byte - 0x80] : String.fromCharCode(byte);
}

const UNDERLINES = new Set(['ul', 'uld', 'uldash', 'uldashd', 'uldashdd', 'uldb', 'ulhwave', 'ulldash', 'ulth',
  'ulthd', 'ulthdash', 'ulthdashd', 'ulthdashdd', 'ulthldash', 'ululdbwave', 'ulw', 'ulwave']);

function hex2(n) {
  return Math.max(0, Math.min(255, n)).toString(16).padStart(2, '0');
}

// The paragraphs of the RTF text `source`. A text that is not RTF at all
// is read as plain text, a paragraph per line.
export function readRtf(source) {
  const text = String(source ?? '');
  if (!/^\s*\{\\rtf/.test(text)) {
    if (text === '') return [];
    const lines = text.replace(/\r\n?/g, '\n').split('\n');
    if (lines[lines.length - 1] === '') lines.pop();
    return lines.map((line) => (line === '' ? [] : [run(line)]));
  }
  const paragraphs = [];
  let current = [];
  const colours = []; // the colour table; its entry 0 (the default) is null
  let colour = null; // the colour table entry being read
  let state = { ...PLAIN, skip: false, uc: 1, colourTable: false };
  const stack = [];
  let pendingSkip = 0; // fallback characters still to skip after \uN

  const emit = (chars) => {
    if (pendingSkip > 0) {
      pendingSkip -= 1;
      return;
    }
    if (state.skip) return;
    if (state.colourTable) {
      if (chars === ';') {
        colours.push(colour ? `#${hex2(colour.r)}${hex2(colour.g)}${hex2(colour.b)}` : null);
        colour = null;
      }
      return;
    }
    const last = current[current.length - 1];
    if (last && sameFormat(last, state)) last.text += chars;
    else current.push(run(chars, state));
  };
  const endParagraph = () => {
    paragraphs.push(current);
    current = [];
  };

  const word = (name, param) => {
    if (SKIPPED_DESTINATIONS.has(name)) {
      state.skip = true;
      return;
    }
    if (state.colourTable && (name === 'red' || name === 'green' || name === 'blue')) {
      colour = colour ?? { r: 0, g: 0, b: 0 };
      colour[name[0]] = param ?? 0;
      return;
    }
    if (name === 'colortbl') {
      state.colourTable = true;
      return;
    }
    if (name === 'u') {
      const code = param ?? 0;
      emit(String.fromCharCode(code < 0 ? code + 65536 : code));
      pendingSkip = state.uc;
      return;
    }
    if (name === 'uc') {
      state.uc = Math.max(0, param ?? 1);
      return;
    }
    if (state.skip) return;
    if (SYMBOLS[name] !== undefined) {
      emit(SYMBOLS[name]);
      return;
    }
    const on = param === undefined || param !== 0;
    switch (name) {
      case 'par':
      case 'row':
        endParagraph();
        break;
      case 'plain':
        Object.assign(state, PLAIN);
        break;
      case 'b':
        state.bold = on;
        break;
      case 'i':
        state.italic = on;
        break;
      case 'ulnone':
        state.underline = false;
        break;
      case 'cf':
        state.color = colours[param ?? 0] ?? null;
        break;
      case 'highlight':
      case 'cb':
      case 'chcbpat':
        state.highlight = colours[param ?? 0] ?? null;
        break;
      default:
        if (UNDERLINES.has(name)) state.underline = on;
    }
  };

  let i = 0;
  while (i < text.length) {
    const c = text[i];
    if (c === '{') {
      stack.push(state);
      state = { ...state };
      pendingSkip = 0;
      i += 1;
    } else if (c === '}') {
      state = stack.pop() ?? state;
      pendingSkip = 0;
      i += 1;
    } else if (c === '\r' || c === '\n') {
      i += 1;
    } else if (c !== '\\') {
      emit(c);
      i += 1;
    } else {
      const next = text[i + 1] ?? '';
      if (/[a-zA-Z]/.test(next)) {
        const match = /^([a-zA-Z]+)(-?\d+)? ?/.exec(text.slice(i + 1, i + 64));
        const name = match[1];
        const param = match[2] === undefined ? undefined : Number(match[2]);
        i += 1 + match[0].length;
        if (name === 'bin') {
          i += Math.max(0, param ?? 0); // binary data: never text
        } else {
          word(name, param);
        }
      } else if (next === "'") {
        const byte = parseInt(text.slice(i + 2, i + 4), 16);
        if (!Number.isNaN(byte)) emit(byteChar(byte));
        i += 4;
      } else {
        i += 2;
        if (next === '\\' || next === '{' || next === '}') emit(next);
        else if (next === '*') state.skip = true;
        else if (next === '~') emit('\u00a0');
        else if (next === '_') emit('\u2011');
        else if (next === '\n' || next === '\r') word('par');
        // '\-' (optional hyphen) and other symbols show nothing.
      }
    }
  }
  if (current.length > 0) endParagraph();
  return normalizeParagraphs(paragraphs);
}

// The plain text of `paragraphs`: lines joined by '\n'.
export function plainText(paragraphs) {
  return paragraphs.map((runs) => runs.map((piece) => piece.text).join('')).join('\n');
}
