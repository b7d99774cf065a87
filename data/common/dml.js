// Reading DML in a result page: the tag scanner the system's own readers
// use, and the readers of the three kinds of DML the pages show (a concept
// map, a weighted document, a combined summary). Pure functions over text:
// no DOM, so they run the same in the page and under Node's test runner.
//
// DML looks like XML but is not: values are not escaped by the writer
// (producers escape their text first), the header's DTD is never read, and
// malformed markup must never stop a page. The scanner therefore keeps
// whatever it could read and ends quietly at the first tag it cannot close.

// Bytes 0x80-0x9F as Windows-1252 reads them; the files are ISO-8859-1 text
// with that code page's punctuation.
const CP1252_HIGH = [
  0x20ac, 0x81, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
  0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8d, 0x017d, 0x8f,
  0x90, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
  0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x9d, 0x017e, 0x0178,
];

// The text of a DML file's bytes (an ArrayBuffer or Uint8Array).
export function decodeDmlBytes(bytes) {
  const view = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
  let text = '';
  const chunk = 8192;
  for (let at = 0; at < view.length; at += chunk) {
    const codes = Array.from(view.subarray(at, at + chunk), (b) =>
      b >= 0x80 && b <= 0x9f ? CP1252_HIGH[b - 0x80] : b);
    text += String.fromCharCode(...codes);
  }
  return text;
}

