// The document list's columns, their widths and sort order, the row texts
// and the checks made before acting on check-marked documents. Nothing here
// touches the page, so all of it runs under `node --test`.

// Width unit: this fraction of the list's client width, in whole pixels.
export const WIDTH_UNIT_FACTOR = 0.04807692307692307;

// The six columns in display order. `units` counts width units; `sort` is
// how a click on the header orders the rows.
export const COLUMNS = Object.freeze([
  { title: 'Document Title', units: 7, sort: 'text' },
  { title: 'Relevance/Index', units: 2, sort: 'number' },
  { title: 'Size(bytes)', units: 2, sort: 'number' },
  { title: 'Date Saved', units: 2, sort: 'date' },
  { title: 'Source', units: 2, sort: 'text' },
  { title: '', units: 5, sort: 'text' },
]);

// At most this many documents go into one analysis.
export const MAX_ANALYZE = 5;

export const MSG_CHECK_DOCUMENTS = 'Please checkmark documents first';

export const MULTI_LIBRARY_TITLE = '[Multi-Library]';
export const QUICK_SEARCH_TITLE = '[Quick Search Results]';

// Pixel widths of the columns for a list `clientWidth` pixels wide.
export function columnWidths(clientWidth) {
  const width = Number(clientWidth);
  const unit = Number.isFinite(width) && width > 0 ? Math.trunc(width * WIDTH_UNIT_FACTOR) : 0;
  return COLUMNS.map((column) => column.units * unit);
}

// Which icon a document type gets: 'text', 'web', 'pdf' or 'other'.
export function iconKind(type) {
  const t = String(type ?? '').trim().toLowerCase();
  if (t === '.txt') return 'text';
  if (t === '.htm' || t === '.html') return 'web';
  if (t === '.pdf') return 'pdf';
  return 'other';
}

// The relevance column shows the rank truncated to an integer.
export function relevanceText(rank) {
  const value = Number(rank);
  return Number.isFinite(value) ? String(Math.trunc(value)) : '';
}

function text(value) {
  return value === undefined || value === null ? '' : String(value);
}

// The six cell texts of one record. A quick search shows where each hit came
// from; every other list shows the library the document belongs to.
export function rowTexts(record, quick) {
  return [
    text(record.name),
    relevanceText(record.rank),
    text(record.size),
    text(record.date),
    quick ? text(record.source) : text(record.library),
    text(record.uri),
  ];
}

// The frame title of a list: the quick-search title, else the library of the
// first record, turning into the multi-library title as soon as a record
// names another library. An empty list has an empty title.
export function frameTitle(records, quick) {
  if (quick) return QUICK_SEARCH_TITLE;
  let title = '';
  for (const record of records) {
    const library = text(record.library);
    if (title === '') title = library;
    else if (library !== title) return MULTI_LIBRARY_TITLE;
  }
  return title;
}

// Reads the list's date form "M/D/YYYY H:MM AM|PM" into a number that orders
// dates in time; other forms go through Date.parse. Unreadable dates give NaN.
export function parseListDate(value) {
  const s = text(value).trim();
  const match = /^(\d{1,2})\/(\d{1,2})\/(\d{4})(?:\s+(\d{1,2}):(\d{2})\s*(AM|PM)?)?$/i.exec(s);
  if (!match) return s === '' ? NaN : Date.parse(s);
  const [, month, day, year, hour = '0', minute = '0', half = ''] = match;
  let h = Number(hour) % 12;
  if (half.toUpperCase() === 'PM') h += 12;
  return Date.UTC(Number(year), Number(month) - 1, Number(day), h, Number(minute));
}

function numberKey(value) {
  const n = parseFloat(text(value));
  return Number.isFinite(n) ? n : NaN;
}

// Compares two keys of which either may be NaN: unreadable values come first.
function compareNumbers(a, b) {
  const aBad = Number.isNaN(a);
  const bBad = Number.isNaN(b);
  if (aBad || bBad) return aBad === bBad ? 0 : aBad ? -1 : 1;
  return a - b;
}

function compareTexts(a, b) {
  const x = a.toLowerCase();
  const y = b.toLowerCase();
  return x < y ? -1 : x > y ? 1 : 0;
}

// Orders two cell texts by a column's sort kind.
export function compareCells(kind, a, b) {
  if (kind === 'number') return compareNumbers(numberKey(a), numberKey(b));
  if (kind === 'date') return compareNumbers(parseListDate(a), parseListDate(b));
  return compareTexts(text(a), text(b));
}

// Sort state: { column: index or -1, descending: bool }.
export const UNSORTED = Object.freeze({ column: -1, descending: false });

// The state after a click on header `column`: the same header again turns
// the order round, another header sorts ascending.
export function nextSortState(state, column) {
  if (state.column === column) return { column, descending: !state.descending };
  return { column, descending: false };
}

// Rows ordered by a sort state. Each row is { texts: [...], ... }. Rows
// with equal cells keep the order they came in; the descending order is the
// ascending one turned round, so a second click exactly reverses the first.
export function sortRows(rows, state) {
  if (state.column < 0 || state.column >= COLUMNS.length) return rows.slice();
  const kind = COLUMNS[state.column].sort;
  const sorted = rows
    .map((row, position) => ({ row, position }))
    .sort((a, b) => compareCells(kind, a.row.texts[state.column], b.row.texts[state.column])
      || a.position - b.position)
    .map((entry) => entry.row);
  return state.descending ? sorted.reverse() : sorted;
}

// What "Analyze" does with `count` check-marked documents:
// { ok: true } or { ok: false, message }.
export function analyzeDecision(count) {
  if (count <= 0) return { ok: false, message: MSG_CHECK_DOCUMENTS };
  if (count > MAX_ANALYZE) {
    return {
      ok: false,
      message: `Cannot analyze more than ${MAX_ANALYZE} documents at a time. Please uncheck some documents.`,
    };
  }
  return { ok: true };
}

// What "Delete" does with `count` check-marked documents.
export function deleteDecision(count) {
  return count <= 0 ? { ok: false, message: MSG_CHECK_DOCUMENTS } : { ok: true };
}

// The part of a record the server needs to name a document.
export function documentRef(record) {
  return { handle: record.handle, docid: record.docid };
}
