// A stand-in for `qora serve`: serves the web front from web/ and fakes the
// JSON API with scripted operations that report status texts and events the
// way the real server does. Run it by hand with `node mock_server.mjs [PORT]`.

import { createServer } from 'node:http';
import { randomBytes } from 'node:crypto';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, resolve, dirname, sep } from 'node:path';
import { fileURLToPath } from 'node:url';
import { acquiredDocuments, folderListing, librarySummaries, makeLibraries, resultPage } from './mock_data.mjs';

const HERE = dirname(fileURLToPath(import.meta.url));
export const WEB_ROOT = resolve(HERE, '../../web');

const TYPES = { '.html': 'text/html', '.htm': 'text/html', '.css': 'text/css', '.js': 'text/javascript',
  '.mjs': 'text/javascript', '.svg': 'image/svg+xml', '.json': 'application/json' };
const BUSY = 'Program is busy. Please wait.';
const STEP_MS = 60;

class HttpError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

// The server's state: libraries, settings, the event log, the running
// operation and every API request received (for a look by hand).
function makeState() {
  return { libraries: makeLibraries(), settings: {}, events: [], seq: 0, busy: false,
    status: '', stop: false, requests: [], scratch: '', exports: [], uploads: [] };
}

function emit(state, event) {
  state.seq += 1;
  state.events.push({ seq: state.seq, ...event });
}

function sleep(ms) {
  return new Promise((done) => setTimeout(done, ms));
}

// Runs `steps` (functions, one per timer tick) as one long operation: busy
// mode around it, stop requests honoured between steps, then the completion.
function runOperation(state, title, code, steps) {
  if (state.busy) throw new HttpError(409, BUSY);
  state.busy = true;
  state.stop = false;
  emit(state, { type: 'busy', busy: true, title });
  (async () => {
    for (const step of steps) {
      await sleep(STEP_MS);
      if (state.stop) {
        state.status = 'Stop requested. Please wait...';
        break;
      }
      step();
    }
    await sleep(STEP_MS);
    state.busy = false;
    emit(state, { type: 'completion', code });
    emit(state, { type: 'busy', busy: false, title: '' });
  })();
}

function listTitle(records) {
  const names = new Set(records.map((r) => r.library));
  return names.size > 1 ? '[Multi-Library]' : (records[0]?.library ?? '');
}

function findLibrary(state, ident) {
  const library = state.libraries.find((l) => l.ident === ident);
  if (!library) throw new HttpError(404, `No library "${ident}"`);
  return library;
}

function requireDocuments(list, most) {
  if (!Array.isArray(list) || list.length === 0) throw new HttpError(400, 'Please checkmark documents first');
  if (list.length > most) throw new HttpError(400, `Cannot analyze more than ${most} documents at a time`);
  for (const d of list) {
    if (!d || !Number.isInteger(d.handle) || typeof d.docid !== 'string') {
      throw new HttpError(400, 'A document needs a handle and a docid');
    }
  }
}

const RESEARCH = {
  keywords: { code: 6, title: (t) => `Library Search '${t}'` },
  passage: { code: 12, title: () => 'Library Search using Passage' },
  concepts: { code: 14, title: () => 'Library Search using Concepts' },
  documents: { code: 9, title: () => 'Library Search using Documents' },
};

