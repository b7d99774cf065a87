// The acquisition dialogs without the page: the internet dialog's modes,
// the new-library wizard and the local files dialog; which pages each
// shows, what the pages start with (the settings, else their defaults),
// the checks made on leaving a page, the settings written on OK and the
// body of POST /api/acquire.

import { KEYWORD_HISTORY, addToHistory, historyToSection } from './history.js';
import { KEYWORD_PROMPT } from './research_model.js';

export const MSG_NO_KEYWORDS = 'Please enter keywords';
export const MSG_NO_ADDRESSES = 'Please enter start addresses';
export const MSG_NO_TARGET = 'Please checkmark libraries first';
export const MSG_NO_FILES = 'Please choose files';
export const MSG_NO_FOLDER = 'Please choose a folder';
export const MSG_NO_LOCAL_MODE = 'No mode selected to add local files';
export const MSG_NO_WIZARD_MODE = 'No mode selected to create the new library';
export const MSG_NOT_IMPLEMENTED = 'Not yet implemented';

export const ENGINE_COUNT = 5;
// The crawler refuses a kilobyte limit whose byte count does not fit in a
// signed 32-bit number.
export const MAX_KILOBYTES = Math.floor(2147483647 / 1000);
const MAX_COUNT = 2147483647;

// The settings the pages read and write, with the defaults the application
// reads for a missing or unreadable value.
const CRAWLER = 'CrawlerOptions';
const ADVANCED = 'AdvancedOptions';
const ENGINES = 'EngineOptions';
export const DEFAULTS = Object.freeze({
  [CRAWLER]: {
    internalOnly: 1, Dpth: 2, MaxDocs: 50, MaxKB: 1000, MaxSites: 100,
    startURLs: 'https://en.wikipedia.org/wiki/List_of_largest_companies_by_revenue',
    prevName_folder: '', Dpth_folder: 2, MaxKB_folder: 1000, MaxDocs_folder: 50,
  },
  [ADVANCED]: {
    selAuthorityPages: 0, selHubPages: 0, minNumPages: 1, maxNumPages: 10, minNumLinks: 1,
    negWords: '', negURLs: ';prev+;random+;skip+popup+doubleclick+hitbox+/ads+/adfield+http://ads',
  },
  [ENGINES]: Object.fromEntries(Array.from({ length: ENGINE_COUNT }, (_, i) => [
    [`selEng${i + 1}`, 0], [`numResEng${i + 1}`, 50]]).flat()),
  QueryOptions: { lastKeyWords: KEYWORD_PROMPT },
  Settings: { newLibMode: 1167 },
});

// The internet dialog's modes and the wizard's internet modes: title and
// pages in order. The two page modes name the page in their titles.
export const INTERNET_MODES = Object.freeze({
  basic: { title: 'Basic Internet Search', pages: ['keywords', 'engines', 'target'] },
  advanced: { title: 'Advanced Internet Search', pages: ['keywords', 'engines', 'advanced', 'target'] },
  crawl: { title: 'Internet Crawl', pages: ['start', 'engines', 'crawler', 'advanced', 'target'] },
  crawlpage: { title: 'Crawling: ', pages: ['crawler', 'advanced', 'target'], page: true },
  savepage: { title: 'Saving: ', pages: ['target'], page: true },
  // The hits of the engines listed, nothing stored: no target.
  quick: { title: 'Quick Internet Search', pages: ['keywords', 'engines'] },
  'wizard-search': { pages: ['keywords', 'engines', 'advanced', 'target'] },
  'wizard-crawl': { pages: ['start', 'engines', 'crawler', 'advanced', 'target'] },
  'wizard-searchcrawl': { pages: ['keywords', 'engines', 'crawler', 'advanced', 'target'] },
});

// The modes that crawl from addresses rather than search with keywords.
const CRAWLS = new Set(['crawl', 'crawlpage', 'savepage', 'wizard-crawl']);

export const WIZARD_TITLE = 'New Library';
export const LOCAL_TITLE = 'Add Local Files';

// The wizard's choices ("Settings"/"newLibMode") and what each goes on with.
export const WIZARD_CHOICES = Object.freeze({
  1167: { label: 'Internet search', mode: 'wizard-search' },
  1168: { label: 'Internet crawl', mode: 'wizard-crawl' },
  1169: { label: 'Local files or folder', mode: 'local' },
  1170: { label: 'Internet search followed by a crawl of the hits', mode: 'wizard-searchcrawl' },
});

