// The research dialogs without the page: their titles and pages, the
// remembered texts and their defaults, the check on the library page and
// the requests sent when a dialog is confirmed.

import { KEYWORD_HISTORY, addToHistory, historyToSection } from './history.js';

// At most this many libraries take part in one research.
export const MAX_LIBRARIES = 10;

export const MSG_CHECK_LIBRARIES = 'Please check mark the libraries first';
export const MSG_TOO_MANY_LIBRARIES =
  `Cannot select more than ${MAX_LIBRARIES} libraries at a time. Please uncheck some libraries.`;

export const KEYWORD_PROMPT = 'type in your keywords here';
export const PASSAGE_PROMPT = 'type in or cut/paste your passage or paragraph here';

// Every dialog: its title, the kind of its text page, where its text is
// remembered, and whether it ends on the library page. The internet search
// shows the keyword page alone here: its engine, advanced and target values
// are those of the settings, which the server reads itself.
export const DIALOGS = Object.freeze({
  keywords: { title: 'Research Libraries', page: 'keywords', libraries: true,
    remember: { section: 'QueryOptions', key: 'lastKeyWords', prompt: KEYWORD_PROMPT } },
  passage: { title: 'Research Libraries using Passage', page: 'passage', libraries: true,
    remember: { section: 'QueryOptions', key: 'lastPassage', prompt: PASSAGE_PROMPT } },
  concepts: { title: 'Research Libraries using Selected Concepts', page: 'concepts', libraries: true,
    remember: null },
  documents: { title: 'Find Similar Documents in Libraries', page: 'documents', libraries: true,
    remember: null },
  websearch: { title: 'Advanced Internet Search', page: 'keywords', libraries: false,
    remember: { section: 'QueryOptions', key: 'lastKeyWords', prompt: KEYWORD_PROMPT } },
});

export function isDialogKind(kind) {
  return typeof kind === 'string' && Object.hasOwn(DIALOGS, kind);
}

// The text a dialog opens with: the text handed over when there is one, else
// the remembered text, else the prompt.
export function initialText(kind, given, settings) {
  if (typeof given === 'string' && given !== '') return given;
  const remember = DIALOGS[kind]?.remember;
  if (!remember) return '';
  const stored = settings?.[remember.section]?.[remember.key];
  return typeof stored === 'string' && stored !== '' ? stored : remember.prompt;
}

// The check made when the user leaves the library page with `count`
// libraries check-marked: { ok: true } or { ok: false, message }.
export function libraryDecision(count) {
  if (count <= 0) return { ok: false, message: MSG_CHECK_LIBRARIES };
  if (count > MAX_LIBRARIES) return { ok: false, message: MSG_TOO_MANY_LIBRARIES };
  return { ok: true };
}

// The check made on the text page: a dialog needs something to search with.
export function textDecision(kind, text, documents) {
  if (kind === 'documents') {
    return documents.length > 0 ? { ok: true } : { ok: false, message: 'Please checkmark documents first' };
  }
  const prompt = DIALOGS[kind]?.remember?.prompt;
  const t = String(text ?? '').trim();
  if (t === '' || t === prompt) return { ok: false, message: 'Please type in the text to research with' };
  return { ok: true };
}

// The body of POST /api/research.
export function researchRequest(kind, text, libraries, documents) {
  return {
    kind,
    text: kind === 'documents' ? '' : String(text ?? ''),
    libraries: libraries.slice(),
    documents: kind === 'documents' ? documents.map((d) => ({ handle: d.handle, docid: d.docid })) : [],
  };
}

// The settings written when a dialog is confirmed, as the body of
// POST /api/settings. Keywords are also the word bar's words and enter the
// keyword history; `history` is the current keyword history.
export function settingsUpdate(kind, text, history) {
  const page = DIALOGS[kind]?.page;
  if (page === 'keywords') {
    const list = addToHistory(history, text, KEYWORD_HISTORY.limit);
    return {
      QueryOptions: { lastKeyWords: text },
      WordBar: { searchWords: text },
      [KEYWORD_HISTORY.section]: historyToSection(list, KEYWORD_HISTORY.prefix, KEYWORD_HISTORY.limit),
    };
  }
  if (page === 'passage') return { QueryOptions: { lastPassage: text } };
  return null;
}

// The size column of the library page: the byte count without its last three
// digits, "0" for fewer than four digits.
export function sizeInKb(bytes) {
  const s = String(bytes ?? '').trim();
  return s.length <= 3 ? '0' : s.slice(0, -3);
}

// Column widths of the documents page (u = client width / 21): title 11u,
// library 3u, address 6u.
export function documentColumnWidths(clientWidth) {
  const unit = Math.max(0, Math.trunc(Number(clientWidth) / 21) || 0);
  return [11 * unit, 3 * unit, 6 * unit];
}

// Column widths of the library page (u = client width / 17, integer
// division): name 7u, documents 2u, size 3u, date 4u - 3.
export function libraryColumnWidths(clientWidth) {
  const unit = Math.max(0, Math.trunc(Number(clientWidth) / 17) || 0);
  return [7 * unit, 2 * unit, 3 * unit, Math.max(0, 4 * unit - 3)];
}