// Ranks every document of the chosen libraries by how many words of the
// text its title shares, then by its position: enough to look like a research.
function research(state, body) {
  if (body.kind === 'websearch') return webSearch(state, body);
  const kind = RESEARCH[body.kind];
  if (!kind) throw new HttpError(400, `Unknown research kind "${body.kind}"`);
  const libraries = Array.isArray(body.libraries) ? body.libraries : [];
  if (libraries.length === 0) throw new HttpError(400, 'Please check mark the libraries first');
  if (libraries.length > 10) throw new HttpError(400, 'Cannot select more than 10 libraries at a time');
  const chosen = libraries.map((ident) => findLibrary(state, ident));
  const text = String(body.text ?? '');
  if (body.kind === 'documents') requireDocuments(body.documents, 1e9);
  else if (text.trim() === '') throw new HttpError(400, 'The research text is empty');
  const words = text.toLowerCase().split(/\s+/).filter(Boolean);
  const records = chosen.flatMap((l) => l.documents).map((doc, i) => ({
    ...doc, rank: words.filter((w) => doc.name.toLowerCase().includes(w)).length * 10 + 50 - i + 0.5,
  })).sort((a, b) => b.rank - a.rank);
  const steps = [
    () => { state.status = 'Preparing for Relevance Ranking'; },
    () => { state.status = 'Begin relevance ranking'; },
    () => { state.status = 'Begin Document Listing'; },
    ...records.map((_, i) => () => { state.status = `Relevance ranking ${i + 1}`; }),
    () => {
      state.status = 'Document Listing completed';
      emit(state, { type: 'list', title: listTitle(records), quick: false, records });
      if (body.kind === 'keywords') emit(state, { type: 'wordbar', words: text });
    },
  ];
  runOperation(state, kind.title(text), kind.code, steps);
}

// An internet search with the keywords of the keyword page; the engines and
// the target library come from the settings, so the mock only reports it.
function webSearch(state, body) {
  const text = String(body.text ?? '').trim();
  if (text === '') throw new HttpError(400, 'Please type in keywords');
  runOperation(state, `Internet Search '${text}'`, 0, [
    () => { state.status = 'Begin searching'; },
  ]);
}

function summaryOperation(state, code, page) {
  runOperation(state, 'QORA', code, [
    () => { state.status = 'Begin summarizing and highlighting'; },
    () => { state.status = 'Summarization and highlighting done'; },
    () => { state.status = 'Begin creating visual abstract'; },
    () => { emit(state, { type: 'page', url: `/pages/${page}` }); },
  ]);
}

// The command links of result pages, as far as the mock understands them.
function command(state, text) {
  if (typeof text !== 'string') throw new HttpError(400, 'No command');
  if (state.busy) return emit(state, { type: 'message', level: 'info', title: 'QORA', text: BUSY });
  const arg = (prefix) => text.slice(prefix.length);
  if (text.startsWith('queryKeywords?kw=')) {
    const kw = arg('queryKeywords?kw=').replaceAll('+', ' ');
    state.settings.QueryOptions = { ...state.settings.QueryOptions, lastKeyWords: kw };
    return emit(state, { type: 'dialog', dialog: 'keywords', text: kw });
  }
  if (text.startsWith('queryPassage?passage=')) {
    return emit(state, { type: 'dialog', dialog: 'passage', text: arg('queryPassage?passage=') });
  }
  if (text.startsWith('queryConcepts?concept=')) {
    return emit(state, { type: 'dialog', dialog: 'concepts',
      text: arg('queryConcepts?concept=').replaceAll('+', ';') });
  }
  if (text.startsWith('queryDocuments')) return emit(state, { type: 'dialog', dialog: 'documents', text: '' });
  if (text.startsWith('exportPassage?passage=')) {
    return emit(state, { type: 'scratch', passage: arg('exportPassage?passage=') });
  }
  if (text.startsWith('docxsltloaddone')) return undefined;
  return emit(state, { type: 'message', level: 'warning', title: 'QORA', text: 'Unknown request' });
}

// Settings are written as the server writes them: texts or whole numbers,
// kept as texts; a null advanced or crawler section goes back to its
// defaults (the section is removed).
const RESETTABLE = new Set(['AdvancedOptions', 'CrawlerOptions']);

function mergeSettings(state, body) {
  if (!body || typeof body !== 'object' || Array.isArray(body)) {
    throw new HttpError(400, 'Settings are sent as {"Section": {"key": value}}.');
  }
  for (const [section, values] of Object.entries(body)) {
    if (values === null && RESETTABLE.has(section)) continue;
    if (!values || typeof values !== 'object' || Array.isArray(values) || section === 'Main') {
      throw new HttpError(400, `The settings of "${section}" cannot be written here.`);
    }
    for (const [key, value] of Object.entries(values)) {
      if (typeof value !== 'string' && !Number.isInteger(value)) {
        throw new HttpError(400, `A setting is a text or a whole number: ${section}/${key}`);
      }
    }
  }
  for (const [section, values] of Object.entries(body)) {
    if (values === null) {
      delete state.settings[section];
      continue;
    }
    const texts = Object.fromEntries(Object.entries(values).map(([k, v]) => [k, String(v)]));
    state.settings[section] = { ...(state.settings[section] ?? {}), ...texts };
  }
}