export function isInternetMode(mode) {
  return typeof mode === 'string' && Object.hasOwn(INTERNET_MODES, mode);
}

// The internet dialog of `mode`: { ok, title, pages } or { ok: false,
// message }. The page modes need the address of the page they act on.
export function internetDialog(mode, address = '') {
  if (!isInternetMode(mode)) return { ok: false, message: `There is no internet mode "${String(mode)}".` };
  const { title, pages, page } = INTERNET_MODES[mode];
  if (!page) return { ok: true, title: title ?? WIZARD_TITLE, pages: pages.slice() };
  const shown = pageAddress(address);
  if (shown === '') return { ok: false, message: 'There is no page address to act on.' };
  return { ok: true, title: title + shown, pages: pages.slice() };
}

// The address of a page to crawl or save: a web address, or '' when
// `address` is none.
export function pageAddress(address) {
  const text = typeof address === 'string' ? address.trim() : '';
  return /^https?:\/\/\S+$/i.test(text) ? text : '';
}

// The wizard after its choice page: { ok, mode, pages } or { ok: false,
// message }. The target of every wizard mode is a new library.
export function wizardPlan(choice) {
  const key = choice === null || choice === undefined ? '' : String(choice).trim();
  if (key === '') return { ok: false, message: MSG_NO_WIZARD_MODE };
  if (!Object.hasOwn(WIZARD_CHOICES, key)) return { ok: false, message: MSG_NOT_IMPLEMENTED };
  const known = WIZARD_CHOICES[key];
  if (known.mode === 'local') return { ok: true, mode: 'local-wizard', pages: ['local', 'target'] };
  return { ok: true, mode: known.mode, pages: INTERNET_MODES[known.mode].pages.slice() };
}

// The wizard's choice as stored, or '' when the stored value is none of the
// four.
export function storedWizardChoice(settings) {
  const value = settings?.Settings?.newLibMode;
  const text = value === undefined ? String(DEFAULTS.Settings.newLibMode) : String(value).trim();
  return Object.hasOwn(WIZARD_CHOICES, text) ? text : '';
}

// ---- reading the settings ----

function stored(settings, section, key) {
  const value = settings?.[section]?.[key];
  return value === undefined || value === null ? undefined : String(value);
}

function readText(settings, section, key) {
  return stored(settings, section, key) ?? DEFAULTS[section][key];
}

// A whole-number setting as the application reads it: the default when it
// is missing or not a whole number.
function readInt(settings, section, key) {
  const text = stored(settings, section, key)?.trim();
  return text !== undefined && /^-?\d+$/.test(text) ? Number(text) : DEFAULTS[section][key];
}

// "+"-joined lists are shown with blanks between their entries.
export function listForShow(text) {
  return String(text ?? '').replaceAll('+', ' ');
}

export function listForStore(text) {
  return String(text ?? '').trim().split(/\s+/).filter(Boolean).join('+');
}

// The start addresses are stored as the text of their box, one a line.
export function addressLines(text) {
  return String(text ?? '').split(/\r?\n/).map((line) => line.trim()).filter(Boolean);
}

// What each page shows when it opens: texts for the fields, true or false
// for the check boxes.
export function pageValues(page, settings) {
  const int = (section, key) => String(readInt(settings, section, key));
  switch (page) {
    case 'keywords': {
      const text = stored(settings, 'QueryOptions', 'lastKeyWords');
      return { keywords: text ? text : KEYWORD_PROMPT };
    }
    case 'start':
      return { addresses: readText(settings, CRAWLER, 'startURLs').replace(/\r\n/g, '\n') };
    case 'engines': {
      const engines = Array.from({ length: ENGINE_COUNT }, (_, i) => ({
        on: readInt(settings, ENGINES, `selEng${i + 1}`) !== 0,
        results: int(ENGINES, `numResEng${i + 1}`),
      }));
      if (!engines.slice(1).some((e) => e.on)) engines[0].on = true;
      return { engines };
    }
    case 'crawler':
      return {
        depth: int(CRAWLER, 'Dpth'), kilobytes: int(CRAWLER, 'MaxKB'), sites: int(CRAWLER, 'MaxSites'),
        documents: int(CRAWLER, 'MaxDocs'), sameSite: readInt(settings, CRAWLER, 'internalOnly') !== 0,
      };
    case 'advanced':
      return {
        authority: readInt(settings, ADVANCED, 'selAuthorityPages') !== 0,
        minPages: int(ADVANCED, 'minNumPages'), maxPages: int(ADVANCED, 'maxNumPages'),
        hub: readInt(settings, ADVANCED, 'selHubPages') !== 0, minLinks: int(ADVANCED, 'minNumLinks'),
        negURLs: listForShow(readText(settings, ADVANCED, 'negURLs')),
        negWords: listForShow(readText(settings, ADVANCED, 'negWords')),
      };
    case 'local':
      return {
        mode: '', files: [], folder: readText(settings, CRAWLER, 'prevName_folder'),
        depth: int(CRAWLER, 'Dpth_folder'), kilobytes: int(CRAWLER, 'MaxKB_folder'),
        documents: int(CRAWLER, 'MaxDocs_folder'),
      };
    case 'target':
      return { kind: 'new', name: '', library: '' };
    default:
      return {};
  }
}

