// Starts the QORA window: reads the settings and the libraries, wires the
// tool bar, the document list, the dialogs and the status bar, and applies
// the events that every poll brings.

import { AcquireDialog } from './acquire_dialog.js';
import { ApiError, getJson, postBytes, postJson } from './api.js';
import { analyzeDecision, deleteDecision, documentRef, frameTitle } from './doclist_model.js';
import { DocumentList } from './doclist_view.js';
import { completionChangesLibraries, eventProblem } from './events.js';
import { KEYWORD_HISTORY, historyFromSection } from './history.js';
import { MessageBox } from './message_box.js';
import { startPolling } from './poller.js';
import { stepProgress } from './progress.js';
import { ResearchDialog } from './research_dialog.js';
import { ScratchPad } from './scratch_pad.js';
import { ExportDialog } from './export_dialog.js';
import { BrowserFrame } from './browser_frame.js';
import { setAcquisitionOpener } from './acquisition.js';
import { commandFromAddress } from './commands.js';
import { setUpPanes } from './panes.js';
import { ask } from './question_box.js';
import { LibraryManager } from './library_manager.js';
import { DropZone } from './drop_zone.js';

const $ = (selector) => document.querySelector(selector);
const BUSY_MESSAGE = 'Program is busy. Please wait.';

const state = {
  settings: {},
  currentRecord: null, // the document last selected in the list
  selectedDocuments: [], // the documents of the last analysis
  dataFolder: '/', // where Send to Word first looks
  busy: false,
  librariesChanged: false, // an operation changed them: read them when it ends
  progress: 0,
};

const messages = new MessageBox($('#message-box'));

// Shows a failed request's message without waiting for the user to close
// it: the page goes on working behind the box.
function showFailure(error) {
  messages.show('error', error instanceof ApiError ? error.message : String(error));
}

// Sends a request; a refusal or failure is shown as an error message.
// Returns the answer, or null when the request failed.
async function send(path, body) {
  try {
    return await postJson(path, body);
  } catch (error) {
    showFailure(error);
    return null;
  }
}

async function readSettings() {
  try {
    const settings = await getJson('/api/settings');
    state.settings = settings && typeof settings === 'object' && !Array.isArray(settings) ? settings : {};
  } catch (error) {
    showFailure(error);
  }
}

function keywordHistory() {
  return historyFromSection(state.settings[KEYWORD_HISTORY.section], KEYWORD_HISTORY.prefix, KEYWORD_HISTORY.limit);
}

// Writes settings and keeps the local copy in step with them.
async function rememberSettings(update) {
  for (const [section, values] of Object.entries(update)) {
    state.settings[section] = { ...(state.settings[section] ?? {}), ...values };
  }
  await send('/api/settings', update);
}

const research = new ResearchDialog($('#research-dialog'), $('#history-dialog'), {
  api: { getJson },
  messages,
  settings: () => state.settings,
  history: keywordHistory,
  rememberSettings,
  send,
});

// A reset empties the section on the server, which then reads the defaults.
async function resetSection(section) {
  delete state.settings[section];
  await send('/api/settings', { [section]: null });
}

const acquisition = new AcquireDialog($('#acquire-dialog'), {
  api: { getJson },
  messages,
  settings: () => state.settings,
  history: keywordHistory,
  rememberSettings,
  resetSection,
  send,
});

// While an operation runs every command is refused, as the server would
// refuse it; only Stop goes through.
function whenIdle(action) {
  return (...args) => {
    if (state.busy) return messages.show('info', BUSY_MESSAGE);
    return action(...args);
  };
}

const manager = new LibraryManager($('#library-manager'), {
  getJson,
  send,
  messages,
  inputDialog: $('#input-box'),
  questionDialog: $('#question-box'),
  isBusy: () => state.busy,
});

const exportDialog = new ExportDialog($('#export-dialog'), { getJson, messages });
const scratchPad = new ScratchPad($('#scratch-frame'), $('#scratch-menu'), {
  api: { getJson, postJson },
  messages,
  chooseExportPath: () => exportDialog.choose(state.dataFolder),
});