// ---- acquisitions ----

const INTERNET_MODES = new Set(['basic', 'advanced', 'crawl', 'crawlpage', 'savepage',
  'wizard-search', 'wizard-crawl', 'wizard-searchcrawl']);
const CRAWL_MODES = new Set(['crawl', 'crawlpage', 'savepage', 'wizard-crawl']);
const TARGET_FORM = 'The target is {"new": name} or {"library": identifier}.';

const isTexts = (list) => list === undefined || list === null
  || (Array.isArray(list) && list.every((t) => typeof t === 'string'));
const blank = (text) => String(text ?? '').trim() === '';

// Checks the body as the server reads it; a malformed one is a 400.
function readAcquisition(body) {
  if (!body || typeof body !== 'object' || Array.isArray(body)) {
    throw new HttpError(400, 'An acquisition request is a JSON object.');
  }
  const target = body.target ?? null;
  if (target !== null) {
    const fresh = target.new ?? null;
    const library = target.library ?? null;
    if (typeof target !== 'object' || Array.isArray(target) || (fresh !== null && typeof fresh !== 'string')
      || (library !== null && typeof library !== 'string') || (fresh !== null && library !== null)) {
      throw new HttpError(400, TARGET_FORM);
    }
  }
  if (body.kind === 'folder') return body;
  if (body.kind === 'files') {
    if (!isTexts(body.files)) throw new HttpError(400, 'The files are a list of paths.');
    return body;
  }
  if (body.kind !== 'internet' && body.kind !== 'quick') {
    throw new HttpError(400, 'The kind is "internet", "files", "folder" or "quick".');
  }
  if (body.kind === 'quick') {
    if (typeof (body.keywords ?? '') !== 'string') throw new HttpError(400, 'The keywords are a text.');
    return body;
  }
  if (!INTERNET_MODES.has(body.mode)) throw new HttpError(400, 'The mode of an internet request is unknown.');
  if (body.keywords !== undefined && body.keywords !== null && typeof body.keywords !== 'string') {
    throw new HttpError(400, 'The keywords are a text.');
  }
  if (!isTexts(body.addresses)) throw new HttpError(400, 'The addresses are a list of texts.');
  return body;
}

function refuse(state, level, text) {
  emit(state, { type: 'message', level, title: 'QORA', text });
}

// The target library, made when it is new; null (with the message) when
// there is none.
function resolveTarget(state, target) {
  const fresh = typeof target?.new === 'string';
  if (fresh ? blank(target.new) : !target?.library) {
    refuse(state, 'warning', 'Please checkmark libraries first');
    return null;
  }
  if (!fresh) {
    const library = state.libraries.find((l) => l.ident === target.library);
    if (!library) refuse(state, 'error', 'Cannot do this now.');
    return library ?? null;
  }
  const library = { ident: `lib${state.libraries.length + 1}`, name: target.new, documents: [], bytes: 0,
    date: '6/1/2005 9:00 AM' };
  state.libraries.push(library);
  return library;
}

// A short operation that stores `count` documents into the target library.
function acquire(state, target, title, code, addresses, count, statuses) {
  const library = resolveTarget(state, target);
  if (!library) return;
  const handle = state.libraries.indexOf(library) + 1;
  runOperation(state, title.endsWith("'") ? `${title}${library.name}'` : title, code, [
    ...statuses.map((text) => () => { state.status = text; }),
    () => { library.documents.push(...acquiredDocuments(library, handle, addresses, count)); },
  ]);
}