// ---- checks ----

// A whole number from 0 to `most` typed in a field: the number, or the
// message saying what the field needs.
export function wholeNumber(text, label, most = MAX_COUNT) {
  const t = String(text ?? '').trim();
  const value = /^\d+$/.test(t) ? Number(t) : NaN;
  if (Number.isSafeInteger(value) && value <= most) return { ok: true, value };
  return { ok: false, message: `${label} must be a whole number from 0 to ${most}.` };
}

const ok = { ok: true };
const refuse = (message) => ({ ok: false, message });

// The number fields of each page: key, label, upper limit.
const NUMBER_FIELDS = {
  engines: Array.from({ length: ENGINE_COUNT }, (_, i) => [i, `The results of engine ${i + 1}`, MAX_COUNT]),
  crawler: [['depth', 'The depth'], ['kilobytes', 'The kilobyte limit', MAX_KILOBYTES],
    ['sites', 'The site limit'], ['documents', 'The document limit']],
  advanced: [['minPages', 'The fewest pages'], ['maxPages', 'The most pages'],
    ['minLinks', 'The fewest links']],
  local: [['depth', 'The depth'], ['kilobytes', 'The kilobyte limit', MAX_KILOBYTES],
    ['documents', 'The document limit']],
};

function numbersOf(page, values) {
  const numbers = {};
  for (const [key, label, most] of NUMBER_FIELDS[page] ?? []) {
    const text = page === 'engines' ? values.engines[key].results : values[key];
    const number = wholeNumber(text, label, most ?? MAX_COUNT);
    if (!number.ok) return number;
    numbers[key] = number.value;
  }
  return { ok: true, numbers };
}

// The check made when the user leaves `page` (Next, or OK on the last
// page): { ok: true } or { ok: false, message }. `mode` is the dialog's.
export function pageDecision(page, values, mode = '') {
  const numbers = numbersOf(page, values);
  if (!numbers.ok) return numbers;
  switch (page) {
    case 'keywords': {
      const text = String(values.keywords ?? '').trim();
      return text === '' || text === KEYWORD_PROMPT ? refuse(MSG_NO_KEYWORDS) : ok;
    }
    case 'start':
      return addressLines(values.addresses).length === 0 ? refuse(MSG_NO_ADDRESSES) : ok;
    case 'advanced':
      return numbers.numbers.minPages > numbers.numbers.maxPages
        ? refuse('The fewest pages cannot be more than the most pages.') : ok;
    case 'local':
      if (values.mode === 'files') return values.files.length === 0 ? refuse(MSG_NO_FILES) : ok;
      if (values.mode === 'folder') return String(values.folder ?? '').trim() === '' ? refuse(MSG_NO_FOLDER) : ok;
      return refuse(MSG_NO_LOCAL_MODE);
    case 'target':
      return targetOf(values, mode) === null ? refuse(MSG_NO_TARGET) : ok;
    default:
      return ok;
  }
}

// The target of a request: { new: name } or { library: ident }, or null
// when none is given. The wizard always makes a new library.
export function targetOf(target, mode = '') {
  const kind = isWizard(mode) ? 'new' : target?.kind;
  if (kind === 'new') {
    const name = String(target?.name ?? '').trim();
    return name === '' ? null : { new: name };
  }
  if (kind === 'library') {
    const ident = String(target?.library ?? '');
    return ident === '' ? null : { library: ident };
  }
  return null;
}

export function isWizard(mode) {
  return typeof mode === 'string' && (mode.startsWith('wizard') || mode === 'local-wizard');
}