const documentList = new DocumentList($('#library-frame'), {
  onSelect: whenIdle((record) => {
    state.currentRecord = record;
    return send('/api/preview', documentRef(record));
  }),
});

const browserFrame = new BrowserFrame($('#preview').closest('section'), {
  messages,
  settings: () => state.settings,
  rememberSettings,
  send,
  whenIdle,
  currentRecord: () => state.currentRecord,
  documentRef,
});

// ---- tool bars ----

function openResearch(kind, text) {
  const documents = kind === 'documents' ? documentsForQuery() : [];
  research.open(kind, text, documents);
}

// The documents of a research by example: the check-marked ones, else those
// of the last analysis.
function documentsForQuery() {
  const checked = documentList.checkedRecords();
  return checked.length > 0 ? checked : state.selectedDocuments;
}

async function analyze() {
  const checked = documentList.checkedRecords();
  const decision = analyzeDecision(checked.length);
  if (!decision.ok) return messages.show('warning', decision.message);
  state.selectedDocuments = checked;
  return send('/api/analyze', { documents: checked.map(documentRef) });
}

async function erase() {
  const checked = documentList.checkedRecords();
  const decision = deleteDecision(checked.length);
  if (!decision.ok) return messages.show('warning', decision.message);
  const answer = await send('/api/delete', { documents: checked.map(documentRef) });
  if (answer !== null) documentList.remove(checked);
  return answer;
}

async function loadLibraries() {
  let libraries;
  try {
    libraries = await getJson('/api/libraries');
  } catch (error) {
    // Refused while another operation runs: its end reads the list again.
    if (error.message !== BUSY_MESSAGE) showFailure(error);
    return;
  }
  if (!Array.isArray(libraries)) {
    messages.show('error', 'The QORA server sent a list of libraries that is not a list');
    return;
  }
  const chooser = $('#library-chooser');
  const chosen = chooser.value;
  const placeholder = new Option('Open a library...', '');
  chooser.replaceChildren(placeholder, ...libraries.filter((l) => l && typeof l.ident === 'string')
    .map((l) => new Option(`${l.name ?? l.ident} (${l.documents ?? 0})`, l.ident)));
  chooser.value = [...chooser.options].some((o) => o.value === chosen) ? chosen : '';
}

function wireToolbars() {
  const on = (selector, type, action) => $(selector).addEventListener(type, whenIdle(action));
  on('#research-button', 'click', () => openResearch('keywords', ''));
  on('#passage-button', 'click', () => openResearch('passage', ''));
  on('#concepts-button', 'click', () => openResearch('concepts', state.concepts ?? ''));
  on('#documents-button', 'click', () => openResearch('documents', ''));
  on('#manager-button', 'click', () => manager.open());
  on('#library-chooser', 'change', (event) => {
    if (event.target.value !== '') send('/api/library', { ident: event.target.value });
  });
  on('#internet-chooser', 'change', (event) => {
    const mode = event.target.value;
    event.target.value = '';
    if (mode !== '') acquisition.openInternet(mode);
  });
  $('#internet-chooser').addEventListener('change', (event) => { event.target.value = ''; });
  on('#new-library-button', 'click', () => acquisition.openWizard());
  on('#add-files-button', 'click', () => acquisition.openLocal());
  on('#analyze-button', 'click', analyze);
  on('#delete-button', 'click', erase);
  on('#next-button', 'click', () => send('/api/fetch', { direction: 'next' }));
  on('#prev-button', 'click', () => send('/api/fetch', { direction: 'prev' }));
  $('#stop-button').addEventListener('click', () => send('/api/stop', {}));
}

// ---- preview pane ----

// Links of result pages that address the command prefix send their command
// instead of being followed.
function interceptCommands(frame) {
  frame.addEventListener('load', () => {
    let doc;
    try {
      doc = frame.contentDocument;
    } catch {
      return; // a page of another site: its links are its own
    }
    doc?.addEventListener('click', (event) => {
      const link = event.target.closest?.('a[href]');
      const command = link ? commandFromAddress(link.href) : null;
      if (command === null) return;
      event.preventDefault();
      whenIdle(() => send('/api/command', { command }))();
    }, true);
  });
}