// POST /api/acquire: refusals come back as messages, as the server sends them.
function acquisition(state, body) {
  const call = readAcquisition(body);
  if (state.busy) return refuse(state, 'info', BUSY);
  if (call.kind === 'files') {
    const files = call.files ?? [];
    if (files.every(blank)) return refuse(state, 'warning', 'Please choose files');
    return acquire(state, call.target, 'Adding Documents to Library', 4, files, files.length,
      ['Adding documents']);
  }
  if (call.kind === 'folder') {
    const folder = state.settings.CrawlerOptions?.prevName_folder ?? '';
    if (blank(folder)) return refuse(state, 'warning', 'Please choose a folder');
    return acquire(state, call.target, 'Adding Folder Contents to Library', 3, [`${folder}/`], 2,
      ['Adding folder contents']);
  }
  if (call.kind === 'quick') {
    if (blank(call.keywords)) return refuse(state, 'warning', 'Please enter keywords');
    const words = call.keywords.trim();
    const hits = [1, 2, 3].map((i) => ({ handle: 0, docid: `hit${i}`, name: `${words} ${i}`, rank: i,
      size: '0', date: '', type: '.htm', uri: `http://example.org/${i}.htm`, source: 'Engine', library: '' }));
    return runOperation(state, `Internet Search '${words}'`, 1, [
      () => { state.status = 'Searching'; },
      () => emit(state, { type: 'list', title: '[Quick Search Results]', quick: true, records: hits }),
    ]);
  }
  const crawl = CRAWL_MODES.has(call.mode);
  const addresses = call.addresses ?? [];
  if (crawl ? addresses.every(blank) : blank(call.keywords)) {
    return refuse(state, 'warning', crawl ? 'Please enter start addresses' : 'Please enter keywords');
  }
  return crawl
    ? acquire(state, call.target, "Internet Crawl '", 2, addresses, 3, ['Begin crawling', 'Crawling'])
    : acquire(state, call.target, "Internet Search '", 0, [], 3, ['Begin searching', 'Storing the hits']);
}

function eraseDocuments(state, documents) {
  requireDocuments(documents, 1e9);
  const gone = new Set(documents.map((d) => `${d.handle},${d.docid}`));
  for (const library of state.libraries) {
    library.documents = library.documents.filter((d) => !gone.has(`${d.handle},${d.docid}`));
  }
}

// Send to Word: the file is kept in `exports` (for a look by the tests);
// no name or an internet shortcut (".url") gets the server's warning.
function exportScratch(state, body) {
  if (typeof body.path !== 'string' || typeof body.rtf !== 'string') {
    throw new HttpError(400, 'Send to Word is sent as {"path": "...", "rtf": "..."}.');
  }
  const name = body.path.split('/').pop();
  const dot = name.lastIndexOf('.');
  if (name === '' || (dot > 0 && name.slice(dot + 1).toLowerCase() === 'url')) {
    return emit(state, { type: 'message', level: 'warning', title: 'QORA', text: 'Please choose files' });
  }
  state.exports.push({ path: body.path, rtf: body.rtf });
  return undefined;
}

// ---- uploads ----

const UPLOAD_LIMIT = 64 << 20;
const BAD_UPLOAD_NAME = 'Only HTML and PDF files (.htm, .html, .pdf) can be added to a library.';

// POST /api/upload?name=NAME: the body is the file. It is kept (in memory)
// under the data folder's uploads/, one new folder per file, as the server
// keeps it; a name that is no plain .htm, .html or .pdf file name is a 400.
function upload(state, name, bytes) {
  const plain = typeof name === 'string' && name !== '' && name !== '.' && name !== '..'
    && !/[/\\\0]/.test(name);
  const dot = plain ? name.lastIndexOf('.') : -1;
  const extension = dot > 0 ? name.slice(dot).toLowerCase() : '';
  if (!['.htm', '.html', '.pdf'].includes(extension)) throw new HttpError(400, BAD_UPLOAD_NAME);
  if (bytes.length > UPLOAD_LIMIT) throw new HttpError(413, 'The request is too large.');
  const path = `/mock/qoralibs/uploads/u${String(state.uploads.length + 1).padStart(5, '0')}/${name}`;
  state.uploads.push({ name, path, text: bytes.toString('utf8') });
  return { path };
}