// ---- on OK ----

// The settings the confirmed `pages` write, as the body of POST
// /api/settings; `values` holds each page's values by page name and
// `history` is the keyword history. Engine 1 is written as on when engines
// 2 to 5 are all off. The local files page writes the folder page only
// for a folder.
export function settingsUpdate(pages, values, history = []) {
  const update = {};
  const put = (section, entries) => { update[section] = { ...(update[section] ?? {}), ...entries }; };
  for (const page of pages) {
    const v = values[page];
    const n = numbersOf(page, v).numbers;
    switch (page) {
      case 'keywords':
        put('QueryOptions', { lastKeyWords: v.keywords });
        put(KEYWORD_HISTORY.section, historyToSection(addToHistory(history, v.keywords, KEYWORD_HISTORY.limit),
          KEYWORD_HISTORY.prefix, KEYWORD_HISTORY.limit));
        break;
      case 'start':
        put(CRAWLER, { startURLs: String(v.addresses ?? '').replace(/\r?\n/g, '\r\n') });
        break;
      case 'engines': {
        const on = v.engines.map((e) => e.on === true);
        if (!on.slice(1).some(Boolean)) on[0] = true;
        const entries = {};
        on.forEach((isOn, i) => {
          entries[`selEng${i + 1}`] = isOn ? 1 : 0;
          entries[`numResEng${i + 1}`] = n[i];
        });
        put(ENGINES, entries);
        break;
      }
      case 'crawler':
        put(CRAWLER, { Dpth: n.depth, MaxKB: n.kilobytes, MaxSites: n.sites, MaxDocs: n.documents,
          internalOnly: v.sameSite ? 1 : 0 });
        break;
      case 'advanced':
        put(ADVANCED, { selAuthorityPages: v.authority ? 1 : 0, minNumPages: n.minPages, maxNumPages: n.maxPages,
          selHubPages: v.hub ? 1 : 0, minNumLinks: n.minLinks,
          negURLs: listForStore(v.negURLs), negWords: listForStore(v.negWords) });
        break;
      case 'local':
        if (v.mode === 'folder') {
          put(CRAWLER, { prevName_folder: String(v.folder).trim(), Dpth_folder: n.depth,
            MaxKB_folder: n.kilobytes, MaxDocs_folder: n.documents });
        }
        break;
      default:
        break;
    }
  }
  return update;
}

// The body of POST /api/acquire for an internet `mode`; `address` is the
// page of the page modes.
export function internetRequest(mode, values, address = '') {
  if (mode === 'quick') return { kind: 'quick', keywords: String(values.keywords?.keywords ?? '').trim() };
  const crawl = CRAWLS.has(mode);
  let addresses = [];
  if (INTERNET_MODES[mode]?.page) addresses = [pageAddress(address)];
  else if (crawl) addresses = addressLines(values.start?.addresses);
  return {
    kind: 'internet',
    mode,
    keywords: crawl ? '' : String(values.keywords?.keywords ?? '').trim(),
    addresses,
    target: targetOf(values.target, mode),
  };
}

// The body of POST /api/acquire for the local files page: the chosen files,
// or the folder (whose page the settings carry).
export function localRequest(values, mode = '') {
  const target = targetOf(values.target, mode);
  if (values.local.mode === 'folder') return { kind: 'folder', target };
  return { kind: 'files', files: values.local.files.slice(), target };
}

// ---- the folder chooser ----

export function joinPath(folder, name) {
  return String(folder).endsWith('/') ? folder + name : `${folder}/${name}`;
}

// The chosen files after ticking (`on`) or clearing the box of `path`, in
// the order they were chosen.
export function toggleFile(files, path, on) {
  const rest = files.filter((f) => f !== path);
  return on ? [...rest, path] : rest;
}

// A folder listing of GET /api/folders, checked: { ok, path, parent,
// folders, files } or { ok: false, message }.
export function readListing(listing) {
  const texts = (list) => Array.isArray(list) && list.every((x) => typeof x === 'string');
  if (!listing || typeof listing.path !== 'string' || !texts(listing.folders)
    || (listing.files !== undefined && !texts(listing.files))) {
    return { ok: false, message: 'The QORA server sent a folder listing that cannot be read' };
  }
  return { ok: true, path: listing.path, parent: typeof listing.parent === 'string' ? listing.parent : '',
    folders: listing.folders, files: listing.files ?? [] };
}