// ---- events ----

const HANDLERS = {
  message: (e) => messages.show(e.level, e.text, e.title || 'QORA'),
  dialog: (e) => {
    if (e.dialog === 'concepts') state.concepts = e.text ?? '';
    openResearch(e.dialog, typeof e.text === 'string' ? e.text : '');
  },
  busy: (e) => {
    state.busy = e.busy;
    if (e.busy && e.title) document.title = e.title;
    // The lists are read once the operation has left busy mode: the
    // server answers them only then.
    if (!e.busy && state.librariesChanged) {
      state.librariesChanged = false;
      loadLibraries();
      if (manager.isOpen) manager.refill();
    }
  },
  completion: (e) => {
    if (completionChangesLibraries(e.code)) state.librariesChanged = true;
  },
  list: (e) => documentList.setList({
    title: typeof e.title === 'string' && e.title !== '' ? e.title : frameTitle(e.records, e.quick),
    quick: e.quick === true,
    records: e.records,
  }),
  page: (e) => browserFrame.showResultPage(e.url),
  title: (e) => { document.title = e.text; },
  wordbar: (e) => browserFrame.setWords(e.words),
  scratch: (e) => scratchPad.insertPassage(e.passage),
};

function applyEvent(event) {
  const problem = eventProblem(event);
  if (problem !== '') {
    messages.show('error', problem);
    return;
  }
  HANDLERS[event.type](event);
}

function applyAnswer(answer) {
  state.busy = answer.busy;
  $('#status-text').textContent = answer.status;
  answer.events.forEach(applyEvent);
  state.progress = stepProgress(state.progress, state.busy);
  $('#progress').value = state.progress;
  $('#stop-button').disabled = !state.busy;
  document.body.classList.toggle('busy', state.busy);
}

function pollFailed(problem) {
  $('#status-text').textContent = `No answer from the QORA server: ${problem}`;
}

// The start's crash check: when the last run did not end normally, the
// application asks whether to repair every library before anything else.
// Returns the number of the server's last event, from which this page
// polls.
async function crashCheck() {
  let begin;
  try {
    begin = await getJson('/api/start');
  } catch (error) {
    showFailure(error);
    return 0;
  }
  if (begin?.state === 'first-start') {
    window.location.replace('/');
    return 0;
  }
  if (begin?.crash) {
    const repair = await ask($('#question-box'), begin.crash);
    await send('/api/crashcheck', { repair });
  }
  if (typeof begin?.data === 'string' && begin.data !== '') state.dataFolder = begin.data;
  return Number.isInteger(begin?.seq) ? begin.seq : 0;
}

// The commands are wired last: a command given before the window knows the
// server's event number would report to a window that never hears it.
async function start() {
  interceptCommands($('#preview'));
  const after = await crashCheck();
  await readSettings();
  setUpPanes(state.settings.Appearance, (appearance) => rememberSettings({ Appearance: appearance }));
  browserFrame.setWords(state.settings.WordBar?.searchWords ?? '');
  browserFrame.showHistories();
  await browserFrame.loadEngines(getJson);
  await loadLibraries();
  // Read before the first poll, so no passage arrives before the stored pad.
  await scratchPad.load();
  scratchPad.startSaving();
  startPolling({ getJson, intervalMs: 150, onAnswer: applyAnswer, onFailure: pollFailed, after });
  wireToolbars();
  document.body.dataset.state = 'ready';
  performance.mark('qora-ready');
}

// Files dropped anywhere on the window go to the local files dialog. (Its
// own busy check refuses the drop, as every command is refused.)
new DropZone(document, $('#drop-hint'), {
  isBusy: () => state.busy,
  messages,
  postBytes,
  openFiles: (paths) => acquisition.openLocal(paths),
});

// The browser frame crawls or saves the page it shows through these.
setAcquisitionOpener(whenIdle((mode, address) => acquisition.openInternet(mode, address)));
window.qoraAcquire = {
  crawlPage: whenIdle((address) => acquisition.openInternet('crawlpage', address)),
  savePage: whenIdle((address) => acquisition.openInternet('savepage', address)),
};

start();