// POST handlers: body in, answer out (or an HttpError).
const POSTS = {
  '/api/command': (s, b) => command(s, b.command),
  '/api/research': (s, b) => research(s, b),
  '/api/library': (s, b) => {
    const library = findLibrary(s, b.ident);
    emit(s, { type: 'list', title: library.name, quick: false, records: library.documents });
  },
  '/api/preview': (s, b) => { requireDocuments([b], 1); summaryOperation(s, 7, 'sumry_.htm'); },
  '/api/analyze': (s, b) => { requireDocuments(b.documents, 5); summaryOperation(s, 8, 'csum_.htm'); },
  '/api/stop': (s) => { s.stop = true; if (s.busy) s.status = 'Stop requested. Please wait...'; },
  '/api/settings': (s, b) => mergeSettings(s, b),
  '/api/acquire': (s, b) => acquisition(s, b),
  '/api/delete': (s, b) => eraseDocuments(s, b.documents),
  '/api/fetch': (s, b) => {
    if (b.direction !== 'next' && b.direction !== 'prev') throw new HttpError(400, 'direction must be next or prev');
    emit(s, { type: 'message', level: 'info', title: 'QORA', text: `No ${b.direction} set of documents` });
  },
  '/api/scratch': (s, b) => {
    if (typeof b.rtf !== 'string') throw new HttpError(400, 'The scratch pad is sent as {"rtf": "..."}.');
    s.scratch = b.rtf;
  },
  '/api/scratch/export': exportScratch,
  // For a look by hand: queue events as the server would send them.
  '/mock/events': (s, b) => { (Array.isArray(b.events) ? b.events : []).forEach((e) => emit(s, e)); },
};

function poll(state, url) {
  const after = Number(url.searchParams.get('after') ?? '0');
  if (!Number.isInteger(after) || after < 0) throw new HttpError(400, 'after must be a whole number');
  return { busy: state.busy, status: state.status, seq: state.seq,
    events: state.events.filter((e) => e.seq > after) };
}

// The search engines of se.ini as GET /api/engines gives them.
export const MOCK_ENGINES = [
  { name: 'Tide Search', url: 'https://tides.example/html/', pre: '?q=', post: '&n=' },
  { name: 'Wave Finder', url: 'http://waves.example/find', pre: '?query=', post: '&count=' },
  { name: 'engine', url: ' ', pre: ' ', post: ' ' },
  { name: 'engine', url: ' ', pre: ' ', post: ' ' },
  { name: 'engine', url: ' ', pre: ' ', post: ' ' },
];

// A page from outside as the server frames it: sandboxed, only the agent
// (named by a nonce) may run, with a <base> of its address when given.
function framedPage(request, response, html, base) {
  const nonce = randomBytes(16).toString('hex');
  const agent = `<script nonce="${nonce}" src="http://${request.headers.host}/web/js/frame_agent.js"></script>`;
  const baseTag = base ? `<base href="${base.replaceAll('&', '&amp;').replaceAll('"', '&quot;')}">` : '';
  response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store',
    'Content-Security-Policy': `sandbox allow-scripts allow-modals; script-src 'nonce-${nonce}'; object-src 'none'` });
  response.end(html.replace('<head>', `<head>${agent}${baseTag}`));
}

// The live page of `address`: its own script tries to reach the API and
// mark the page; a link leads to another page of its site.
export function livePage(address) {
  const safe = address.replaceAll('&', '&amp;').replaceAll('<', '&lt;');
  return `<!DOCTYPE html><html><head><meta charset="utf-8"><title>Live ${safe}</title>
<script>document.title = 'page script ran'; fetch('/api/stop', { method: 'POST' });</script></head>
<body style="font-family: sans-serif"><h3 id="address">${safe}</h3>
<p>Tidal power turns tidal turbines; tidal lagoons hold water.</p>
<p><img src="data:image/gif;base64,R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==" width="468" height="60" alt="banner" id="banner">
<img src="data:image/gif;base64,R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==" width="100" height="60" alt="photo" id="photo"></p>
<p><a id="next-link" href="next.htm">next page</a></p>
<iframe id="inner" srcdoc="ad"></iframe>
</body></html>`;
}