const NAMED_ENTITIES = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'", nbsp: '\u00a0' };
const ENTITY = /&(?:#(\d{1,7})|#[xX]([0-9a-fA-F]{1,6})|([a-zA-Z]+));/g;

function decodeEntitiesOnce(text) {
  return text.replace(ENTITY, (whole, decimal, hex, name) => {
    if (name !== undefined) return NAMED_ENTITIES[name] ?? whole;
    const code = decimal !== undefined ? Number(decimal) : parseInt(hex, 16);
    return code > 0 && code <= 0x10ffff ? String.fromCodePoint(code) : whole;
  });
}

// `text` with the character references the producers write decoded.
// Titles are escaped twice, so decoding repeats while "&amp;" uncovered
// another reference; anything malformed stays as it is.
export function decodeEntities(text) {
  let current = decodeEntitiesOnce(text);
  for (let pass = 0; pass < 4 && /&(?:#|[a-zA-Z]+;)/.test(current); pass++) {
    const next = decodeEntitiesOnce(current);
    if (next === current) break;
    current = next;
  }
  return current;
}

// `text` on one line: white space runs become one blank, ends trimmed.
export function cleanText(text) {
  return decodeEntities(String(text)).replace(/\s+/g, ' ').trim();
}

// An attribute text as [name, value] pairs: names run to "=", values stand
// between the next two double quotes (blanks and line ends included).
export function parseAttributes(attributeText) {
  const pairs = [];
  let at = 0;
  for (;;) {
    while (at < attributeText.length && /\s/.test(attributeText[at])) at++;
    const equals = attributeText.indexOf('=', at);
    if (equals < 0) break;
    const open = attributeText.indexOf('"', equals + 1);
    if (open < 0) break;
    const close = attributeText.indexOf('"', open + 1);
    if (close < 0) break;
    pairs.push([attributeText.slice(at, equals).trim(), attributeText.slice(open + 1, close)]);
    at = close + 1;
  }
  return pairs;
}

// The position after the XML declaration and DOCTYPE constructs: every
// "<?...?>" first, then every "<!...>" from there.
function afterHeader(text) {
  let start = 0;
  for (;;) {
    const open = text.indexOf('<?', start);
    if (open < 0) break;
    const close = text.indexOf('?>', open + 2);
    if (close < 0) { start = 0; break; }
    start = close + 2;
  }
  const afterDeclarations = start;
  for (;;) {
    const open = text.indexOf('<!', start);
    if (open < 0) break;
    const close = text.indexOf('>', open + 2);
    if (close < 0) { start = afterDeclarations; break; }
    start = close + 1;
  }
  return start;
}

// Nesting deeper than this is not followed (a malformed file could
// otherwise exhaust the stack); elements of one name cannot nest anyway.
const MAX_DEPTH = 200;

// Reads one opening tag at `lt` (text[lt] is "<"): its name, attribute
// text, whether it is empty ("/>"), and the position after its ">".
function readTag(text, lt, end) {
  const gt = text.indexOf('>', lt + 1);
  if (gt < 0 || gt >= end) return null;
  let inner = text.slice(lt + 1, gt);
  const empty = inner.endsWith('/');
  if (empty) inner = inner.slice(0, -1);
  const blank = inner.search(/\s/);
  const name = blank < 0 ? inner : inner.slice(0, blank);
  const attributes = blank < 0 ? '' : inner.slice(blank + 1);
  return { name, attributes, empty, after: gt + 1 };
}

// Scans text[from, end) as one level of elements; false once the handler
// asked to stop.
function scanLevel(text, from, end, handler, depth) {
  let at = from;
  for (;;) {
    const lt = text.indexOf('<', at);
    if (lt < 0 || lt >= end) return true;
    const tag = readTag(text, lt, end);
    if (tag === null) return true;
    const attributes = parseAttributes(tag.attributes);
    if (tag.empty) {
      handler.leaf?.(tag.name, '', attributes);
      if (handler.stop?.()) return false;
      at = tag.after;
      continue;
    }
    const closing = '</' + tag.name + '>';
    const close = text.indexOf(closing, tag.after);
    if (close < 0 || close + closing.length > end) return true;
    const content = text.slice(tag.after, close);
    if (!content.includes('<')) {
      handler.leaf?.(tag.name, content, attributes);
      if (handler.stop?.()) return false;
    } else if (depth < MAX_DEPTH) {
      handler.start?.(tag.name, attributes);
      if (handler.stop?.()) return false;
      if (!scanLevel(text, tag.after, close, handler, depth + 1)) return false;
      handler.end?.(tag.name);
      if (handler.stop?.()) return false;
    }
    at = close + closing.length;
  }
}

// Scans DML `text` as the system's readers do, calling the handler's
// optional start(name, attributes), end(name), leaf(name, content,
// attributes) and stop() (true ends the scan at once). Attributes are
// [name, value] pairs in text order.
export function scanMarkup(text, handler, skipHeader = true) {
  const source = String(text ?? '');
  scanLevel(source, skipHeader ? afterHeader(source) : 0, source.length, handler, 0);
}

// The value of attribute `name`, or of the attribute at `position` when no
// name matches (the system's readers go by position), trimmed; "" when
// there is neither.
function attribute(attributes, name, position = 0) {
  const pair = attributes.find(([key]) => key === name) ?? attributes[position];
  return pair ? pair[1].trim() : '';
}

function number(text) {
  const value = Number.parseFloat(String(text).trim());
  return Number.isFinite(value) ? value : 0;
}

const TEXT_FIELDS = new Set([
  'docid', 'parid', 'group', 'curi', 'dmluri', 'size', 'type', 'lang', 'char_enc',
  'date_cr', 'date_ret', 'name', 'header', 'sdesc', 'ldesc', 'note', 'owner', 'status',
  'fetcher', 'source',
]);
const NUMBER_FIELDS = new Set(['rank', 'ord', 'obj_handle', 'parent_handle']);
const ADDRESS_FIELDS = new Set(['uri', 'buri', 'bcuri']);
const LISTS = ['keywords', 'keyphrases', 'keypassages'];

function newRecord() {
  const record = { rank: 0, ord: 0, obj_handle: 0, parent_handle: 0, keywords: [], keyphrases: [],
    keypassages: [] };
  for (const field of [...TEXT_FIELDS, ...ADDRESS_FIELDS]) record[field] = '';
  return record;
}

// Fills `record` from one leaf inside a description block; `list` is the
// weighted list open at the moment, or null.
function readRecordLeaf(record, list, name, content, attributes) {
  if (TEXT_FIELDS.has(name)) {
    record[name] = cleanText(content);
  } else if (NUMBER_FIELDS.has(name)) {
    record[name] = number(content);
  } else if (ADDRESS_FIELDS.has(name)) {
    if (attributes.length > 0) record[name] = attribute(attributes, 'href');
  } else if (name === 'i' && list !== null) {
    record[list].push({
      text: cleanText(content),
      weight: number(attribute(attributes, 'w', 0)),
      count: Math.trunc(number(attribute(attributes, 'c', 1))),
    });
  }
}

// A handler collecting the description blocks named `blockName` ("stat"
// in documents, "item" in result lists) as records; `limit` stops after
// that many.
function recordCollector(blockName, limit = Infinity) {
  const records = [];
  let current = null;
  let list = null;
  return {
    records,
    start(name) {
      if (name === blockName) current = newRecord();
      else if (current && LISTS.includes(name)) list = name;
    },
    end(name) {
      if (name === blockName && current) { records.push(current); current = null; list = null; }
      else if (name === list) list = null;
    },
    leaf(name, content, attributes) {
      if (current) readRecordLeaf(current, list, name, content, attributes);
    },
    stop() { return records.length >= limit; },
  };
}

// Every description block of a DML text, in order.
export function readRecords(text, blockName = 'stat') {
  const collector = recordCollector(blockName);
  scanMarkup(text, collector);
  return collector.records;
}

// `path` without a leading address scheme: the text after its first
// "file://" when it holds one.
export function stripFileScheme(path) {
  const text = String(path ?? '');
  const at = text.indexOf('file://');
  return at < 0 ? text : text.slice(at + 'file://'.length);
}

// The concepts of a concept-map DML, in map order. Each has the handle
// that names it in later requests, its weight, its position label and its
// key phrases (text and weight, strongest first as the map lists them).
// Blocks without a handle or without phrases are left out.
export function parseConceptMap(text) {
  return readRecords(text)
    .map((record, index) => ({
      handle: Math.trunc(record.obj_handle),
      weight: Math.max(0, record.ord),
      label: record.name || String(index + 1),
      phrases: record.keywords
        .filter((phrase) => phrase.text !== '')
        .map(({ text: phrase, weight }) => ({ text: phrase, weight })),
    }))
    .filter((concept) => concept.handle > 0 && concept.phrases.length > 0);
}

// A handler reading the body of a weighted document: paragraphs of
// sentences with their weights, and the links.
function bodyCollector() {
  const body = { title: '', paragraphs: [], links: [] };
  let paragraph = null;
  let inStat = false;
  let inLinks = false;
  const sentence = (content, attributes) => ({
    weight: Math.trunc(number(attribute(attributes, 'w', 0))),
    text: cleanText(content),
  });
  return {
    body,
    start(name) {
      if (name === 'stat') inStat = true;
      else if (name === 'p' && !inStat) paragraph = [];
      else if (name === 'anc') inLinks = true;
    },
    end(name) {
      if (name === 'stat') inStat = false;
      else if (name === 'p' && paragraph) {
        if (paragraph.length > 0) body.paragraphs.push(paragraph);
        paragraph = null;
      } else if (name === 'anc') inLinks = false;
    },
    leaf(name, content, attributes) {
      if (inStat) return;
      if (name === 's') {
        const read = sentence(content, attributes);
        if (read.text === '') return;
        if (paragraph) paragraph.push(read);
        else body.paragraphs.push([read]);  // a sentence outside any paragraph
      } else if (name === 'p') {
        const text = cleanText(content);
        if (text !== '') body.paragraphs.push([{ weight: 0, text }]);
      } else if (name === 'title') {
        body.title = cleanText(content);
      } else if (name === 'a' && inLinks) {
        body.links.push({ href: attribute(attributes, 'href'), text: cleanText(content) });
      }
    },
  };
}

// A weighted document (a summary's DML): its description, its title (the
// record's name, else the body's title), its paragraphs of {weight, text}
// sentences in text order, and its links.
export function parseWeightedDocument(text) {
  const collector = recordCollector('stat', 1);
  scanMarkup(text, collector);
  const reader = bodyCollector();
  scanMarkup(text, reader);
  const record = collector.records[0] ?? newRecord();
  const { body } = reader;
  return {
    record,
    title: record.name || body.title || record.docid,
    paragraphs: body.paragraphs,
    links: body.links,
  };
}

// The weighted documents a combined summary lists: the paths of their DML
// files (a "file://" cut off) with their ids, in list order.
export function parseCombinedSummary(text) {
  return readRecords(text)
    .map((record) => ({ docid: record.docid, path: stripFileScheme(record.bcuri) }))
    .filter((entry) => entry.path !== '');
}