const GETS = {
  '/api/engines': () => MOCK_ENGINES,
  '/api/poll': poll,
  '/api/start': (s) => ({ state: 'ready', data: '/mock/qoralibs/', crash: s.crash ?? '' }),
  '/api/libraries': (s) => librarySummaries(s.libraries),
  '/api/settings': (s) => s.settings,
  '/api/scratch': (s) => ({ rtf: s.scratch }),
  '/api/folders': (s, url) => {
    const listing = folderListing(url.searchParams.get('path') ?? '/');
    if (!listing) throw new HttpError(404, 'There is no such folder.');
    return listing;
  },
  '/mock/requests': (s) => s.requests,
};

async function readBytes(request) {
  const chunks = [];
  for await (const chunk of request) chunks.push(chunk);
  return Buffer.concat(chunks);
}

async function readBody(request) {
  const text = (await readBytes(request)).toString('utf8');
  if (text.trim() === '') return {};
  try {
    return JSON.parse(text);
  } catch {
    throw new HttpError(400, 'The request body is not JSON');
  }
}

async function serveFile(response, path) {
  const file = normalize(join(WEB_ROOT, path === '/' ? 'index.html' : path));
  if (!file.startsWith(WEB_ROOT + sep)) throw new HttpError(403, 'Outside the web folder');
  let data;
  try {
    data = await readFile(file);
  } catch {
    throw new HttpError(404, `No file ${path}`);
  }
  response.writeHead(200, { 'Content-Type': TYPES[extname(file)] ?? 'application/octet-stream',
    'Cache-Control': 'no-store' });
  response.end(data);
}

function sendJson(response, status, value) {
  response.writeHead(status, { 'Content-Type': 'application/json', 'Cache-Control': 'no-store' });
  response.end(JSON.stringify(value ?? {}));
}

async function handle(state, request, response) {
  const url = new URL(request.url, 'http://127.0.0.1');
  const path = url.pathname;
  if (request.method === 'POST' && path === '/api/upload') {
    const name = url.searchParams.get('name');
    const bytes = await readBytes(request);
    state.requests.push({ path, name, bytes: bytes.length });
    return sendJson(response, 200, upload(state, name, bytes));
  }
  if (request.method === 'POST' && POSTS[path]) {
    const body = await readBody(request);
    if (path.startsWith('/api/')) state.requests.push({ path, body });
    return sendJson(response, 200, POSTS[path](state, body ?? {}) ?? {});
  }
  if (request.method === 'GET' && GETS[path]) return sendJson(response, 200, GETS[path](state, url));
  if (request.method === 'GET' && path.startsWith('/pages/')) {
    response.writeHead(200, { 'Content-Type': 'text/html' });
    return response.end(resultPage(path.slice('/pages/'.length)));
  }
  if (request.method === 'GET' && path === '/live') {
    const address = url.searchParams.get('url') ?? '';
    if (!/^https?:\/\//i.test(address)) throw new HttpError(400, 'Only web addresses can be shown');
    state.requests.push({ path, address });
    return framedPage(request, response, livePage(address), address);
  }
  if (request.method === 'GET' && path === '/datafile') {
    return framedPage(request, response, livePage(`archived ${url.searchParams.get('path') ?? ''}`), '');
  }
  if (request.method === 'GET' && !path.startsWith('/api/')) {
    // The front's files also stand under /web/, as the real server serves them.
    const file = path.startsWith('/web/') ? path.slice('/web'.length) : path;
    return serveFile(response, decodeURIComponent(file));
  }
  throw new HttpError(404, `No such request: ${request.method} ${path}`);
}

// Starts the mock on 127.0.0.1:`port` (0: any free port). Resolves to
// { url, state, close() }.
export function startMockServer(port = 0) {
  const state = makeState();
  const server = createServer((request, response) => {
    handle(state, request, response).catch((error) => {
      sendJson(response, error.status ?? 500, { error: error.message });
    });
  });
  return new Promise((ready) => {
    server.listen(port, '127.0.0.1', () => {
      const url = `http://127.0.0.1:${server.address().port}`;
      ready({ url, state, close: () => new Promise((done) => server.close(done)) });
    });
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const port = Number(process.argv[2] ?? 8399);
  startMockServer(port).then(({ url }) => console.log(`mock QORA server on ${url}`));
}
